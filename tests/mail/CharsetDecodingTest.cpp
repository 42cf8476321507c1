#include "CharsetDecoder.h"
#include "HeaderText.h"
#include "MessageDecoder.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct BodyCase {
    const char* what;
    std::string bytes;
    const char* charset;
    const char16_t* text;
};

class CharsetDecodingTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(CharsetDecodingTest, ReadsTheBytesAsTheirSenderMeantThem)
{
    const BodyCase& c = GetParam();
    EXPECT_EQ(CharsetDecoder::decode(c.bytes, c.charset), QString::fromUtf16(c.text)) << c.what;
}

const std::string WindowsCp932 = "\x87\x40\x87\x8a\x87\x54\xfb\xfc\x81\x60";
const std::string WindowsJis = "\x1b$B-!-j-5|b!A\x1b(B";

INSTANTIATE_TEST_SUITE_P(Charsets, CharsetDecodingTest,
    ::testing::Values(BodyCase{"Shift_JIS label", WindowsCp932, "Shift_JIS", u"①㈱Ⅰ髙～"},
        BodyCase{"x-sjis label", WindowsCp932, "x-sjis", u"①㈱Ⅰ髙～"},
        BodyCase{"windows-31j label", WindowsCp932, "Windows-31J", u"①㈱Ⅰ髙～"},
        BodyCase{"quoted label", WindowsCp932, "\"cp932\"", u"①㈱Ⅰ髙～"},
        BodyCase{"backslash stays a backslash", "C:\\temp", "shift_jis", u"C:\\temp"},
        BodyCase{"ISO-2022-JP with NEC and IBM rows", WindowsJis, "ISO-2022-JP", u"①㈱Ⅰ髙～"},
        BodyCase{"half-width kana after ESC ( I", "\x1b(I1\x1b(B", "iso-2022-jp", u"ｱ"},
        BodyCase{"half-width kana between SO and SI", "a\x0e" "1\x0f" "b", "iso-2022-jp", u"aｱb"},
        BodyCase{"a line without ESC ( B starts the next in ASCII", "\x1b$B$3\nabc", "iso-2022-jp", u"こ\nabc"},
        BodyCase{"JIS X 0212", "\x1b$(D\x22\x2f\x1b(B", "iso-2022-jp", u"˘"},
        BodyCase{"ISO-2022-JP label on 8-bit text", "\xe6\x97\xa5", "iso-2022-jp", u"日"},
        BodyCase{"EUC-JP", "\xc6\xfc\xcb\xdc", "euc-jp", u"日本"},
        BodyCase{"EUC-JP with NEC row 13", "\xad\xa1", "EUC-JP", u"①"},
        BodyCase{"UTF-8", "\xe6\x97\xa5\xf0\x9f\x98\x80", "utf-8", u"日😀"},
        BodyCase{"UTF-8 label on code page 932", "\x93\xfa\x96\x7b", "utf-8", u"日本"},
        BodyCase{"unlabelled UTF-8", "\xe6\x97\xa5", "", u"日"},
        BodyCase{"unlabelled code page 932", "\x93\xfa\x96\x7b", "", u"日本"},
        BodyCase{"unlabelled ISO-2022-JP", "\x1b$BF|\x1b(B", "", u"日"},
        BodyCase{"us-ascii label on 8-bit UTF-8", "\xe6\x97\xa5", "us-ascii", u"日"},
        BodyCase{"unknown label", "\xe6\x97\xa5", "x-no-such-charset", u"日"},
        BodyCase{"ISO-8859-1", "caf\xe9", "iso-8859-1", u"café"},
        BodyCase{"a cut-off character is marked", "a\xb0", "euc-kr", u"a\uFFFD"},
        BodyCase{"ISO-2022-JP: an escape of no known set", "\x1b$B$3\x1b(B\x1b$Zab", "iso-2022-jp", u"こ〓ab"},
        BodyCase{"ISO-2022-JP: an escape cut off at the end", "\x1b$B$3\x1b(Bx\x1b$", "iso-2022-jp", u"こx〓"},
        BodyCase{"ISO-2022-JP: a stray byte among kanji", "\x1b$B$3\x01$s\x1b(B", "iso-2022-jp", u"こ〓ん"},
        BodyCase{"escapes under an ASCII label", "\x1b$B$3\x1b(B\x1b(Z", "us-ascii", u"こ〓"},
        BodyCase{"unlabelled EUC-JP", "\xa3\xc5\xa3\xd5\xa3\xc3\xa4\xce\xb7\xef\xcc\xbe", "", u"ＥＵＣの件名"},
        BodyCase{"unlabelled Windows-1252", "the world\x92s best caf\xe9", "", u"the world’s best café"}));

