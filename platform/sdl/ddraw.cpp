// DirectDraw on SDL2: the primary surface is the window's renderer and a streaming texture,
// the back buffer and the drawing surfaces are memory. A flip puts the back buffer on the
// screen, scaled by whole multiples with black bars. A renderer that loses its texture (or
// itself) makes the primary surface lost until it is restored.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ddraw.h"
#include "platform/memory_surface.h"
#include "platform/sdl/presentation.h"
#include "platform/sdl/sdl_platform.h"

namespace {

class Surface final : public IDirectDrawSurface {
  public:
    Surface(int32_t width, int32_t height, bool primary)
        : width(width), height(height), primary(primary), pixels(size_t(width) * height) {}

    ULONG Release() override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                    DWORD trans) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT Restore() override;
    HRESULT Unlock(LPVOID surfaceData) override;

    int32_t width, height;
    bool primary;
    std::vector<uint32_t> pixels;
    Surface* attached = nullptr;
    Surface* chainOwner = nullptr; // the back buffer's primary surface
    bool locked = false;
    int references = 1;
};

// The screen: one renderer and its texture, shared by the primary surface and its chain.
struct Screen {
    HWND window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t width = 0, height = 0;
    bool lost = false;
    bool deviceLost = false;
    bool fullScreen = false;
};

class DirectDraw final : public IDirectDraw {
  public:
    ULONG Release() override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                          IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;

    int references = 1;
    std::vector<std::unique_ptr<Surface>> surfaces;
};

struct DisplayState {
    std::vector<std::unique_ptr<DirectDraw>> objects;
    Screen screen;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

Screen& TheScreen() {
    return State().screen;
}

void DropRenderer(bool rendererToo) {
    Screen& screen = TheScreen();
    if (screen.texture) SDL_DestroyTexture(screen.texture);
    screen.texture = nullptr;
    if (rendererToo && screen.renderer) {
        SDL_DestroyRenderer(screen.renderer);
        screen.renderer = nullptr;
    }
}

// First a borderless window over the whole display, which holds without a window manager
// too; then full screen proper, for the window managers that know it.
bool CoverDisplay(SDL_Window* window) {
    SDL_SetWindowFullscreen(window, 0);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &bounds) == 0) {
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    SDL_RaiseWindow(window);
    return true;
}

bool MakeRenderer() {
    Screen& screen = TheScreen();
    SDL_Window* window = SdlWindowOf(screen.window);
    if (!window) return false;
    if (!screen.renderer) {
        screen.renderer = SDL_CreateRenderer(window, -1, 0);
        if (!screen.renderer) return false;
        // A renderer may make SDL build the window afresh, which forgets its placement.
        if (screen.fullScreen) CoverDisplay(window);
    }
    if (!screen.texture) {
        // Whole-multiple scaling wants plain pixel replication.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        screen.texture =
            SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                              screen.width, screen.height);
        if (screen.texture) SDL_SetTextureScaleMode(screen.texture, SDL_ScaleModeNearest);
    }
    return screen.texture != nullptr;
}

ULONG Surface::Release() {
    if (references <= 0) return 0;
    if (--references == 0 && primary) {
        if (attached) attached->references = 0;
        DropRenderer(true);
    }
    return ULONG(references);
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD) {
    auto* from = static_cast<Surface*>(source);
    if (!from || !sourceRect) return DDERR_INVALIDPARAMS;
    if (chainOwner && TheScreen().lost) return DDERR_SURFACELOST;
    if (from->locked || locked) return DDERR_SURFACEBUSY;
    const RECT r = *sourceRect;
    if (r.left < 0 || r.top < 0 || r.right > from->width || r.bottom > from->height ||
        r.left > r.right || r.top > r.bottom || int64_t(x) + (r.right - r.left) > width ||
        int64_t(y) + (r.bottom - r.top) > height)
        return DDERR_INVALIDPARAMS;
    for (int32_t row = r.top; row < r.bottom; ++row)
        std::memcpy(&pixels[size_t(y + row - r.top) * width + x],
                    &from->pixels[size_t(row) * from->width + r.left],
                    size_t(r.right - r.left) * sizeof(uint32_t));
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD) {
    if (!primary || !attached || targetOverride) return DDERR_INVALIDPARAMS;
    Screen& screen = TheScreen();
    if (screen.lost || !screen.texture) return DDERR_SURFACELOST;
    if (SDL_UpdateTexture(screen.texture, nullptr, attached->pixels.data(), attached->width * 4) !=
        0) {
        screen.lost = true;
        return DDERR_SURFACELOST;
    }
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(screen.renderer, &outputWidth, &outputHeight);
    const SDL_Rect target = PresentationRect(outputWidth, outputHeight, width, height);
    SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
    SDL_RenderClear(screen.renderer);
    if (SDL_RenderCopy(screen.renderer, screen.texture, nullptr, &target) != 0) {
        screen.lost = true;
        return DDERR_SURFACELOST;
    }
    SDL_RenderPresent(screen.renderer);
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* found) {
    if (!caps || !(caps->dwCaps & DDSCAPS_BACKBUFFER) || !attached) return DDERR_NOTFOUND;
    *found = attached;
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || rect) return DDERR_INVALIDPARAMS;
    if ((primary || chainOwner) && TheScreen().lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    locked = true;
    DescribeLockedSurface(*desc, width, height, pixels.data(), 32);
    return DD_OK;
}

