#include "QStringPrinter.h"

#include "MessageDecoder.h"
#include "MessageStructure.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

std::string corpusFile(const char* name)
{
    QFile file(QStringLiteral(NEMUROA_MAIL_CORPUS "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

struct StructureCase {
    const char* file;
    const char16_t* why; // a phrase of the reason, empty when the message can be taken whole
};

class MessageStructureTest : public ::testing::TestWithParam<StructureCase> {};

TEST_P(MessageStructureTest, OnlyRealNestingPartsAndHeadersCount)
{
    const std::string raw = corpusFile(GetParam().file);
    ASSERT_FALSE(raw.empty()) << GetParam().file;
    const QString why = MessageStructure::whyNotWhole(raw);
    const QString expected = QString::fromUtf16(GetParam().why);
    if (expected.isEmpty())
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    else
        EXPECT_TRUE(why.contains(expected)) << why.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Findings, MessageStructureTest,
    ::testing::Values(StructureCase{"fuzz/mentions_container_types_320_times.eml", u""},
        StructureCase{"nested_50_levels.eml", u""},
        StructureCase{"nested_400_levels.eml", u"入れ子"},
        StructureCase{"fuzz/multipart_nested_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/nested_message_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/unclosed_boundaries_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/parts_1001.eml", u"部分が多すぎる"},
        StructureCase{"fuzz/header_2100_fields.eml", u"ヘッダー"}));

TEST(MessageStructureLimits, OneHeaderFieldPastTheScanLimitIsNotTakenWhole)
{
    std::string raw = "From: a@example.jp\nSubject: long\nX-Long: x";
    while (raw.size() < 300 * 1024)
        raw += "\n xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    raw += "\n\nbody\n";
    EXPECT_TRUE(MessageStructure::whyNotWhole(raw).contains(u"ヘッダー"));
}

TEST(MessageStructureLimits, ALargePartOfASplitMessageIsContentNotAHeader)
{
    std::string raw = "From: a@example.jp\nSubject: part 2\nContent-Type: message/partial; id=\"x\"; number=2; total=2\n\n";
    for (int line = 0; line < 3000; ++line)
        raw += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo=\n";
    EXPECT_TRUE(MessageStructure::whyNotWhole(raw).isEmpty());
}

TEST(MessageStructureLimits, TheDecodedFieldsOfAMessageNotTakenWholeStayReadable)
{
    const DecodedMessage decoded = MessageDecoder::decode(corpusFile("fuzz/parts_1001.eml"));
    EXPECT_EQ(decoded.from, QStringLiteral("hostile@example.jp"));
    EXPECT_EQ(decoded.subject, QStringLiteral("many parts"));
    EXPECT_TRUE(decoded.body.contains(u"部分が多すぎる")) << decoded.body.toStdString();
}

} // namespace
