#pragma once

#include "NMailApi.h"
#include "PlainPasswordConsent.h"
#include "SentHistory.h"

#include <QString>

// What a send needs from the settings, read at the moment of each send.
struct SendAccount {
    QString SmtpServer;
    QString MailAddress;
    // The account of the account dialog; SMTP AUTH uses it when the ID is not empty.
    QString AccountId;
    QString AccountPassword;
};

struct SendResult {
    enum class Kind {
        Sent,
        // This message was refused (a recipient, the content); the next one may still go.
        Refused,
        // The server was not reached or refused the login, or the user would not send the password
        // unencrypted: no later message would go either.
        NotConnected,
        // The message went out whole but the server never said it took it: it may have been
        // delivered. The next one goes over a new connection.
        Unconfirmed,
    };
    Kind kind = Kind::Sent;
    // The library's text, cut at its first NUL.
    QString error;

    bool sent() const { return kind == Kind::Sent; }
};

// Hands one message to the mail library: every send of the program goes through SendOne.
class MailSender {
public:
    static constexpr int MessageBufferSize = 8192;

    // consent, when given, is asked before a password goes to a server that offers no TLS; without
    // it such a server never gets the password.
    MailSender(NMailApi& mail, SendAccount account, PlainPasswordConsent* consent = nullptr);

    // The account goes to the library first, then one NMailSmtpSendMail with the server, the
    // recipient, no cc, bcc or extra header, the user's own address, subject, body and attachment
    // list as they stand.
    SendResult SendOne(const OutgoingMail& mail);

private:
    NMailApi& mail_;
    SendAccount account_;
    PlainPasswordConsent* consent_;
};
