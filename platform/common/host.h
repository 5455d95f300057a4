// What each implementation supplies to the shared parts (platform/common): the watch on
// calls and the screen behind the primary surface. A program links one implementation,
// which defines every function declared here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/common/calls.h"
#include "platform/ddraw.h"
#include "platform/win32.h"

// Every call, described as it arrives, before anything is judged.
void RecordCall(PlatformCall call);
// The result an injected fault asks for, if one matches; the call then does no work.
std::optional<HRESULT> TakeFault(std::string_view operation, std::string_view surface);

// The display mode for window (the cooperative window, possibly gone); the size and depth
// are already checked.
HRESULT ScreenSetMode(HWND window, int32_t width, int32_t height);
// The size of the desktop, the display mode before any change; 0 x 0 when unknown.
void ScreenDesktopSize(int32_t& width, int32_t& height);
// The primary surface is being made; false when the screen cannot show one.
bool ScreenOpen();
// Whether the primary surface and its back buffer are lost.
bool ScreenLost();
// The flip: shows the back buffer's pixels (width x height, rows exactly width apart).
// front holds the primary surface's pixels, which an implementation may swap with back.
HRESULT ScreenPresent(std::vector<uint32_t>& front, std::vector<uint32_t>& back, int32_t width,
                      int32_t height);
// Makes a lost screen usable again; DD_OK when it is.
HRESULT ScreenRestore();
// The primary surface has gone.
void ScreenClose();
// The DirectDraw object has gone: the display is handed back.
void ScreenRelease();
