#include "DelayRelay.h"
#include "LoopbackSockets.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Large reads keep the system calls per megabyte few when the link is full.
constexpr std::size_t ReadSize = 256 * 1024;

bool makeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// The relay writes whatever is due at once: Nagle's wait for an acknowledgement would add its own
// delay on top of the link's.
void sendPromptly(int fd)
{
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Closes so that the peer sees a reset rather than an orderly end.
void closeWithReset(int fd)
{
    if (fd < 0)
        return;
    const linger abortive{1, 0};
    (void)::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd);
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

struct Chunk {
    enum class Kind { Data, Fin, Reset };
    Kind kind;
    Clock::time_point due;
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::size_t written = 0;
};

// One way of one connection: what was read from `from` and waits to be written to `to`.
struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    std::size_t queuedBytes = 0;
    bool reading = true;
    // The end (FIN) was passed on, or the receiving side is gone: nothing more goes this way.
    bool finished = false;
    bool writeBlocked = false;
    Clock::time_point rateFreeAt{};
};

struct Connection {
    int client = -1;
    int server = -1;
    Clock::time_point connectAt;
    bool connecting = false;
    bool aborted = false;
    Direction up;   // client to server
    Direction down; // server to client

    bool serverReady() const { return server >= 0 && !connecting; }
    bool done() const { return aborted || (up.finished && down.finished); }
};

} // namespace

class DelayRelay::Loop {
public:
    Loop(int listener, int wakeRead, int wakeWrite, quint16 targetPort, Settings settings)
        : listener_(listener), wakeRead_(wakeRead), wakeWrite_(wakeWrite), targetPort_(targetPort), settings_(settings),
          thread_([this] { run(); })
    {
    }

    ~Loop()
    {
        stopping_ = true;
        const char wake = 0;
        while (::write(wakeWrite_, &wake, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
        for (Connection& connection : connections_)
            closeBoth(connection);
        ::close(listener_);
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }

private:
    void run()
    {
        std::vector<pollfd> polled;
        while (!stopping_) {
            polled.clear();
            polled.push_back({wakeRead_, POLLIN, 0});
            polled.push_back({listener_, POLLIN, 0});
            for (const Connection& connection : connections_) {
                polled.push_back({connection.client, clientEvents(connection), 0});
                polled.push_back({connection.server, serverEvents(connection), 0});
                for (std::size_t last : {polled.size() - 2, polled.size() - 1}) {
                    if (polled[last].events == 0)
                        polled[last].fd = -1;
                }
            }
            const int ready = ::poll(polled.data(), polled.size(), timeoutMilliseconds(Clock::now()));
            if (ready < 0 && errno != EINTR)
                return;
            const Clock::time_point now = Clock::now();
            if (ready > 0) {
                std::size_t index = 2;
                for (Connection& connection : connections_) {
                    handleEvents(connection, polled[index].revents, polled[index + 1].revents, now);
                    index += 2;
                }
                if (polled[1].revents != 0)
                    acceptAll(now);
            }
            for (Connection& connection : connections_) {
                if (connection.server < 0 && !connection.aborted && !connection.up.finished && now >= connection.connectAt)
                    startConnecting(connection, now);
                flush(connection, connection.up, connection.down, now);
                flush(connection, connection.down, connection.up, now);
            }
            connections_.remove_if([](Connection& connection) {
                if (!connection.done())
                    return false;
                if (!connection.aborted)
                    closeBoth(connection);
                return true;
            });
        }
    }

    bool wantsToRead(const Direction& direction) const
    {
        return direction.reading && direction.queuedBytes < settings_.maxQueuedBytes;
    }

    // What to wait for on the socket that `reading` reads from and `writing` writes to.
    short events(const Direction& reading, const Direction& writing) const
    {
        short wanted = 0;
        if (wantsToRead(reading))
            wanted |= POLLIN;
        if (writing.writeBlocked)
            wanted |= POLLOUT;
        return wanted;
    }

    short clientEvents(const Connection& connection) const { return events(connection.up, connection.down); }

    short serverEvents(const Connection& connection) const
    {
        if (connection.server < 0)
            return 0;
        return connection.connecting ? POLLOUT : events(connection.down, connection.up);
    }

    // Until the next thing falls due, rounded up so that nothing is released early; -1 when
    // nothing waits for the clock.
    int timeoutMilliseconds(Clock::time_point now) const
    {
        std::optional<Clock::time_point> next;
        const auto consider = [&next](Clock::time_point when) {
            if (!next || when < *next)
                next = when;
        };
        for (const Connection& connection : connections_) {
            if (connection.server < 0 && !connection.aborted && !connection.up.finished)
                consider(connection.connectAt);
            for (const Direction* direction : {&connection.up, &connection.down}) {
                const bool canWrite = direction == &connection.down || connection.serverReady();
                if (canWrite && !direction->queue.empty() && !direction->writeBlocked)
                    consider(std::max(direction->queue.front().due, direction->rateFreeAt));
            }
        }
        if (!next)
            return -1;
        if (*next <= now)
            return 0;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
        return static_cast<int>(std::min<std::int64_t>(wait, 60000));
    }

    void acceptAll(Clock::time_point now)
    {
        for (;;) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0)
                return;
            if (!makeNonBlocking(client)) {
                ::close(client);
                continue;
            }
            sendPromptly(client);
            Connection& connection = connections_.emplace_back();
            connection.client = client;
            // The opening reaches the server one delay later, as a handshake crossing the link.
            connection.connectAt = now + settings_.delayEachWay;
            connection.up.from = client;
            connection.down.to = client;
        }
    }

