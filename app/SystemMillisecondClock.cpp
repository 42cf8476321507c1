#include "SystemMillisecondClock.h"

SystemMillisecondClock::SystemMillisecondClock() { timer_.start(); }

std::uint32_t SystemMillisecondClock::nowMilliseconds() { return static_cast<std::uint32_t>(timer_.elapsed()); }
