#include "ServerSettings.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"
#include "TextHelpers.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace {
const QString PlainPasswordKey = QStringLiteral("PLAINPASS=");
const QString KeepOnServerKey = QStringLiteral("KEEPONSERVER=");
}

ServerSettings ServerSettings::read(const QString& path)
{
    ServerSettings settings;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return settings;
    const QByteArray bytes = file.readAll();
    QString content = Cp932Codec::decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    content.replace(u'\r', u'\n');
    for (const QString& line : content.split(u'\n')) {
        const QStringView key = QStringView(line).first(std::min<qsizetype>(5, line.size()));
        const QString value = line.mid(5, MaxValueLength);
        if (key == u"SMTP=") {
            settings.SmtpServer = value;
        } else if (key == u"POP3=") {
            settings.Pop3Server = value;
        } else if (key == u"MAIL=") {
            settings.MailAddress = value;
        } else if (key == u"APOP=") {
            const double number = std::nearbyint(LeadingNumber(value));
            settings.UseApop = static_cast<std::int16_t>(std::clamp(number, -32768.0, 32767.0));
        } else if (line.startsWith(PlainPasswordKey) && line.size() > PlainPasswordKey.size()) {
            const QString server = line.mid(PlainPasswordKey.size());
            if (!settings.PlainPasswordServers.contains(server))
                settings.PlainPasswordServers.append(server);
        } else if (line.startsWith(KeepOnServerKey)) {
            // A number of days that cannot be read keeps the mail on the server rather than delete it.
            bool isNumber = false;
            const int days = line.mid(KeepOnServerKey.size()).toInt(&isNumber);
            settings.KeepOnServerDays = isNumber && days >= 0 ? std::min(days, MaxKeepOnServerDays) : 0;
        }
    }
    return settings;
}

StoreStatus ServerSettings::write(const QString& path) const
{
    QString content = QStringLiteral("SMTP=") + SmtpServer + QStringLiteral("\r\nPOP3=") + Pop3Server
        + QStringLiteral("\r\nMAIL=") + MailAddress + QStringLiteral("\r\nAPOP=") + QString::number(UseApop)
        + QStringLiteral("\r\n");
    for (const QString& server : PlainPasswordServers)
        content += PlainPasswordKey + server + QStringLiteral("\r\n");
    if (KeepOnServerDays)
        content += KeepOnServerKey + QString::number(*KeepOnServerDays) + QStringLiteral("\r\n");
    return AtomicFile::write(path, Cp932Codec::encode(content));
}
