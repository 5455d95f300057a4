// The full-screen display: a flipping chain (primary surface, one back buffer) and two
// drawing surfaces in system memory, lent to the frame step in turn as plain pixels.
#pragma once

#include <cstdint>

#include "platform/ddraw.h"

extern LPDIRECTDRAW DirectDrawObject;
extern LPDIRECTDRAWSURFACE PrimarySurface;
extern LPDIRECTDRAWSURFACE BackBuffer;
extern LPDIRECTDRAWSURFACE DrawSurfaceA;
extern LPDIRECTDRAWSURFACE DrawSurfaceB;
extern int UseDrawSurfaceA;
extern int32_t DisplayWidth;
extern int32_t DisplayHeight;
extern DDSURFACEDESC SurfaceDesc;
// Where the frame's top-left pixel sits on the screen: (0, 0) in the frame's own display
// mode; in the middle of the screen when the display refused that mode and kept a larger one.
extern int32_t FrameLeft;
extern int32_t FrameTop;

inline constexpr DWORD CooperativeFlags = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE;
inline constexpr DWORD DisplayBitsPerPixel = 32;
inline constexpr DWORD PrimarySurfaceCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_HWCODEC;
inline constexpr DWORD BackBufferCaps = DDSCAPS_BACKBUFFER | DDSCAPS_HWCODEC;
inline constexpr DWORD DrawSurfaceCaps =
    DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_HWCODEC;
inline constexpr DWORD PrimarySurfaceFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
inline constexpr DWORD DrawSurfaceFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;

// Silent on failure: whatever was created stays for ReleaseDisplay. When the display
// refuses width x height at 32 bits (many of today's drivers lack 512 x 384), the desktop's
// own size at 32 bits is used instead, cleared to black, with the frame in its middle.
void InitDisplay(HWND window, int32_t width, int32_t height);
// 1 with the current drawing surface's pixels stored at *where (rows exactly width x 4
// bytes apart); 0 with nothing stored when the surface cannot be locked or is missing.
int LockDisplay(uint32_t** where);
// Unlocks the locked surface, blits it to the back buffer, flips, and makes the other
// drawing surface current. Only after a successful LockDisplay.
void PresentDisplay();
// 0 when the primary and both drawing surfaces were restored, else the first failure.
HRESULT RestoreSurfaces();
// Releases every surface and the DirectDraw object; safe whatever InitDisplay achieved.
void ReleaseDisplay();
