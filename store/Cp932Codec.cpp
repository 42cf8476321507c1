#include "Cp932Codec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr char16_t Undecodable = 0x30FB; // KATAKANA MIDDLE DOT, what Windows shows for such bytes

bool isTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (handle_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    iconv_t get() const { return handle_; }
    void reset() const { iconv(handle_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t handle_;
};

// Decoding is a table lookup: the table is filled once from iconv, so it is iconv's mapping exactly,
// without an iconv call per field on the list-loading path.
class DecodeTable {
public:
    DecodeTable()
    {
        single_.fill(Undecodable);
        pairs_.fill(Undecodable);
        const IconvHandle converter("UTF-16LE", "CP932");
        for (int byte = 0; byte < 256; ++byte) {
            if (!Cp932Codec::isLeadByte(static_cast<unsigned char>(byte)))
                single_[byte] = convert(converter, {static_cast<char>(byte)});
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!Cp932Codec::isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (isTrailByte(static_cast<unsigned char>(trail)))
                    pairs_[pairIndex(lead, trail)] =
                        convert(converter, {static_cast<char>(lead), static_cast<char>(trail)});
            }
        }
    }

    char16_t single(unsigned char byte) const { return single_[byte]; }
    char16_t pair(unsigned char lead, unsigned char trail) const { return pairs_[pairIndex(lead, trail)]; }

private:
    static std::size_t pairIndex(int lead, int trail) { return static_cast<std::size_t>((lead << 8) | trail); }

    static char16_t convert(const IconvHandle& converter, std::string input)
    {
        converter.reset();
        char output[8] = {};
        char* in = input.data();
        std::size_t inLeft = input.size();
        char* out = output;
        std::size_t outLeft = sizeof output;
        if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0
            || sizeof output - outLeft != 2)
            return Undecodable;
        return static_cast<char16_t>(static_cast<unsigned char>(output[0]) | (static_cast<unsigned char>(output[1]) << 8));
    }

    std::array<char16_t, 256> single_{};
    std::array<char16_t, 65536> pairs_{};
};

const DecodeTable& decodeTable()
{
    static const auto table = std::make_unique<DecodeTable>();
    return *table;
}

