// The in-memory platform's screen: a flip keeps the frame it shows, and the screen's
// memory can be lost on request.
#include <algorithm>

#include "platform/common/host.h"
#include "platform/common/memory_ddraw.h"
#include "platform/headless/headless.h"
#include "platform/headless/reset.h"

namespace {

struct Screen {
    std::vector<std::vector<uint32_t>> frames; // the latest, oldest first
    size_t keepFrames = HeadlessFrameLimit;
    int64_t framesPresented = 0;
    bool lost = false;
};

Screen& State() {
    static Screen screen;
    return screen;
}

} // namespace

void ResetScreen() {
    State() = Screen{};
    ResetDirectDraw();
}

HRESULT ScreenSetMode(HWND, int32_t, int32_t) {
    return DD_OK;
}

void ScreenDesktopSize(int32_t& width, int32_t& height) {
    width = HeadlessDesktopWidth;
    height = HeadlessDesktopHeight;
}

bool ScreenOpen() {
    return true;
}

bool ScreenLost() {
    return State().lost;
}

HRESULT ScreenPresent(std::vector<uint32_t>& front, std::vector<uint32_t>& back, int32_t, int32_t) {
    Screen& screen = State();
    std::swap(front, back);
    ++screen.framesPresented;
    if (!HeadlessRecording()) return DD_OK;
    // Once full, the oldest frame's memory takes the new one: nothing grows with the run.
    if (screen.frames.size() < screen.keepFrames) {
        screen.frames.push_back(front);
    } else {
        std::rotate(screen.frames.begin(), screen.frames.begin() + 1, screen.frames.end());
        screen.frames.back() = front;
    }
    return DD_OK;
}

HRESULT ScreenRestore() {
    State().lost = false;
    return DD_OK;
}

void ScreenClose() {}

void ScreenRelease() {}

void HeadlessLoseSurfaces() {
    State().lost = true;
}

void HeadlessSetReportedBitCount(DWORD bits) {
    SetReportedBitCount(bits);
}

const std::vector<std::vector<uint32_t>>& HeadlessFrames() {
    return State().frames;
}

int64_t HeadlessFramesPresented() {
    return State().framesPresented;
}

void HeadlessKeepFrames(size_t count) {
    Screen& screen = State();
    screen.keepFrames = std::clamp<size_t>(count, 1, HeadlessFrameLimit);
    if (screen.frames.size() > screen.keepFrames)
        screen.frames.erase(screen.frames.begin(),
                            screen.frames.end() - std::ptrdiff_t(screen.keepFrames));
}

int HeadlessUseAfterRelease() {
    return UseAfterReleaseCount();
}
