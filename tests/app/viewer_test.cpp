#include "app/viewer.h"

#include <climits>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/camera.h"
#include "display/display.h"
#include "display/font.h"
#include "viewer_run.h"
#include "wall_map.h"

namespace {

const std::vector<std::string> CompleteLog = {"__________BSP - Log__________",
                                              "DDraw is running..",
                                              "Loading tree ..",
                                              "    OK",
                                              "Init engine ...",
                                              "    OK",
                                              "Loading textures ...",
                                              "    OK",
                                              "Rendering !"};

template <typename Call> std::vector<std::string> SurfacesOf() {
    std::vector<std::string> surfaces;
    for (const Call& call : HeadlessCallsOf<Call>())
        surfaces.push_back(call.surface);
    return surfaces;
}

// The names of the calls made after the first call named from, in order.
std::vector<std::string> CallsAfter(const std::string& from, size_t count) {
    std::vector<std::string> out;
    bool started = false;
    for (const auto& call : HeadlessCalls()) {
        if (started && out.size() < count)
            out.push_back(std::string(CallName(call)) + " " + std::string(CallSurface(call)));
        if (CallName(call) == from) started = true;
    }
    return out;
}

class Viewer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(WriteWallMap(run.Dir())); }
    ViewerRun run;
};

TEST_F(Viewer, CompleteStartUpLogsNineLinesRunsFramesAndShutsDown) {
    HeadlessQueueTick();
    HeadlessQueueTick();
    HeadlessQueueClose();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines(), CompleteLog);
    EXPECT_EQ(HeadlessFramesPresented(), 2);
    EXPECT_EQ(FrameCounter, 2);

    // Shutdown: the frame buffer, the font and the display go; nothing is used afterwards.
    EXPECT_EQ(FrameBuffer, nullptr);
    EXPECT_EQ(FontImage, nullptr);
    EXPECT_EQ(DirectDrawObject, nullptr);
    EXPECT_EQ(CallsAfter("PostQuitMessage", 6),
              (std::vector<std::string>{"GetMessageA ", "Release primary", "Release offscreen1",
                                        "Release offscreen2", "Release directdraw"}));
    EXPECT_EQ(HeadlessUseAfterRelease(), 0);
    EXPECT_EQ(HeadlessCursorCount(), -1); // a plain close leaves the cursor hidden
}

// What benchmarks rely on: with the record off, frames and calls still count but nothing
// is kept.
TEST_F(Viewer, RecordingOffKeepsNoCallAndNoFrameYetCountsThem) {
    HeadlessQueueAction([] { HeadlessSetRecording(false); });
    HeadlessQueueTick();
    HeadlessQueueTick();
    HeadlessQueueAction([] { HeadlessSetRecording(true); });
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(HeadlessFramesPresented(), 3);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    EXPECT_EQ(HeadlessCallsOf<FlipCall>().size(), 1u);
    EXPECT_EQ(HeadlessCallCount<FlipCall>(), 3);
}

TEST_F(Viewer, WindowCallsCarryTheirValues) {
    HeadlessQueueClose();
    EXPECT_EQ(run.Run(7), 0);

    // Fields not named are expected to be 0: null pointers, no flags.
    EXPECT_EQ(HeadlessCallsOf<RegisterClassCall>(),
              (std::vector<RegisterClassCall>{{.cbSize = sizeof(WNDCLASSEXA),
                                               .style = CS_VREDRAW | CS_HREDRAW,
                                               .className = "Vexmont"}}));
    EXPECT_EQ(HeadlessCallsOf<LoadIconCall>(),
              (std::vector<LoadIconCall>{
                  {.instanceIsNull = false, .resource = 32512},   // the program's instance
                  {.instanceIsNull = true, .resource = 32512}})); // the system's icon
    EXPECT_EQ(HeadlessCallsOf<LoadCursorCall>()[0],
              (LoadCursorCall{.instanceIsNull = true, .resource = 32512}));
    EXPECT_EQ(HeadlessCallsOf<GetStockObjectCall>()[0].object, BLACK_BRUSH);

    EXPECT_EQ(HeadlessCallsOf<CreateWindowCall>(),
              (std::vector<CreateWindowCall>{{.style = WS_DLGFRAME,
                                              .x = CW_USEDEFAULT,
                                              .y = CW_USEDEFAULT,
                                              .width = 512,
                                              .height = 384,
                                              .className = "Vexmont",
                                              .title = "Vexmont 1.0"}}));
    EXPECT_EQ(HeadlessCallsOf<ShowWindowCall>()[0].showCommand, 7);
    EXPECT_EQ(HeadlessCallCount<UpdateWindowCall>(), 1);
    EXPECT_EQ(HeadlessCallsOf<ShowCursorCall>(), std::vector<ShowCursorCall>{{.show = FALSE}});
    EXPECT_EQ(HeadlessCallsOf<SetTimerCall>(),
              (std::vector<SetTimerCall>{{.elapse = 20, .timerProcIsNull = true}}));
    EXPECT_EQ(HeadlessCallsOf<GetMessageCall>()[0], (GetMessageCall{.windowIsNull = true}));
    EXPECT_EQ(HeadlessCallsOf<PostQuitMessageCall>()[0].exitCode, 0);
}

