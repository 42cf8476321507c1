#pragma once

#include "NetworkWaitHook.h"
#include "OutgoingMessage.h"
#include "ServerAddress.h"
#include "StoreResult.h"

#include <QString>

// Hands one built message to an SMTP server: STARTTLS whenever the server offers it (TLS from the
// first byte for smtps://), the certificate checked as for POP3, SMTP AUTH when an account is set,
// every reply bounded in size and every wait by the time-out (SmtpConversation), but the wait for
// the answer to the message itself, which servers may take minutes to give. A server that offers
// no TLS gets no password unless the settings allow it: the send then fails before AUTH with
// Failure::PasswordHeldBack. A message with an address whose local part is beyond ASCII goes with
// SMTPUTF8 when the server offers it, and is refused right after EHLO, before MAIL FROM, when it
// does not.
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
        // on the wire goes out or reaches its time-out.
        NetworkWaitHook waitHook;
    };

    // Why a send failed, where the caller acts on it: before any message could be handed over
    // (server not reached, TLS or login failed, STARTTLS offered and then refused), so that no
    // later message would go either; because the server offers no TLS and the password was held
    // back; or the message went out whole and no answer came, so it may have been delivered.
    enum class Failure { Other, NotConnected, PasswordHeldBack, Unconfirmed };

    static StoreStatus send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
        Failure* failure = nullptr);
};
