#include "CharsetGuess.h"

#include "Cp932Codec.h"
#include "IconvConverter.h"

namespace {

bool isAsciiAlphanumeric(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'); }

std::size_t cp932Errors(std::string_view bytes)
{
    std::size_t errors = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) {
            ++i;
        } else if (Cp932Codec::isLeadByte(byte) && i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[i + 1]);
            const bool valid = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
            errors += valid ? 0 : 1;
            i += valid ? 2 : 1;
        } else {
            ++errors;
            ++i;
        }
    }
    return errors;
}

bool isEucByte(unsigned char byte) { return byte >= 0xA1 && byte <= 0xFE; }

std::size_t eucJpErrors(std::string_view bytes)
{
    std::size_t errors = 0;
    const auto at = [&](std::size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0; };
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char byte = at(i);
        if (byte < 0x80) {
            ++i;
        } else if (isEucByte(byte) && isEucByte(at(i + 1))) {
            i += 2;
        } else if (byte == 0x8E && at(i + 1) >= 0xA1 && at(i + 1) <= 0xDF) {
            i += 2;
        } else if (byte == 0x8F && isEucByte(at(i + 1)) && isEucByte(at(i + 2))) {
            i += 3;
        } else {
            ++errors;
            ++i;
        }
    }
    return errors;
}

// The points of a Japanese reading, errors aside.
int japaneseScore(const QString& text)
{
    int score = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            continue;
        if ((c >= 0x3041 && c <= 0x309F) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC)
            score += 2;
        else if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF5E))
            score += 1;
        else if (c >= 0xFF61 && c <= 0xFF9F)
            score -= 1;
        if (i > 0 && isAsciiAlphanumeric(text[i - 1].unicode()) && (i + 1 == text.size() || text[i + 1].unicode() < 0x80))
            score -= 3;
    }
    return score;
}

bool isWesternLetterOrPunctuation(QChar c)
{
    return c.isLetter() || QStringView(u"‘’‚“”„–—…•€™«»°·").contains(c);
}

int windows1252Score(std::string_view bytes, const QString& text)
{
    // Windows-1252 is one character per byte, so positions in bytes and text agree.
    if (text.size() != static_cast<qsizetype>(bytes.size()))
        return -4 * static_cast<int>(bytes.size());
    std::size_t high = 0;
    for (const char byte : bytes)
        high += static_cast<unsigned char>(byte) >= 0x80 ? 1 : 0;
    if (high * 4 > bytes.size())
        return -4 * static_cast<int>(bytes.size());
    int score = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80)
            ++end;
        const std::size_t run = end - i;
        for (std::size_t k = i; k < end; ++k) {
            if (text[static_cast<qsizetype>(k)] == QChar(0xFFFD))
                score -= 4;
        }
        if (run == 1 && i > 0 && isWesternLetterOrPunctuation(text[static_cast<qsizetype>(i)]))
            score += 2;
        else if (run == 2)
            score += 1;
        else if (run > 2)
            score -= 2 * static_cast<int>(run);
        i = end;
    }
    return score;
}

struct Readings {
    QString cp932;
    QString eucJp;
    QString windows1252;
    CharsetGuess::Scores scores;
    bool whole = true; // the readings are of all the bytes, not of their start
};

Readings readingsOf(std::string_view bytes)
{
    Readings readings;
    // The start of a long text tells as well as all of it, at a bounded cost.
    constexpr std::size_t Sample = 64 * 1024;
    if (bytes.size() > Sample) {
        const std::size_t lineEnd = bytes.rfind('\n', Sample);
        bytes = bytes.substr(0, lineEnd == std::string_view::npos || lineEnd < Sample / 2 ? Sample : lineEnd + 1);
        readings.whole = false;
    }
    readings.cp932 = Cp932Codec::decode(bytes);
    readings.eucJp = CharsetGuess::decodeEucJp(bytes);
    readings.windows1252 = CharsetGuess::decodeWindows1252(bytes);
    readings.scores.cp932 = japaneseScore(readings.cp932) - 4 * static_cast<int>(cp932Errors(bytes));
    readings.scores.eucJp = japaneseScore(readings.eucJp) - 4 * static_cast<int>(eucJpErrors(bytes));
    readings.scores.windows1252 = windows1252Score(bytes, readings.windows1252);
    return readings;
}

CharsetGuess::Charset chosen(const CharsetGuess::Scores& points)
{
    if (points.cp932 >= points.eucJp && points.cp932 >= points.windows1252)
        return CharsetGuess::Charset::Cp932;
    return points.eucJp >= points.windows1252 ? CharsetGuess::Charset::EucJp : CharsetGuess::Charset::Windows1252;
}

} // namespace

namespace CharsetGuess {

QString decodeEucJp(std::string_view bytes)
{
    static const IconvConverter windowsVariant("EUC-JP-MS");
    static const IconvConverter plain("EUC-JP");
    return windowsVariant.isValid() ? windowsVariant.decode(bytes) : plain.decode(bytes);
}

QString decodeWindows1252(std::string_view bytes)
{
    static const IconvConverter converter("WINDOWS-1252");
    return converter.decode(bytes);
}

Scores scores(std::string_view bytes) { return readingsOf(bytes).scores; }

Charset guess(std::string_view bytes) { return chosen(readingsOf(bytes).scores); }

QString decode(std::string_view bytes)
{
    Readings readings = readingsOf(bytes);
    switch (chosen(readings.scores)) {
    case Charset::EucJp:
        return readings.whole ? std::move(readings.eucJp) : decodeEucJp(bytes);
    case Charset::Windows1252:
        return readings.whole ? std::move(readings.windows1252) : decodeWindows1252(bytes);
    case Charset::Cp932:
        break;
    }
    return readings.whole ? std::move(readings.cp932) : Cp932Codec::decode(bytes);
}

} // namespace CharsetGuess
