#include "ClockText.h"
#include "Cp932Codec.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

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

} // namespace

TEST(Cp932Codec, UnencodableCharactersAreFoundOnceEachAndMappedOnesPass)
{
    EXPECT_EQ(Cp932Codec::unencodableCharacters(u"山田①㈱髙～〜ｶ? abc"), QString());
    EXPECT_EQ(Cp932Codec::unencodableCharacters(u"café♥é😀"), QStringLiteral("é♥😀"));
}

TEST(ClockText, LocaleShortDateThenTimeWithoutLeadingZeroHour)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_EQ(ClockText(QDateTime(QDate(2026, 12, 6), QTime(13, 45, 12))), QStringLiteral("2026/12/06 13:45:12"));
    EXPECT_EQ(ClockText(QDateTime(QDate(2026, 1, 2), QTime(9, 5, 7))), QStringLiteral("2026/01/02 9:05:07"));
    QLocale::setDefault(previous);
}
