#include "MailtoLink.h"

#include <QByteArray>
#include <QRegularExpression>

namespace {

QString percentDecoded(QStringView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

QString oneLine(const QString& text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    return QString(text).replace(lineBreaks, QStringLiteral(" ")).trimmed();
}

void addAddresses(QStringList& list, QStringView encoded)
{
    for (const QStringView part : encoded.split(u',')) {
        const QString address = oneLine(percentDecoded(part));
        if (!address.isEmpty())
            list << address;
    }
}

QString withCrLf(const QString& text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return normalised.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

} // namespace

std::optional<MailtoLink> MailtoLink::parse(const QString& link)
{
    static const QString scheme = QStringLiteral("mailto:");
    if (!link.startsWith(scheme, Qt::CaseInsensitive))
        return std::nullopt;
    QStringView rest = QStringView(link).mid(scheme.size());
    const qsizetype fragment = rest.indexOf(u'#');
    if (fragment >= 0)
        rest = rest.left(fragment);

    MailtoLink parsed;
    const qsizetype question = rest.indexOf(u'?');
    addAddresses(parsed.to, question < 0 ? rest : rest.left(question));
    if (question < 0)
        return parsed;
    for (const QStringView field : rest.mid(question + 1).split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = field.indexOf(u'=');
        const QString name = percentDecoded(equals < 0 ? field : field.left(equals)).toLower();
        const QStringView value = equals < 0 ? QStringView() : field.mid(equals + 1);
        if (name == u"to")
            addAddresses(parsed.to, value);
        else if (name == u"cc")
            addAddresses(parsed.cc, value);
        else if (name == u"bcc")
            addAddresses(parsed.bcc, value);
        else if (name == u"subject")
            parsed.subject = oneLine(percentDecoded(value));
        else if (name == u"body")
            parsed.body = withCrLf(percentDecoded(value));
    }
    return parsed;
}

QString MailtoLink::leftOutNotice() const
{
    if (cc.isEmpty() && bcc.isEmpty())
        return {};
    QString notice = QStringLiteral("リンクにあった次の宛先は入れていません（新規作成画面の宛先は1つの欄だけです）。\r\n"
                                    "送る必要があれば、宛先の欄に書き加えてください。\r\n");
    if (!cc.isEmpty())
        notice += QStringLiteral("\r\nCC: ") + cc.join(QStringLiteral(", "));
    if (!bcc.isEmpty())
        notice += QStringLiteral("\r\nBCC: ") + bcc.join(QStringLiteral(", "));
    return notice;
}
