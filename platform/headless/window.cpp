// The window API in memory: classes, windows and a scripted message queue.
#include <deque>
#include <memory>
#include <variant>

#include "platform/headless/state.h"

struct HWND__ {
    WNDPROC procedure = nullptr;
    bool alive = true;
};

namespace {

struct ScriptedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
using ScriptEntry = std::variant<ScriptedMessage, std::function<void()>>;

struct Fault {
    std::string operation;
    std::string surface;
    HRESULT result;
    int remaining; // 0 or less: no limit
};

struct WindowState {
    std::vector<HeadlessCall> calls;
    std::vector<Fault> faults;
    std::deque<ScriptEntry> script;
    std::vector<std::pair<std::string, WNDCLASSEXA>> classes;
    std::vector<std::unique_ptr<HWND__>> windows;
    HWND mainWindow = nullptr;
    bool timerSet = false;
    bool quitPosted = false;
    int quitCode = 0;
    bool loopReached = false;
    int cursorCount = 0;
    bool recording = true;
};

WindowState& State() {
    static WindowState state;
    return state;
}

// Stand-ins for the system's stock objects; never dereferenced.
char StockIcon, StockCursor, StockBrush;

bool IsWindow(HWND window) {
    for (const auto& w : State().windows)
        if (w.get() == window) return window->alive;
    return false;
}

} // namespace

void RecordCall(std::string_view name, std::string_view surface,
                std::initializer_list<int64_t> values,
                std::initializer_list<std::string_view> texts) {
    if (!State().recording) return;
    State().calls.push_back({std::string(name), std::string(surface), values,
                             std::vector<std::string>(texts.begin(), texts.end())});
}

void HeadlessSetRecording(bool on) {
    State().recording = on;
}
bool HeadlessRecording() {
    return State().recording;
}

std::optional<HRESULT> TakeFault(std::string_view operation, std::string_view surface) {
    auto& faults = State().faults;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->operation != operation) continue;
        if (!it->surface.empty() && it->surface != surface) continue;
        const HRESULT result = it->result;
        if (it->remaining > 0 && --it->remaining == 0) faults.erase(it);
        return result;
    }
    return std::nullopt;
}

HWND HeadlessMainWindow() {
    return State().mainWindow;
}

void HeadlessReset() {
    State() = WindowState{};
    ResetDirectDraw();
}

void HeadlessQueueTick() {
    State().script.push_back(ScriptedMessage{WM_TIMER, 0, 0});
}
void HeadlessQueueKey(WPARAM key) {
    State().script.push_back(ScriptedMessage{WM_KEYDOWN, key, 0});
}
void HeadlessQueueClose() {
    State().script.push_back(ScriptedMessage{WM_CLOSE, 0, 0});
}
void HeadlessQueueMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    State().script.push_back(ScriptedMessage{message, wParam, lParam});
}
void HeadlessQueueAction(std::function<void()> action) {
    State().script.push_back(std::move(action));
}

void HeadlessFail(std::string_view operation, std::string_view surface, HRESULT result, int count) {
    State().faults.push_back({std::string(operation), std::string(surface), result, count});
}

const std::vector<HeadlessCall>& HeadlessCalls() {
    return State().calls;
}

std::vector<HeadlessCall> HeadlessCallsOf(std::string_view name) {
    std::vector<HeadlessCall> out;
    for (const auto& call : State().calls)
        if (call.name == name) out.push_back(call);
    return out;
}

