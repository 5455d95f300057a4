#include "platform/common/windows.h"

#include "platform/common/host.h"

namespace {

// Stand-ins for the system's stock objects; never dereferenced.
char StockIcon, StockCursor, StockBrush;

int64_t Value(const void* pointer) {
    return int64_t(reinterpret_cast<intptr_t>(pointer));
}

} // namespace

WindowState& Windows() {
    static WindowState state;
    return state;
}

void ResetWindows() {
    Windows() = WindowState{};
}

bool IsLiveWindow(HWND window) {
    for (const auto& w : Windows().windows)
        if (w.get() == window) return window->alive;
    return false;
}

WNDPROC ClassProcedure(LPCSTR className) {
    for (const auto& [name, procedure] : Windows().classes)
        if (className && name == className) return procedure;
    return nullptr;
}

HWND AddWindow(WNDPROC procedure) {
    WindowState& state = Windows();
    state.windows.push_back(std::make_unique<HWND__>());
    HWND window = state.windows.back().get();
    window->procedure = procedure;
    if (!state.mainWindow) state.mainWindow = window;
    return window;
}

bool EndWindow(HWND window) {
    if (!IsLiveWindow(window)) return false;
    window->procedure(window, WM_DESTROY, 0, 0);
    window->alive = false;
    return true;
}

bool TakeQuitMessage(MSG& msg, DWORD time) {
    WindowState& state = Windows();
    if (!state.quitPosted) return false;
    state.quitPosted = false;
    msg = MSG{nullptr, WM_QUIT, WPARAM(state.quitCode), 0, time, {0, 0}};
    return true;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass) return 0;
    RecordCall(RegisterClassCall{windowClass->cbSize, windowClass->style, windowClass->cbClsExtra,
                                 windowClass->cbWndExtra,
                                 windowClass->lpszClassName ? windowClass->lpszClassName : ""});
    if (windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpszClassName ||
        !windowClass->lpfnWndProc)
        return 0;
    Windows().classes.emplace_back(windowClass->lpszClassName, windowClass->lpfnWndProc);
    return ATOM(Windows().classes.size());
}

BOOL WINAPI UpdateWindow(HWND window) {
    RecordCall(UpdateWindowCall{});
    return IsLiveWindow(window);
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    RecordCall(LoadIconCall{instance == nullptr, Value(name)});
    // The program has no icon resources of its own; only the system's are found.
    return instance ? nullptr : reinterpret_cast<HICON>(&StockIcon);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    RecordCall(LoadCursorCall{instance == nullptr, Value(name)});
    return instance ? nullptr : reinterpret_cast<HCURSOR>(&StockCursor);
}

HGDIOBJ WINAPI GetStockObject(int object) {
    RecordCall(GetStockObjectCall{object});
    return &StockBrush;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    RecordCall(DispatchMessageCall{{msg->message, int64_t(msg->wParam), msg->lParam}});
    if (!IsLiveWindow(msg->hwnd)) return 0;
    return msg->hwnd->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordCall(DefWindowProcCall{{message, int64_t(wParam), lParam}});
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordCall(SendMessageCall{{message, int64_t(wParam), lParam}});
    if (!IsLiveWindow(window)) return 0;
    return window->procedure(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    RecordCall(PostQuitMessageCall{exitCode});
    Windows().quitPosted = true;
    Windows().quitCode = exitCode;
}
