#include "ExerciseCp932Codec.h"

#include "Cp932Codec.h"

#include <QString>

#include <array>

namespace {

// Whole characters only: the first length bytes never end in a lead byte without its trail byte.
bool endsOnCharacterBoundary(std::string_view bytes, std::size_t length)
{
    std::size_t at = 0;
    while (at < length)
        at += Cp932Codec::isLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    return at == length;
}

std::string checkField(QStringView text)
{
    for (const int width : std::array{1, 2, 7, 100}) {
        const std::string field = Cp932Codec::encodeField(text, width);
        if (field.size() != static_cast<std::size_t>(width))
            return "a field of width " + std::to_string(width) + " came out " + std::to_string(field.size()) + " bytes long";
        if (!endsOnCharacterBoundary(field, field.size()))
            return "a field of width " + std::to_string(width) + " ends in half a character";
    }
    return {};
}

} // namespace

std::string ExerciseCp932Codec(std::string_view input)
{
    const QString decoded = Cp932Codec::decode(input);
    const std::string encoded = Cp932Codec::encode(decoded);
    if (Cp932Codec::decode(encoded) != decoded)
        return "decoding, encoding and decoding again changed the text";
    for (const std::size_t most : {std::size_t{0}, std::size_t{1}, input.size() / 2, input.size()}) {
        const std::size_t prefix = Cp932Codec::wholeCharacterPrefix(input, most);
        if (prefix > most || prefix > input.size() || (prefix < input.size() && !endsOnCharacterBoundary(input, prefix)))
            return "the whole-character prefix of at most " + std::to_string(most) + " bytes was " + std::to_string(prefix);
    }
    if (std::string failed = checkField(decoded); !failed.empty())
        return failed;

    // The same bytes as UTF-16, unpaired surrogates and all, as text typed or pasted could be.
    const QString typed(reinterpret_cast<const QChar*>(input.data()), static_cast<qsizetype>(input.size() / 2));
    const std::string typedBytes = Cp932Codec::encode(typed);
    if (Cp932Codec::encode(Cp932Codec::decode(typedBytes)) != typedBytes)
        return "encoded text did not survive decoding and encoding";
    return checkField(typed);
}
