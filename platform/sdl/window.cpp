// The window API on SDL2: one real window, key-downs and the close request as messages,
// the 20 ms tick, the cursor.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/keys.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/tick_clock.h"

struct HWND__ {
    SDL_Window* sdl = nullptr;
    WNDPROC procedure = nullptr;
    bool alive = true;
};

namespace {

struct WindowState {
    bool videoReady = false;
    std::vector<std::pair<std::string, WNDPROC>> classes;
    std::vector<std::unique_ptr<HWND__>> windows;
    HWND mainWindow = nullptr;
    std::deque<MSG> posted;
    TickClock ticks;
    UINT_PTR timerId = 0;
    bool quitPosted = false;
    int quitCode = 0;
    int cursorCount = 0;
};

WindowState& State() {
    static WindowState state;
    return state;
}

// Stand-ins for the system's stock objects; SDL needs none of them.
char StockIcon, StockCursor, StockBrush;

bool IsWindow(HWND window) {
    for (const auto& w : State().windows)
        if (w.get() == window) return window->alive;
    return false;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State().posted.push_back(MSG{window, message, wParam, lParam, SDL_GetTicks(), {0, 0}});
}

void Translate(const SDL_Event& event) {
    WindowState& state = State();
    HWND window = state.mainWindow;
    switch (event.type) {
    case SDL_KEYDOWN:
        // Auto-repeated key-downs are key-downs too, as the window system delivers them.
        if (const WPARAM key = VirtualKeyFor(event.key.keysym.sym); key && IsWindow(window))
            Post(window, WM_KEYDOWN, key, event.key.repeat ? LPARAM(1) << 30 | 1 : 1);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE && IsWindow(window))
            Post(window, WM_CLOSE, 0, 0);
        break;
    case SDL_QUIT:
        if (IsWindow(window)) Post(window, WM_CLOSE, 0, 0);
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
    return IsWindow(window) ? window->sdl : nullptr;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpszClassName ||
        !windowClass->lpfnWndProc)
        return 0;
    State().classes.emplace_back(windowClass->lpszClassName, windowClass->lpfnWndProc);
    return ATOM(State().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    WindowState& state = State();
    WNDPROC procedure = nullptr;
    for (const auto& [name, proc] : state.classes)
        if (className && name == className) procedure = proc;
    if (!procedure) {
        std::fprintf(stderr, "Vexmont: no window: the window class is not registered\n");
        return nullptr;
    }
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
    state.windows.push_back(std::make_unique<HWND__>());
    HWND window = state.windows.back().get();
    window->sdl = sdl;
    window->procedure = procedure;
    if (!state.mainWindow) state.mainWindow = window;
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!IsWindow(window)) return FALSE;
    window->procedure(window, WM_DESTROY, 0, 0);
    window->alive = false;
    if (window == State().mainWindow) StopTicks(State().ticks);
    SdlDisplayWindowGoing(window);
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int) {
    if (!IsWindow(window)) return FALSE;
    const bool wasVisible = SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN;
    SDL_ShowWindow(window->sdl);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window) {
    return IsWindow(window);
}

int WINAPI ShowCursor(BOOL show) {
    int& count = State().cursorCount;
    count += show ? 1 : -1;
    SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return count;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR) {
    // The program has no icon resources of its own; only the system's are found.
    return instance ? nullptr : reinterpret_cast<HICON>(&StockIcon);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR) {
    return instance ? nullptr : reinterpret_cast<HCURSOR>(&StockCursor);
}

HGDIOBJ WINAPI GetStockObject(int) {
    return &StockBrush;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC) {
    if (!IsWindow(window)) return 0;
    State().timerId = id;
    StartTicks(State().ticks, SDL_GetTicks64(), elapse);
    return id ? id : 1;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    WindowState& state = State();
    for (;;) {
        if (state.quitPosted) {
            state.quitPosted = false;
            *msg = MSG{nullptr, WM_QUIT, WPARAM(state.quitCode), 0, SDL_GetTicks(), {0, 0}};
            return 0;
        }
        SDL_Event event;
        while (SDL_PollEvent(&event))
            Translate(event);
        if (!state.posted.empty()) {
            *msg = state.posted.front();
            state.posted.pop_front();
            return 1;
        }
        // Nothing could ever arrive without a window: end the loop instead of waiting.
        if (!IsWindow(state.mainWindow)) {
            *msg = MSG{nullptr, WM_QUIT, 0, 0, SDL_GetTicks(), {0, 0}};
            return 0;
        }
        // The tick comes only when nothing else is waiting, as the window timer's does.
        if (TakeTick(state.ticks, SDL_GetTicks64())) {
            *msg = MSG{state.mainWindow, WM_TIMER, state.timerId, 0, SDL_GetTicks(), {0, 0}};
            return 1;
        }
        const int64_t wait = MillisUntilTick(state.ticks, SDL_GetTicks64());
        const int timeout = wait < 0 ? 100 : int(std::min<int64_t>(wait, 100));
        if (SDL_WaitEventTimeout(&event, timeout)) Translate(event);
    }
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!IsWindow(msg->hwnd)) return 0;
    return msg->hwnd->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(window)) return 0;
    return window->procedure(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    State().quitPosted = true;
    State().quitCode = exitCode;
}

void SdlShutdown() {
    WindowState& state = State();
    for (auto& window : state.windows) {
        if (!window->sdl) continue;
        SdlDisplayWindowGoing(window.get());
        SDL_DestroyWindow(window->sdl);
        window->sdl = nullptr;
    }
    SdlDisplayShutdown();
    state = WindowState{};
    SDL_Quit();
}
