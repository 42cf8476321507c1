#pragma once

#include "MillisecondClock.h"

// A millisecond counter that moves only when told to. The harness advances it by stepMilliseconds
// on every pass of event processing, so a WaitMilliseconds ends after a few passes and no test waits
// real time.
class FakeClock final : public MillisecondClock {
public:
    std::uint32_t nowMilliseconds() override { return now; }
    // The local time moves with the counter, from a fixed moment.
    QDateTime localDateTime() override { return startOfTime.addMSecs(now); }
    void advance(std::uint32_t ms) { now += ms; }
    void tick()
    {
        ++passes;
        advance(stepMilliseconds);
    }

    std::uint32_t now = 1000;
    std::uint32_t stepMilliseconds = 1000;
    int passes = 0;
    QDateTime startOfTime{QDate(2026, 12, 6), QTime(13, 45, 11)};
};