int HeadlessCursorCount() {
    return State().cursorCount;
}
bool HeadlessMessageLoopReached() {
    return State().loopReached;
}
bool HeadlessWindowAlive() {
    return IsWindow(State().mainWindow);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    RecordCall(
        "RegisterClassExA", "",
        {windowClass->cbSize, windowClass->style, windowClass->cbClsExtra, windowClass->cbWndExtra},
        {windowClass->lpszClassName ? windowClass->lpszClassName : ""});
    if (windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpszClassName ||
        !windowClass->lpfnWndProc)
        return 0;
    State().classes.emplace_back(windowClass->lpszClassName, *windowClass);
    return ATOM(State().classes.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                            LPVOID param) {
    RecordCall("CreateWindowExA", "",
               {exStyle, style, x, y, width, height, Value(parent), Value(menu), Value(param)},
               {className ? className : "", windowName ? windowName : ""});
    if (TakeFault("CreateWindowExA", "")) return nullptr;
    WindowState& state = State();
    for (const auto& [name, windowClass] : state.classes) {
        if (!className || name != className) continue;
        state.windows.push_back(std::make_unique<HWND__>());
        HWND window = state.windows.back().get();
        window->procedure = windowClass.lpfnWndProc;
        if (!state.mainWindow) state.mainWindow = window;
        return window;
    }
    return nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    RecordCall("DestroyWindow", "", {});
    if (!IsWindow(window)) return FALSE;
    window->procedure(window, WM_DESTROY, 0, 0);
    window->alive = false;
    if (window == State().mainWindow) State().timerSet = false;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND, int showCommand) {
    RecordCall("ShowWindow", "", {showCommand});
    return FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    RecordCall("UpdateWindow", "", {});
    return IsWindow(window);
}

int WINAPI ShowCursor(BOOL show) {
    RecordCall("ShowCursor", "", {show});
    return show ? ++State().cursorCount : --State().cursorCount;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    RecordCall("LoadIconA", "", {instance == nullptr, Value(name)});
    // The program has no icon resources of its own; only the system's are found.
    if (instance) return nullptr;
    return reinterpret_cast<HICON>(&StockIcon);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    RecordCall("LoadCursorA", "", {instance == nullptr, Value(name)});
    if (instance) return nullptr;
    return reinterpret_cast<HCURSOR>(&StockCursor);
}

HGDIOBJ WINAPI GetStockObject(int object) {
    RecordCall("GetStockObject", "", {object});
    return &StockBrush;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    RecordCall("SetTimer", "", {int64_t(id), elapse, timerProc == nullptr});
    if (!IsWindow(window)) return 0;
    State().timerSet = true;
    return 1;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    RecordCall("GetMessageA", "", {window == nullptr, filterMin, filterMax});
    WindowState& state = State();
    state.loopReached = true;
    for (;;) {
        if (state.quitPosted) {
            state.quitPosted = false;
            *msg = MSG{nullptr, WM_QUIT, WPARAM(state.quitCode), 0, 0, {0, 0}};
            return 0;
        }
        if (state.script.empty()) {
            // Nothing more to play: ask the window to close, or end the loop outright.
            if (IsWindow(state.mainWindow)) {
                *msg = MSG{state.mainWindow, WM_CLOSE, 0, 0, 0, {0, 0}};
                return 1;
            }
            *msg = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
            return 0;
        }
        ScriptEntry entry = std::move(state.script.front());
        state.script.pop_front();
        if (auto* action = std::get_if<std::function<void()>>(&entry)) {
            (*action)();
            continue;
        }
        const auto& m = std::get<ScriptedMessage>(entry);
        if (!IsWindow(state.mainWindow)) continue;
        if (m.message == WM_TIMER && !state.timerSet) continue;
        *msg = MSG{state.mainWindow, m.message, m.wParam, m.lParam, 0, {0, 0}};
        return 1;
    }
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    RecordCall("DispatchMessageA", "", {msg->message, int64_t(msg->wParam), msg->lParam});
    if (!IsWindow(msg->hwnd)) return 0;
    return msg->hwnd->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordCall("DefWindowProcA", "", {message, int64_t(wParam), lParam});
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordCall("SendMessageA", "", {message, int64_t(wParam), lParam});
    if (!IsWindow(window)) return 0;
    return window->procedure(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    RecordCall("PostQuitMessage", "", {exitCode});
    State().quitPosted = true;
    State().quitCode = exitCode;
}
