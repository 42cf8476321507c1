#pragma once

#include "NetworkWaitHook.h"
#include "StoreResult.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>

// A TCP connection to a mail server that can switch to TLS at the start or after STARTTLS/STLS.
// Every connect, read and write waits at most the time-out, and the reply to a command has a
// deadline set when the command goes out, so neither a silent, nor a trickling, nor an endless
// server can block the caller for ever. The server's certificate is checked against the system's
// trust store and, when given, one more CA file; the host name (or IP address) must match it.
class TlsSocket {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
        // Besides the time-out for each read, the reply to a command (everything read after a
        // write) may take the time-out plus one second for every this many bytes it is expected
        // to bring (expectReply).
        int minimumBytesPerSecond = 1024;
        // Called before every write and every few milliseconds of every wait; when it returns true
        // the connection is dropped and the call fails with stoppedByUser() set.
        NetworkWaitHook waitHook;
    };

    TlsSocket();
    ~TlsSocket();
    TlsSocket(const TlsSocket&) = delete;
    TlsSocket& operator=(const TlsSocket&) = delete;

    StoreStatus connect(const QString& host, int port, const Settings& settings);
    StoreStatus startTls();
    bool isEncrypted() const;
    bool isOpen() const;
    // The most the reply to the command just written may bring; its deadline grows by one second
    // for every minimumBytesPerSecond of it. Without it the reply is a line or two.
    void expectReply(long long bytes);
    // The reply about to be read answers a command written earlier, behind other replies: its
    // deadline runs from now, for a reply of at most bytes (as expectReply).
    void startReply(long long bytes);
    // The reply about to be read may come after a silence of up to milliseconds (an SMTP server's
    // answer to a whole message): its deadline, and every wait within it, run that long from now.
    void startLongReply(int milliseconds);
    // The last failed read ran past the reply's deadline while bytes were still coming.
    bool replyTooSlow() const;
    // The last failed read or write ran out of time, rather than finding the connection gone.
    bool timedOut() const;
    // Open, with nothing read ahead and nothing waiting to be read: a connection kept between
    // commands that the server has neither closed nor spoken on (a server that gives up on an idle
    // client says so, or just hangs up).
    bool isIdle() const;
    int minimumBytesPerSecond() const;

    // One line without its CR LF. A line longer than maxLength fails the connection, or, when cut
    // is given, comes in pieces of maxLength bytes with *cut set on every piece but the last.
    StoreResult<std::string> readLine(std::size_t maxLength = 65536, bool* cut = nullptr);
    StoreStatus write(std::string_view bytes);
    // Drops the connection at once, without a goodbye: the server sees it vanish.
    void abort();
    // Runs the wait hook now, as before a write: true when it asked to stop, and the connection is
    // then dropped. For a step that needs no wait, like taking a reply already on hand.
    bool offerStop();
    // The last failure came from the wait hook asking to stop.
    bool stoppedByUser() const;
    // After a command the server acts on as soon as it reads it (QUIT), its reply is awaited
    // whatever the hook says; the hook is still called. Until the next connect.
    void finishEveryWait();

    const QString& serverName() const { return serverName_; }

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    QString serverName_;
};
