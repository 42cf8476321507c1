#include "SafeFileName.h"

#include <QStringList>

namespace {

bool isRefused(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0)
        || QStringView(u"<>:\"|?*").contains(c) || c.category() == QChar::Other_Format
        || c.category() == QChar::Other_Surrogate;
}

bool isReservedDeviceName(const QString& name)
{
    static const QStringList reserved = {QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
        QStringLiteral("nul"), QStringLiteral("com1"), QStringLiteral("com2"), QStringLiteral("com3"),
        QStringLiteral("com4"), QStringLiteral("com5"), QStringLiteral("com6"), QStringLiteral("com7"),
        QStringLiteral("com8"), QStringLiteral("com9"), QStringLiteral("lpt1"), QStringLiteral("lpt2"),
        QStringLiteral("lpt3"), QStringLiteral("lpt4"), QStringLiteral("lpt5"), QStringLiteral("lpt6"),
        QStringLiteral("lpt7"), QStringLiteral("lpt8"), QStringLiteral("lpt9")};
    return reserved.contains(name.section(u'.', 0, 0).trimmed().toLower());
}

// Cuts the text to at most maxBytes of UTF-8 without splitting a character.
QString cutToBytes(const QString& text, int maxBytes)
{
    QString cut;
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QString character = text.mid(i, pair ? 2 : 1);
        const int size = static_cast<int>(character.toUtf8().size());
        if (bytes + size > maxBytes)
            break;
        cut += character;
        bytes += size;
        if (pair)
            ++i;
    }
    return cut;
}

} // namespace

namespace SafeFileName {

QString make(const QString& name, const QString& fallback)
{
    QString base = name;
    const qsizetype separator = std::max(base.lastIndexOf(u'/'), base.lastIndexOf(u'\\'));
    if (separator >= 0)
        base = base.mid(separator + 1);
    QString clean;
    for (const QChar c : base)
        clean += isRefused(c) ? QChar(u'_') : c;
    clean = clean.trimmed();
    while (clean.startsWith(u'.'))
        clean.remove(0, 1);
    while (clean.endsWith(u'.') || clean.endsWith(u' '))
        clean.chop(1);
    if (clean.isEmpty())
        return fallback;
    if (isReservedDeviceName(clean))
        clean.prepend(u'_');

    if (clean.toUtf8().size() > MaximumBytes) {
        const qsizetype dot = clean.lastIndexOf(u'.');
        QString extension = dot > 0 ? clean.mid(dot) : QString();
        if (extension.toUtf8().size() > 20)
            extension.clear();
        const QString stem = extension.isEmpty() ? clean : clean.left(dot);
        clean = cutToBytes(stem, MaximumBytes - static_cast<int>(extension.toUtf8().size())) + extension;
    }
    return clean;
}

QString numbered(const QString& name, int number)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

} // namespace SafeFileName
