#pragma once

#include "MessageBoxService.h"
#include "NMailApi.h"
#include "ServerSettings.h"
#include "StoreResult.h"

#include <QString>

#include <functional>

// The user's consent to send a password to a server that offers no TLS. The mail library holds a
// password back on such a connection; this asks the user once per server, names the server, and
// keeps a yes in vbmail.ini (taken back in the server dialog). POP3 login and SMTP sending go
// through the same run().
class PlainPasswordConsent {
public:
    PlainPasswordConsent(ServerSettings& settings, QString settingsFilePath, MessageBoxService& messageBoxes, NMailApi& mail);

    // Runs a library call that may send a password to server (NMailPop3Authenticate,
    // NMailSmtpSendMail). A remembered yes lets the password go at once. When the call returns
    // NMailApi::ResultPasswordNeedsTls, the user is asked; on yes the answer is remembered and the
    // call is run once more. Returns the last result of the call: ResultPasswordNeedsTls when the
    // user said no. The library is left holding passwords back afterwards.
    int run(const QString& server, const std::function<int()>& call);

    bool isRemembered(const QString& server) const;
    // Keeps a yes for server in vbmail.ini.
    StoreStatus remember(const QString& server);

    static QString question(const QString& server);

private:
    ServerSettings& settings_;
    QString settingsFilePath_;
    MessageBoxService& messageBoxes_;
    NMailApi& mail_;
};
