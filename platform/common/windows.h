// The window bookkeeping both implementations share: the registered classes, the windows,
// the main window (the first one made), the quit request and the cursor count. The window
// API calls that need the host (CreateWindowExA, DestroyWindow, ShowWindow, ShowCursor,
// SetTimer, GetMessageA) are each implementation's; the others are defined once, in
// windows.cpp, and every one of them is recorded (platform/common/host.h).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"

struct HWND__ {
    WNDPROC procedure = nullptr;
    bool alive = true;
    void* host = nullptr; // the implementation's own window, if it has one
};

struct WindowState {
    std::vector<std::pair<std::string, WNDPROC>> classes;
    std::vector<std::unique_ptr<HWND__>> windows;
    HWND mainWindow = nullptr;
    bool quitPosted = false;
    int quitCode = 0;
    int cursorCount = 0;
};

WindowState& Windows();
// Forgets every class and window.
void ResetWindows();
bool IsLiveWindow(HWND window);
// The window procedure of the class registered under className; null when there is none.
WNDPROC ClassProcedure(LPCSTR className);
// A new live window with that procedure; the first one made is the main window.
HWND AddWindow(WNDPROC procedure);
// Sends WM_DESTROY and marks the window gone; false when it was not a live window.
bool EndWindow(HWND window);
// The WM_QUIT message that PostQuitMessage asked for, taken once; false when none waits.
bool TakeQuitMessage(MSG& msg, DWORD time);