TEST_F(Viewer, DisplayCallsCarryTheirValues) {
    HeadlessQueueTick();
    HeadlessQueueClose();
    EXPECT_EQ(run.Run(), 0);

    // Fields not named are expected to be 0: null pointers, no flags.
    const int64_t descSize = sizeof(DDSURFACEDESC);
    EXPECT_EQ(HeadlessCallsOf<DirectDrawCreateCall>()[0],
              (DirectDrawCreateCall{.driver = 0, .outer = 0}));
    EXPECT_EQ(
        HeadlessCallsOf<SetCooperativeLevelCall>()[0],
        (SetCooperativeLevelCall{.surface = "directdraw", .windowIsMain = true, .flags = 0x13}));
    EXPECT_EQ(HeadlessCallsOf<SetDisplayModeCall>()[0],
              (SetDisplayModeCall{
                  .surface = "directdraw", .width = 512, .height = 384, .bitsPerPixel = 32}));
    const auto drawSurface = [&](std::string name) {
        return CreateSurfaceCall{.surface = name,
                                 .dwSize = descSize,
                                 .dwFlags = 7,
                                 .dwBackBufferCount = 1,
                                 .dwCaps = 0x00100840,
                                 .dwWidth = 512,
                                 .dwHeight = 384};
    };
    EXPECT_EQ(HeadlessCallsOf<CreateSurfaceCall>(),
              (std::vector<CreateSurfaceCall>{{.surface = "primary",
                                               .dwSize = descSize,
                                               .dwFlags = 0x21,
                                               .dwBackBufferCount = 1,
                                               .dwCaps = 0x00100218},
                                              drawSurface("offscreen1"),
                                              drawSurface("offscreen2")}));
    EXPECT_EQ(HeadlessCallsOf<GetAttachedSurfaceCall>()[0].dwCaps, 0x00100004);
    EXPECT_EQ(HeadlessCallsOf<LockCall>()[0],
              (LockCall{.surface = "offscreen2", .dwSize = descSize}));
    EXPECT_EQ(HeadlessCallsOf<UnlockCall>()[0].pointer, 0);
    const auto blits = HeadlessCallsOf<BltFastCall>();
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0],
              (BltFastCall{
                  .surface = "backbuffer", .right = 512, .bottom = 384, .source = "offscreen2"}));
    EXPECT_EQ(HeadlessCallsOf<FlipCall>(), (std::vector<FlipCall>{{.surface = "primary"}}));
}

// A failed start-up keeps its log and hidden cursor but hands the display back: a process
// that ends holding DirectDraw crashed now and then in Wine's teardown.
TEST_F(Viewer, MissingFilesEndStartUpWhereTheLogSaysAndReleaseTheDisplay) {
    const std::vector<std::string> released = {"primary", "offscreen1", "offscreen2",
                                               "directdraw"};
    std::filesystem::remove(run.Dir() / "Textures" / "wall.bmp");
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines().back(), "Loading textures ...");
    EXPECT_EQ(run.LogLines().size(), 7u);
    EXPECT_FALSE(HeadlessMessageLoopReached());
    EXPECT_EQ(HeadlessFramesPresented(), 0);
    EXPECT_EQ(SurfacesOf<ReleaseCall>(), released);
    EXPECT_EQ(FontImage, nullptr);
    EXPECT_EQ(FrameBuffer, nullptr);

    HeadlessReset();
    std::filesystem::remove(run.Dir() / "Vuze.BSP");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines(),
              (std::vector<std::string>(CompleteLog.begin(), CompleteLog.begin() + 3)));
    EXPECT_FALSE(HeadlessMessageLoopReached());
    EXPECT_EQ(HeadlessFramesPresented(), 0);
    EXPECT_EQ(HeadlessCursorCount(), -1);
    EXPECT_EQ(SurfacesOf<ReleaseCall>(), released);
    EXPECT_EQ(HeadlessUseAfterRelease(), 0);
}

