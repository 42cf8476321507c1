#include "TextHelpers.h"

namespace {
bool isBlank(QChar c) { return c == u' ' || c == QChar(0x3000); }
}

QString ReplaceAll(QString& text, QStringView sought, QStringView replacement)
{
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype found = text.indexOf(sought, position);
        if (found < 0)
            break;
        text.replace(found, sought.size(), replacement.toString());
        // The search resumes where the match began, so text that the replacement joins into a new
        // match is replaced too; a replacement holding the sought text itself is stepped over.
        position = replacement.contains(sought) ? found + replacement.size() : found;
    }
    return text;
}

QString CutAtNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return (nul < 0 ? text : text.first(nul)).toString();
}

QString CutAtNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.first(nul);
}

QString TrimBlanks(QStringView text) { return TrimBlanksView(text).toString(); }

QStringView TrimBlanksView(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

double LeadingNumber(QStringView text)
{
    qsizetype position = 0;
    while (position < text.size() && (text[position] == u' ' || text[position] == u'\t'))
        ++position;
    const qsizetype start = position;
    if (position < text.size() && (text[position] == u'+' || text[position] == u'-'))
        ++position;
    bool digits = false;
    while (position < text.size() && text[position].isDigit() && text[position].unicode() < 128) {
        ++position;
        digits = true;
    }
    if (position < text.size() && text[position] == u'.') {
        ++position;
        while (position < text.size() && text[position].isDigit() && text[position].unicode() < 128) {
            ++position;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    return text.sliced(start, position - start).toString().toDouble();
}