struct HeaderCase {
    const char* what;
    std::string value;
    const char16_t* text;
};

class HeaderTextTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTextTest, DecodesEncodedWordsAsAReaderWould)
{
    const HeaderCase& c = GetParam();
    EXPECT_EQ(HeaderText::decode(c.value), QString::fromUtf16(c.text)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Words, HeaderTextTest,
    ::testing::Values(HeaderCase{"plain text", "Hello", u"Hello"},
        HeaderCase{"blanks between words dropped", "=?UTF-8?B?5pel?= \t =?UTF-8?B?5pys?=", u"日本"},
        HeaderCase{"blanks around text kept", "a =?UTF-8?Q?=E6=97=A5_x?= b", u"a 日 x b"},
        HeaderCase{"a character split between words", "=?UTF-8?B?5g==?= =?UTF-8?B?l6U=?=", u"日"},
        HeaderCase{"lower-case encoding and charset", "=?utf-8?b?5pel?=", u"日"},
        HeaderCase{"language after the charset", "=?UTF-8*ja?B?5pel?=", u"日"},
        HeaderCase{"different charsets side by side", "=?UTF-8?B?5pel?= =?Shift_JIS?B?h0A=?=", u"日①"},
        HeaderCase{"inside quotes", "\"=?UTF-8?B?5pel?=\" <a@example.jp>", u"\"日\" <a@example.jp>"},
        HeaderCase{"glued to a word", "Re:=?UTF-8?B?5pel?=", u"Re:日"},
        HeaderCase{"unknown encoding left as it stands", "=?UTF-8?X?abc?=", u"=?UTF-8?X?abc?="},
        HeaderCase{"no end left as it stands", "=?UTF-8?B?5pel", u"=?UTF-8?B?5pel"},
        HeaderCase{"blank inside left as it stands", "=?UTF-8?B?5p el?=", u"=?UTF-8?B?5p el?="},
        HeaderCase{"stray markers", "a =? b ?= c", u"a =? b ?= c"},
        HeaderCase{"bad base64 read as far as it goes", "=?UTF-8?B?5pel!!?=", u"日"},
        HeaderCase{"bad quoted-printable kept", "=?UTF-8?Q?=ZZ?=", u"=ZZ"},
        HeaderCase{"raw code page 932", "\x93\xfa\x96\x7b", u"日本"},
        HeaderCase{"a word of no bytes kept as it stood", "=?UTF-8?B?!!!!?=", u"=?UTF-8?B?!!!!?="},
        HeaderCase{"bytes no charset reads kept as they stood", "=?UTF-8?B?//8=?=", u"=?UTF-8?B?//8=?="},
        HeaderCase{"valid words around kept ones decoded", "=?UTF-8?B?5pel?= =?UTF-8?B?!!!!?= =?UTF-8?B?//8=?= =?UTF-8?B?5pys?=",
            u"日 =?UTF-8?B?!!!!?= =?UTF-8?B?//8=?= 本"},
        HeaderCase{"unknown label the guess reads stays decoded", "=?x-no-such-charset?B?5pel?=", u"日"}));

TEST(HeaderTextLimits, AValueFullOfMarkersIsDecodedInOnePass)
{
    std::string hostile;
    while (hostile.size() < 4 * HeaderText::MaximumBytes)
        hostile += "=?a?B?";
    EXPECT_LE(HeaderText::decode(hostile).size(), static_cast<qsizetype>(HeaderText::MaximumBytes));
}

TEST(HeaderTextLimits, UnfinishedWordsBeforeAFarEndAreNotRescanned)
{
    std::string hostile;
    while (hostile.size() < HeaderText::MaximumBytes - 2)
        hostile += "=?a?B?AAAA";
    hostile += "?=";
    EXPECT_FALSE(HeaderText::decode(hostile).isEmpty());
}

TEST(DecodedHeaderFields, ControlCharactersBecomeSpacesSoEachFieldIsOneLine)
{
    const DecodedMessage decoded = MessageDecoder::decodeHeader(
        "From: =?UTF-8?Q?a=0D=0AX-Injected:_1?= <a@example.jp>\nSubject: =?UTF-8?Q?Re:_invoice=0D=0ABcc:_b@example.com=00=E2=80=A8?=\n"
        "Date: Mon, 1 Apr 2024\x0b" "09:00 +0900\n\nbody\n");
    EXPECT_EQ(decoded.subject, QStringLiteral("Re: invoice  Bcc: b@example.com  "));
    EXPECT_EQ(decoded.from, QStringLiteral("a  X-Injected: 1 <a@example.jp>"));
    EXPECT_EQ(decoded.date, QStringLiteral("Mon, 1 Apr 2024 09:00 +0900"));
}

} // namespace