bool isSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// For every character of the basic plane: its bytes in code page 932, what it reads back as after
// a trip through the code page, and whether it survives the trip at all. Filled once from iconv, like
// the decode table, so encoding is iconv's mapping exactly without an iconv call per text.
class RoundTripTable {
public:
    RoundTripTable()
    {
        const IconvHandle converter("CP932", "UTF-16LE");
        const DecodeTable& decoding = decodeTable();
        for (std::size_t unit = 0; unit < storedAs_.size(); ++unit) {
            const auto character = static_cast<char16_t>(unit);
            storedAs_[unit] = character;
            if (isSurrogate(character))
                continue;
            converter.reset();
            char input[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            char output[4] = {};
            char* in = input;
            std::size_t inLeft = sizeof input;
            char* out = output;
            std::size_t outLeft = sizeof output;
            if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
                continue;
            const std::size_t written = sizeof output - outLeft;
            const auto first = static_cast<unsigned char>(output[0]);
            const auto second = static_cast<unsigned char>(output[1]);
            if (written == 1)
                storedAs_[unit] = first < 0x80 ? first : decoding.single(first);
            else if (written == 2)
                storedAs_[unit] = decoding.pair(first, second);
            else
                continue;
            bytes_[unit] = {static_cast<char>(first), static_cast<char>(second)};
            width_[unit] = static_cast<std::uint8_t>(written);
        }
    }

    char16_t storedAs(char16_t unit) const { return storedAs_[unit]; }
    bool holds(char16_t unit) const { return width_[unit] != 0; }
    // The unit's bytes; 0 bytes when the code page cannot hold it.
    std::string_view bytes(char16_t unit) const { return {bytes_[unit].data(), width_[unit]}; }

private:
    std::array<char16_t, 65536> storedAs_{};
    std::array<std::array<char, 2>, 65536> bytes_{};
    std::array<std::uint8_t, 65536> width_{};
};

const RoundTripTable& roundTripTable()
{
    static const auto table = std::make_unique<RoundTripTable>();
    return *table;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Four UTF-16 units at once, for the ASCII runs that make up most of a message.
std::uint64_t fourUnits(const char16_t* units)
{
    std::uint64_t four = 0;
    std::memcpy(&four, units, sizeof four);
    return four;
}

// Whatever the byte order, each unit's bits above 0x7F are under the mask.
bool isAsciiFour(std::uint64_t four) { return (four & 0xFF80FF80FF80FF80ULL) == 0; }

// The first unit of the text that keeps(table, unit) says changes; ASCII never does. Most text reads
// back as itself, and is then shared rather than copied.
template <typename Keeps>
const char16_t* firstChanged(const char16_t* in, const char16_t* end, Keeps keeps)
{
    const RoundTripTable* table = nullptr;
    while (in < end) {
        if (end - in >= 4 && isAsciiFour(fourUnits(in))) {
            in += 4;
            continue;
        }
        if (*in >= 0x80) {
            if (!table)
                table = &roundTripTable();
            if (!keeps(*table, *in))
                return in;
        }
        ++in;
    }
    return end;
}

} // namespace

namespace Cp932Codec {

bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string encode(QStringView text)
{
    const char16_t* in = text.utf16();
    const char16_t* const end = in + text.size();
    // At most two bytes a character; written through a pointer and cut to length once, since a
    // message body of megabytes passes here on every receive.
    std::string result(static_cast<std::size_t>(text.size()) * 2, '\0');
    char* out = result.data();
    // Taken on the first character beyond ASCII: a program that writes only ASCII never fills it.
    const RoundTripTable* table = nullptr;
    while (in < end) {
        if (end - in >= 4) {
            if (isAsciiFour(fourUnits(in))) {
                out[0] = static_cast<char>(in[0]);
                out[1] = static_cast<char>(in[1]);
                out[2] = static_cast<char>(in[2]);
                out[3] = static_cast<char>(in[3]);
                out += 4;
                in += 4;
                continue;
            }
        }
        const char16_t unit = *in++;
        if (unit < 0x80) {
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (!table)
            table = &roundTripTable();
        const std::string_view bytes = table->bytes(unit);
        if (!bytes.empty()) {
            *out++ = bytes[0];
            if (bytes.size() == 2)
                *out++ = bytes[1];
            continue;
        }
        // A character code page 932 cannot hold, or half of a surrogate pair: one "?" for the
        // whole character, as Windows writes it.
        if (QChar::isHighSurrogate(unit) && in < end && QChar::isLowSurrogate(*in))
            ++in;
        *out++ = '?';
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

QString readBack(const QString& text)
{
    const auto* const start = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = start + text.size();
    const char16_t* in = firstChanged(start, end, [](const RoundTripTable& table, char16_t unit) {
        return table.holds(unit) && table.storedAs(unit) == unit;
    });
    if (in == end)
        return text;

    QString result(text.size(), Qt::Uninitialized);
    auto* const begin = reinterpret_cast<char16_t*>(result.data());
    std::copy(start, in, begin);
    char16_t* out = begin + (in - start);
    const RoundTripTable* table = nullptr;
    while (in < end) {
        const char16_t unit = *in++;
        if (unit < 0x80) {
            *out++ = unit;
            continue;
        }
        if (!table)
            table = &roundTripTable();
        if (table->holds(unit)) {
            *out++ = table->storedAs(unit);
        } else {
            if (QChar::isHighSurrogate(unit) && in < end && QChar::isLowSurrogate(*in))
                ++in;
            *out++ = u'?';
        }
    }
    result.truncate(out - begin);
    return result;
}

QString decode(std::string_view bytes)
{
    const DecodeTable& table = decodeTable();
    QString result(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(result.data());
    qsizetype length = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out[length++] = byte;
        } else if (isLeadByte(byte) && i + 1 < bytes.size() && isTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            out[length++] = table.pair(byte, static_cast<unsigned char>(bytes[i + 1]));
            ++i;
        } else {
            out[length++] = isLeadByte(byte) ? Undecodable : table.single(byte);
        }
    }
    result.truncate(length);
    return result;
}

QString unstorableCharacters(QStringView text)
{
    QString found;
    if (isAscii(text))
        return found;
    const RoundTripTable& table = roundTripTable();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        QString character(text[i]);
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            character += text[++i];
        else if (table.holds(unit))
            continue;
        if (!found.contains(character))
            found += character;
    }
    return found;
}

QString storedForm(const QString& text)
{
    const auto* const start = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = start + text.size();
    const char16_t* const changed =
        firstChanged(start, end, [](const RoundTripTable& table, char16_t unit) { return table.storedAs(unit) == unit; });
    if (changed == end)
        return text;
    const RoundTripTable& table = roundTripTable();
    QString result(text.size(), Qt::Uninitialized);
    auto* const out = reinterpret_cast<char16_t*>(result.data());
    std::copy(start, changed, out);
    for (qsizetype i = changed - start; i < text.size(); ++i)
        out[i] = table.storedAs(start[i]);
    return result;
}

bool isWellFormed(std::string_view bytes)
{
    const DecodeTable& table = decodeTable();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80)
            continue;
        if (!isLeadByte(byte)) {
            if (table.single(byte) == Undecodable)
                return false;
            continue;
        }
        if (i + 1 >= bytes.size())
            return false;
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        // 81 45 is the middle dot itself, the one pair that decodes to the mark honestly.
        if (!isTrailByte(trail) || (table.pair(byte, trail) == Undecodable && !(byte == 0x81 && trail == 0x45)))
            return false;
        ++i;
    }
    return true;
}

std::size_t wholeCharacterPrefix(std::string_view bytes, std::size_t maxBytes)
{
    // Only a forward scan can tell a lead byte from a trail byte of the same value.
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t width = isLeadByte(static_cast<unsigned char>(bytes[position])) ? 2 : 1;
        if (position + width > maxBytes)
            break;
        position += width;
    }
    return std::min(position, bytes.size());
}

std::string encodeField(QStringView text, int width)
{
    const auto fieldWidth = static_cast<std::size_t>(width);
    std::string bytes = encode(text.first(std::min<qsizetype>(text.size(), width)));
    // Shorter than the field, the bytes are whole characters to the end, as encoded.
    if (bytes.size() >= fieldWidth)
        bytes.resize(wholeCharacterPrefix(bytes, fieldWidth));
    bytes.resize(fieldWidth, ' ');
    return bytes;
}

} // namespace Cp932Codec
