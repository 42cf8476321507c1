#include "DelayRelay.h"
#include "EchoServer.h"
#include "LoopbackSockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

// A blocking client socket, closed when it goes.
struct Client {
    int fd = -1;
    ~Client()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool connectTo(quint16 port)
    {
        fd = LoopbackSockets::connectTo(port);
        return fd >= 0;
    }
    // Everything until the other side ends the connection; stops waiting after a generous limit.
    std::string readToEnd() const
    {
        std::string received;
        char buffer[4096];
        for (;;) {
            pollfd polled{fd, POLLIN, 0};
            if (::poll(&polled, 1, 30000) != 1)
                return received + "<no end>";
            const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
            if (count <= 0)
                return count == 0 ? received : received + "<reset>";
            received.append(buffer, static_cast<std::size_t>(count));
        }
    }
};

// A listening socket that accepts nothing by itself, or a port that refuses connections.
struct Listener {
    quint16 port = 0;
    int fd;
    explicit Listener(bool listening = true) : fd(LoopbackSockets::bindFreePort(port, listening)) {}
    ~Listener()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct SettingsCase {
    const char* name;
    DelayRelay::Settings settings;
    std::size_t payloadBytes;
};

class DelayRelayTransfer : public testing::TestWithParam<SettingsCase> {};

// Three connections at once, so that the relay's one thread has to keep them apart; each client
// ends its side after the payload, and the echo server ends its own only after echoing all of it.
TEST_P(DelayRelayTransfer, BytesPassUnchangedBothWaysAndTheEndFollowsThem)
{
    EchoServer echo;
    ASSERT_TRUE(echo.ok());
    DelayRelay relay(echo.port(), GetParam().settings);
    ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();

    std::vector<std::string> payloads;
    std::vector<std::future<std::optional<std::string>>> exchanges;
    for (unsigned connection = 0; connection < 3; ++connection) {
        payloads.push_back(randomBytes(GetParam().payloadBytes, connection + 1));
        exchanges.push_back(std::async(std::launch::async, &EchoServer::exchange, relay.port(), payloads.back()));
    }
    for (std::size_t connection = 0; connection < exchanges.size(); ++connection) {
        const std::optional<std::string> echoed = exchanges[connection].get();
        ASSERT_TRUE(echoed.has_value()) << "connection " << connection << " failed or ended without its end";
        EXPECT_TRUE(*echoed == payloads[connection])
            << "connection " << connection << ": " << echoed->size() << " of " << payloads[connection].size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, DelayRelayTransfer,
    testing::Values(SettingsCase{"RoundTripOf30ms", {}, 4 << 20},
        SettingsCase{"NoDelay", {std::chrono::microseconds(0), 0, std::size_t{16} << 20}, 4 << 20},
        // A queue far smaller than the payload: reading stops and starts again many times.
        SettingsCase{"SmallQueue", {milliseconds(2), 0, 64 * 1024}, 4 << 20},
        SettingsCase{"RateCapped", {milliseconds(2), 16 << 20, std::size_t{16} << 20}, 512 * 1024}),
    [](const testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST(DelayRelay, AReplyNeverArrivesSoonerThanTheRoundTrip)
{
    EchoServer echo;
    ASSERT_TRUE(echo.ok());
    const DelayRelay::Settings settings;
    DelayRelay relay(echo.port(), settings);
    ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();
    Client client;
    ASSERT_TRUE(client.connectTo(relay.port()));

    for (char command = 'a'; command < 'f'; ++command) {
        const Clock::time_point sent = Clock::now();
        ASSERT_EQ(::send(client.fd, &command, 1, MSG_NOSIGNAL), 1);
        char reply = 0;
        ASSERT_EQ(::recv(client.fd, &reply, 1, 0), 1);
        EXPECT_GE(Clock::now() - sent, 2 * settings.delayEachWay) << "reply to " << command;
        EXPECT_EQ(reply, command);
    }
}

TEST(DelayRelay, ARateCapSpreadsAPayloadOverTheTimeItsBytesNeed)
{
    EchoServer echo;
    ASSERT_TRUE(echo.ok());
    const DelayRelay::Settings settings{milliseconds(1), 4 << 20, std::size_t{16} << 20};
    DelayRelay relay(echo.port(), settings);
    ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();
    const std::string payload = randomBytes(1 << 20, 7);

    const Clock::time_point started = Clock::now();
    const std::optional<std::string> echoed = EchoServer::exchange(relay.port(), payload);
    const auto elapsed = Clock::now() - started;

    ASSERT_TRUE(echoed.has_value());
    EXPECT_TRUE(*echoed == payload);
    // Each way is paced on its own, so the two overlap: the payload's time at the rate once, less
    // the one write that may go out at once.
    const double leastSeconds = (payload.size() - settings.bytesPerSecond / 1000.0) / static_cast<double>(settings.bytesPerSecond);
    EXPECT_GE(std::chrono::duration<double>(elapsed).count(), leastSeconds);
}

// The server accepts one delay after the client connected, greets at once and closes: the client
// gets the greeting and then the end, no sooner than one round trip after connecting.
TEST(DelayRelay, AGreetingAndTheServersCloseArriveInOrderOneRoundTripAfterConnecting)
{
    Listener server;
    ASSERT_GE(server.fd, 0);
    const DelayRelay::Settings settings;
    DelayRelay relay(server.port, settings);
    ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();

    const Clock::time_point connecting = Clock::now();
    Client client;
    ASSERT_TRUE(client.connectTo(relay.port()));
    const int accepted = ::accept(server.fd, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    EXPECT_GE(Clock::now() - connecting, settings.delayEachWay);
    const std::string greeting = "+OK ready\r\n";
    ASSERT_EQ(::send(accepted, greeting.data(), greeting.size(), MSG_NOSIGNAL), static_cast<ssize_t>(greeting.size()));
    ::close(accepted);

    EXPECT_EQ(client.readToEnd(), greeting);
    EXPECT_GE(Clock::now() - connecting, 2 * settings.delayEachWay);
}

TEST(DelayRelay, AServerThatIsNotThereEndsTheClientsConnection)
{
    const Listener notListening(false);
    ASSERT_GE(notListening.fd, 0);
    DelayRelay relay(notListening.port);
    ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();

    Client client;
    ASSERT_TRUE(client.connectTo(relay.port()));
    EXPECT_EQ(client.readToEnd(), "<reset>");
}

TEST(DelayRelay, StoppingTheRelayEndsItsOpenConnections)
{
    EchoServer echo;
    ASSERT_TRUE(echo.ok());
    auto relay = std::make_unique<DelayRelay>(echo.port());
    ASSERT_TRUE(relay->ok());
    Client client;
    ASSERT_TRUE(client.connectTo(relay->port()));
    const char command = 'x';
    ASSERT_EQ(::send(client.fd, &command, 1, MSG_NOSIGNAL), 1);
    char reply = 0;
    ASSERT_EQ(::recv(client.fd, &reply, 1, 0), 1);

    relay.reset();

    EXPECT_EQ(client.readToEnd(), "");
}

} // namespace
