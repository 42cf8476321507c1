#pragma once

#include "StoreResult.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>

// A TCP connection to a mail server that can switch to TLS at the start or after STARTTLS/STLS.
// Every connect, read and write waits at most the time-out, so a silent server cannot block the
// caller for ever. The server's certificate is checked against the system's trust store and, when
// given, one more CA file; the host name (or IP address) must match it.
class TlsSocket {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
    };

    TlsSocket();
    ~TlsSocket();
    TlsSocket(const TlsSocket&) = delete;
    TlsSocket& operator=(const TlsSocket&) = delete;

    StoreStatus connect(const QString& host, int port, const Settings& settings);
    StoreStatus startTls();
    bool isEncrypted() const;
    bool isOpen() const;

    // One line without its CR LF; a line longer than maxLength fails the connection.
    StoreResult<std::string> readLine(std::size_t maxLength = 65536);
    StoreStatus write(std::string_view bytes);
    // Drops the connection at once, without a goodbye: the server sees it vanish.
    void abort();

    const QString& serverName() const { return serverName_; }

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    QString serverName_;
};
