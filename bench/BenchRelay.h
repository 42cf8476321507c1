#pragma once

#include "DelayRelay.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <chrono>
#include <cstdio>
#include <memory>

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

// A relay with those settings to a server's port on 127.0.0.1; nothing, and the benchmark skipped,
// when it cannot listen.
inline std::unique_ptr<DelayRelay> startBenchRelay(benchmark::State& state, int port)
{
    auto relay = std::make_unique<DelayRelay>(static_cast<quint16>(port), benchRelaySettings());
    if (relay->ok())
        return relay;
    state.SkipWithError(relay->problem().toStdString().c_str());
    return nullptr;
}
