#include "MillisecondClock.h"

void WaitMilliseconds(std::uint32_t ms, MillisecondClock& clock, const std::function<void()>& processEvents)
{
    const std::uint32_t start = clock.nowMilliseconds();
    do {
        processEvents();
    } while (static_cast<std::uint32_t>(clock.nowMilliseconds() - start) <= ms);
}
