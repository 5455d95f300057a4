// The in-memory platform's windows: the calls that need a host, and the scripted message
// queue that GetMessageA plays.
#include <deque>
#include <variant>

#include "platform/common/host.h"
#include "platform/common/windows.h"
#include "platform/headless/headless.h"
#include "platform/headless/reset.h"

namespace {

struct ScriptedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int64_t repeat; // delivered this many times in a row
};
using ScriptEntry = std::variant<ScriptedMessage, std::function<void()>>;

struct Script {
    std::deque<ScriptEntry> entries;
    bool timerSet = false;
    bool loopReached = false;
};

Script& State() {
    static Script script;
    return script;
}

int64_t Value(const void* pointer) {
    return int64_t(reinterpret_cast<intptr_t>(pointer));
}

void Queue(UINT message, WPARAM wParam, LPARAM lParam, int64_t repeat = 1) {
    if (repeat > 0) State().entries.push_back(ScriptedMessage{message, wParam, lParam, repeat});
}

} // namespace

void HeadlessReset() {
    State() = Script{};
    ResetWindows();
    ResetRecord();
    ResetScreen();
}

void HeadlessQueueTick(int64_t count) {
    Queue(WM_TIMER, 0, 0, count);
}
void HeadlessQueueKey(WPARAM key) {
    Queue(WM_KEYDOWN, key, 0);
}
void HeadlessQueueClose() {
    Queue(WM_CLOSE, 0, 0);
}
void HeadlessQueueMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    Queue(message, wParam, lParam);
}
void HeadlessQueueAction(std::function<void()> action) {
    State().entries.push_back(std::move(action));
}

int HeadlessCursorCount() {
    return Windows().cursorCount;
}
bool HeadlessMessageLoopReached() {
    return State().loopReached;
}
bool HeadlessWindowAlive() {
    return IsLiveWindow(Windows().mainWindow);
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                            LPVOID param) {
    RecordCall(CreateWindowCall{exStyle, style, x, y, width, height, Value(parent), Value(menu),
                                Value(param), className ? className : "",
                                windowName ? windowName : ""});
    if (TakeFault(CreateWindowCall::Name, "")) return nullptr;
    const WNDPROC procedure = ClassProcedure(className);
    return procedure ? AddWindow(procedure) : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    RecordCall(DestroyWindowCall{});
    if (!EndWindow(window)) return FALSE;
    if (window == Windows().mainWindow) State().timerSet = false;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND, int showCommand) {
    RecordCall(ShowWindowCall{showCommand});
    return FALSE;
}

int WINAPI ShowCursor(BOOL show) {
    RecordCall(ShowCursorCall{show});
    return Windows().cursorCount += show ? 1 : -1;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    RecordCall(SetTimerCall{int64_t(id), elapse, timerProc == nullptr});
    if (!IsLiveWindow(window)) return 0;
    State().timerSet = true;
    return 1;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    RecordCall(GetMessageCall{window == nullptr, filterMin, filterMax});
    Script& script = State();
    script.loopReached = true;
    for (;;) {
        if (TakeQuitMessage(*msg, 0)) return 0;
        const HWND main = Windows().mainWindow;
        if (script.entries.empty()) {
            // Nothing more to play: ask the window to close, or end the loop outright.
            if (IsLiveWindow(main)) {
                *msg = MSG{main, WM_CLOSE, 0, 0, 0, {0, 0}};
                return 1;
            }
            *msg = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
            return 0;
        }
        ScriptEntry& entry = script.entries.front();
        if (auto* action = std::get_if<std::function<void()>>(&entry)) {
            const std::function<void()> run = std::move(*action);
            script.entries.pop_front();
            run();
            continue;
        }
        auto& m = std::get<ScriptedMessage>(entry);
        // Without a window, or a tick without a timer, the message is dropped; nothing can
        // change that before the repeats that follow, so they go with it.
        if (!IsLiveWindow(main) || (m.message == WM_TIMER && !script.timerSet)) {
            script.entries.pop_front();
            continue;
        }
        *msg = MSG{main, m.message, m.wParam, m.lParam, 0, {0, 0}};
        if (--m.repeat == 0) script.entries.pop_front();
        return 1;
    }
}
