#include "Cp932Codec.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <QString>

#include <string>

namespace {

struct Mapping {
    const char* name;
    const char16_t* text;
    std::string bytes;
    const char16_t* readBack; // what decoding the bytes gives, when not the text itself
};

class Cp932Mapping : public ::testing::TestWithParam<Mapping> {};

TEST_P(Cp932Mapping, EncodesAndDecodesAsWindows)
{
    const Mapping& mapping = GetParam();
    const QString text = QString::fromUtf16(mapping.text);
    EXPECT_EQ(Cp932Codec::encode(text), mapping.bytes);
    const QString expected = QString::fromUtf16(mapping.readBack ? mapping.readBack : mapping.text);
    EXPECT_EQ(Cp932Codec::decode(mapping.bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(WindowsCharacters, Cp932Mapping,
    ::testing::Values(Mapping{"Ascii", u"abc\\~", "abc\\~", nullptr},
        Mapping{"Kanji", u"日本語", "\x93\xfa\x96\x7b\x8c\xea", nullptr},
        Mapping{"FullwidthTilde", u"\uFF5E", "\x81\x60", nullptr},        // FULLWIDTH TILDE
        Mapping{"WaveDash", u"\u301C", "\x81\x60", u"\uFF5E"},      // WAVE DASH reads back as Windows shows it
        Mapping{"NecRow13", u"①㈱Ⅰ", "\x87\x40\x87\x8a\x87\x54", nullptr}, // NEC row 13
        Mapping{"IbmExtensions", u"ⅰ髙", "\xfa\x40\xfb\xfc", nullptr},  // IBM extensions
        Mapping{"HalfwidthKana", u"ｱｲｳﾟ", "\xb1\xb2\xb3\xdf", nullptr}, // half-width katakana
        Mapping{"MinusSign", u"\u2212", "\x81\x7c", u"\uFF0D"},      // MINUS SIGN
        Mapping{"Emoji", u"a\U0001F600b", "a?b", u"a?b"},         // an emoji is one "?"
        Mapping{"LatinAndSymbol", u"caf\u00e9\u2665", "caf??", u"caf??"}),
    [](const ::testing::TestParamInfo<Mapping>& info) { return std::string(info.param.name); });

TEST(Cp932Codec, UnpairedSurrogateAndLoneLeadByteDoNotFail)
{
    const QString lone = QString(QChar(0xD800)) + u'x';
    EXPECT_EQ(Cp932Codec::encode(lone), "?x");
    EXPECT_EQ(Cp932Codec::decode("a\x81"), QString::fromUtf16(u"a\u30FB"));
    EXPECT_EQ(Cp932Codec::decode(std::string("\x81\x20", 2)), QString::fromUtf16(u"\u30FB "));
}

TEST(Cp932Codec, WholeCharacterPrefixScansForward)
{
    // 0x81 0x81 0x81 0x40: a backward scan cannot tell which 0x81 is a lead byte.
    const std::string bytes = "\x81\x81\x81\x40";
    EXPECT_EQ(Cp932Codec::wholeCharacterPrefix(bytes, 4), 4u);
    EXPECT_EQ(Cp932Codec::wholeCharacterPrefix(bytes, 3), 2u);
    EXPECT_EQ(Cp932Codec::wholeCharacterPrefix(bytes, 1), 0u);
    EXPECT_EQ(Cp932Codec::wholeCharacterPrefix("ab", 10), 2u);
}

TEST(Cp932Codec, FieldsAreCutInCharactersThenInWholeCharacterBytesAndPadded)
{
    EXPECT_EQ(Cp932Codec::encodeField(u"ab", 5), "ab   ");
    EXPECT_EQ(Cp932Codec::encodeField(u"abcdefg", 5), "abcde");
    // Three full-width characters need six bytes: the third does not fit in five, its byte is a space.
    EXPECT_EQ(Cp932Codec::encodeField(u"あいう", 5), "\x82\xa0\x82\xa2 ");
    // 26 full-width characters in a 50-byte field keep 25.
    const QString name(26, QChar(0x3042));
    const std::string field = Cp932Codec::encodeField(name, 50);
    ASSERT_EQ(field.size(), 50u);
    EXPECT_EQ(Cp932Codec::decode(field), QString(25, QChar(0x3042)));
}

struct StoredFormCase {
    const char* name;
    const char16_t* first;
    const char16_t* second;
    bool same;
};

class Cp932StoredForm : public ::testing::TestWithParam<StoredFormCase> {};

TEST_P(Cp932StoredForm, TwoFormsAreOneExactlyWhenTheCodePageStoresThemAlike)
{
    const StoredFormCase& c = GetParam();
    const QString first = Cp932Codec::storedForm(QString::fromUtf16(c.first));
    const QString second = Cp932Codec::storedForm(QString::fromUtf16(c.second));
    EXPECT_EQ(first == second, c.same) << first.toStdString() << " / " << second.toStdString();
    EXPECT_EQ(first.size(), QString::fromUtf16(c.first).size());
}

INSTANTIATE_TEST_SUITE_P(Pairs, Cp932StoredForm,
    ::testing::Values(StoredFormCase{"WaveDashAndFullwidthTilde", u"10\u301c50%OFF", u"10\uff5e50%OFF", true},
        StoredFormCase{"MinusSigns", u"\u2212", u"\uff0d", true},
        StoredFormCase{"DoubleVerticalLines", u"\u2016", u"\u2225", true},
        StoredFormCase{"CentSigns", u"\u00a2", u"\uffe0", true},
        StoredFormCase{"NotSigns", u"\u00ac", u"\uffe2", true},
        StoredFormCase{"Dashes", u"\u2014", u"\u2015", true},
        StoredFormCase{"FullAndHalfWidthLettersDiffer", u"A", u"\uff21", false},
        StoredFormCase{"FullAndHalfWidthKanaDiffer", u"\u30a2", u"\uff71", false},
        StoredFormCase{"CaseDiffers", u"free", u"FREE", false},
        StoredFormCase{"UnstorableStaysItselfNotAQuestionMark", u"\u00e9\U0001F600\u20ac", u"???", false},
        StoredFormCase{"UnstorableKeepsItsIdentity", u"\U0001F600", u"\U0001F600", true}),
    [](const ::testing::TestParamInfo<StoredFormCase>& info) { return std::string(info.param.name); });

TEST(Cp932Codec, UnstorableCharactersAreListedOnceEachInOrder)
{
    EXPECT_EQ(Cp932Codec::unstorableCharacters(u"限定\U0001F600セール€ caf\u00e9 \U0001F600 \u301c\u2460\uff71"),
        QString::fromUtf16(u"\U0001F600\u20ac\u00e9"));
    EXPECT_EQ(Cp932Codec::unstorableCharacters(u"plain ascii ?"), QString());
}

// iconv's own conversion of one character, "?" when it has none: what the codec's tables must give.
std::string iconvBytes(char16_t unit)
{
    const iconv_t converter = iconv_open("CP932", "UTF-16LE");
    char input[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char output[4] = {};
    char* in = input;
    std::size_t inLeft = sizeof input;
    char* out = output;
    std::size_t outLeft = sizeof output;
    const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
    iconv_close(converter);
    return converted ? std::string(output, sizeof output - outLeft) : std::string("?");
}

TEST(Cp932Codec, EveryCharacterEncodesAsIconvAndReadsBackAsItsBytesDecode)
{
    QString everyCharacter;
    std::string expected;
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
        const auto character = static_cast<char16_t>(unit);
        if (QChar::isSurrogate(character))
            continue;
        everyCharacter += QChar(character);
        expected += iconvBytes(character);
    }
    // Awkward neighbours: a pair for a character beyond the basic plane is one "?", a lone half is one too.
    everyCharacter += QString::fromUtf16(u"\U0001F600x") + QChar(0xDC00) + QChar(0xD83D) + u'\\' + QChar(0xD83D);
    expected += "?x??\\?";

    const std::string encoded = Cp932Codec::encode(everyCharacter);
    ASSERT_EQ(encoded.size(), expected.size());
    EXPECT_TRUE(encoded == expected);
    EXPECT_EQ(Cp932Codec::readBack(everyCharacter), Cp932Codec::decode(encoded));
}

} // namespace
