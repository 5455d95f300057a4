// vexmont-shot: runs the viewer on the in-memory platform and writes the last frame it
// presented to a PNG or PPM file.
//
//   vexmont-shot [--dir DIR] [--camera M] [--keys K] [--frames N] --out FILE
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <stb_image_write.h>

#include "app/viewer.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "scene/load_error.h"
#include "tools/headless_run/headless_run.h"
#include "tools/shot/arguments.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitStartFailed = 1;
constexpr int ExitBadArguments = 2;

std::vector<uint8_t> ToRgb(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = uint8_t(pixels[i] >> 16);
        rgb[3 * i + 1] = uint8_t(pixels[i] >> 8);
        rgb[3 * i + 2] = uint8_t(pixels[i]);
    }
    return rgb;
}

bool WriteImage(const std::string& path, const std::vector<uint32_t>& pixels) {
    const std::vector<uint8_t> rgb = ToRgb(pixels);
    if (HasExtension(path, ".png"))
        return stbi_write_png(path.c_str(), ScreenWidth, ScreenHeight, 3, rgb.data(),
                              ScreenWidth * 3) != 0;
    char header[32];
    const int length = std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", int(ScreenWidth),
                                     int(ScreenHeight));
    std::vector<uint8_t> ppm(header, header + length);
    ppm.insert(ppm.end(), rgb.begin(), rgb.end());
    return WriteHostFile(path, ppm);
}

} // namespace

int main(int argc, char** argv) {
    ShotOptions options;
    const std::string problem = ParseShotArguments(argc, argv, options);
    if (problem == "help") {
        std::fputs(ShotUsage, stdout);
        return ExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "vexmont-shot: %s\n%s", problem.c_str(), ShotUsage);
        return ExitBadArguments;
    }

    std::error_code error;
    const std::filesystem::path out = std::filesystem::absolute(options.out, error);
    if (error) {
        std::fprintf(stderr, "vexmont-shot: bad output path %s\n", options.out.c_str());
        return ExitBadArguments;
    }
    std::filesystem::current_path(options.dir, error);
    if (error) {
        std::fprintf(stderr, "vexmont-shot: cannot enter %s: %s\n", options.dir.c_str(),
                     error.message().c_str());
        return ExitStartFailed;
    }

    HeadlessReset();
    HeadlessKeepFrames(1);
    if (options.camera) {
        const Matrix4 camera = *options.camera;
        HeadlessQueueAction([camera] { CameraMatrix = camera; });
    }
    for (WPARAM key : options.keys)
        HeadlessQueueKey(key);
    HeadlessQueueTick(options.frames);
    HeadlessQueueClose();

    WinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);

    if (!HeadlessMessageLoopReached()) {
        // A file that did not load has been named by the viewer already, in one line.
        const std::string why = StartFailure();
        if (why != DescribeLoadError())
            std::fprintf(stderr, "vexmont-shot: start-up failed: %s\n", why.c_str());
        return ExitStartFailed;
    }
    if (HeadlessFrames().empty()) {
        std::fprintf(stderr, "vexmont-shot: no frame was presented\n");
        return ExitStartFailed;
    }
    if (!WriteImage(out.string(), HeadlessFrames().back())) {
        std::fprintf(stderr, "vexmont-shot: cannot write %s\n", out.string().c_str());
        return ExitStartFailed;
    }
    return ExitOk;
}
