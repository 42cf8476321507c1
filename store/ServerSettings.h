#pragma once

#include "StoreResult.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The four server settings of vbmail.ini: four lines "SMTP=", "POP3=", "MAIL=", "APOP=", CR LF,
// code page 932, no sections.
struct ServerSettings {
    QString SmtpServer;
    QString Pop3Server;
    QString MailAddress;
    std::int16_t UseApop = 0;
    // Servers (as typed in the settings) that may get the password over a connection without TLS,
    // because the user said so: one line "PLAINPASS=" each, after the four lines. Earlier readers
    // skip lines they do not know.
    QStringList PlainPasswordServers{};
    // "受信したメールをサーバーに残す": one line "KEEPONSERVER=" and the days a stored message stays
    // on the server (0: for ever), after the PLAINPASS= lines. Absent: received mail is deleted on
    // the server, as it always was.
    std::optional<int> KeepOnServerDays{};

    // Reads the file if it exists: keys compared case-sensitively on the first five characters,
    // values are characters 6 to 105 as they stand, the last occurrence of a key wins.
    static ServerSettings read(const QString& path);
    // Replaces the file with the four lines, values untrimmed, the PLAINPASS= lines and the
    // KEEPONSERVER= line.
    StoreStatus write(const QString& path) const;

    static constexpr int MaxValueLength = 100;
    static constexpr int MaxKeepOnServerDays = 9999;
};
