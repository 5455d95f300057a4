#include "platform/sdl/sdl_platform.h"

#include <algorithm>

SDL_Rect PresentationRect(int outputWidth, int outputHeight, int frameWidth, int frameHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return {0, 0, 0, 0};
    const int scale = std::min(outputWidth / frameWidth, outputHeight / frameHeight);
    int width, height;
    if (scale >= 1) {
        width = frameWidth * scale;
        height = frameHeight * scale;
    } else if (int64_t(outputWidth) * frameHeight <= int64_t(outputHeight) * frameWidth) {
        width = outputWidth;
        height = int(int64_t(outputWidth) * frameHeight / frameWidth);
    } else {
        height = outputHeight;
        width = int(int64_t(outputHeight) * frameWidth / frameHeight);
    }
    return {(outputWidth - width) / 2, (outputHeight - height) / 2, width, height};
}

WPARAM VirtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return WPARAM('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return WPARAM('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + WPARAM(key - SDLK_F1);
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    default:
        return 0;
    }
}

void StartTicks(TickClock& clock, uint64_t now, uint64_t period) {
    clock = {true, now, std::max<uint64_t>(period, 1), 0};
}

void StopTicks(TickClock& clock) {
    clock.running = false;
}

bool TakeTick(TickClock& clock, uint64_t now) {
    if (!clock.running || now < clock.start) return false;
    const uint64_t point = (now - clock.start) / clock.period;
    if (point <= clock.taken) return false;
    clock.taken = point;
    return true;
}

int64_t MillisUntilTick(const TickClock& clock, uint64_t now) {
    if (!clock.running) return -1;
    const uint64_t next = clock.start + (clock.taken + 1) * clock.period;
    return next > now ? int64_t(next - now) : 0;
}
