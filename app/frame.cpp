#include "app/viewer.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "display/display.h"
#include "display/font.h"
#include "render/render.h"
#include "scene/map.h"

int32_t FrameCounter = 0;
uint32_t* SurfacePixels = nullptr;

namespace {
constexpr int32_t CounterX = 10;
constexpr int32_t CounterY = 10;
constexpr size_t FrameBytes = size_t(ScreenWidth) * ScreenHeight * sizeof(uint32_t);
} // namespace

void FormatCounterText(int32_t n, char (&text)[CounterTextSize]) {
    const int32_t r = n % 10;
    const char* format = r == 1 ? "%d.st Frame" : r == 2 ? "%d.nd Frame" : "%d.th Frame";
    std::snprintf(text, sizeof text, format, n);
}

void RunFrame() {
    std::memset(FrameBuffer.get(), 0, FrameBytes);
    RenderScene(CameraMatrix, *MainMap, FrameBuffer.get());
    if (!LockDisplay(&SurfacePixels)) return;
    std::memcpy(SurfacePixels, FrameBuffer.get(), FrameBytes);

    char text[CounterTextSize];
    FormatCounterText(FrameCounter, text);
    // Past the largest value the count starts again at 0.
    FrameCounter = FrameCounter == INT32_MAX ? 0 : FrameCounter + 1;
    DrawString(text, CounterX, CounterY, SurfacePixels);
    PresentDisplay();
}

void HandleKey(HWND window, WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        ShowCursor(TRUE);
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case VK_LEFT:
        Matrix4RotateY(CameraMatrix, KeyTurnAngle);
        break;
    case VK_UP:
        Matrix4RotateX(CameraMatrix, -KeyTurnAngle);
        break;
    case VK_RIGHT:
        Matrix4RotateY(CameraMatrix, -KeyTurnAngle);
        break;
    case VK_DOWN:
        Matrix4RotateX(CameraMatrix, KeyTurnAngle);
        break;
    case VK_INSERT:
        Matrix4Translate(CameraMatrix, 0.0f, 0.0f, -KeyMoveDistance);
        break;
    case VK_DELETE:
        Matrix4Translate(CameraMatrix, 0.0f, 0.0f, KeyMoveDistance);
        break;
    default:
        break;
    }
}
