#include "ExercisePop3Session.h"

#include "LoopbackListener.h"
#include "Pop3Session.h"

#include <QElapsedTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

// The server always hangs up after its script, so no call has reason to wait for the time-out: one
// that takes it whole waited for bytes that could never come. (Setting up TLS alone can take a good
// part of a second in an instrumented build, so the time-out is not a measure of speed.)
constexpr int TimeoutMilliseconds = 8000;
constexpr long long LargestMessage = 2048;

class ScriptedServer {
public:
    explicit ScriptedServer(std::string_view script) : script_(script), listener_(1)
    {
        if (listener_.port() != 0)
            thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedServer()
    {
        if (thread_.joinable())
            thread_.join();
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return listener_.port(); }

private:
    // Says the whole script, then listens until the client hangs up, so that nothing the client
    // sends is refused with a reset that would cut the script short.
    void serve()
    {
        const int connection = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        std::size_t sent = 0;
        while (sent < script_.size()) {
            const ssize_t n = ::send(connection, script_.data() + sent, script_.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(connection, SHUT_WR);
        char sink[4096];
        while (::recv(connection, sink, sizeof sink, 0) > 0) {
        }
        ::close(connection);
    }

    std::string_view script_;
    LoopbackListener listener_;
    std::thread thread_;
};

} // namespace

std::string ExercisePop3Session(std::string_view serverSays)
{
    ScriptedServer server(serverSays);
    if (server.port() == 0)
        return "the scripted server could not listen";
    std::string slow;
    QElapsedTimer timer;
    const auto timed = [&](const char* step, auto&& call) {
        timer.start();
        call();
        if (slow.empty() && timer.elapsed() >= TimeoutMilliseconds)
            slow = std::string(step) + " waited " + std::to_string(timer.elapsed()) + " ms";
    };

    Pop3Session session;
    const bool apop = !serverSays.empty() && (static_cast<unsigned char>(serverSays[0]) & 1) != 0;
    ServerAddress address{QStringLiteral("127.0.0.1"), server.port(), false};
    TlsSocket::Settings settings;
    settings.timeoutMilliseconds = TimeoutMilliseconds;
    bool opened = false;
    timed("open", [&] { opened = session.open(address, settings).ok(); });
    if (opened) {
        timed("login", [&] { static_cast<void>(session.login(QStringLiteral("user"), QStringLiteral("password"), apop, true)); });
        timed("UIDL", [&] { static_cast<void>(session.uniqueIds(3)); });
        timed("LIST", [&] { static_cast<void>(session.messageSize(1)); });
        timed("RETR", [&] { static_cast<void>(session.retrieve(1, LargestMessage)); });
        timed("DELE", [&] { static_cast<void>(session.markDeleted(1)); });
        timed("QUIT", [&] { static_cast<void>(session.quit()); });
    }
    session.abort();
    return slow;
}
