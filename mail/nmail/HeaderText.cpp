#include "HeaderText.h"

#include "CharsetDecoder.h"
#include "HeaderBlock.h"
#include "HexEscape.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

struct EncodedWord {
    std::size_t end = 0; // just after "?="
    std::string charset;
    std::string bytes;
};

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

constexpr std::size_t MaximumEncodedText = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isCharsetCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || c == '.' || c == ':' || c == '*' || c == '+';
}

// Finds "?=" at or after a position. The positions asked for only grow, so the last answer stays
// right until the position passes it, and a value full of "=?" is still scanned once.
class EndFinder {
public:
    explicit EndFinder(std::string_view text) : text_(text) {}
    std::size_t from(std::size_t position)
    {
        if (!known_ || (found_ != std::string_view::npos && found_ < position)) {
            found_ = text_.find("?=", position);
            known_ = true;
        }
        return found_;
    }

private:
    std::string_view text_;
    std::size_t found_ = std::string_view::npos;
    bool known_ = false;
};

// The bytes of B or Q encoded text; damaged input is read as far as it goes.
std::string decodeEncodedText(std::string_view text, char encoding)
{
    std::string bytes;
    if (encoding == 'B' || encoding == 'b') {
        unsigned int accumulator = 0;
        int bits = 0;
        for (const char c : text) {
            const int value = base64Value(c);
            if (value < 0)
                continue; // padding and stray characters: read what can be read
            accumulator = (accumulator << 6) | static_cast<unsigned int>(value);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                bytes += static_cast<char>((accumulator >> bits) & 0xFF);
            }
        }
        return bytes;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (HexEscape::take(text, i, '=', bytes)) {
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

std::optional<EncodedWord> parseEncodedWord(std::string_view text, std::size_t start, EndFinder& ends)
{
    // =?charset?X?text?=
    std::size_t position = start + 2;
    const std::size_t charsetStart = position;
    while (position < text.size() && position - charsetStart < 64 && isCharsetCharacter(text[position]))
        ++position;
    if (position == charsetStart || position + 3 > text.size() || text[position] != '?')
        return std::nullopt;
    const std::string_view charset = text.substr(charsetStart, position - charsetStart);
    const char encoding = text[position + 1];
    if (text[position + 2] != '?' || (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q'))
        return std::nullopt;
    const std::size_t textStart = position + 3;
    const std::size_t end = ends.from(textStart);
    // Real encoded words are short; a bound keeps a value of many unfinished words linear.
    if (end == std::string_view::npos || end - textStart > MaximumEncodedText)
        return std::nullopt;
    const std::string_view encoded = text.substr(textStart, end - textStart);
    if (encoded.find_first_of(" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    EncodedWord word;
    word.end = end + 2;
    word.charset = std::string(charset);
    word.bytes = decodeEncodedText(encoded, encoding);
    // Text that yields no bytes (nothing but damaged base64) is no encoded word: it stays as it stands.
    if (word.bytes.empty() && !encoded.empty())
        return std::nullopt;
    return word;
}

} // namespace

namespace HeaderText {

QString decode(std::string_view value)
{
    if (value.size() > MaximumBytes)
        value = value.substr(0, MaximumBytes);
    QString result;
    EndFinder ends(value);
    struct PendingWord {
        std::string_view raw; // the encoded word as it stands
        std::string_view blanksBefore; // between it and the word before, dropped when both decode
        std::string bytes;
    };
    std::vector<PendingWord> pendingWords;
    std::string pendingCharset;
    std::size_t plainStart = 0;
    std::size_t position = 0;

    const auto flushWords = [&] {
        if (pendingWords.empty())
            return;
        std::string joined;
        for (const PendingWord& word : pendingWords)
            joined += word.bytes;
        if (const auto text = CharsetDecoder::decodeIfClean(joined, pendingCharset)) {
            result += *text;
        } else {
            // Some word does not read in any charset: each word that reads is decoded, the others
            // stay as they stood, with the blanks around them (RFC 2047 section 6.3).
            bool previousKept = false;
            for (std::size_t i = 0; i < pendingWords.size(); ++i) {
                const PendingWord& word = pendingWords[i];
                const auto text = CharsetDecoder::decodeIfClean(word.bytes, pendingCharset);
                if (i > 0 && (!text || previousKept))
                    result += QString::fromLatin1(word.blanksBefore.data(), static_cast<qsizetype>(word.blanksBefore.size()));
                result += text ? *text : CharsetDecoder::decodeUnlabelled(word.raw);
                previousKept = !text;
            }
        }
        pendingWords.clear();
        pendingCharset.clear();
    };
    const auto flushPlain = [&](std::size_t end) {
        if (end > plainStart)
            result += CharsetDecoder::decodeUnlabelled(value.substr(plainStart, end - plainStart));
    };

    bool lastWasEncoded = false;
    while (position < value.size()) {
        const std::size_t start = value.find("=?", position);
        if (start == std::string_view::npos)
            break;
        auto word = parseEncodedWord(value, start, ends);
        if (!word) {
            position = start + 1;
            continue;
        }
        const std::string_view between = value.substr(plainStart, start - plainStart);
        const bool onlyBlanks = std::all_of(between.begin(), between.end(), isBlank);
        const bool continuesRun = lastWasEncoded && onlyBlanks;
        if (!continuesRun) {
            flushWords();
            flushPlain(start);
        }
        if (!pendingCharset.empty() && !HeaderBlock::namesEqual(pendingCharset, word->charset))
            flushWords();
        pendingCharset = word->charset;
        pendingWords.push_back({value.substr(start, word->end - start), continuesRun ? between : std::string_view(), std::move(word->bytes)});
        lastWasEncoded = true;
        position = word->end;
        plainStart = word->end;
    }
    flushWords();
    flushPlain(value.size());
    return result;
}

} // namespace HeaderText
