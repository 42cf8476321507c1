#include "RecipientList.h"

namespace {

bool isSeparator(QChar c)
{
    return c == u',' || c == u';' || c == u'，' || c == u'；' || c == u'、' || c == u'､';
}

QStringList splitOutsideQuotesAndBrackets(const QString& text)
{
    QStringList parts;
    QString current;
    bool quoted = false;
    int angleDepth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'\\' && i + 1 < text.size()) {
            current += c;
            current += text[++i];
            continue;
        }
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'<')
            ++angleDepth;
        else if (!quoted && c == u'>' && angleDepth > 0)
            --angleDepth;
        if (!quoted && angleDepth == 0 && isSeparator(c)) {
            parts.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    parts.append(current);
    return parts;
}

// local@domain: one "@" with text on both sides, nothing a server would read as the end of the
// address, and a domain of letters, digits, dots and hyphens in any script.
bool isAddress(const QString& address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    if (at <= 0 || at == address.size() - 1 || address.count(u'@') != 1)
        return false;
    for (const QChar c : address) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c == u'<' || c == u'>' || c == u'"' || c == u'(' || c == u')'
            || c == u',' || c == u';' || c == u'[' || c == u']' || c == u'\\')
            return false;
    }
    const QString domain = address.mid(at + 1);
    if (domain.startsWith(u'.') || domain.endsWith(u'.') || domain.contains(QStringLiteral("..")))
        return false;
    for (const QChar c : domain) {
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-' && c.category() != QChar::Mark_NonSpacing)
            return false;
    }
    return true;
}

QString unquoted(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"')) {
        name = name.mid(1, name.size() - 2);
        name.replace(QStringLiteral("\\\""), QStringLiteral("\""));
        name.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    }
    return name;
}

} // namespace

RecipientList RecipientList::parse(const QString& text)
{
    RecipientList list;
    for (const QString& part : splitOutsideQuotesAndBrackets(text)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        Mailbox mailbox;
        const qsizetype open = trimmed.lastIndexOf(u'<');
        if (open >= 0 && trimmed.endsWith(u'>') && trimmed.indexOf(u'>') == trimmed.size() - 1) {
            mailbox.name = unquoted(trimmed.left(open));
            mailbox.address = trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
        } else if (const qsizetype comment = trimmed.indexOf(u'('); comment > 0 && trimmed.endsWith(u')')) {
            // The older "taro@example.jp (山田太郎)", as some senders still write their From.
            mailbox.name = trimmed.mid(comment + 1, trimmed.size() - comment - 2).trimmed();
            mailbox.address = trimmed.left(comment).trimmed();
        } else {
            mailbox.address = trimmed;
        }
        if (isAddress(mailbox.address))
            list.mailboxes_.push_back(mailbox);
        else
            list.refused_.append(trimmed);
    }
    return list;
}

bool RecipientList::needsUtf8(const QString& address)
{
    const QString local = address.left(address.lastIndexOf(u'@'));
    for (const QChar c : local) {
        if (c.unicode() > 0x7F)
            return true;
    }
    return false;
}
