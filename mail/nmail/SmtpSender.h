#pragma once

#include "NetworkWaitHook.h"
#include "OutgoingMessage.h"
#include "ServerAddress.h"
#include "StoreResult.h"
#include "TlsSocket.h"

#include <QString>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Hands built messages to an SMTP server over one connection that is kept for the next message to
// the same server with the same settings, so a bulk send greets, starts TLS and logs in once.
// STARTTLS whenever the server offers it (TLS from the first byte for smtps://), the certificate
// checked as for POP3, SMTP AUTH (PLAIN or LOGIN) when an account is set, every reply bounded in
// size and every wait by the time-out, but the wait for the answer to the message itself, which
// servers may take minutes to give. A server that offers no TLS gets no password unless the
// settings allow it: the send then fails before AUTH with Failure::PasswordHeldBack. A message with
// an address whose local part is beyond ASCII goes with SMTPUTF8 when the server offers it, and is
// refused right after EHLO, before MAIL FROM, when it does not.
//
// Where the server offers PIPELINING, MAIL FROM, every RCPT TO and DATA go in one write; with
// CHUNKING and one recipient (each message of a bulk send) the message itself goes with them as
// one BDAT, so that it costs one round trip on a distant server. A recipient the server refuses
// refuses the whole message, as without PIPELINING: nothing is delivered to the others, so with
// several recipients the BDAT waits for their answers, and a DATA answered "354" after a refusal
// is ended by hanging up.
class SmtpSender {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
        QString user;
        QString password;
        bool allowPlainPassword = false;
        // The wait for the server's answer once the whole message has gone.
        int endOfDataMilliseconds = 600000;
        // Called every few milliseconds while the send waits; its answer is not taken: a message
        // on the wire goes out or reaches its time-out, and a stop is the caller's, between messages.
        NetworkWaitHook waitHook;
    };

    // Why a send failed, where the caller acts on it: before any message could be handed over
    // (server not reached, TLS or login failed, STARTTLS offered and then refused), so that no
    // later message would go either; because the server offers no TLS and the password was held
    // back; or the message went out whole and no answer came, so it may have been delivered.
    enum class Failure { Other, NotConnected, PasswordHeldBack, Unconfirmed };

    static constexpr int MaximumReplyLines = 100;
    static constexpr std::size_t MaximumReplyBytes = 64 * 1024;

    SmtpSender();
    ~SmtpSender();
    SmtpSender(const SmtpSender&) = delete;
    SmtpSender& operator=(const SmtpSender&) = delete;

    StoreStatus send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
        Failure* failure = nullptr);
    // Says goodbye (QUIT) on the connection kept open, if any.
    void close();

    // The message as DATA carries it: every line end CR LF, a line's leading "." doubled, and the
    // closing line "." after it.
    static std::string dataTransfer(std::string_view message);

private:
    struct Reply {
        int code = 0;
        // The last line, which says why.
        std::string text;
        std::vector<std::string> lines;
    };
    // What a failed send tells the caller.
    struct Trouble {
        Failure failure;
        QString text;
    };
    // What must be the same for a kept connection to serve the next message.
    struct Connection {
        QString host;
        int port = 0;
        bool tlsFromStart = false;
        int timeoutMilliseconds = 0;
        QString extraCaFile;
        QString user;
        QString password;
        bool operator==(const Connection&) const = default;
    };
    struct Offers {
        bool startTls = false;
        bool utf8 = false;
        bool size = false;
        bool pipelining = false;
        bool chunking = false;
        bool authPlain = false;
        bool authLogin = false;
        bool auth = false;
    };

    // Connects, greets, starts TLS and logs in, or keeps the connection already open for the same
    // server and settings. A message that needs SMTPUTF8 is refused here when the server lacks it,
    // before a password is sent or held back.
    std::optional<Trouble> open(const ServerAddress& server, const Settings& settings, bool needsUtf8);
    std::optional<Trouble> greet();
    std::optional<Trouble> authenticate(const Settings& settings);
    std::optional<Trouble> transfer(const OutgoingMessage& message);
    // Writes the message (with what goes before it) and reads the server's answer to it.
    std::optional<Trouble> deliver(std::string_view bytes);
    // Reads one whole reply; on failure the connection is gone and the trouble says why, as a
    // failure before the message went (NotConnected) or after it (Unconfirmed).
    std::optional<Trouble> read(Reply& reply, bool messageWent = false);
    std::optional<Trouble> write(std::string_view bytes);
    std::optional<Trouble> command(const std::string& line, Reply& reply);
    // A refusal by the server; the connection stays for the next message when RSET is taken.
    Trouble refused(const Reply& reply, bool resetTransaction);
    void drop();

    TlsSocket socket_;
    std::optional<Connection> connection_;
    Offers offers_;
    std::chrono::steady_clock::time_point lastUse_;
    NetworkWaitHook waitHook_;
    QString serverName_;
    int timeoutMilliseconds_ = 0;
    int endOfDataMilliseconds_ = 0;
};
