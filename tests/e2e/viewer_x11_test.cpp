// The real viewer on a virtual X display: start-up, a frame on the screen, Escape.
#include <gtest/gtest.h>
#include <regex>
#include <thread>

#include "support/files.h"
#include "support/image.h"
#include "support/virtual_display.h"
#include "viewer_run.h"
#include "wall_map.h"

namespace {

using namespace std::chrono_literals;

constexpr int ScreenW = VirtualScreenWidth, ScreenH = VirtualScreenHeight;

// The 512 x 384 frame inside a screen that shows it at twice its size.
std::vector<uint32_t> HalfSize(const std::vector<uint32_t>& screen) {
    std::vector<uint32_t> frame(512 * 384);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 512; ++x)
            frame[size_t(y) * 512 + x] = screen[size_t(2 * y) * ScreenW + 2 * x];
    return frame;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(100ms);
    }
    return done();
}

// Environment for a child that must not see the session's own display.
std::vector<std::string> DisplayEnv(const std::string& display) {
    return {"DISPLAY=" + display, "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=",
            "LSAN_OPTIONS=suppressions=" VEXMONT_LSAN_SUPPRESSIONS ":print_suppressions=0"};
}

TEST(ViewerOnX11, ShowsTheRenderedFrameFullScreenAndEndsOnEscape) {
    TempDir dir;
    const std::filesystem::path scene = dir.Path() / "scene";
    ASSERT_TRUE(WriteWallMap(scene));

    // What the frame must look like: the same start-up on the in-memory platform.
    const CommandResult shot = RunCommand(
        {VEXMONT_SHOT, "--dir", scene.string(), "--out", (dir.Path() / "expected.ppm").string()});
    ASSERT_EQ(shot.exitCode, 0) << shot.output;
    const std::vector<uint32_t> expected = ReadPpm(dir.Path() / "expected.ppm", 512, 384);
    ASSERT_EQ(expected.size(), 512u * 384);
    std::filesystem::remove(scene / "BSP.log");

    VirtualDisplay display(dir.Path() / "xvfb.txt");
    ASSERT_FALSE(display.Name().empty())
        << "Xvfb did not start: " << ReadWholeFile(dir.Path() / "xvfb.txt");
    const std::vector<std::string> env = DisplayEnv(display.Name());

    ChildProcess viewer({VEXMONT_VIEWER}, env, scene, dir.Path() / "viewer.txt");
    ASSERT_TRUE(viewer.Started());
    const bool rendering = WaitFor(
        [&] {
            const std::string log = ReadWholeFile(scene / "BSP.log");
            return log.find("Rendering !\n") != std::string::npos || !viewer.Running();
        },
        30s);
    ASSERT_TRUE(rendering && viewer.Running()) << "log:\n"
                                               << ReadWholeFile(scene / "BSP.log") << "output:\n"
                                               << ReadWholeFile(dir.Path() / "viewer.txt");

    std::vector<uint32_t> screen;
    std::string counter;
    WaitFor(
        [&] {
            screen = TakeScreenshot(display.Name(), dir.Path());
            if (screen.empty()) return false;
            counter = ReadCounterText(HalfSize(screen));
            return !counter.empty();
        },
        30s);
    ASSERT_FALSE(screen.empty()) << ReadWholeFile(dir.Path() / "xwd.txt");
    EXPECT_TRUE(std::regex_match(counter, std::regex("[0-9]+\\.(st|nd|th) Frame"))) << counter;

    // The whole screen is the frame at twice its size, pixel for pixel; only the counter
    // differs from frame to frame.
    size_t differing = 0;
    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x) {
            if (y / 2 >= 9 && y / 2 <= 23 && x / 2 < 300) continue;
            differing += screen[size_t(y) * ScreenW + x] != expected[size_t(y / 2) * 512 + x / 2];
        }
    EXPECT_EQ(differing, 0u);

    EXPECT_EQ(RunCommand({"xdotool", "search", "--name", "^Vexmont 1\\.0$"}, env).exitCode, 0);
    EXPECT_EQ(RunCommand({"xdotool", "key", "Escape"}, env).exitCode, 0);
    const std::optional<int> code = viewer.Wait(20s);
    ASSERT_TRUE(code.has_value()) << "the viewer did not end on Escape";
    EXPECT_EQ(*code, 0) << ReadWholeFile(dir.Path() / "viewer.txt");
}

TEST(ViewerOnX11, WithoutADisplayEndsAtOnceWithOneLine) {
    TempDir dir;
    ASSERT_TRUE(WriteWallMap(dir.Path()));
    for (const char* driver : {"x11", "offscreen"}) {
        ChildProcess viewer(
            {VEXMONT_VIEWER},
            {"DISPLAY=", "WAYLAND_DISPLAY=", std::string("SDL_VIDEODRIVER=") + driver,
             "LSAN_OPTIONS=suppressions=" VEXMONT_LSAN_SUPPRESSIONS ":print_suppressions=0"},
            dir.Path(), dir.Path() / "out.txt");
        const std::optional<int> code = viewer.Wait(30s);
        ASSERT_TRUE(code.has_value()) << driver << ": still waiting without a window";
        EXPECT_EQ(*code, 0) << driver;
        const std::string out = ReadWholeFile(dir.Path() / "out.txt");
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_NE(out.find("no window"), std::string::npos) << out;
        EXPECT_EQ(ReadWholeFile(dir.Path() / "BSP.log"), "__________BSP - Log__________\n");
    }
}

} // namespace
