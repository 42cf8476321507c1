#pragma once

#include "OutgoingMessage.h"
#include "ServerAddress.h"
#include "StoreResult.h"

#include <QString>

// Hands one built message to an SMTP server: STARTTLS whenever the server offers it (TLS from the
// first byte for smtps://), the certificate checked as for POP3, SMTP AUTH when an account is set,
// and every wait bounded by the time-out.
class SmtpSender {
public:
    struct Settings {
        int timeoutMilliseconds = 30000;
        QString extraCaFile;
        QString user;
        QString password;
    };

    // notConnected, when given, tells whether the failure came before any message could be handed
    // over (server not reached, TLS or login failed), so that no later message would go either.
    static StoreStatus send(const ServerAddress& server, const OutgoingMessage& message, const Settings& settings,
        bool* notConnected = nullptr);
};
