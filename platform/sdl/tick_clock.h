// The window timer's ticks on SDL's millisecond clock.
#pragma once

#include <cstdint>

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
