#pragma once

#include "DelayRelay.h"

#include <QByteArray>

#include <chrono>
#include <cstdio>

// The link the benches put between a client and its server: 15 ms each way (a provider 30 ms
// away) unless NEMUROA_RELAY_DELAY_MS gives another delay each way, with no rate cap unless
// NEMUROA_RELAY_BYTES_PER_SECOND gives one.
inline DelayRelay::Settings benchRelaySettings()
{
    DelayRelay::Settings settings;
    bool given = false;
    const int delay = qEnvironmentVariableIntValue("NEMUROA_RELAY_DELAY_MS", &given);
    if (given && delay >= 0)
        settings.delayEachWay = std::chrono::milliseconds(delay);
    const qlonglong rate = qgetenv("NEMUROA_RELAY_BYTES_PER_SECOND").toLongLong(&given);
    if (given && rate >= 0)
        settings.bytesPerSecond = static_cast<std::uint64_t>(rate);
    return settings;
}

inline double benchRelayRoundTripSeconds() { return 2 * std::chrono::duration<double>(benchRelaySettings().delayEachWay).count(); }

// Says on the report which link the relayed figures were measured over.
inline void printBenchRelay()
{
    const DelayRelay::Settings settings = benchRelaySettings();
    std::printf("relay: %.1f ms round trip, %s\n", benchRelayRoundTripSeconds() * 1e3,
        settings.bytesPerSecond == 0 ? "no rate cap"
                                     : QByteArray::number(static_cast<qulonglong>(settings.bytesPerSecond)).append(" bytes/s").constData());
}
