// The display on the SDL platform, in this process, on a virtual X display.
#include <cstdlib>
#include <gtest/gtest.h>

#include "display/display.h"
#include "platform/sdl/sdl_platform.h"
#include "support/files.h"
#include "support/virtual_display.h"

// Under LeakSanitizer: what the windowing libraries keep until the process ends is theirs
// (the same list as tests/e2e/lsan.supp).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libX11.so\nleak:libxcb.so\nleak:libSDL2\nleak:libGLX\nleak:libGL.so\n"
           "leak:libEGL\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libdbus\n"
           "leak:libglib\nleak:libubsan\n";
}

namespace {

LRESULT CALLBACK Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void PresentColour(uint32_t colour) {
    uint32_t* pixels = nullptr;
    ASSERT_EQ(LockDisplay(&pixels), 1);
    std::fill(pixels, pixels + 512 * 384, colour);
    pixels[0] = 0x00FF0000; // the top-left pixel marks where the picture starts
    PresentDisplay();
}

bool ScreenShows(const std::string& display, const std::filesystem::path& dir, uint32_t colour) {
    const std::vector<uint32_t> shot = TakeScreenshot(display, dir);
    if (shot.size() != 1024 * 768) return false;
    // Twice the size, from the top-left corner: the marker covers 2 x 2 screen pixels.
    auto at = [&](int x, int y) { return shot[size_t(y) * 1024 + x]; };
    return at(0, 0) == 0xFF0000 && at(1, 1) == 0xFF0000 && at(2, 0) == colour &&
           at(0, 2) == colour && at(1023, 767) == colour && at(512, 384) == colour;
}

TEST(SdlDisplay, FramesFillTheScreenAndALostRendererIsRestored) {
    TempDir dir;
    VirtualDisplay display(dir.Path() / "xvfb.txt");
    ASSERT_FALSE(display.Name().empty()) << ReadWholeFile(dir.Path() / "xvfb.txt");
    setenv("DISPLAY", display.Name().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Default;
    windowClass.lpszClassName = "Vexmont";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "Vexmont", "Vexmont 1.0", WS_DLGFRAME, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 512, 384, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    InitDisplay(window, 512, 384);
    ASSERT_NE(DrawSurfaceB, nullptr);

    PresentColour(0x00204080);
    EXPECT_TRUE(ScreenShows(display.Name(), dir.Path(), 0x204080));

    // The renderer goes (as on a device reset): the blit reports the loss, the surfaces are
    // restored, and the frames after it reach the screen again.
    SdlDisplayLost(true);
    PresentColour(0x00008000);
    PresentColour(0x00C0C0C0);
    EXPECT_TRUE(ScreenShows(display.Name(), dir.Path(), 0xC0C0C0));

    ReleaseDisplay();
    DestroyWindow(window);
    SdlShutdown();
}

} // namespace
