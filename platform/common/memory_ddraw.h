// DirectDraw with every surface in our own memory, shared by both implementations: the
// DirectDraw objects, a primary surface with one attached back buffer, and offscreen
// surfaces, with their locks, blits, references and loss. What the screen shows is the
// implementation's (platform/common/host.h): a flip hands the back buffer to
// ScreenPresent. Every call is recorded and may take an injected fault.
//
// A lock reports 0x00RRGGBB pixels with rows exactly width x 4 bytes apart. A call on a
// surface after its last Release fails with DDERR_SURFACELOST and is recorded as
// UseAfterReleaseCall.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

// The only depth a memory surface holds, and so the only display mode accepted.
inline constexpr DWORD MemoryPixelBits = 32;
// Largest side of a surface or display mode.
inline constexpr DWORD MaxSurfaceSide = 16384;

// Forgets every DirectDraw object and surface; locks report MemoryPixelBits again.
void ResetDirectDraw();
// Bits per pixel that a lock reports from now on (to try a display of another depth).
void SetReportedBitCount(DWORD bits);
// Calls made on an object after its last Release.
int UseAfterReleaseCount();
