#include "app/viewer.h"

#include <cstdio>
#include <new>

#include "app/camera.h"
#include "app/log.h"
#include "display/display.h"
#include "display/font.h"
#include "geometry/projection.h"
#include "render/render.h"
#include "scene/load_error.h"
#include "scene/map.h"
#include "scene/texture.h"

Matrix4 CameraMatrix = {};
std::unique_ptr<uint32_t[]> FrameBuffer;
HWND MainWindow = nullptr;
std::unique_ptr<Map> MainMap;

namespace {

// One line on stderr naming the file that did not load and why; the log is not touched.
void ReportLoadError() {
    std::fprintf(stderr, "Vexmont: %s\n", DescribeLoadError().c_str());
}

// The end of the run, after the loop or when start-up fails once the display is set up.
// A failed start-up hands the display back too: a process that ends while it still holds
// DirectDraw leaves the teardown to the system, which Wine's can crash in (exit code 139
// now and then, where the exit code is 0).
int ShutDown(int exitCode) {
    FrameBuffer.reset();
    FreeFont();
    ReleaseDisplay();
    return exitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The counter starts with the program's run.
    FrameCounter = 0;
    ClearLoadError();

    CreateLog();

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ProgramIconResource));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(SystemArrowCursor));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = WindowClassName;
    windowClass.hIconSm = LoadIconA(nullptr, MAKEINTRESOURCEA(SystemApplicationIcon));
    RegisterClassExA(&windowClass);

    MainWindow =
        CreateWindowExA(0, WindowClassName, WindowTitle, WS_DLGFRAME, CW_USEDEFAULT, CW_USEDEFAULT,
                        ScreenWidth, ScreenHeight, nullptr, nullptr, instance, nullptr);
    // Without a window no tick and no close could ever arrive: stop rather than wait.
    // The platform has said why.
    if (!MainWindow) return 0;
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);
    ShowCursor(FALSE);

    InitDisplay(MainWindow, ScreenWidth, ScreenHeight);
    WriteLog(LogDisplayRunning);

    CameraMatrix = StartCamera();

    WriteLog(LogLoadingTree);
    MainMap = LoadMap(MapFileName);
    if (!MainMap) {
        ReportLoadError();
        return ShutDown(0);
    }
    Matrix4Identity(MainMap->matrix);
    WriteLog(LogStepOk);

    WriteLog(LogInitEngine);
    SetupProjection(ScreenWidth, ScreenHeight);
    if (!LoadFont(ScreenWidth, ScreenHeight)) ReportLoadError(); // start-up goes on without
    WriteLog(LogStepOk);

    FrameBuffer.reset(new (std::nothrow) uint32_t[size_t(ScreenWidth) * ScreenHeight]);
    if (!FrameBuffer) {
        std::fputs("Vexmont: out of memory for the frame buffer\n", stderr);
        return ShutDown(0);
    }

    WriteLog(LogLoadingTextures);
    if (!LoadMapTextures(*MainMap, TextureDirectoryName)) {
        ReportLoadError();
        return ShutDown(0);
    }
    // Without its cache the map is still drawn, through the painter's walk alone.
    PrepareMapRender(*MainMap);
    WriteLog(LogStepOk);
    WriteLog(LogRendering);

    SetTimer(MainWindow, FrameTimerId, FrameTimerPeriod, nullptr);

    // GetMessageA gives -1 on an error: that ends the loop too rather than spinning.
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    return ShutDown(int(msg.wParam));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        HandleKey(window, wParam);
        return 0;
    case WM_TIMER:
        RunFrame();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
