#pragma once

#include "ServerAddress.h"

#include <QString>

// What the settings windows refuse when "設定" or "OK" is pressed, so that a setting the files
// cannot keep, or a receive or a send would refuse, is named while the user still has it in front
// of them, in the words of the error that would come later. Each check returns the text of the
// notice, empty when the entry is fine.
class SettingsEntryCheck {
public:
    // A POP3 or SMTP server name as typed; empty is allowed (nothing set yet).
    [[nodiscard]] static QString serverName(const QString& text, ServerAddress::Protocol protocol);
    [[nodiscard]] static QString mailAddress(const QString& text);
    // The POP3 account of the account dialog. It goes to iniIdPass.ini at the next receive even when
    // "IDパスワードを保存する" is not checked, so it must survive the file as the SMTP login does.
    [[nodiscard]] static QString accountId(const QString& id);
    [[nodiscard]] static QString accountPassword(const QString& password);
    // The SMTP login of the server dialog.
    [[nodiscard]] static QString smtpId(const QString& id);
    [[nodiscard]] static QString smtpPassword(const QString& password);
};
