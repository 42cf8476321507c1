#pragma once

#include "OutgoingMessage.h"
#include "ServerAddress.h"
#include "StoreResult.h"

#include <QString>

// Hands one built message to an SMTP server: STARTTLS whenever the server offers it (TLS from the
// first byte for smtps://), the certificate checked as for POP3, SMTP AUTH when an account is set,
// and every wait bounded by the time-out. A server that offers no TLS gets no password unless the
// settings allow it: the send then fails before AUTH with Failure::PasswordHeldBack. A message with
// an address whose local part is beyond ASCII goes with SMTPUTF8 when the server offers it, and is
// refused right after EHLO, before MAIL FROM, when it does not.
class SmtpSender {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
        QString user;
        QString password;
        bool allowPlainPassword = false;
    };

    // Why a send failed, where the caller acts on it: before any message could be handed over
    // (server not reached, TLS or login failed), so that no later message would go either; or
    // because the server offers no TLS and the password was held back.
    enum class Failure { Other, NotConnected, PasswordHeldBack };

    static StoreStatus send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
        Failure* failure = nullptr);
};
