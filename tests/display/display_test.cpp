#include "display/display.h"

#include <gtest/gtest.h>

#include "platform/headless/headless.h"

namespace {

LRESULT CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

HWND MakeWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = IgnoreMessages;
    windowClass.lpszClassName = "Test";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "Test", "", 0, 0, 0, 512, 384, nullptr, nullptr, nullptr, nullptr);
}

TEST(Display, LockFailsCleanlyWithoutSurfacesAndReleaseIsSafe) {
    HeadlessReset();
    HeadlessFail("DirectDrawCreate", "", DDERR_GENERIC, 1);
    InitDisplay(MakeWindow(), 512, 384);
    EXPECT_EQ(DirectDrawObject, nullptr);
    uint32_t* pixels = reinterpret_cast<uint32_t*>(&pixels);
    uint32_t* const untouched = pixels;
    EXPECT_EQ(LockDisplay(&pixels), 0);
    EXPECT_EQ(pixels, untouched);
    ReleaseDisplay();
    ReleaseDisplay();
    EXPECT_EQ(HeadlessCallCount<ReleaseCall>(), 0);
}

TEST(Display, LockGivesTheCurrentSurfaceAndPresentShowsItAndSwitches) {
    HeadlessReset();
    InitDisplay(MakeWindow(), 512, 384);
    ASSERT_NE(DrawSurfaceB, nullptr);
    EXPECT_EQ(DisplayWidth, 512);
    EXPECT_EQ(DisplayHeight, 384);
    EXPECT_EQ(UseDrawSurfaceA, 0);

    for (uint32_t colour : {0x00112233u, 0x00445566u, 0x00778899u}) {
        uint32_t* pixels = nullptr;
        ASSERT_EQ(LockDisplay(&pixels), 1);
        std::fill(pixels, pixels + 512 * 384, colour);
        PresentDisplay();
        ASSERT_FALSE(HeadlessFrames().empty());
        EXPECT_EQ(HeadlessFrames().back().front(), colour);
        EXPECT_EQ(HeadlessFrames().back().back(), colour);
    }
    std::vector<std::string> locked;
    for (const auto& call : HeadlessCallsOf<LockCall>())
        locked.push_back(call.surface);
    EXPECT_EQ(locked, (std::vector<std::string>{"offscreen2", "offscreen1", "offscreen2"}));

    ReleaseDisplay();
    EXPECT_EQ(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(DrawSurfaceA, nullptr);
    EXPECT_EQ(DrawSurfaceB, nullptr);
    const int64_t releases = HeadlessCallCount<ReleaseCall>();
    EXPECT_EQ(releases, 4);
    ReleaseDisplay();
    EXPECT_EQ(HeadlessCallCount<ReleaseCall>(), releases);
    EXPECT_EQ(HeadlessUseAfterRelease(), 0);
}

TEST(Display, RestoreReportsTheFirstFailure) {
    HeadlessReset();
    InitDisplay(MakeWindow(), 512, 384);
    EXPECT_EQ(RestoreSurfaces(), DD_OK);
    HeadlessFail("Restore", "offscreen1", DDERR_SURFACELOST, 1);
    EXPECT_EQ(RestoreSurfaces(), DDERR_SURFACELOST);
    HeadlessFail("Restore", "offscreen2", DDERR_GENERIC, 1);
    EXPECT_EQ(RestoreSurfaces(), DDERR_GENERIC);
    ReleaseDisplay();
}

} // namespace
