#pragma once

#include "ServerAddress.h"

#include <QString>

// What the settings windows refuse when "設定" or "OK" is pressed, so that a setting the files
// cannot keep, or a receive or a send would refuse, is named while the user still has it in front
// of him, in the words of the error that would come later. Each check returns the text of the
// notice, empty when the entry is fine.
class SettingsEntryCheck {
public:
    // A POP3 or SMTP server name as typed; empty is allowed (nothing set yet).
    static QString serverName(const QString& text, ServerAddress::Protocol protocol);
    static QString mailAddress(const QString& text);
    // The POP3 account of the account dialog; stored says whether it goes to iniIdPass.ini.
    static QString accountId(const QString& id, bool stored);
    static QString accountPassword(const QString& password, bool stored);
    // The SMTP login of the server dialog, which is always stored.
    static QString smtpId(const QString& id);
    static QString smtpPassword(const QString& password);
};
