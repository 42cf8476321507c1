#pragma once

// A TCP relay on loopback that behaves like a distant link: every connection accepted on 127.0.0.1
// is forwarded to a server on 127.0.0.1, and everything on it, in either direction, arrives one
// set delay after it was sent. A connection reaches the server one delay after the client opened
// it, as a handshake over the link would, so a greeting arrives one round trip after connecting.
//
// One thread polls every socket. Each chunk read is queued with the time it is due and written
// when that time comes, so bytes keep flowing while earlier ones wait and the delay costs no
// throughput. A half-close or close is passed on in order, after the data before it, delayed like
// it; a reset (a failed read or write) ends the connection at both ends once it is due. Each
// direction queues at most maxQueuedBytes before it stops reading and leaves the sender to TCP's
// flow control. The destructor closes every connection and joins the thread.
//
//     DelayRelay relay(servers.pop3Port());          // 15 ms each way: a 30 ms round trip
//     ASSERT_TRUE(relay.ok()) << relay.problem().toStdString();
//     mail.NMailPop3Connect(relay.serverName());    // "127.0.0.1:PORT"

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

class DelayRelay {
public:
    struct Settings {
        // The time from a byte being read on one side to its being written on the other.
        std::chrono::microseconds delayEachWay = std::chrono::milliseconds(15);
        // The rate of each direction, as a link's bandwidth; 0 for no cap.
        std::uint64_t bytesPerSecond = 0;
        // What one direction of one connection holds before it stops reading.
        std::size_t maxQueuedBytes = std::size_t{16} << 20;
    };

    explicit DelayRelay(quint16 targetPort) : DelayRelay(targetPort, Settings()) {}
    DelayRelay(quint16 targetPort, Settings settings);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    // False when the relay could not listen; problem() says why.
    bool ok() const { return problem_.isEmpty(); }
    const QString& problem() const { return problem_; }
    quint16 port() const { return port_; }
    // "127.0.0.1:PORT", as a user types a server.
    QString serverName() const;

private:
    class Loop;

    QString problem_;
    quint16 port_ = 0;
    std::unique_ptr<Loop> loop_;
};
