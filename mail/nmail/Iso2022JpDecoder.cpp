#include "Iso2022JpDecoder.h"

#include "Cp932Codec.h"
#include "IconvConverter.h"

#include <string>

namespace {

enum class Mode { Ascii, Kanji, Supplement, Katakana };

constexpr char Escape = 0x1B;
constexpr char ShiftOut = 0x0E;
constexpr char ShiftIn = 0x0F;
// GETA MARK, the sign Japanese type has long used for a character that cannot be set.
constexpr char16_t Replacement = 0x3013;

bool isJisByte(unsigned char byte) { return byte >= 0x21 && byte <= 0x7E; }

// The code page 932 bytes of a JIS X 0208 (and extension rows) character.
std::string toShiftJis(unsigned char row, unsigned char cell)
{
    const int lead = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
    int trail = 0;
    if (row & 1)
        trail = cell + (cell < 0x60 ? 0x1F : 0x20);
    else
        trail = cell + 0x7E;
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

QString supplementCharacter(unsigned char row, unsigned char cell)
{
    static const IconvConverter converter("EUC-JP");
    const char bytes[3] = {static_cast<char>(0x8F), static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
    QString character = converter.decode(std::string_view(bytes, 3));
    character.replace(QChar(0xFFFD), QChar(Replacement));
    return character;
}

} // namespace

namespace Iso2022JpDecoder {

bool looksLikeIso2022Jp(std::string_view bytes)
{
    return bytes.find("\x1b$B") != std::string_view::npos || bytes.find("\x1b$@") != std::string_view::npos
        || bytes.find("\x1b$(") != std::string_view::npos || bytes.find("\x1b(I") != std::string_view::npos;
}

QString decode(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    Mode mode = Mode::Ascii;
    Mode beforeShiftOut = Mode::Ascii;
    // Double-byte characters gather in code page 932 and are converted a run at a time.
    std::string pending;
    const auto flush = [&] {
        if (!pending.empty()) {
            text.append(Cp932Codec::decode(pending));
            pending.clear();
        }
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (mode == Mode::Kanji && i + 1 < bytes.size() && isJisByte(static_cast<unsigned char>(bytes[i]))
            && isJisByte(static_cast<unsigned char>(bytes[i + 1]))) {
            pending += toShiftJis(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1]));
            i += 2;
            continue;
        }
        flush();
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (bytes[i] == Escape) {
            const std::string_view rest = bytes.substr(i + 1);
            std::size_t used = 0;
            if (rest.starts_with("$B") || rest.starts_with("$@")) {
                mode = Mode::Kanji;
                used = 2;
            } else if (rest.starts_with("$(B") || rest.starts_with("$(Q") || rest.starts_with("$(O")) {
                mode = Mode::Kanji;
                used = 3;
            } else if (rest.starts_with("$(D")) {
                mode = Mode::Supplement;
                used = 3;
            } else if (rest.starts_with("(B") || rest.starts_with("(J") || rest.starts_with("(H")) {
                mode = Mode::Ascii;
                used = 2;
            } else if (rest.starts_with("(I")) {
                mode = Mode::Katakana;
                used = 2;
            } else if (rest.starts_with("&@")) {
                used = 2;
            }
            if (used > 0) {
                i += 1 + used;
                continue;
            }
            // An escape sequence of no set we know: its intermediate bytes and final byte are
            // dropped with it, and the mark shows that something stood there.
            std::size_t end = i + 1;
            while (end < bytes.size() && bytes[end] >= 0x20 && bytes[end] <= 0x2F)
                ++end;
            if (end < bytes.size() && bytes[end] >= 0x30 && bytes[end] <= 0x7E)
                ++end;
            text.append(QChar(Replacement));
            i = end;
            continue;
        }
        if (bytes[i] == ShiftOut) {
            if (mode != Mode::Katakana)
                beforeShiftOut = mode;
            mode = Mode::Katakana;
            ++i;
            continue;
        }
        if (bytes[i] == ShiftIn) {
            mode = beforeShiftOut;
            ++i;
            continue;
        }
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            mode = Mode::Ascii;
            text.append(QChar(char16_t(byte)));
            ++i;
            continue;
        }
        if (byte >= 0x80) {
            // Eight-bit bytes do not belong here; half-width katakana is the one thing senders put so.
            text.append(byte >= 0xA1 && byte <= 0xDF ? QChar(char16_t(0xFF61 + (byte - 0xA1))) : QChar(Replacement));
            ++i;
            continue;
        }
        switch (mode) {
        case Mode::Ascii:
            text.append(QChar(char16_t(byte)));
            ++i;
            break;
        case Mode::Katakana:
            if (byte >= 0x21 && byte <= 0x5F)
                text.append(QChar(char16_t(0xFF61 + (byte - 0x21))));
            else
                text.append(QChar(char16_t(byte)));
            ++i;
            break;
        case Mode::Kanji:
        case Mode::Supplement:
            if (i + 1 < bytes.size() && isJisByte(byte) && isJisByte(static_cast<unsigned char>(bytes[i + 1]))) {
                const auto cell = static_cast<unsigned char>(bytes[i + 1]);
                text.append(supplementCharacter(byte, cell));
                i += 2;
            } else {
                text.append(byte == ' ' || byte == '\t' ? QChar(char16_t(byte)) : QChar(Replacement));
                ++i;
            }
            break;
        }
    }
    flush();
    return text;
}

} // namespace Iso2022JpDecoder
