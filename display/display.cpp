#include "display/display.h"

#include <cstring>
#include <initializer_list>

LPDIRECTDRAW DirectDrawObject = nullptr;
LPDIRECTDRAWSURFACE PrimarySurface = nullptr;
LPDIRECTDRAWSURFACE BackBuffer = nullptr;
LPDIRECTDRAWSURFACE DrawSurfaceA = nullptr;
LPDIRECTDRAWSURFACE DrawSurfaceB = nullptr;
int UseDrawSurfaceA = 0;
int32_t DisplayWidth = 0;
int32_t DisplayHeight = 0;
DDSURFACEDESC SurfaceDesc = {};
int32_t FrameLeft = 0;
int32_t FrameTop = 0;

static_assert(CooperativeFlags == 0x13);
static_assert(PrimarySurfaceCaps == 0x00100218);
static_assert(BackBufferCaps == 0x00100004);
static_assert(DrawSurfaceCaps == 0x00100840);
static_assert(PrimarySurfaceFlags == 0x21);
static_assert(DrawSurfaceFlags == 7);

namespace {

// The display refused the frame's own mode: keep the desktop's size, at 32 bits, if the
// frame fits, and place the frame in its middle. False when no such mode is set.
bool UseDesktopMode(int32_t width, int32_t height) {
    DDSURFACEDESC mode = {};
    mode.dwSize = sizeof mode;
    if (DirectDrawObject->GetDisplayMode(&mode) != DD_OK) return false;
    if (mode.dwWidth < DWORD(width) || mode.dwHeight < DWORD(height)) return false;
    if (DirectDrawObject->SetDisplayMode(mode.dwWidth, mode.dwHeight, DisplayBitsPerPixel) != DD_OK)
        return false;
    FrameLeft = int32_t(mode.dwWidth - DWORD(width)) / 2;
    FrameTop = int32_t(mode.dwHeight - DWORD(height)) / 2;
    return true;
}

// Black over the whole surface, row by row at its own pitch: the frame covers only the
// middle of a larger screen. A surface that cannot be locked is left as it is.
void ClearSurface(LPDIRECTDRAWSURFACE surface) {
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (surface->Lock(nullptr, &desc, 0, nullptr) != DD_OK) return;
    auto* row = static_cast<uint8_t*>(desc.lpSurface);
    const size_t rowBytes = size_t(desc.dwWidth) * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
    for (DWORD y = 0; y < desc.dwHeight; ++y, row += desc.lPitch)
        std::memset(row, 0, rowBytes);
    surface->Unlock(nullptr);
}

} // namespace

void InitDisplay(HWND window, int32_t width, int32_t height) {
    // The state a program starts with; the objects of an earlier set-up in this process
    // belong to a platform that has since been reset.
    DirectDrawObject = nullptr;
    PrimarySurface = BackBuffer = DrawSurfaceA = DrawSurfaceB = nullptr;
    UseDrawSurfaceA = 0;
    FrameLeft = FrameTop = 0;

    DisplayWidth = width;
    DisplayHeight = height;
    if (DirectDrawCreate(nullptr, &DirectDrawObject, nullptr) != DD_OK) return;
    if (DirectDrawObject->SetCooperativeLevel(window, CooperativeFlags) != DD_OK) return;
    const HRESULT ownMode =
        DirectDrawObject->SetDisplayMode(DWORD(width), DWORD(height), DisplayBitsPerPixel);
    if (ownMode != DD_OK && !UseDesktopMode(width, height)) return;

    std::memset(&SurfaceDesc, 0, sizeof SurfaceDesc);
    SurfaceDesc.dwSize = sizeof SurfaceDesc;
    SurfaceDesc.dwFlags = PrimarySurfaceFlags;
    SurfaceDesc.dwBackBufferCount = 1;
    SurfaceDesc.ddsCaps.dwCaps = PrimarySurfaceCaps;
    if (DirectDrawObject->CreateSurface(&SurfaceDesc, &PrimarySurface, nullptr) != DD_OK) return;

    DDSCAPS backCaps = {};
    backCaps.dwCaps = BackBufferCaps;
    if (PrimarySurface->GetAttachedSurface(&backCaps, &BackBuffer) != DD_OK) return;
    if (FrameLeft != 0 || FrameTop != 0) {
        ClearSurface(PrimarySurface);
        ClearSurface(BackBuffer);
    }

    SurfaceDesc.dwFlags = DrawSurfaceFlags;
    SurfaceDesc.dwHeight = DWORD(height);
    SurfaceDesc.dwWidth = DWORD(width);
    SurfaceDesc.ddsCaps.dwCaps = DrawSurfaceCaps;
    if (DirectDrawObject->CreateSurface(&SurfaceDesc, &DrawSurfaceA, nullptr) != DD_OK) return;
    DirectDrawObject->CreateSurface(&SurfaceDesc, &DrawSurfaceB, nullptr);
}

int LockDisplay(uint32_t** where) {
    SurfaceDesc.dwSize = sizeof SurfaceDesc;
    LPDIRECTDRAWSURFACE surface = UseDrawSurfaceA ? DrawSurfaceA : DrawSurfaceB;
    if (!surface) return 0;
    if (surface->Lock(nullptr, &SurfaceDesc, 0, nullptr) != DD_OK) return 0;
    if (SurfaceDesc.ddpfPixelFormat.dwRGBBitCount != DisplayBitsPerPixel) {
        surface->Unlock(nullptr);
        return 0;
    }
    *where = static_cast<uint32_t*>(SurfaceDesc.lpSurface);
    return 1;
}

void PresentDisplay() {
    RECT source = {0, 0, DisplayWidth, DisplayHeight};
    LPDIRECTDRAWSURFACE surface;
    if (UseDrawSurfaceA) {
        UseDrawSurfaceA = 0;
        DrawSurfaceA->Unlock(nullptr);
        surface = DrawSurfaceA;
    } else {
        UseDrawSurfaceA = 1;
        DrawSurfaceB->Unlock(nullptr);
        surface = DrawSurfaceB;
    }

    // No wait flags: a busy blit or flip is retried here, at once and without limit.
    HRESULT result;
    do {
        result = BackBuffer->BltFast(DWORD(FrameLeft), DWORD(FrameTop), surface, &source, 0);
    } while (result == DDERR_WASSTILLDRAWING);
    if (result == DDERR_SURFACELOST) RestoreSurfaces();

    do {
        result = PrimarySurface->Flip(nullptr, 0);
    } while (result == DDERR_WASSTILLDRAWING);
    if (result == DDERR_SURFACELOST) RestoreSurfaces();
}

HRESULT RestoreSurfaces() {
    HRESULT result = PrimarySurface->Restore();
    if (result != DD_OK) return result;
    result = DrawSurfaceA->Restore();
    if (result != DD_OK) return result;
    return DrawSurfaceB->Restore();
}

void ReleaseDisplay() {
    if (!DirectDrawObject) return;
    for (LPDIRECTDRAWSURFACE* surface : {&PrimarySurface, &DrawSurfaceA, &DrawSurfaceB}) {
        if (*surface) {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
    DirectDrawObject->Release();
    DirectDrawObject = nullptr;
}
