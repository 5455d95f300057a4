// screen-match: whether a virtual X display shows a given 512 x 384 frame, pixel for pixel,
// anywhere on its screen (the Windows check looks for the viewer's frame under Wine).
//
//   screen-match DISPLAY EXPECTED.ppm SCRATCH_DIR [--with-counter]
//
// The counter text (rows 9 to 23, columns 0 to 299 of the frame) depends on timing and is
// left out unless --with-counter. Prints where the frame was found and exits 0; otherwise
// prints the closest place and its differences and exits 1; 2 on bad arguments or files.
// The screenshot stays in SCRATCH_DIR/screen.ppm.
#include <cstdio>
#include <string>
#include <vector>

#include "support/image.h"
#include "support/virtual_display.h"

namespace {

constexpr int32_t FrameW = 512, FrameH = 384;

bool InCounter(int32_t x, int32_t y) {
    return y >= 9 && y <= 23 && x < 300;
}

// Differing pixels of the frame placed at (ox, oy), stopping once more than limit.
size_t Differences(const std::vector<uint32_t>& screen, const std::vector<uint32_t>& frame,
                   int32_t ox, int32_t oy, bool withCounter, size_t limit) {
    size_t count = 0;
    for (int32_t y = 0; y < FrameH; ++y)
        for (int32_t x = 0; x < FrameW; ++x) {
            if (!withCounter && InCounter(x, y)) continue;
            if (screen[size_t(oy + y) * VirtualScreenWidth + ox + x] !=
                    frame[size_t(y) * FrameW + x] &&
                ++count > limit)
                return count;
        }
    return count;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (argc == 5 && std::string(argv[4]) != "--with-counter")) {
        std::fprintf(stderr,
                     "usage: screen-match DISPLAY EXPECTED.ppm SCRATCH_DIR [--with-counter]\n");
        return 2;
    }
    const bool withCounter = argc == 5;
    const std::vector<uint32_t> frame = ReadPpm(argv[2], FrameW, FrameH);
    if (frame.empty()) {
        std::fprintf(stderr, "%s: not a %dx%d PPM frame\n", argv[2], FrameW, FrameH);
        return 2;
    }
    const std::vector<uint32_t> screen = TakeScreenshot(argv[1], argv[3]);
    if (screen.empty()) {
        std::fprintf(stderr, "no screenshot of %s (see %s/xwd.txt)\n", argv[1], argv[3]);
        return 2;
    }
    WritePpm(std::filesystem::path(argv[3]) / "screen.ppm", VirtualScreenWidth, VirtualScreenHeight,
             screen);

    // The likely places first (the corner of a screen in the frame's own mode, the middle of
    // a larger one), then everywhere. Elsewhere a place is compared in full only when a
    // sample of its pixels matches, so that a screen without the frame is told quickly.
    const int32_t middleX = (VirtualScreenWidth - FrameW) / 2;
    const int32_t middleY = (VirtualScreenHeight - FrameH) / 2;
    size_t best = SIZE_MAX;
    int32_t bestX = 0, bestY = 0;
    for (const auto& [ox, oy] : {std::pair{0, 0}, std::pair{middleX, middleY}}) {
        const size_t count = Differences(screen, frame, ox, oy, withCounter, best);
        if (count < best) best = count, bestX = ox, bestY = oy;
    }
    std::vector<std::pair<int32_t, int32_t>> sample;
    for (int32_t y = FrameH / 16; y < FrameH; y += FrameH / 8)
        for (int32_t x = FrameW / 16; x < FrameW; x += FrameW / 8)
            if (withCounter || !InCounter(x, y)) sample.emplace_back(x, y);
    for (int32_t oy = 0; best != 0 && oy + FrameH <= VirtualScreenHeight; ++oy)
        for (int32_t ox = 0; best != 0 && ox + FrameW <= VirtualScreenWidth; ++ox) {
            bool candidate = true;
            for (const auto& [x, y] : sample)
                candidate = candidate && screen[size_t(oy + y) * VirtualScreenWidth + ox + x] ==
                                             frame[size_t(y) * FrameW + x];
            if (!candidate) continue;
            const size_t count = Differences(screen, frame, ox, oy, withCounter, best);
            if (count < best) best = count, bestX = ox, bestY = oy;
        }
    if (best == 0) {
        std::printf("frame at (%d, %d)\n", bestX, bestY);
        return 0;
    }
    std::printf("no match: closest at (%d, %d) with %zu differing pixels\n", bestX, bestY, best);
    return 1;
}
