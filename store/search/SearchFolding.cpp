#include "SearchFolding.h"

namespace SearchFolding {
namespace {

bool keepsItsIdentity(char32_t c)
{
    return (c >= 0x2150 && c <= 0x218F)     // number forms: Roman numerals, fractions
        || (c >= 0x2460 && c <= 0x24FF)     // enclosed alphanumerics: ① ⑴ ⒜ ⓐ
        || (c >= 0x2776 && c <= 0x2793)     // dingbat circled digits
        || (c >= 0x3200 && c <= 0x33FF)     // enclosed CJK letters and months, CJK compatibility: ㈱ ㍻ ㌔
        || (c >= 0x1F100 && c <= 0x1F1FF);  // enclosed alphanumeric supplement
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

void appendFolded(QString& out, QStringView run)
{
    if (run.isEmpty())
        return;
    out += run.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

} // namespace

QString fold(QStringView text)
{
    if (isAscii(text))
        return text.toString().toLower();
    QString out;
    out.reserve(text.size());
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        const qsizetype width = pair ? 2 : 1;
        if (keepsItsIdentity(c)) {
            appendFolded(out, text.sliced(runStart, i - runStart));
            out += text.sliced(i, width);
            runStart = i + width;
        }
        i += width;
    }
    appendFolded(out, text.sliced(runStart));
    return out;
}

QStringList queryWords(QStringView query)
{
    QStringList words;
    const QString folded = fold(query);
    qsizetype start = -1;
    for (qsizetype i = 0; i <= folded.size(); ++i) {
        const bool blank = i == folded.size() || folded[i].isSpace();
        if (blank && start >= 0) {
            words.append(folded.sliced(start, i - start));
            start = -1;
        } else if (!blank && start < 0) {
            start = i;
        }
    }
    return words;
}

bool holdsAll(QStringView foldedText, const QStringList& words)
{
    for (const QString& word : words) {
        if (!foldedText.contains(word))
            return false;
    }
    return true;
}

} // namespace SearchFolding
