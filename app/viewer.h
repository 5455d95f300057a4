// The viewer: start-up, the window procedure and its message loop, the frame step on each
// tick and the keys that move the camera. One run of WinMain is one run of the program.
#pragma once

#include <cstdint>
#include <memory>

#include "app/screen.h"
#include "geometry/matrix.h"
#include "platform/win32.h"

struct Map;

inline constexpr const char* WindowClassName = "Vexmont";
inline constexpr const char* WindowTitle = "Vexmont 1.0";
inline constexpr UINT_PTR FrameTimerId = 0;
inline constexpr UINT FrameTimerPeriod = 20;
// The resource number of the program's icon; it has none, so no icon is found.
inline constexpr uintptr_t ProgramIconResource = 32512;
// The system's arrow cursor and application icon (IDC_ARROW, IDI_APPLICATION), given as
// numbers: the system header's names are wide-character resources in a UNICODE build.
inline constexpr uintptr_t SystemArrowCursor = 32512;
inline constexpr uintptr_t SystemApplicationIcon = 32512;
// One hundredth of a turn, as a single-precision angle.
inline constexpr float KeyTurnAngle = 0.06283185f;
inline constexpr float KeyMoveDistance = 5.0f;
inline constexpr int CounterTextSize = 256;

extern Matrix4 CameraMatrix;
extern std::unique_ptr<uint32_t[]> FrameBuffer;
extern int32_t FrameCounter;
extern uint32_t* SurfacePixels;
extern HWND MainWindow;
extern std::unique_ptr<Map> MainMap;

// WinMain, declared with the window API (platform/win32.h), runs the whole program.

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The counter text of frame n: "%d.st Frame", "%d.nd Frame" or "%d.th Frame".
void FormatCounterText(int32_t n, char (&text)[CounterTextSize]);
// One tick: clear, render, lock, copy, counter text, present.
void RunFrame();
// A key-down message: changes CameraMatrix by the key table; Escape closes the window.
void HandleKey(HWND window, WPARAM key);
