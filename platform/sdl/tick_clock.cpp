#include "platform/sdl/tick_clock.h"

#include <algorithm>

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
