// The screen behind the memory surfaces on SDL2 (platform/common/memory_ddraw.h): the
// window's renderer and a streaming texture. A flip puts the back buffer on the screen,
// scaled by whole multiples with black bars. A renderer that loses its texture (or itself)
// makes the primary surface lost until it is restored.
#include <algorithm>

#include "platform/common/host.h"
#include "platform/common/memory_ddraw.h"
#include "platform/sdl/presentation.h"
#include "platform/sdl/sdl_platform.h"

namespace {

// The screen: one renderer and its texture, shown by the primary surface and its chain.
struct Screen {
    HWND window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t width = 0, height = 0;
    bool lost = false;
    bool deviceLost = false;
    bool fullScreen = false;
};

Screen& TheScreen() {
    static Screen screen;
    return screen;
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

} // namespace

HRESULT ScreenSetMode(HWND window, int32_t width, int32_t height) {
    SDL_Window* sdl = SdlWindowOf(window);
    if (!sdl) return DDERR_INVALIDPARAMS;
    // The mode switch becomes full screen at the desktop's own resolution; the picture is
    // scaled up to it at presentation.
    if (!CoverDisplay(sdl)) return DDERR_GENERIC;
    Screen& screen = TheScreen();
    screen.window = window;
    screen.fullScreen = true;
    screen.width = width;
    screen.height = height;
    return DD_OK;
}

void ScreenDesktopSize(int32_t& width, int32_t& height) {
    SDL_DisplayMode mode;
    SDL_Window* window = SdlWindowOf(TheScreen().window);
    const int display = window ? std::max(SDL_GetWindowDisplayIndex(window), 0) : 0;
    if (SDL_GetDesktopDisplayMode(display, &mode) != 0) {
        width = height = 0;
        return;
    }
    width = mode.w;
    height = mode.h;
}

bool ScreenOpen() {
    return MakeRenderer();
}

bool ScreenLost() {
    return TheScreen().lost;
}

HRESULT ScreenPresent(std::vector<uint32_t>&, std::vector<uint32_t>& back, int32_t width,
                      int32_t height) {
    Screen& screen = TheScreen();
    if (!screen.texture) return DDERR_SURFACELOST;
    if (SDL_UpdateTexture(screen.texture, nullptr, back.data(), width * 4) != 0) {
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

HRESULT ScreenRestore() {
    Screen& screen = TheScreen();
    if (!screen.lost) return DD_OK;
    DropRenderer(screen.deviceLost);
    if (!MakeRenderer()) return DDERR_SURFACELOST;
    screen.lost = screen.deviceLost = false;
    return DD_OK;
}

void ScreenClose() {
    DropRenderer(true);
}

void ScreenRelease() {
    DropRenderer(true);
    Screen& screen = TheScreen();
    // Releasing the object hands the display back.
    if (screen.fullScreen) {
        if (SDL_Window* window = SdlWindowOf(screen.window)) SDL_SetWindowFullscreen(window, 0);
    }
    screen = Screen{};
}

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
    TheScreen() = Screen{};
    ResetDirectDraw();
}
