#include "HtmlText.h"

#include <QHash>
#include <QRegularExpression>

namespace {

// Elements that start or end a line of their own.
bool isBreakingTag(const QString& name)
{
    static const QStringList names = {QStringLiteral("br"), QStringLiteral("p"), QStringLiteral("div"), QStringLiteral("tr"), QStringLiteral("li"), QStringLiteral("h1"), QStringLiteral("h2"), QStringLiteral("h3"),
        QStringLiteral("h4"), QStringLiteral("h5"), QStringLiteral("h6"), QStringLiteral("table"), QStringLiteral("ul"), QStringLiteral("ol"), QStringLiteral("blockquote"), QStringLiteral("pre"), QStringLiteral("hr"),
        QStringLiteral("title"), QStringLiteral("dt"), QStringLiteral("dd")};
    return names.contains(name);
}

QString namedReference(const QString& name)
{
    static const QHash<QString, QString> references = {{QStringLiteral("amp"), QStringLiteral("&")}, {QStringLiteral("lt"), QStringLiteral("<")}, {QStringLiteral("gt"), QStringLiteral(">")},
        {QStringLiteral("quot"), QStringLiteral("\"")}, {QStringLiteral("apos"), QStringLiteral("'")}, {QStringLiteral("nbsp"), QStringLiteral(" ")}, {QStringLiteral("copy"), QStringLiteral("©")},
        {QStringLiteral("reg"), QStringLiteral("®")}, {QStringLiteral("yen"), QStringLiteral("¥")}, {QStringLiteral("hellip"), QStringLiteral("…")}, {QStringLiteral("mdash"), QStringLiteral("—")},
        {QStringLiteral("ndash"), QStringLiteral("–")}, {QStringLiteral("laquo"), QStringLiteral("«")}, {QStringLiteral("raquo"), QStringLiteral("»")}, {QStringLiteral("times"), QStringLiteral("×")}};
    return references.value(name);
}

// Decodes the reference starting at position ("&"); returns its length, 0 when it is none.
int decodeReference(const QString& html, int position, QString& out)
{
    // Only the next few characters can close a reference: a longer search would make a text full
    // of "&" quadratic.
    const qsizetype within = QStringView(html).mid(position, 14).indexOf(u';');
    if (within < 0)
        return 0;
    const int end = position + static_cast<int>(within);
    const QString body = html.mid(position + 1, end - position - 1);
    if (body.startsWith(u'#')) {
        bool ok = false;
        const uint code = body.startsWith(u"#x", Qt::CaseInsensitive) ? body.mid(2).toUInt(&ok, 16) : body.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return 0;
        const char32_t character = code;
        out += QString::fromUcs4(&character, 1);
        return end - position + 1;
    }
    const QString text = namedReference(body.toLower());
    if (text.isEmpty())
        return 0;
    out += text;
    return end - position + 1;
}

} // namespace

namespace HtmlText {

QString toPlainText(const QString& html)
{
    QString text;
    text.reserve(html.size());
    bool pendingBlank = false;
    const auto appendBreak = [&] {
        while (text.endsWith(u' '))
            text.chop(1);
        if (!text.endsWith(u"\n\n"))
            text += u'\n';
        pendingBlank = false;
    };
    int i = 0;
    const int length = static_cast<int>(html.size());
    while (i < length) {
        const QChar c = html[i];
        if (c == u'<') {
            if (html.mid(i, 4) == u"<!--") {
                const int end = html.indexOf(u"-->", i + 4);
                i = end < 0 ? length : end + 3;
                continue;
            }
            const int end = html.indexOf(u'>', i + 1);
            if (end < 0)
                break;
            QString tag = html.mid(i + 1, end - i - 1).trimmed();
            const bool closing = tag.startsWith(u'/');
            if (closing)
                tag.remove(0, 1);
            qsizetype nameEnd = 0;
            while (nameEnd < tag.size() && tag[nameEnd].isLetterOrNumber())
                ++nameEnd;
            const QString name = tag.left(nameEnd).toLower();
            i = end + 1;
            if (!closing && (name == u"script" || name == u"style" || name == u"head")) {
                const int close = html.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
                i = close < 0 ? length : close;
                continue;
            }
            if (isBreakingTag(name))
                appendBreak();
            else if (name == u"td" || name == u"th")
                pendingBlank = true;
            continue;
        }
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            pendingBlank = true;
            ++i;
            continue;
        }
        if (pendingBlank && !text.isEmpty() && !text.endsWith(u'\n'))
            text += u' ';
        pendingBlank = false;
        if (c == u'&') {
            const int used = decodeReference(html, i, text);
            if (used > 0) {
                i += used;
                continue;
            }
        }
        text += c;
        ++i;
    }
    while (text.endsWith(u'\n') || text.endsWith(u' '))
        text.chop(1);
    while (text.startsWith(u'\n'))
        text.remove(0, 1);
    return text;
}

std::string declaredCharset(std::string_view html)
{
    const std::string_view head = html.substr(0, std::min<std::size_t>(html.size(), 4096));
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_:.\\-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(QString::fromLatin1(head.data(), static_cast<qsizetype>(head.size())));
    return match.hasMatch() ? match.captured(1).toStdString() : std::string();
}

} // namespace HtmlText
