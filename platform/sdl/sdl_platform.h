// What the window and display halves of the SDL platform share, and the pieces of it that
// need no screen (presentation size, key codes, the tick), so tests can reach them.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/win32.h"

// Where a frameWidth x frameHeight picture goes on an output of the given size: scaled by
// the largest whole multiple that fits, centred; an output smaller than the picture gets it
// shrunk to fit with its aspect kept.
SDL_Rect PresentationRect(int outputWidth, int outputHeight, int frameWidth, int frameHeight);

// The virtual-key code of a key, or 0 for keys the program has no code for.
WPARAM VirtualKeyFor(SDL_Keycode key);

// The window timer's tick: due on a fixed grid of the period from its start; at most one
// tick is pending however many grid points passed, and none is made up.
struct TickClock {
    bool running = false;
    uint64_t start = 0;
    uint64_t period = 0;
    uint64_t taken = 0; // the grid point of the last tick handed out
};
void StartTicks(TickClock& clock, uint64_t now, uint64_t period);
void StopTicks(TickClock& clock);
// True when a tick is pending at now; it is then handed out.
bool TakeTick(TickClock& clock, uint64_t now);
// Milliseconds until the next tick falls due (0 when one is pending); -1 when stopped.
int64_t MillisUntilTick(const TickClock& clock, uint64_t now);

// Window half -> display half.
SDL_Window* SdlWindowOf(HWND window);
// Display half: called before a window goes, so nothing keeps its renderer.
void SdlDisplayWindowGoing(HWND window);
// Display half: the renderer lost its textures (device: the renderer itself is gone).
void SdlDisplayLost(bool device);
// Display half: frees every DirectDraw object still held.
void SdlDisplayShutdown();
// Releases everything the platform still holds; after WinMain returns.
void SdlShutdown();