TEST_F(Viewer, MissingFontGivesFramesWithoutTextAndTheCounterStillCounts) {
    std::filesystem::remove(run.Dir() / "Font.bmp");
    for (int i = 0; i < 3; ++i)
        HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines(), CompleteLog);
    ASSERT_EQ(HeadlessFrames().size(), 3u);
    for (const auto& frame : HeadlessFrames())
        EXPECT_EQ(ReadCounterText(frame), "");
    EXPECT_EQ(FrameCounter, 3);
}

TEST_F(Viewer, EveryFrameStartsFromAClearedFrameBuffer) {
    // Without the counter text two frames from the same camera must match pixel for pixel.
    std::filesystem::remove(run.Dir() / "Font.bmp");
    HeadlessQueueTick();
    HeadlessQueueAction(
        [] { std::fill(FrameBuffer.get(), FrameBuffer.get() + 512 * 384, 0xFF00FFu); });
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(HeadlessFrames().size(), 2u);
    // The wall leaves part of the screen uncovered, where only the clear reaches.
    EXPECT_NE(std::count(HeadlessFrames()[0].begin(), HeadlessFrames()[0].end(), 0u), 0);
    EXPECT_TRUE(HeadlessFrames()[1] == HeadlessFrames()[0]);
}

TEST_F(Viewer, FramesCarryTheCounterText) {
    HeadlessQueueTick();
    // The text goes into the surface only: the frame buffer holds the rendered scene alone.
    bool textInFrameBuffer = false;
    HeadlessQueueAction([&] {
        std::vector<uint32_t> pixels(FrameBuffer.get(), FrameBuffer.get() + 512 * 384);
        textInFrameBuffer = !ReadCounterText(pixels).empty();
    });
    for (int i = 1; i < 24; ++i)
        HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    const auto& frames = HeadlessFrames();
    ASSERT_EQ(frames.size(), 24u);
    EXPECT_EQ(ReadCounterText(frames[0]), "0.th Frame");
    EXPECT_EQ(ReadCounterText(frames[1]), "1.st Frame");
    EXPECT_EQ(ReadCounterText(frames[2]), "2.nd Frame");
    EXPECT_EQ(ReadCounterText(frames[3]), "3.th Frame");
    EXPECT_EQ(ReadCounterText(frames[11]), "11.st Frame");
    EXPECT_EQ(ReadCounterText(frames[12]), "12.nd Frame");
    EXPECT_EQ(ReadCounterText(frames[13]), "13.th Frame");
    EXPECT_EQ(ReadCounterText(frames[21]), "21.st Frame");
    EXPECT_EQ(ReadCounterText(frames[23]), "23.th Frame");
    EXPECT_FALSE(textInFrameBuffer);
}

TEST(CounterText, FormatsBySignedRemainder) {
    char text[CounterTextSize];
    const std::pair<int32_t, const char*> cases[] = {
        {0, "0.th Frame"},   {1, "1.st Frame"},     {2, "2.nd Frame"},
        {3, "3.th Frame"},   {11, "11.st Frame"},   {12, "12.nd Frame"},
        {13, "13.th Frame"}, {101, "101.st Frame"}, {2147483647, "2147483647.th Frame"}};
    for (const auto& [n, expected] : cases) {
        FormatCounterText(n, text);
        EXPECT_STREQ(text, expected);
    }
}

TEST_F(Viewer, CounterWrapsToZeroPastTheLargestValue) {
    HeadlessQueueAction([] { FrameCounter = INT32_MAX; });
    HeadlessQueueTick();
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    ASSERT_EQ(HeadlessFrames().size(), 2u);
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[0]), "2147483647.th Frame");
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[1]), "0.th Frame");
    EXPECT_EQ(FrameCounter, 1);
}

