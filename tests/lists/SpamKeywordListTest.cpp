#include "SpamKeywordList.h"
#include "StoreTestFolder.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

constexpr int KeywordLength = 204;

QByteArray keywordRecord(const QByteArray& keyword)
{
    return QByteArray("\r\n\x01\x00", 4) + keyword + QByteArray(200 - keyword.size(), ' ');
}

class SpamKeywords : public ::testing::Test {
protected:
    void add(const QString& keyword) { ASSERT_TRUE(keywords.AddKeyword(keyword).ok()); }
    QByteArray bytes() const { return StoreTestFolder::contents(keywords.file().path()); }
    QStringList listed() const
    {
        QStringList rows;
        const auto listing = keywords.ListKeywords();
        for (const KeywordRow& row : listing.value())
            rows.append(row.keyword.trimmed());
        return rows;
    }

    StoreTestFolder folder;
    SpamKeywordList keywords{folder.paths()};
};

TEST_F(SpamKeywords, AddingToAnEmptyFileWritesRecordOneLineEndAndFlagFirst)
{
    const auto added = keywords.AddKeyword(u"  未承諾広告 ");
    ASSERT_TRUE(added.ok());
    EXPECT_EQ(added.value(), 1);
    EXPECT_TRUE(keywords.file().path().endsWith(QStringLiteral("/vbmdata50.data")));
    // Stored as typed: the blanks around the keyword stay.
    EXPECT_EQ(bytes(), keywordRecord("  \x96\xa2\x8f\xb3\x91\xf8\x8d\x4c\x8d\x90 "));

    const QList<KeywordRow> rows = keywords.ListKeywords().value();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].recordNumber, 1);
    EXPECT_EQ(rows[0].keyword, QStringLiteral("  未承諾広告 ") + QString(187, u' ')); // untrimmed field
}

TEST_F(SpamKeywords, AKeywordOfTheInputsFullLengthIsStoredAsTypedAndALongerOneCutWithoutSplitting)
{
    const QString hundredWide(100, QChar(0x3042)); // 200 bytes
    add(hundredWide);
    add(QStringLiteral("a") + hundredWide);
    const QByteArray stored = bytes();
    ASSERT_EQ(stored.size(), 2 * KeywordLength);
    QByteArray wide;
    for (int i = 0; i < 100; ++i)
        wide += "\x82\xa0";
    EXPECT_EQ(stored.mid(4, 200), wide);
    EXPECT_EQ(stored.mid(KeywordLength + 4, 200), "a" + wide.left(198) + " ");
    EXPECT_EQ(listed(), (QStringList{hundredWide, QStringLiteral("a") + hundredWide.left(99)}));
}

TEST_F(SpamKeywords, DeletingTheMiddleOfThreeKeepsTheOthersInOrder)
{
    for (const char* keyword : {"one", "two", "three"})
        add(QString::fromLatin1(keyword));
    ASSERT_TRUE(keywords.DeleteKeyword(2, true).ok());
    EXPECT_EQ(bytes(), keywordRecord("one") + keywordRecord("three"));
    EXPECT_EQ(keywords.ListKeywords().value().last().recordNumber, 2);
    EXPECT_FALSE(QFileInfo::exists(folder.data(QStringLiteral("VBMDATA50.TMP"))));
}

TEST_F(SpamKeywords, AnsweringNoStillCompactsAndLeavesTheContentUnchanged)
{
    for (const char* keyword : {"one", "two", "three"})
        add(QString::fromLatin1(keyword));
    const QByteArray before = bytes();
    ASSERT_TRUE(keywords.DeleteKeyword(2, false).ok());
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(QFileInfo::exists(keywords.temporaryPath()));
}

TEST_F(SpamKeywords, TheSameKeywordTwiceGivesTwoRowsAndDeletingTheSecondKeepsTheFirst)
{
    add(QStringLiteral("spam"));
    add(QStringLiteral("spam"));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("spam"), QStringLiteral("spam")}));
    ASSERT_TRUE(keywords.DeleteKeyword(2, true).ok());
    EXPECT_EQ(bytes(), keywordRecord("spam"));
}

TEST_F(SpamKeywords, DeletingARecordThatHasGoneChangesNothing)
{
    add(QStringLiteral("one"));
    ASSERT_TRUE(keywords.DeleteKeyword(5, true).ok());
    EXPECT_EQ(bytes(), keywordRecord("one"));
}

TEST_F(SpamKeywords, AMissingFileIsCreatedEmptyAndMatchesNothing)
{
    const auto result = keywords.IsSpam(u"subject", u"sender", u"body");
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.value().has_value());
    EXPECT_TRUE(QFileInfo::exists(keywords.file().path()));
    EXPECT_EQ(bytes().size(), 0);
}

TEST_F(SpamKeywords, TheFileIsReadAfreshOnEveryCall)
{
    EXPECT_FALSE(keywords.IsSpam(u"限定オファー", u"", u"").value());
    add(QStringLiteral("オファー"));
    EXPECT_TRUE(keywords.IsSpam(u"限定オファー", u"", u"").value());
    ASSERT_TRUE(keywords.DeleteKeyword(1, true).ok());
    EXPECT_FALSE(keywords.IsSpam(u"限定オファー", u"", u"").value());
}

struct MatchCase {
    const char* name;
    QStringList keywords;
    QString subject;
    QString sender;
    QString body;
    std::optional<SpamHit> expected;
};

void PrintTo(const MatchCase& test, std::ostream* out) { *out << test.name; }

using Field = SpamHit::Field;

