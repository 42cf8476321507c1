#pragma once

#include "ServerAddress.h"
#include "StoreResult.h"
#include "TlsSocket.h"

#include <QString>

#include <functional>
#include <string>
#include <string_view>

// One POP3 conversation on one connection, never replaced behind the caller's back: when the
// connection is lost, every later command fails, so deletions marked on the server (applied only
// at QUIT) can never be lost or applied by a hidden reconnect. A command the server refuses fails
// with the server's own reply and the session goes on.
class Pop3Session {
public:
    // Greeting, capabilities, and STLS whenever the server offers it on a plain connection.
    StoreStatus open(const ServerAddress& server, const TlsSocket::Settings& settings);
    // APOP or USER/PASS; the number of waiting messages. USER/PASS on a connection without TLS
    // sends nothing unless allowPlainPassword: the login fails and passwordHeldBack() tells why.
    StoreResult<int> login(const QString& user, const QString& password, bool apop, bool allowPlainPassword);
    StoreResult<long long> messageSize(int number);
    // Takes the bytes of a message too large to hold; false when it cannot.
    using Spill = std::function<bool(std::string_view bytes)>;
    // The whole message as the server holds it (CR LF line ends, dot-stuffing removed). A message
    // larger than maxBytes goes to spill instead (what was held, then the rest as it arrives) and
    // the text returned is empty; without spill, or when spill fails, it is read to its end and
    // refused, so the session stays usable.
    StoreResult<std::string> retrieve(int number, long long maxBytes, const Spill& spill = {});
    StoreStatus markDeleted(int number);
    // QUIT: the server applies the deletions now. The connection is closed whatever the reply.
    StoreStatus quit();
    // Drops the connection without QUIT: the server deletes nothing.
    void abort();

    bool isEncrypted() const { return socket_.isEncrypted(); }
    // The last command failed because the wait hook asked to stop: the connection is dropped.
    bool stoppedByUser() const { return socket_.stoppedByUser(); }
    // The last login failed because it would have sent the password in clear.
    bool passwordHeldBack() const { return passwordHeldBack_; }

private:
    StoreResult<std::string> command(const std::string& line, const QString& what);
    StoreResult<std::string> readStatusLine(const QString& what);

    TlsSocket socket_;
    std::string apopTimestamp_;
    bool offersStls_ = false;
    bool passwordHeldBack_ = false;
    QString serverName_;
};
