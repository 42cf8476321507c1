#pragma once

#include <QDateTime>

#include <cstdint>
#include <functional>

// The system's millisecond counter; it wraps after 2^32 ms. It also tells the local date and time,
// so that the clock box and the time of sending come from the same place as every wait.
class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    virtual std::uint32_t nowMilliseconds() = 0;
    virtual QDateTime localDateTime() { return QDateTime::currentDateTime(); }
};

// Waits until more than ms milliseconds have passed, processing pending window events all the
// while, so clicks and timers run during the wait. Elapsed time is taken modulo 2^32, so a wait
// that spans the counter's wrap still ends on time.
void WaitMilliseconds(std::uint32_t ms, MillisecondClock& clock, const std::function<void()>& processEvents);
