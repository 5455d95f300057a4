// The in-memory platform: the window API and DirectDraw without a screen. Messages come
// from a script, surfaces are plain memory, chosen calls can be made to fail, every
// presented frame is captured and every call is recorded with its values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ddraw.h"
#include "platform/win32.h"

// Forgets everything: script, faults, record, frames, window classes, windows, surfaces.
void HeadlessReset();

// The script that GetMessageA plays, in order, once the message loop runs. A tick is
// delivered only while a timer is set. When the script is used up, the window gets a
// close request, so a run always ends.
void HeadlessQueueTick();
void HeadlessQueueKey(WPARAM key);
void HeadlessQueueClose();
void HeadlessQueueMessage(UINT message, WPARAM wParam, LPARAM lParam);
// Runs action inside the message loop when the script reaches it.
void HeadlessQueueAction(std::function<void()> action);

// The next count calls of operation (0 or less: every call) return result instead of
// their work. surface narrows it to one surface: "primary", "backbuffer", "offscreen1",
// "offscreen2", ... in order of creation; empty matches any. Operations: DirectDrawCreate,
// SetCooperativeLevel, SetDisplayMode, CreateSurface, GetAttachedSurface, Lock, Unlock,
// BltFast, Flip, Restore, CreateWindowExA (fails with a null window).
void HeadlessFail(std::string_view operation, std::string_view surface, HRESULT result,
                  int count = 1);
// Loses the primary surface and its back buffer (the screen's memory) until the primary
// is restored: blits to the back buffer and flips report DDERR_SURFACELOST meanwhile.
void HeadlessLoseSurfaces();
// On by default and after HeadlessReset. Off, for benchmarks, nothing is recorded: no
// call and no frame (HeadlessFramesPresented still counts), and no call allocates.
void HeadlessSetRecording(bool on);
// Bits per pixel that Lock reports (32 by default).
void HeadlessSetReportedBitCount(DWORD bits);

struct HeadlessCall {
    std::string name;
    std::string surface;         // the surface or object called on, when there is one
    std::vector<int64_t> values; // the arguments, in the order of the call's signature
    std::vector<std::string> texts;
};
// Values per call: RegisterClassExA {cbSize, style, cbClsExtra, cbWndExtra} texts {class};
// CreateWindowExA {exStyle, style, x, y, width, height, parent, menu, param} texts {class,
// title}; ShowWindow {showCommand}; ShowCursor {show}; LoadIconA/LoadCursorA {instance is
// null, resource number}; GetStockObject {object}; SetTimer {id, elapse, timerProc is null};
// GetMessageA {window filter is null, min, max}; DispatchMessageA/DefWindowProcA/SendMessageA
// {message, wParam, lParam}; PostQuitMessage {exitCode}; DirectDrawCreate {driver is null,
// outer is null}; SetCooperativeLevel {window is the main window, flags}; SetDisplayMode
// {width, height, bits}; CreateSurface {dwSize, dwFlags, dwBackBufferCount, dwCaps, dwWidth,
// dwHeight, outer is null} with surface = the new surface; GetAttachedSurface {dwCaps};
// Lock {rect is null, dwSize, flags, event is null}; Unlock {pointer is null};
// BltFast {x, y, left, top, right, bottom, flags} texts {source}; Flip {override is null,
// flags}; Restore {}; Release {}.
const std::vector<HeadlessCall>& HeadlessCalls();
// The recorded calls of one operation, in order.
std::vector<HeadlessCall> HeadlessCallsOf(std::string_view name);

// Every frame that a successful Flip put on the (imaginary) screen.
const std::vector<std::vector<uint32_t>>& HeadlessFrames();
int64_t HeadlessFramesPresented();
// Keep only the last count frames (0: keep all).
void HeadlessKeepFrames(size_t count);

int HeadlessCursorCount();
bool HeadlessMessageLoopReached();
bool HeadlessWindowAlive();
// Calls made on an object after its last Release (must stay 0).
int HeadlessUseAfterRelease();
