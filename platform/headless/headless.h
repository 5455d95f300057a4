// The in-memory platform: the window API and DirectDraw without a screen. Messages come
// from a script, surfaces are plain memory (platform/common), chosen calls can be made to
// fail, the latest presented frames are kept, and the latest calls are recorded with
// their arguments by name (platform/common/calls.h). What it keeps is bounded however long
// a run goes: HeadlessCallLimit calls, HeadlessFrameLimit frames (or fewer, as asked), and
// a repeated tick is one entry of the script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/common/calls.h"
#include "platform/ddraw.h"
#include "platform/win32.h"

// Forgets everything: script, faults, record, frames, window classes, windows, surfaces.
void HeadlessReset();

// The script that GetMessageA plays, in order, once the message loop runs. A tick is
// delivered only while a timer is set. When the script is used up, the window gets a
// close request, so a run always ends.
void HeadlessQueueTick(int64_t count = 1);
void HeadlessQueueKey(WPARAM key);
void HeadlessQueueClose();
void HeadlessQueueMessage(UINT message, WPARAM wParam, LPARAM lParam);
// Runs action inside the message loop when the script reaches it.
void HeadlessQueueAction(std::function<void()> action);

// The next count calls of operation (0 or less: every call) return result instead of
// their work. surface narrows it to one surface: "primary", "backbuffer", "offscreen1",
// "offscreen2", ... in order of creation; empty matches any. Operations: DirectDrawCreate,
// SetCooperativeLevel, SetDisplayMode, GetDisplayMode, CreateSurface, GetAttachedSurface,
// Lock, Unlock, BltFast, Flip, Restore, CreateWindowExA (fails with a null window).
void HeadlessFail(std::string_view operation, std::string_view surface, HRESULT result,
                  int count = 1);
// Loses the primary surface and its back buffer (the screen's memory) until the primary
// is restored: blits to the back buffer and flips report DDERR_SURFACELOST meanwhile.
void HeadlessLoseSurfaces();
// On by default and after HeadlessReset. Off, for benchmarks, nothing is recorded: no
// call and no frame (HeadlessFramesPresented still counts), and no call allocates.
void HeadlessSetRecording(bool on);
bool HeadlessRecording();
// The desktop's size, which GetDisplayMode reports before any mode is set.
inline constexpr int32_t HeadlessDesktopWidth = 1024, HeadlessDesktopHeight = 768;
// Bits per pixel that Lock reports (32 by default).
void HeadlessSetReportedBitCount(DWORD bits);

inline constexpr size_t HeadlessCallLimit = 1024;
// The latest calls, at most HeadlessCallLimit, oldest first.
std::vector<PlatformCall> HeadlessCalls();
// How many calls of the operation at position callIndex of PlatformCall were made since
// the reset, kept or not.
int64_t HeadlessCallCount(size_t callIndex);

// The kept calls of one operation, oldest first: HeadlessCallsOf<LockCall>()[0].surface.
template <typename Call> std::vector<Call> HeadlessCallsOf() {
    std::vector<Call> out;
    for (const PlatformCall& call : HeadlessCalls())
        if (const Call* c = std::get_if<Call>(&call)) out.push_back(*c);
    return out;
}
template <typename Call> int64_t HeadlessCallCount() {
    return HeadlessCallCount(CallIndex<Call>());
}

inline constexpr size_t HeadlessFrameLimit = 32;
// The latest frames that a successful Flip put on the (imaginary) screen, oldest first.
const std::vector<std::vector<uint32_t>>& HeadlessFrames();
int64_t HeadlessFramesPresented();
// Keep only the last count frames, 1 to HeadlessFrameLimit (HeadlessFrameLimit after a
// reset).
void HeadlessKeepFrames(size_t count);

int HeadlessCursorCount();
bool HeadlessMessageLoopReached();
bool HeadlessWindowAlive();
// Calls made on an object after its last Release (must stay 0).
int HeadlessUseAfterRelease();
