// A large transfer over loopback: directly, through the relay with no delay, and through the
// relay with its delay (15 ms each way unless NEMUROA_RELAY_DELAY_MS says otherwise). The payload
// goes to an echo server and comes back while it is still being sent, so both ways are full at
// once. Each is timed from the first echoed byte to the last: the steady flow once the link is
// full. The delayed relay against the undelayed one shows that the delay costs no throughput
// (target: at most 1.1). Against loopback directly it prints what the relay's own copy of every
// byte costs: on a machine whose cores are all busy with the two ends, that is a share of the rate.

#include "BenchRelay.h"
#include "DelayRelay.h"
#include "EchoServer.h"
#include "LoopbackSockets.h"
#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t PayloadBytes = std::size_t{256} << 20;
constexpr std::size_t WriteSize = 256 * 1024;
constexpr double Target = 1.1;

EchoServer& echoServer()
{
    static EchoServer started;
    return started;
}

// Sends PayloadBytes to the port and reads the echo; the seconds from its first byte to its last,
// or a negative number when the connection failed or fell short.
double echoedFlowSeconds(quint16 port)
{
    const int fd = LoopbackSockets::connectTo(port);
    if (fd < 0)
        return -1;
    std::thread sender([fd] {
        const std::vector<char> block(WriteSize, 'x');
        for (std::size_t sent = 0; sent < PayloadBytes;) {
            const ssize_t count = ::send(fd, block.data(), std::min(block.size(), PayloadBytes - sent), MSG_NOSIGNAL);
            if (count <= 0 && errno != EINTR)
                break;
            sent += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
        }
        (void)::shutdown(fd, SHUT_WR);
    });
    std::vector<char> buffer(WriteSize);
    std::size_t received = 0;
    Clock::time_point first, last;
    for (;;) {
        const ssize_t count = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        last = Clock::now();
        if (received == 0)
            first = last;
        received += static_cast<std::size_t>(count);
    }
    sender.join();
    ::close(fd);
    return received == PayloadBytes ? std::chrono::duration<double>(last - first).count() : -1;
}

void measureFlow(benchmark::State& state, quint16 port)
{
    for (auto _ : state) {
        const double seconds = echoedFlowSeconds(port);
        if (seconds < 0) {
            state.SkipWithError("the echo fell short");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PayloadBytes));
}

void BM_EchoDirect(benchmark::State& state)
{
    if (!echoServer().ok()) {
        state.SkipWithError("the echo server did not start");
        return;
    }
    measureFlow(state, echoServer().port());
}

void measureRelayedFlow(benchmark::State& state, DelayRelay::Settings settings)
{
    if (!echoServer().ok()) {
        state.SkipWithError("the echo server did not start");
        return;
    }
    const DelayRelay relay(echoServer().port(), settings);
    if (!relay.ok()) {
        state.SkipWithError(relay.problem().toStdString().c_str());
        return;
    }
    measureFlow(state, relay.port());
}

void BM_EchoThroughUndelayedRelay(benchmark::State& state)
{
    DelayRelay::Settings settings = benchRelaySettings();
    settings.delayEachWay = {};
    measureRelayedFlow(state, settings);
}

void BM_EchoThroughRelay(benchmark::State& state) { measureRelayedFlow(state, benchRelaySettings()); }

} // namespace

BENCHMARK(BM_EchoDirect)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_EchoThroughUndelayedRelay)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_EchoThroughRelay)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printBenchRelay();
    const double ratio = reporter.printRatio("BM_EchoThroughRelay", "BM_EchoThroughUndelayedRelay", Target);
    const double direct = reporter.seconds("BM_EchoDirect");
    if (direct > 0 && reporter.seconds("BM_EchoThroughRelay") > 0)
        std::printf("relay / loopback directly = %.2f (the relay's copy of every byte, on %u cores shared with both ends)\n",
            reporter.seconds("BM_EchoThroughRelay") / direct, std::thread::hardware_concurrency());
    benchmark::Shutdown();
    return ratio > 0 && ratio <= Target ? 0 : 1;
}