TEST_F(Viewer, SurfacesAlternateAndAFailedLockKeepsCounterAndSurface) {
    HeadlessQueueTick();
    HeadlessQueueAction([] { HeadlessFail("Lock", "offscreen1", DDERR_SURFACEBUSY, 1); });
    HeadlessQueueTick();
    HeadlessQueueTick();
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(SurfacesOf<LockCall>(),
              (std::vector<std::string>{"offscreen2", "offscreen1", "offscreen1", "offscreen2"}));
    EXPECT_EQ(SurfacesOf<UnlockCall>(),
              (std::vector<std::string>{"offscreen2", "offscreen1", "offscreen2"}));
    ASSERT_EQ(HeadlessFrames().size(), 3u);
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[0]), "0.th Frame");
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[1]), "1.st Frame");
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[2]), "2.nd Frame");
    EXPECT_EQ(FrameCounter, 3);
}

TEST_F(Viewer, SurfaceLossDuringTheBlitRestoresAndStillFlips) {
    HeadlessQueueAction([] { HeadlessLoseSurfaces(); });
    HeadlessQueueTick();
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(CallsAfter("BltFast", 4),
              (std::vector<std::string>{"Restore primary", "Restore offscreen1",
                                        "Restore offscreen2", "Flip primary"}));
    EXPECT_EQ(HeadlessCallCount<BltFastCall>(), 2); // the lost blit is not repeated
    EXPECT_EQ(HeadlessFramesPresented(), 2);
    // The second frame reaches the screen whole.
    EXPECT_EQ(ReadCounterText(HeadlessFrames()[1]), "1.st Frame");
}

TEST_F(Viewer, RestoreStopsAtTheFirstFailureAndTheFlipStillComes) {
    HeadlessFail("Restore", "offscreen1", DDERR_GENERIC, 1);
    HeadlessFail("Flip", "", DDERR_SURFACELOST, 1);
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(CallsAfter("BltFast", 4),
              (std::vector<std::string>{"Flip primary", "Restore primary", "Restore offscreen1",
                                        "GetMessageA "}));
    EXPECT_EQ(HeadlessCallCount<FlipCall>(), 1);
}

TEST_F(Viewer, BusyBlitAndFlipAreRetriedOtherErrorsAreNot) {
    HeadlessFail("BltFast", "", DDERR_WASSTILLDRAWING, 3);
    HeadlessFail("Flip", "", DDERR_WASSTILLDRAWING, 2);
    HeadlessQueueTick();
    HeadlessQueueAction([] {
        HeadlessFail("BltFast", "", DDERR_GENERIC, 1);
        HeadlessFail("Flip", "", DDERR_GENERIC, 1);
    });
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(HeadlessCallCount<BltFastCall>(), 4 + 1);
    EXPECT_EQ(HeadlessCallCount<FlipCall>(), 3 + 1);
    EXPECT_EQ(HeadlessCallCount<RestoreCall>(), 0);
    EXPECT_EQ(HeadlessFramesPresented(), 1);
    EXPECT_EQ(FrameCounter, 2);
}

TEST_F(Viewer, ADisplayNotAt32BitsShowsNoFrame) {
    HeadlessSetReportedBitCount(16);
    HeadlessQueueTick();
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(SurfacesOf<LockCall>(), (std::vector<std::string>{"offscreen2", "offscreen2"}));
    EXPECT_EQ(SurfacesOf<UnlockCall>(), (std::vector<std::string>{"offscreen2", "offscreen2"}));
    EXPECT_EQ(HeadlessFramesPresented(), 0);
    EXPECT_EQ(FrameCounter, 0);
}

