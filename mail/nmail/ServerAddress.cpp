#include "ServerAddress.h"

namespace {

// Providers write "POP3 port 995 (SSL)" and "SMTP port 465 (SSL)": those ports speak TLS from the
// first byte.
int implicitTlsPort(ServerAddress::Protocol protocol) { return protocol == ServerAddress::Protocol::Pop3 ? 995 : 465; }

int defaultPort(ServerAddress::Protocol protocol, bool tls)
{
    if (protocol == ServerAddress::Protocol::Pop3)
        return tls ? 995 : 110;
    // Mail submission: STARTTLS and the login on 587; ":25" reaches a relay that still takes mail there.
    return tls ? 465 : 587;
}

bool isHostCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_' || c == u':';
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString& text, Protocol protocol)
{
    ServerAddress address;
    QString rest = text.trimmed();
    const int schemeEnd = rest.indexOf(u"://");
    const bool schemeTyped = schemeEnd >= 0;
    if (schemeEnd >= 0) {
        const QString scheme = rest.left(schemeEnd).toLower();
        const bool pop3 = protocol == Protocol::Pop3;
        if (scheme == (pop3 ? u"pop3s" : u"smtps"))
            address.tlsFromStart = true;
        else if (scheme != (pop3 ? u"pop3" : u"smtp"))
            return std::nullopt;
        rest = rest.mid(schemeEnd + 3);
        if (rest.endsWith(u'/'))
            rest.chop(1);
    }

    QString portText;
    if (rest.startsWith(u'[')) {
        const int close = rest.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        address.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':'))
                return std::nullopt;
            portText = after.mid(1);
        }
    } else if (rest.count(u':') == 1) {
        const int colon = rest.indexOf(u':');
        address.host = rest.left(colon);
        portText = rest.mid(colon + 1);
    } else {
        address.host = rest;
    }

    if (address.host.isEmpty())
        return std::nullopt;
    for (const QChar c : address.host) {
        if (!isHostCharacter(c))
            return std::nullopt;
    }
    if (portText.isEmpty()) {
        address.port = defaultPort(protocol, address.tlsFromStart);
    } else {
        bool ok = false;
        address.port = portText.toInt(&ok);
        if (!ok || address.port < 1 || address.port > 65535)
            return std::nullopt;
        if (!schemeTyped && address.port == implicitTlsPort(protocol))
            address.tlsFromStart = true;
    }
    return address;
}

QString ServerAddress::unreadableText(const QString& text, Protocol protocol)
{
    return protocol == Protocol::Pop3
        ? QStringLiteral("POP3 サーバー名「%1」を読み取れません。「ホスト名」「ホスト名:ポート」「pop3s://ホスト名」のどれかで指定してください。").arg(text)
        : QStringLiteral("SMTP サーバー名「%1」を読み取れません。「ホスト名」「ホスト名:ポート」「smtps://ホスト名」のどれかで指定してください。").arg(text);
}

QString ServerAddress::display() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}