    void startConnecting(Connection& connection, Clock::time_point now)
    {
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        if (server < 0 || !makeNonBlocking(server)) {
            if (server >= 0)
                ::close(server);
            refuse(connection, now);
            return;
        }
        sendPromptly(server);
        const sockaddr_in target = LoopbackSockets::address(targetPort_);
        connection.server = server;
        connection.up.to = server;
        connection.down.from = server;
        if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
            return;
        if (errno == EINPROGRESS) {
            connection.connecting = true;
            return;
        }
        refuse(connection, now);
    }

    // The server could not be reached: the client learns it one delay later, as a reset.
    void refuse(Connection& connection, Clock::time_point now)
    {
        if (connection.server >= 0)
            ::close(connection.server);
        connection.server = -1;
        connection.connecting = false;
        connection.up.reading = false;
        connection.up.finished = true;
        connection.up.queue.clear();
        connection.down.reading = false;
        connection.down.queue.push_back({Chunk::Kind::Reset, now + settings_.delayEachWay, nullptr, 0, 0});
    }

    void handleEvents(Connection& connection, short clientEvents, short serverEvents, Clock::time_point now)
    {
        if (connection.connecting && serverEvents != 0) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(connection.server, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
                refuse(connection, now);
                return;
            }
            connection.connecting = false;
            return;
        }
        if ((clientEvents & POLLOUT) != 0 || ((clientEvents & (POLLERR | POLLHUP)) != 0 && connection.down.writeBlocked))
            connection.down.writeBlocked = false;
        if ((serverEvents & POLLOUT) != 0 || ((serverEvents & (POLLERR | POLLHUP)) != 0 && connection.up.writeBlocked))
            connection.up.writeBlocked = false;
        if ((clientEvents & (POLLIN | POLLERR | POLLHUP)) != 0 && wantsToRead(connection.up))
            readAll(connection.up, now);
        if (connection.serverReady() && (serverEvents & (POLLIN | POLLERR | POLLHUP)) != 0 && wantsToRead(connection.down))
            readAll(connection.down, now);
    }

    // The bytes just read as a chunk's own: a large read hands over the read buffer itself rather
    // than copying it (at most half of it lies unused), a small one takes a copy of its size.
    std::unique_ptr<char[]> takeBuffer(std::size_t size)
    {
        if (size >= ReadSize / 2)
            return std::exchange(buffer_, std::make_unique_for_overwrite<char[]>(ReadSize));
        auto copy = std::make_unique_for_overwrite<char[]>(size);
        std::memcpy(copy.get(), buffer_.get(), size);
        return copy;
    }

    void readAll(Direction& direction, Clock::time_point now)
    {
        const Clock::time_point due = now + settings_.delayEachWay;
        while (wantsToRead(direction)) {
            const ssize_t count = ::recv(direction.from, buffer_.get(), ReadSize, 0);
            if (count > 0) {
                const auto size = static_cast<std::size_t>(count);
                direction.queue.push_back({Chunk::Kind::Data, due, takeBuffer(size), size, 0});
                direction.queuedBytes += size;
                continue;
            }
            if (count < 0 && wouldBlock(errno))
                return;
            direction.queue.push_back({count == 0 ? Chunk::Kind::Fin : Chunk::Kind::Reset, due, nullptr, 0, 0});
            direction.reading = false;
            return;
        }
    }

    // Writes what is due in one direction, paced to the rate cap when there is one.
    void flush(Connection& connection, Direction& direction, Direction& reverse, Clock::time_point now)
    {
        if (connection.aborted || (&direction == &connection.up && !connection.serverReady()))
            return;
        while (!direction.queue.empty() && !direction.writeBlocked) {
            Chunk& head = direction.queue.front();
            if (head.due > now || direction.rateFreeAt > now)
                return;
            if (head.kind == Chunk::Kind::Reset) {
                abort(connection);
                return;
            }
            if (head.kind == Chunk::Kind::Fin) {
                (void)::shutdown(direction.to, SHUT_WR);
                direction.queue.pop_front();
                direction.finished = true;
                continue;
            }
            std::size_t length = head.size - head.written;
            if (settings_.bytesPerSecond > 0)
                length = std::min<std::size_t>(length, std::max<std::uint64_t>(1024, settings_.bytesPerSecond / 1000));
            const ssize_t sent = ::send(direction.to, head.bytes.get() + head.written, length, MSG_NOSIGNAL);
            if (sent < 0 && wouldBlock(errno)) {
                direction.writeBlocked = true;
                return;
            }
            if (sent < 0) {
                receiverGone(direction, reverse, now);
                return;
            }
            head.written += static_cast<std::size_t>(sent);
            direction.queuedBytes -= static_cast<std::size_t>(sent);
            if (settings_.bytesPerSecond > 0) {
                direction.rateFreeAt = std::max(direction.rateFreeAt, now)
                    + std::chrono::microseconds(static_cast<std::int64_t>(sent) * 1000000
                        / static_cast<std::int64_t>(settings_.bytesPerSecond));
            }
            if (head.written == head.size)
                direction.queue.pop_front();
        }
    }

    // A write failed: the receiver reset the connection. Its other side hears of it one delay
    // later, after what was already on its way to it.
    void receiverGone(Direction& direction, Direction& reverse, Clock::time_point now)
    {
        direction.queue.clear();
        direction.queuedBytes = 0;
        direction.reading = false;
        direction.finished = true;
        if (!reverse.finished && reverse.reading) {
            reverse.reading = false;
            reverse.queue.push_back({Chunk::Kind::Reset, now + settings_.delayEachWay, nullptr, 0, 0});
        }
    }

    static void abort(Connection& connection)
    {
        closeWithReset(connection.client);
        closeWithReset(connection.server);
        connection.client = connection.server = -1;
        connection.aborted = true;
    }

    static void closeBoth(Connection& connection)
    {
        if (connection.client >= 0)
            ::close(connection.client);
        if (connection.server >= 0)
            ::close(connection.server);
        connection.client = connection.server = -1;
    }

    const int listener_;
    const int wakeRead_;
    const int wakeWrite_;
    const quint16 targetPort_;
    const Settings settings_;
    std::atomic<bool> stopping_ = false;
    std::list<Connection> connections_;
    std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(ReadSize);
    std::thread thread_;
};

DelayRelay::DelayRelay(quint16 targetPort, Settings settings)
{
    quint16 port = 0;
    const int listener = LoopbackSockets::bindFreePort(port);
    int wake[2] = {-1, -1};
    if (listener < 0 || !makeNonBlocking(listener) || ::pipe(wake) != 0) {
        problem_ = QStringLiteral("cannot listen on 127.0.0.1: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (listener >= 0)
            ::close(listener);
        return;
    }
    (void)makeNonBlocking(wake[0]);
    (void)makeNonBlocking(wake[1]);
    port_ = port;
    loop_ = std::make_unique<Loop>(listener, wake[0], wake[1], targetPort, settings);
}

DelayRelay::~DelayRelay() = default;

QString DelayRelay::serverName() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
