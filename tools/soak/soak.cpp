// vexmont-soak: runs the viewer on the in-memory platform for many frames with random key
// presses, as a long session would, and checks after every frame that nothing was written
// outside the frame buffer: guard zones before and after it, and its outermost rows and
// columns, which clipping keeps clear (a span running past either end of a row would land
// in the first or last column). Memory is taken at frame 1,000 and after the last frame:
// the resident set in a plain build, the live heap under AddressSanitizer (whose
// quarantine holds freed memory back).
//
//   vexmont-soak [--dir DIR] [--frames N] [--seed S]
//
// Exit 0 when every frame was presented, the guards held and memory grew by at most 1 MB;
// 1 otherwise; 2 on bad arguments.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "app/viewer.h"
#include "platform/headless/headless.h"
#include "tools/headless_run/headless_run.h"

#if defined(__SANITIZE_ADDRESS__)
#define VEXMONT_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXMONT_SOAK_ASAN 1
#endif
#endif
#ifdef VEXMONT_SOAK_ASAN
// From the sanitizer runtime (declared here: GCC installs no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr long MeasureFrame = 1000;
constexpr long long MaxGrowthBytes = 1 << 20;
constexpr size_t Pixels = size_t(ScreenWidth) * ScreenHeight;
constexpr size_t Guard = 4096;
constexpr uint32_t GuardValue = 0xDEADBEEF;

struct Result {
    long frames = 0;
    long badFrame = -1; // first frame with a write outside, or -1
    long long memoryAtMeasure = 0, memoryAtEnd = 0;
    double seconds = 0;
};

long long MemoryBytes() {
#ifdef VEXMONT_SOAK_ASAN
    return (long long)__sanitizer_get_current_allocated_bytes();
#else
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return (long long)resident * sysconf(_SC_PAGESIZE);
#endif
}

bool FrameClean(const std::vector<uint32_t>& guarded) {
    for (size_t i = 0; i < Guard; ++i)
        if (guarded[i] != GuardValue || guarded[guarded.size() - 1 - i] != GuardValue) return false;
    const uint32_t* frame = guarded.data() + Guard;
    for (int32_t x = 0; x < ScreenWidth; ++x)
        if (frame[x] || frame[size_t(ScreenHeight - 1) * ScreenWidth + x]) return false;
    for (int32_t y = 0; y < ScreenHeight; ++y)
        if (frame[size_t(y) * ScreenWidth] || frame[size_t(y) * ScreenWidth + ScreenWidth - 1])
            return false;
    return true;
}

// Inside the message loop: the frames, through the window procedure as timer ticks, each
// after a key-down half of the time.
void Soak(long frames, uint32_t seed, Result& result) {
    static constexpr WPARAM Keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_INSERT, VK_DELETE};
    std::mt19937 random(seed);
    std::vector<uint32_t> guarded(Guard + Pixels + Guard, GuardValue);
    uint32_t* const own = FrameBuffer.release();
    FrameBuffer.reset(guarded.data() + Guard);
    std::fill_n(FrameBuffer.get(), Pixels, 0);

    const auto start = std::chrono::steady_clock::now();
    for (long i = 1; i <= frames; ++i) {
        if (random() % 2) WindowProc(MainWindow, WM_KEYDOWN, Keys[random() % std::size(Keys)], 0);
        WindowProc(MainWindow, WM_TIMER, FrameTimerId, 0);
        if (result.badFrame < 0 && !FrameClean(guarded)) result.badFrame = i;
        if (i == MeasureFrame) result.memoryAtMeasure = MemoryBytes();
        result.frames = i;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.memoryAtEnd = MemoryBytes();

    (void)FrameBuffer.release();
    FrameBuffer.reset(own);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = ".";
    long frames = 100000, seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool ok = i + 1 < argc &&
                        (arg == "--dir"      ? (dir = argv[i + 1], true)
                         : arg == "--frames" ? ParseWholeNumber(argv[i + 1], MeasureFrame, 100000000, frames)
                         : arg == "--seed"   ? ParseWholeNumber(argv[i + 1], 0, 0xFFFFFFFF, seed)
                                             : false);
        if (!ok) {
            std::fprintf(stderr, "usage: vexmont-soak [--dir DIR] [--frames N (%ld or more)] "
                                 "[--seed S]\n", MeasureFrame);
            return 2;
        }
        ++i;
    }
    std::error_code error;
    std::filesystem::current_path(dir, error);
    if (error) {
        std::fprintf(stderr, "vexmont-soak: cannot enter %s\n", dir.c_str());
        return 1;
    }

    Result result;
    HeadlessReset();
    HeadlessKeepFrames(1);
    HeadlessQueueAction([&] { Soak(frames, uint32_t(seed), result); });
    HeadlessQueueClose();
    WinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
    if (!HeadlessMessageLoopReached()) {
        std::fprintf(stderr, "vexmont-soak: %s: start-up failed: %s\n", dir.c_str(),
                     StartFailure().c_str());
        return 1;
    }

    const long long growth = result.memoryAtEnd - result.memoryAtMeasure;
    const bool presented = HeadlessFramesPresented() == result.frames;
#ifdef VEXMONT_SOAK_ASAN
    const char* measure = "live heap";
#else
    const char* measure = "resident";
#endif
    std::printf("vexmont-soak: %s: %ld frames in %.1f s, %.0f frames/s; %s memory at frame %ld "
                "%lld KB, after the last %lld KB (%+lld KB); %lld frames presented; %s\n",
                dir.c_str(), result.frames, result.seconds, result.frames / result.seconds,
                measure, MeasureFrame, result.memoryAtMeasure / 1024, result.memoryAtEnd / 1024,
                growth / 1024, (long long)HeadlessFramesPresented(),
                result.badFrame < 0 ? "nothing written outside the frame"
                                    : "WRITE OUTSIDE THE FRAME");
    if (result.badFrame >= 0)
        std::fprintf(stderr, "vexmont-soak: frame %ld wrote outside the frame buffer\n",
                     result.badFrame);
    if (growth > MaxGrowthBytes)
        std::fprintf(stderr, "vexmont-soak: memory grew by %lld KB\n", growth / 1024);
    if (!presented) std::fprintf(stderr, "vexmont-soak: not every frame was presented\n");
    return result.badFrame < 0 && growth <= MaxGrowthBytes && presented ? 0 : 1;
}
