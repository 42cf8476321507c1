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
        StructureCase{"fuzz/header_2100_fields.eml", u"ヘッダー"},
        StructureCase{"fuzz/boundary_pieces_nested_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/boundary_charset_nested_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/empty_boundary_nested_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/digest_nested_70_levels.eml", u"入れ子"},
        StructureCase{"fuzz/subject_of_unclosed_encoded_words.eml", u"件名"},
        StructureCase{"fuzz/forwarded_subjects_of_unclosed_encoded_words.eml", u"件名"}));

// Four hundred forwarded messages, each with a long Subject of closed encoded words, as a digest
// brings them: the parser's look-ahead is short for each, and the message is taken whole.
TEST(MessageStructureLimits, ManyLongSubjectsOfClosedEncodedWordsAreTakenWhole)
{
    std::string raw = "From: list@example.jp\nSubject: digest\nContent-Type: multipart/digest; boundary=\"d\"\n\n";
    for (int number = 0; number < 400; ++number) {
        raw += "--d\n\nFrom: a@example.jp\nSubject:";
        for (int word = 0; word < 20; ++word)
            raw += " =?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=";
        raw += "\n\ntext\n";
    }
    raw += "--d--\n";
    EXPECT_TRUE(MessageStructure::whyNotWhole(raw).isEmpty()) << MessageStructure::whyNotWhole(raw).toStdString();
}

// A boundary in pieces, with a charset or empty, and a digest's parts without a type: each is
// refused after reading as much, and as many parts, as the same structure written plainly.
TEST(MessageStructureLimits, EveryWayOfWritingABoundaryCostsWhatThePlainOneCosts)
{
    const std::string plainTwin = corpusFile("fuzz/multipart_nested_70_levels.eml");
    std::string digestTwin;
    for (int level = 0; level < 70; ++level) {
        digestTwin += "Content-Type: multipart/digest; boundary=\"d" + std::to_string(level) + "\"\n\n--d" + std::to_string(level)
            + "\nContent-Type: message/rfc822\n\n";
    }
    const struct {
        const char* file;
        std::string twin;
    } cases[] = {
        {"fuzz/boundary_pieces_nested_70_levels.eml", plainTwin},
        {"fuzz/boundary_charset_nested_70_levels.eml", plainTwin},
        {"fuzz/empty_boundary_nested_70_levels.eml", plainTwin},
        {"fuzz/digest_nested_70_levels.eml", digestTwin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const MessageStructure::Scan crafted = MessageStructure::scan(corpusFile(c.file));
        const MessageStructure::Scan twin = MessageStructure::scan(c.twin);
        EXPECT_TRUE(crafted.whyNotWhole.contains(u"入れ子")) << crafted.whyNotWhole.toStdString();
        EXPECT_EQ(crafted.whyNotWhole, twin.whyNotWhole);
        EXPECT_EQ(crafted.parts, twin.parts);
        // The headers of the pieces are a few bytes longer than the plain ones, no more.
        EXPECT_LE(crafted.bytesRead, twin.bytesRead + 40 * static_cast<std::size_t>(twin.parts));
    }
}

TEST(MessageStructureLimits, WideStructuresWrittenInPiecesAreCountedPartByPart)
{
    const struct {
        const char* name;
        std::string contentType;
        std::string boundaryLine;
    } cases[] = {
        {"pieces", "multipart/mixed; boundary*0=\"p\"; boundary*1=\"q\"", "--pq"},
        {"empty", "multipart/mixed; boundary=\"\"", "--"},
        // Lines a parser takes as boundaries end a part's header as an empty line does.
        {"boundaries within headers", "multipart/mixed; boundary=p", "--p\nX-Field: x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string raw = "From: a@example.jp\nContent-Type: " + c.contentType + "\n\n";
        for (int part = 0; part < 1001; ++part)
            raw += c.boundaryLine + "\n\n" + std::to_string(part) + "\n";
        EXPECT_TRUE(MessageStructure::whyNotWhole(raw).contains(u"部分が多すぎる")) << MessageStructure::whyNotWhole(raw).toStdString();
        EXPECT_EQ(MessageStructure::scan(raw).parts, MessageDecoder::MaximumParts + 1);
    }
}

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
