#pragma once

#include "MillisecondClock.h"

#include <QElapsedTimer>

// Milliseconds of a monotonic clock, taken modulo 2^32 like the system counter.
class SystemMillisecondClock final : public MillisecondClock {
public:
    SystemMillisecondClock();
    std::uint32_t nowMilliseconds() override;

private:
    QElapsedTimer timer_;
};
