#pragma once

#include "ProgramPaths.h"
#include "StoreResult.h"

#include <QString>

#include <array>

// The POP3 account in iniIdPass.ini (section EXEINI: NAME the user ID, NAME2 the password in plain
// text, NAME3 "1" when both were saved), and the ten read-only values of iniIdPass2.ini.
class AccountProfile {
public:
    explicit AccountProfile(const ProgramPaths& paths);

    QString accountFilePath() const;
    QString readId() const;
    QString readPassword() const;

    // NAME, NAME2 and NAME3 = "1", in that order. The file holds a password, so it is created
    // readable by its owner only.
    StoreStatus saveAccount(const QString& id, const QString& password) const;
    // Only NAME3 = "0": the dialog was confirmed without saving.
    StoreStatus markNotSaved() const;

    // The SMTP login of providers that give one of its own (keys SMTPID and SMTPPASS, which older
    // readers of the file ignore); both empty when sending logs in with the POP3 account.
    QString readSmtpId() const;
    QString readSmtpPassword() const;
    StoreStatus saveSmtpAccount(const QString& id, const QString& password) const;

    // NAME, NAME2 ... NAME10 of iniIdPass2.ini, each trimmed; empty when missing.
    std::array<QString, 10> readSecondProfile() const;

private:
    const ProgramPaths& paths_;
};
