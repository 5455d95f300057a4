// The window API on SDL2: one real window, key-downs and the close request as messages,
// the 20 ms tick, the cursor.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>

#include "platform/common/host.h"
#include "platform/common/windows.h"
#include "platform/sdl/keys.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/tick_clock.h"

namespace {

// What the SDL platform keeps besides the shared window bookkeeping.
struct SdlWindows {
    bool videoReady = false;
    std::deque<MSG> posted;
    TickClock ticks;
    UINT_PTR timerId = 0;
};

SdlWindows& State() {
    static SdlWindows state;
    return state;
}

SDL_Window* HostOf(HWND window) {
    return static_cast<SDL_Window*>(window->host);
}

// The host window goes: the display lets go of its renderer first.
void CloseHostWindow(HWND window) {
    SdlDisplayWindowGoing(window);
    SDL_DestroyWindow(HostOf(window));
    window->host = nullptr;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().posted.push_back(MSG{window, message, wParam, lParam, SDL_GetTicks(), {0, 0}});
}

void Translate(const SDL_Event& event) {
    HWND window = Windows().mainWindow;
    switch (event.type) {
    case SDL_KEYDOWN:
        // Auto-repeated key-downs are key-downs too, as the window system delivers them.
        if (const WPARAM key = VirtualKeyFor(event.key.keysym.sym); key && IsLiveWindow(window))
            Post(window, WM_KEYDOWN, key, event.key.repeat ? LPARAM(1) << 30 | 1 : 1);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE && IsLiveWindow(window))
            Post(window, WM_CLOSE, 0, 0);
        break;
    case SDL_QUIT:
        if (IsLiveWindow(window)) Post(window, WM_CLOSE, 0, 0);
        break;
    case SDL_RENDER_TARGETS_RESET:
        SdlDisplayLost(false);
        break;
    case SDL_RENDER_DEVICE_RESET:
        SdlDisplayLost(true);
        break;
    default:
        break;
    }
}

// Video on a real display only. Unless the user names a driver, only drivers for displays
// that exist are tried (a display server that is not there would print its own complaints),
// and SDL's invisible stand-ins are refused: a window nobody can see or close would leave
// the program waiting for ever. One line on stderr says why there is no window.
bool StartVideo() {
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (!chosen || !*chosen) {
        std::string drivers;
        if (const char* x = SDL_getenv("DISPLAY"); x && *x) drivers += "x11,";
        if (const char* w = SDL_getenv("WAYLAND_DISPLAY"); w && *w) drivers += "wayland,";
        drivers += "KMSDRM";
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "Vexmont: no window: there is no display (%s)\n", SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr, "Vexmont: no window: there is no display (only SDL's %s driver)\n",
                     driver);
        SDL_Quit();
        return false;
    }
    return true;
}

} // namespace

SDL_Window* SdlWindowOf(HWND window) {
    return IsLiveWindow(window) ? HostOf(window) : nullptr;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    const WNDPROC procedure = ClassProcedure(className);
    if (!procedure) {
        std::fprintf(stderr, "Vexmont: no window: the window class is not registered\n");
        return nullptr;
    }
    SdlWindows& state = State();
    if (!state.videoReady) {
        if (!StartVideo()) return nullptr;
        state.videoReady = true;
    }
    const int left = x == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : x;
    const int top = y == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : y;
    SDL_Window* sdl =
        SDL_CreateWindow(windowName ? windowName : "", left, top, width, height, SDL_WINDOW_HIDDEN);
    if (!sdl) {
        std::fprintf(stderr, "Vexmont: the window cannot be created: %s\n", SDL_GetError());
        return nullptr;
    }
    HWND window = AddWindow(procedure);
    window->host = sdl;
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!EndWindow(window)) return FALSE;
    if (window == Windows().mainWindow) StopTicks(State().ticks);
    CloseHostWindow(window);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int) {
    if (!IsLiveWindow(window)) return FALSE;
    const bool wasVisible = SDL_GetWindowFlags(HostOf(window)) & SDL_WINDOW_SHOWN;
    SDL_ShowWindow(HostOf(window));
    return wasVisible;
}

int WINAPI ShowCursor(BOOL show) {
    int& count = Windows().cursorCount;
    count += show ? 1 : -1;
    SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return count;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC) {
    if (!IsLiveWindow(window)) return 0;
    State().timerId = id;
    StartTicks(State().ticks, SDL_GetTicks64(), elapse);
    return id ? id : 1;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    SdlWindows& state = State();
    for (;;) {
        if (TakeQuitMessage(*msg, SDL_GetTicks())) return 0;
        SDL_Event event;
        while (SDL_PollEvent(&event))
            Translate(event);
        if (!state.posted.empty()) {
            *msg = state.posted.front();
            state.posted.pop_front();
            return 1;
        }
        const HWND main = Windows().mainWindow;
        // Nothing could ever arrive without a window: end the loop instead of waiting.
        if (!IsLiveWindow(main)) {
            *msg = MSG{nullptr, WM_QUIT, 0, 0, SDL_GetTicks(), {0, 0}};
            return 0;
        }
        // The tick comes only when nothing else is waiting, as the window timer's does.
        if (TakeTick(state.ticks, SDL_GetTicks64())) {
            *msg = MSG{main, WM_TIMER, state.timerId, 0, SDL_GetTicks(), {0, 0}};
            return 1;
        }
        const int64_t wait = MillisUntilTick(state.ticks, SDL_GetTicks64());
        const int timeout = wait < 0 ? 100 : int(std::min<int64_t>(wait, 100));
        if (SDL_WaitEventTimeout(&event, timeout)) Translate(event);
    }
}

void SdlShutdown() {
    for (auto& window : Windows().windows)
        if (window->host) CloseHostWindow(window.get());
    SdlDisplayShutdown();
    ResetWindows();
    State() = SdlWindows{};
    SDL_Quit();
}

// This platform watches no calls and injects no faults.
void RecordCall(PlatformCall) {}

std::optional<HRESULT> TakeFault(std::string_view, std::string_view) {
    return std::nullopt;
}
