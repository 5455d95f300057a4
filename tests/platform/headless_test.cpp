#include <gtest/gtest.h>
#include <tuple>

#include "platform/headless/headless.h"

namespace {

std::vector<UINT> Seen;

LRESULT CALLBACK Remember(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen.push_back(message);
    return message == WM_TIMER ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Remember;
    windowClass.lpszClassName = "Test";
    EXPECT_NE(RegisterClassExA(&windowClass), 0);
    return CreateWindowExA(0, "Test", "t", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

int RunLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return int(msg.wParam);
}

TEST(HeadlessMessages, TicksNeedATimerAndAUsedUpScriptCloses) {
    HeadlessReset();
    Seen.clear();
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    HeadlessQueueTick(); // no timer yet: dropped
    HeadlessQueueAction([window] { SetTimer(window, 0, 20, nullptr); });
    HeadlessQueueTick();
    HeadlessQueueKey(VK_LEFT);
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(Seen, (std::vector<UINT>{WM_TIMER, WM_KEYDOWN, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(HeadlessWindowAlive());
}

TEST(HeadlessMessages, QuitCodeEndsTheLoop) {
    HeadlessReset();
    Seen.clear();
    MakeWindow();
    HeadlessQueueAction([] { PostQuitMessage(3); });
    HeadlessQueueTick();
    EXPECT_EQ(RunLoop(), 3);
    EXPECT_TRUE(Seen.empty());
}

TEST(HeadlessFaults, CountedPerOperationAndSurface) {
    HeadlessReset();
    HWND window = MakeWindow();
    LPDIRECTDRAW dd = nullptr;
    HeadlessFail("DirectDrawCreate", "", DDERR_GENERIC, 1);
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DDERR_GENERIC);
    EXPECT_EQ(dd, nullptr);
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(window, 0x13), DD_OK);
    // The display mode: the desktop's until one is set.
    DDSURFACEDESC desc = {};
    EXPECT_EQ(dd->GetDisplayMode(&desc), DDERR_INVALIDPARAMS); // no size given
    desc.dwSize = sizeof desc;
    ASSERT_EQ(dd->GetDisplayMode(&desc), DD_OK);
    EXPECT_EQ(std::tuple(desc.dwWidth, desc.dwHeight, desc.ddpfPixelFormat.dwRGBBitCount),
              std::tuple(DWORD(HeadlessDesktopWidth), DWORD(HeadlessDesktopHeight), DWORD(32)));
    ASSERT_EQ(dd->SetDisplayMode(8, 4, 32), DD_OK);
    ASSERT_EQ(dd->GetDisplayMode(&desc), DD_OK);
    EXPECT_EQ(std::tuple(desc.dwWidth, desc.dwHeight, desc.lPitch), std::tuple(8u, 4u, 32));
    desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 8;
    desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    LPDIRECTDRAWSURFACE one = nullptr, two = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &one, nullptr), DD_OK);
    ASSERT_EQ(dd->CreateSurface(&desc, &two, nullptr), DD_OK);

    HeadlessFail("Lock", "offscreen2", DDERR_SURFACEBUSY, 2);
    EXPECT_EQ(one->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(one->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACEBUSY); // already locked
    EXPECT_EQ(one->Unlock(nullptr), DD_OK);
    EXPECT_EQ(one->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(two->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(two->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(two->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(desc.lPitch, 32);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
    two->Unlock(nullptr);

    desc.dwSize = 108 + 4; // a record of another size is refused
    EXPECT_EQ(one->Lock(nullptr, &desc, 0, nullptr), DDERR_INVALIDPARAMS);
    one->Release();
    EXPECT_EQ(HeadlessUseAfterRelease(), 0);
    one->Lock(nullptr, &desc, 0, nullptr);
    EXPECT_EQ(HeadlessUseAfterRelease(), 1);
    two->Release();
    dd->Release();
}

TEST(HeadlessRecord, KeepsTheLatestCallsAndFramesHoweverLongTheRun) {
    HeadlessReset();
    HWND window = MakeWindow();
    HeadlessQueueAction([window] { SetTimer(window, 0, 20, nullptr); });
    const int64_t ticks = 3 * int64_t(HeadlessCallLimit);
    HeadlessQueueTick(ticks);
    EXPECT_EQ(RunLoop(), 0);
    // Every call is counted; only the latest are kept, oldest first, ending with the close.
    EXPECT_EQ(HeadlessCallCount<DispatchMessageCall>(), ticks + 1);
    const std::vector<PlatformCall> kept = HeadlessCalls();
    ASSERT_EQ(kept.size(), HeadlessCallLimit);
    EXPECT_EQ(std::get<DispatchMessageCall>(kept[kept.size() - 5]).message, WM_CLOSE);
    EXPECT_EQ(CallName(kept.back()), "GetMessageA");

    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(MakeWindow(), 0x13), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(2, 1, 32), DD_OK);
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    LPDIRECTDRAWSURFACE primary = nullptr, back = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DDSCAPS caps = {DDSCAPS_BACKBUFFER};
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
    const uint32_t flips = 2 * HeadlessFrameLimit;
    for (uint32_t i = 0; i < flips; ++i) {
        ASSERT_EQ(back->Lock(nullptr, &desc, 0, nullptr), DD_OK);
        static_cast<uint32_t*>(desc.lpSurface)[0] = i;
        back->Unlock(nullptr);
        ASSERT_EQ(primary->Flip(nullptr, 0), DD_OK);
    }
    EXPECT_EQ(HeadlessFramesPresented(), flips);
    ASSERT_EQ(HeadlessFrames().size(), HeadlessFrameLimit);
    EXPECT_EQ(HeadlessFrames().front()[0], flips - HeadlessFrameLimit);
    EXPECT_EQ(HeadlessFrames().back()[0], flips - 1);
    HeadlessKeepFrames(1);
    ASSERT_EQ(HeadlessFrames().size(), 1u);
    EXPECT_EQ(HeadlessFrames().back()[0], flips - 1);
    primary->Release();
    dd->Release();
}

} // namespace