class SpamMatching : public SpamKeywords, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(SpamMatching, FindsThePlainExactSubstring)
{
    const MatchCase& test = GetParam();
    for (const QString& keyword : test.keywords)
        add(keyword);
    const auto result = keywords.IsSpam(test.subject, test.sender, test.body);
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.value().has_value(), test.expected.has_value());
    if (!test.expected)
        return;
    const SpamHit& hit = *result.value();
    EXPECT_EQ(hit.field, test.expected->field);
    EXPECT_EQ(hit.position, test.expected->position);
    EXPECT_EQ(hit.length, test.expected->length);
    EXPECT_EQ(hit.keyword, test.expected->keyword);
}

const QString Subject = QStringLiteral("今だけ Free Gift");
const QString Sender = QStringLiteral("ｼｮｯﾌﾟ <shop@example.jp>");
const QString Body = QStringLiteral("本文に未承諾広告とあります");

INSTANTIATE_TEST_SUITE_P(Keywords, SpamMatching,
    ::testing::Values(
        MatchCase{"BodyOnly", {QStringLiteral("未承諾広告")}, Subject, Sender, Body, SpamHit{Field::Body, 3, 5, QStringLiteral("未承諾広告")}},
        MatchCase{"LowerCaseMissesUpperCase", {QStringLiteral("free gift")}, Subject, Sender, Body, std::nullopt},
        MatchCase{"ExactCaseMatches", {QStringLiteral("Free")}, Subject, Sender, Body, SpamHit{Field::Subject, 4, 4, QStringLiteral("Free")}},
        MatchCase{"FullWidthMissesHalfWidth", {QStringLiteral("Ｆｒｅｅ"), QStringLiteral("ショップ")}, Subject, Sender, Body, std::nullopt},
        MatchCase{"HalfWidthKatakanaInSender", {QStringLiteral("ｼｮｯﾌﾟ")}, Subject, Sender, Body, SpamHit{Field::Sender, 0, 5, QStringLiteral("ｼｮｯﾌﾟ")}},
        MatchCase{"SpacesOnlyNeverMatch", {QStringLiteral("   "), QStringLiteral("\u3000\u3000")}, Subject, Sender, Body, std::nullopt},
        MatchCase{"BlankKeywordIsSkippedNotFatal", {QStringLiteral(" "), QStringLiteral("Gift")}, Subject, Sender, Body, SpamHit{Field::Subject, 9, 4, QStringLiteral("Gift")}},
        MatchCase{"KeywordIsTrimmedBeforeTheSearch", {QStringLiteral("\u3000 example.jp ")}, Subject, Sender, Body, SpamHit{Field::Sender, 12, 10, QStringLiteral("example.jp")}},
        MatchCase{"FirstKeywordInFileOrderWins", {QStringLiteral("あります"), QStringLiteral("今だけ")}, Subject, Sender, Body, SpamHit{Field::Body, 9, 4, QStringLiteral("あります")}},
        MatchCase{"SubjectIsTestedBeforeSenderAndBody", {QStringLiteral("e")}, Subject, Sender, Body, SpamHit{Field::Subject, 6, 1, QStringLiteral("e")}},
        MatchCase{"PositionCountsTheBlanksBeforeTheText", {QStringLiteral("Gift")}, QStringLiteral("\u3000 Gift"), QString(), QString(), SpamHit{Field::Subject, 2, 4, QStringLiteral("Gift")}},
        MatchCase{"TrailingBlankOfTheKeywordIsNotNeededInTheText", {QStringLiteral("Gift ")}, QStringLiteral("Gift   "), QString(), QString(), SpamHit{Field::Subject, 0, 4, QStringLiteral("Gift")}},
        MatchCase{"EmptyMessageMatchesNothing", {QStringLiteral("x")}, QString(), QString(), QString(), std::nullopt},
        // The file holds a keyword as the code page stores it: a WAVE DASH comes back a FULLWIDTH TILDE.
        MatchCase{"WaveDashKeywordStillFindsWaveDashText", {QStringLiteral("10\u301c50%OFF")}, QStringLiteral("今だけ10\u301c50%OFF"), QString(), QString(), SpamHit{Field::Subject, 3, 9, QStringLiteral("10\uff5e50%OFF")}},
        MatchCase{"FullwidthTildeKeywordFindsWaveDashText", {QStringLiteral("10\uff5e50%OFF")}, QString(), QString(), QStringLiteral("10\u301c50%OFF"), SpamHit{Field::Body, 0, 9, QStringLiteral("10\uff5e50%OFF")}},
        MatchCase{"ASecondByteIsNoCharacter", {QStringLiteral("A")}, QStringLiteral("\u30a2\u30a2"), QString(), QString(), std::nullopt},
        MatchCase{"QuestionMarksAndBlanksMatchNothing", {QStringLiteral("?"), QStringLiteral("? \u3000?")}, QStringLiteral("Really? ? ?"), QString(), QString(), std::nullopt},
        MatchCase{"AQuestionMarkWithTextStillMatches", {QStringLiteral("10?OFF")}, QStringLiteral("10?OFF"), QString(), QString(), SpamHit{Field::Subject, 0, 6, QStringLiteral("10?OFF")}},
        MatchCase{"AnAsciiBodyIsSearchedOnlyForAsciiKeywords", {QStringLiteral("未承諾"), QStringLiteral("ZnJlZQ")}, QString(), QString(), QStringLiteral("Content-Transfer-Encoding: base64\r\n\r\nZnJlZQ=="), SpamHit{Field::Body, 37, 6, QStringLiteral("ZnJlZQ")}},
        MatchCase{"AnUnstorableCharacterIsNoQuestionMark", {QStringLiteral("a?b")}, QStringLiteral("a\U0001F600b a\u00e9b"), QString(), QString(), std::nullopt}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

} // namespace