TEST_F(Viewer, AFailedDisplaySetUpLetsStartUpGoOnWithoutFrames) {
    // SetDisplayMode twice: the frame's own mode and then the desktop's.
    for (const auto& [step, count] :
         std::vector<std::pair<const char*, int>>{{"DirectDrawCreate", 1},
                                                  {"SetCooperativeLevel", 1},
                                                  {"SetDisplayMode", 2},
                                                  {"CreateSurface", 1},
                                                  {"GetAttachedSurface", 1}}) {
        SCOPED_TRACE(step);
        HeadlessReset();
        HeadlessFail(step, "", DDERR_GENERIC, count);
        HeadlessQueueTick();
        HeadlessQueueTick();
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.LogLines(), CompleteLog);
        EXPECT_EQ(HeadlessCallCount<LockCall>(), 0);
        EXPECT_EQ(HeadlessFramesPresented(), 0);
        EXPECT_EQ(FrameCounter, 0);
        EXPECT_EQ(HeadlessUseAfterRelease(), 0);
    }
    // Only the second drawing surface missing: its lock fails cleanly every frame.
    HeadlessReset();
    HeadlessFail("CreateSurface", "offscreen2", DDERR_OUTOFMEMORY, 1);
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(HeadlessCallCount<LockCall>(), 0);
    EXPECT_EQ(SurfacesOf<ReleaseCall>(),
              (std::vector<std::string>{"primary", "offscreen1", "directdraw"}));
}

// Drivers of today may lack 512 x 384: the frames then show in the middle of the desktop's
// mode, on black, and the log reads as ever.
TEST_F(Viewer, ARefusedDisplayModeShowsTheFramesInTheMiddleOfTheDesktopsMode) {
    HeadlessQueueTick();
    ASSERT_EQ(run.Run(), 0);
    ASSERT_EQ(HeadlessFrames().size(), 1u);
    const std::vector<uint32_t> own = HeadlessFrames().back();
    ASSERT_EQ(own.size(), 512u * 384);

    for (const char* failing : {"", "GetDisplayMode"}) {
        SCOPED_TRACE(failing);
        HeadlessReset();
        HeadlessFail("SetDisplayMode", "", DDERR_INVALIDPARAMS, 1);
        if (*failing) HeadlessFail(failing, "", DDERR_GENERIC, 1);
        HeadlessQueueTick();
        HeadlessQueueTick();
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.LogLines(), CompleteLog);
        if (*failing) {
            EXPECT_EQ(HeadlessFramesPresented(), 0);
            continue;
        }
        EXPECT_EQ(HeadlessCallsOf<SetDisplayModeCall>().back(),
                  (SetDisplayModeCall{.surface = "directdraw",
                                      .width = HeadlessDesktopWidth,
                                      .height = HeadlessDesktopHeight,
                                      .bitsPerPixel = 32}));
        ASSERT_EQ(HeadlessFrames().size(), 2u);
        const std::vector<uint32_t>& screen = HeadlessFrames().front();
        ASSERT_EQ(screen.size(), size_t(HeadlessDesktopWidth) * HeadlessDesktopHeight);
        const int32_t left = (HeadlessDesktopWidth - 512) / 2,
                      top = (HeadlessDesktopHeight - 384) / 2;
        size_t wrong = 0;
        for (int32_t y = 0; y < HeadlessDesktopHeight; ++y)
            for (int32_t x = 0; x < HeadlessDesktopWidth; ++x) {
                const bool inFrame = x >= left && x < left + 512 && y >= top && y < top + 384;
                const uint32_t expected =
                    inFrame ? own[size_t(y - top) * 512 + size_t(x - left)] : 0u;
                wrong += screen[size_t(y) * HeadlessDesktopWidth + x] != expected;
            }
        EXPECT_EQ(wrong, 0u);
        EXPECT_EQ(HeadlessUseAfterRelease(), 0);
    }
}

