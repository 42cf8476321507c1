#pragma once

#include "NetworkWaitHook.h"
#include "OutgoingMessage.h"
#include "ServerAddress.h"
#include "StoreResult.h"

#include <QString>

// Hands one built message to an SMTP server: STARTTLS whenever the server offers it (TLS from the
// first byte for smtps://), the certificate checked as for POP3, SMTP AUTH when an account is set,
// and every wait bounded by the time-out. A server that offers no TLS gets no password unless the
// settings allow it: the send then fails before AUTH with Failure::PasswordHeldBack.
class SmtpSender {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
        QString user;
        QString password;
        bool allowPlainPassword = false;
        // Called every few milliseconds while the send waits; its answer is not taken: a message
        // on the wire goes out or reaches its time-out.
        NetworkWaitHook waitHook;
    };

    // Why a send failed, where the caller acts on it: before any message could be handed over
    // (server not reached, TLS or login failed), so that no later message would go either; or
    // because the server offers no TLS and the password was held back.
    enum class Failure { Other, NotConnected, PasswordHeldBack };

    static StoreStatus send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
        Failure* failure = nullptr);
};
