#pragma once

// A server on 127.0.0.1 that sends back every byte it receives, on any number of connections at
// once, and ends its side of a connection once the client has ended its own: a far end for
// testing and measuring what lies between, such as a DelayRelay. The destructor ends every
// connection and joins every thread.

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class EchoServer {
public:
    EchoServer();
    ~EchoServer();
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

    bool ok() const { return port_ != 0; }
    quint16 port() const { return port_; }

    // Opens a connection to 127.0.0.1:port, sends the payload while reading what comes back, ends
    // its side, and returns everything received before the other side ended the connection.
    // Nothing when it could not connect or a read or write failed (a reset included).
    static std::optional<std::string> exchange(quint16 port, const std::string& payload);

private:
    void acceptConnections();
    static void echo(int connection);

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    quint16 port_ = 0;
    std::mutex mutex_;
    std::vector<int> connections_;
    std::vector<std::thread> echoes_;
    std::thread acceptor_;
};