TEST(Keys, TurnAndMoveTheCameraByTheTable) {
    HeadlessReset();
    const Matrix4 start = StartCamera();

    auto expectKey = [&](WPARAM key, auto apply) {
        CameraMatrix = start;
        Matrix4 expected = start;
        apply(expected);
        EXPECT_EQ(WindowProc(nullptr, WM_KEYDOWN, key, 0), 0);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(CameraMatrix.m[i], expected.m[i]) << key << " " << i;
    };
    expectKey(VK_LEFT, [](Matrix4& m) { Matrix4RotateY(m, 0.06283185f); });
    expectKey(VK_RIGHT, [](Matrix4& m) { Matrix4RotateY(m, -0.06283185f); });
    expectKey(VK_UP, [](Matrix4& m) { Matrix4RotateX(m, -0.06283185f); });
    expectKey(VK_DOWN, [](Matrix4& m) { Matrix4RotateX(m, 0.06283185f); });
    expectKey(VK_INSERT, [](Matrix4& m) { Matrix4Translate(m, 0, 0, -5); });
    expectKey(VK_DELETE, [](Matrix4& m) { Matrix4Translate(m, 0, 0, 5); });
    for (WPARAM other : {WPARAM(0), WPARAM('A'), VK_SPACE, VK_RETURN, VK_HOME, VK_PRIOR,
                         WPARAM(0x2F), WPARAM(0xFF), WPARAM(0x10000 + VK_LEFT)})
        expectKey(other, [](Matrix4&) {});
    EXPECT_EQ(HeadlessCallCount<DefWindowProcCall>(), 0);

    // Delete moves along the camera's own viewing axis: world +z at the start.
    CameraMatrix = start;
    WindowProc(nullptr, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_FLOAT_EQ(CameraMatrix.m[14], -35.0f);
    EXPECT_FLOAT_EQ(CameraMatrix.m[13], 40.0f);
}

TEST(Keys, OppositeKeysCancelAndAHundredTurnsMakeAFullTurn) {
    const Matrix4 start = StartCamera();
    for (auto [a, b] : {std::pair{VK_LEFT, VK_RIGHT}, std::pair{VK_UP, VK_DOWN},
                        std::pair{VK_INSERT, VK_DELETE}}) {
        CameraMatrix = start;
        WindowProc(nullptr, WM_KEYDOWN, a, 0);
        WindowProc(nullptr, WM_KEYDOWN, b, 0);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(CameraMatrix.m[i], start.m[i], 1e-5f) << a;
    }
    CameraMatrix = start;
    for (int i = 0; i < 100; ++i)
        WindowProc(nullptr, WM_KEYDOWN, VK_LEFT, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(CameraMatrix.m[i], start.m[i], 1e-4f) << i;
}

TEST(WindowProcedure, PassesOtherMessagesToTheDefaultHandling) {
    HeadlessReset();
    EXPECT_EQ(WindowProc(nullptr, WM_PAINT, 7, -9), 0);
    EXPECT_EQ(HeadlessCallsOf<DefWindowProcCall>(),
              (std::vector<DefWindowProcCall>{{{.message = WM_PAINT, .wParam = 7, .lParam = -9}}}));
    EXPECT_EQ(WindowProc(nullptr, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(HeadlessCallsOf<PostQuitMessageCall>()[0].exitCode, 0);
}

TEST_F(Viewer, EscapeShowsTheCursorClosesAndEndsWithZero) {
    HeadlessQueueTick();
    HeadlessQueueKey(VK_ESCAPE);
    HeadlessQueueTick(); // never reached: the window is gone
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(HeadlessCursorCount(), 0);
    const auto cursor = HeadlessCallsOf<ShowCursorCall>();
    ASSERT_EQ(cursor.size(), 2u);
    EXPECT_EQ(cursor[1].show, TRUE);
    EXPECT_EQ(CallsAfter("SendMessageA", 4),
              (std::vector<std::string>{"DefWindowProcA ", "DestroyWindow ", "PostQuitMessage ",
                                        "GetMessageA "}));
    EXPECT_EQ(HeadlessCallsOf<SendMessageCall>()[0],
              (SendMessageCall{{.message = WM_CLOSE, .wParam = 0, .lParam = 0}}));
    EXPECT_EQ(HeadlessFramesPresented(), 1);
    EXPECT_FALSE(HeadlessWindowAlive());
}

TEST(ViewerStart, MissingMapEndsAfterLoadingTree) {
    ViewerRun run;
    HeadlessQueueTick();
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines(), (std::vector<std::string>{"__________BSP - Log__________",
                                                        "DDraw is running..", "Loading tree .."}));
    EXPECT_FALSE(HeadlessMessageLoopReached());
    EXPECT_EQ(HeadlessFramesPresented(), 0);
}

TEST(ViewerStart, NoWindowEndsStartUpAtOnce) {
    ViewerRun run;
    HeadlessFail("CreateWindowExA", "", DDERR_GENERIC, 1);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.LogLines(), std::vector<std::string>{"__________BSP - Log__________"});
    EXPECT_EQ(HeadlessCallCount<ShowWindowCall>(), 0);
    EXPECT_EQ(HeadlessCallCount<DirectDrawCreateCall>(), 0);
    EXPECT_FALSE(HeadlessMessageLoopReached());
}

} // namespace