HRESULT Surface::Restore() {
    if (!primary) return DD_OK; // memory surfaces are never lost
    Screen& screen = TheScreen();
    if (!screen.lost) return DD_OK;
    DropRenderer(screen.deviceLost);
    if (!MakeRenderer()) return DDERR_SURFACELOST;
    screen.lost = screen.deviceLost = false;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

ULONG DirectDraw::Release() {
    if (references <= 0) return 0;
    if (--references > 0) return ULONG(references);
    DropRenderer(true);
    Screen& screen = TheScreen();
    // Releasing the object hands the display back.
    if (screen.fullScreen) {
        if (SDL_Window* window = SdlWindowOf(screen.window)) SDL_SetWindowFullscreen(window, 0);
    }
    screen = Screen{};
    return 0;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || outer || references <= 0)
        return DDERR_INVALIDPARAMS;
    Screen& screen = TheScreen();
    if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
        if (!(desc->dwFlags & DDSD_BACKBUFFERCOUNT) || desc->dwBackBufferCount != 1 ||
            screen.width == 0)
            return DDERR_INVALIDPARAMS;
        if (!MakeRenderer()) return DDERR_GENERIC;
        surfaces.push_back(std::make_unique<Surface>(screen.width, screen.height, true));
        Surface* front = surfaces.back().get();
        surfaces.push_back(std::make_unique<Surface>(screen.width, screen.height, false));
        front->attached = surfaces.back().get();
        front->attached->chainOwner = front;
        *surface = front;
        return DD_OK;
    }
    const DWORD sized = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc->dwFlags & sized) != sized || desc->dwWidth == 0 || desc->dwHeight == 0 ||
        desc->dwWidth > 16384 || desc->dwHeight > 16384)
        return DDERR_INVALIDPARAMS;
    surfaces.push_back(
        std::make_unique<Surface>(int32_t(desc->dwWidth), int32_t(desc->dwHeight), false));
    *surface = surfaces.back().get();
    return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD) {
    if (!SdlWindowOf(window)) return DDERR_INVALIDPARAMS;
    TheScreen().window = window;
    return DD_OK;
}

// The mode switch becomes full screen at the desktop's own resolution; the picture is
// scaled up to it at presentation.
HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    Screen& screen = TheScreen();
    SDL_Window* window = SdlWindowOf(screen.window);
    if (!window || bitsPerPixel != 32 || width == 0 || height == 0 || width > 16384 ||
        height > 16384)
        return DDERR_INVALIDPARAMS;
    if (!CoverDisplay(window)) return DDERR_GENERIC;
    screen.fullScreen = true;
    screen.width = int32_t(width);
    screen.height = int32_t(height);
    return DD_OK;
}

} // namespace

void SdlDisplayWindowGoing(HWND window) {
    Screen& screen = TheScreen();
    if (screen.window != window) return;
    DropRenderer(true);
    screen.lost = screen.deviceLost = true;
}

void SdlDisplayLost(bool device) {
    Screen& screen = TheScreen();
    screen.lost = true;
    screen.deviceLost = screen.deviceLost || device;
}

void SdlDisplayShutdown() {
    DropRenderer(true);
    State() = DisplayState{};
}

HRESULT WINAPI DirectDrawCreate(GUID*, LPDIRECTDRAW* directDraw, IUnknown*) {
    State().objects.push_back(std::make_unique<DirectDraw>());
    *directDraw = State().objects.back().get();
    return DD_OK;
}
