#include "CharsetDecoder.h"

#include "CharsetGuess.h"
#include "Cp932Codec.h"
#include "IconvConverter.h"
#include "Iso2022JpDecoder.h"

#include <QByteArray>

#include <array>
#include <map>
#include <memory>
#include <string>

namespace {

bool isAscii(std::string_view bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

std::string normalisedLabel(std::string_view charset)
{
    std::string label;
    for (const char c : charset) {
        if (c == '"' || c == '\'' || c == ' ' || c == '\t')
            continue;
        label += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    // RFC 2231 allows a language after "*" in an encoded word's charset.
    if (const auto star = label.find('*'); star != std::string::npos)
        label.resize(star);
    return label;
}

// Labels come from the outside and reach iconv_open: only plain charset names go there.
bool isPlainName(const std::string& label)
{
    if (label.size() > 40)
        return false;
    for (const char c : label) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
            return false;
    }
    return true;
}

bool isOneOf(const std::string& label, std::initializer_list<std::string_view> names)
{
    for (const std::string_view name : names) {
        if (label == name)
            return true;
    }
    return false;
}

QString decodeCp932(std::string_view bytes) { return Cp932Codec::decode(bytes); }

QString decodeByIconv(std::string_view bytes, const std::string& label, bool& known)
{
    static std::map<std::string, std::unique_ptr<IconvConverter>> converters;
    auto found = converters.find(label);
    if (found == converters.end()) {
        // Only a bounded number of distinct labels is remembered: labels come from the outside.
        if (converters.size() > 64)
            converters.clear();
        found = converters.emplace(label, std::make_unique<IconvConverter>(label.c_str())).first;
    }
    known = found->second->isValid();
    return known ? found->second->decode(bytes) : QString();
}

} // namespace

namespace CharsetDecoder {

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t minimum = 0;
        char32_t code = 0;
        if (byte < 0x80) {
            ++i;
            continue;
        } else if ((byte & 0xE0) == 0xC0) {
            length = 2;
            minimum = 0x80;
            code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            length = 3;
            minimum = 0x800;
            code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            length = 4;
            minimum = 0x10000;
            code = byte & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

QString decodeUnlabelled(std::string_view bytes)
{
    if (isAscii(bytes)) {
        if (bytes.find('\x1b') != std::string_view::npos)
            return Iso2022JpDecoder::decode(bytes);
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return CharsetGuess::decode(bytes);
}

QString decode(std::string_view bytes, std::string_view charset)
{
    const std::string label = normalisedLabel(charset);
    if (label.empty() || isOneOf(label, {"us-ascii", "ascii", "ansi_x3.4-1968", "us", "unknown-8bit", "x-unknown", "8bit", "default"}))
        return decodeUnlabelled(bytes);
    if (isOneOf(label, {"utf-8", "utf8", "unicode-1-1-utf-8"})) {
        if (isValidUtf8(bytes) || isAscii(bytes))
            return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return decodeUnlabelled(bytes);
    }
    if (isOneOf(label, {"shift_jis", "shift-jis", "sjis", "x-sjis", "s-jis", "shiftjis", "windows-31j", "cp932", "ms932",
            "ms_kanji", "csshiftjis", "x-ms-cp932", "cswindows31j", "ibm-943", "cp943c", "shift_jisx0213"})) {
        return decodeCp932(bytes);
    }
    if (label.starts_with("iso-2022-jp") || isOneOf(label, {"csiso2022jp", "cp50220", "cp50221", "cp50222", "jis", "x-jis"})) {
        // Mislabelled 8-bit text is common enough (mailers that only put the label) to read it as such.
        if (!isAscii(bytes) && !Iso2022JpDecoder::looksLikeIso2022Jp(bytes))
            return decodeUnlabelled(bytes);
        return Iso2022JpDecoder::decode(bytes);
    }
    if (isOneOf(label, {"euc-jp", "x-euc-jp", "eucjp", "euc_jp", "cseucpkdfmtjapanese", "euc-jp-ms", "eucjp-ms", "ujis"}))
        return CharsetGuess::decodeEucJp(bytes);
    // Seven-bit text with escapes under whatever label is ISO-2022-JP in Japanese mail.
    if (isAscii(bytes))
        return decodeUnlabelled(bytes);
    if (!isPlainName(label))
        return decodeUnlabelled(bytes);
    bool known = false;
    QString text = decodeByIconv(bytes, label, known);
    return known ? text : decodeUnlabelled(bytes);
}

std::optional<QString> decodeIfClean(std::string_view bytes, std::string_view charset)
{
    const QString text = decode(bytes, charset);
    // decode marks bytes it cannot read with U+FFFD (iconv) or U+30FB (code page 932).
    const bool marked = (text.contains(QChar(0xFFFD)) && bytes.find("\xEF\xBF\xBD") == std::string_view::npos)
        || (text.contains(QChar(0x30FB)) && !isValidUtf8(bytes) && !Cp932Codec::isWellFormed(bytes));
    if (!marked)
        return text;
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (Cp932Codec::isWellFormed(bytes))
        return decodeCp932(bytes);
    return std::nullopt;
}

} // namespace CharsetDecoder
