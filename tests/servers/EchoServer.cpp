#include "EchoServer.h"
#include "LoopbackSockets.h"

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t BufferSize = 256 * 1024;

bool sendAll(int fd, const char* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

EchoServer::EchoServer()
{
    quint16 port = 0;
    listener_ = LoopbackSockets::bindFreePort(port);
    if (listener_ < 0 || ::pipe(wake_) != 0)
        return;
    port_ = port;
    acceptor_ = std::thread([this] { acceptConnections(); });
}

EchoServer::~EchoServer()
{
    if (acceptor_.joinable()) {
        const char wake = 0;
        while (::write(wake_[1], &wake, 1) < 0 && errno == EINTR) {
        }
        acceptor_.join();
    }
    {
        // Unblocks the echoes' reads and writes; each closes its own socket.
        const std::lock_guard lock(mutex_);
        for (const int connection : connections_)
            (void)::shutdown(connection, SHUT_RDWR);
    }
    for (std::thread& echo : echoes_)
        echo.join();
    for (const int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void EchoServer::acceptConnections()
{
    for (;;) {
        pollfd polled[2] = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        if (::poll(polled, 2, -1) < 0 && errno != EINTR)
            return;
        if (polled[0].revents != 0)
            return;
        if (polled[1].revents == 0)
            continue;
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0)
            continue;
        const std::lock_guard lock(mutex_);
        connections_.push_back(connection);
        echoes_.emplace_back([this, connection] {
            echo(connection);
            const std::lock_guard lock(mutex_);
            std::erase(connections_, connection);
            ::close(connection);
        });
    }
}

void EchoServer::echo(int connection)
{
    std::vector<char> buffer(BufferSize);
    for (;;) {
        const ssize_t count = ::recv(connection, buffer.data(), buffer.size(), 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0 || !sendAll(connection, buffer.data(), static_cast<std::size_t>(count)))
            break;
    }
    (void)::shutdown(connection, SHUT_WR);
}

std::optional<std::string> EchoServer::exchange(quint16 port, const std::string& payload)
{
    const int fd = LoopbackSockets::connectTo(port);
    if (fd < 0)
        return std::nullopt;
    // The payload is sent from a thread of its own: the echo comes back while it is being sent,
    // and a sender that read nothing until it had sent everything would stall both sides.
    std::atomic<bool> sent = false;
    std::thread sender([&] {
        sent = sendAll(fd, payload.data(), payload.size()) && ::shutdown(fd, SHUT_WR) == 0;
    });
    std::string received;
    received.reserve(payload.size());
    std::vector<char> buffer(BufferSize);
    bool ended = false;
    for (;;) {
        const ssize_t count = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (count < 0 && errno == EINTR)
            continue;
        ended = count == 0;
        if (count <= 0)
            break;
        received.append(buffer.data(), static_cast<std::size_t>(count));
    }
    if (!ended)
        (void)::shutdown(fd, SHUT_RDWR);
    sender.join();
    ::close(fd);
    if (!ended || !sent)
        return std::nullopt;
    return received;
}
