#include "AttachmentExtractor.h"
#include "AttachmentFolder.h"
#include "MessageDecoder.h"
#include "SplitMessageStore.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>

namespace {

const QString Corpus = QStringLiteral(NEMUROA_MAIL_CORPUS);

std::string readRaw(const QString& name)
{
    QFile file(Corpus + u'/' + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll().toStdString();
}

QJsonObject expectations()
{
    QFile file(Corpus + QStringLiteral("/expected.json"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

QStringList visibleFiles(const QString& folder) { return sorted(QDir(folder).entryList(QDir::Files)); }

void expectDecodedAs(const DecodedMessage& decoded, const QJsonObject& expected)
{
    EXPECT_EQ(decoded.subject, expected[u"subject"].toString());
    EXPECT_EQ(decoded.from, expected[u"from"].toString());
    EXPECT_EQ(decoded.date, expected[u"date"].toString());
    if (expected.contains(u"body")) {
        EXPECT_EQ(decoded.body, expected[u"body"].toString());
    }
    if (expected.contains(u"bodyContains")) {
        EXPECT_TRUE(decoded.body.contains(expected[u"bodyContains"].toString())) << decoded.body.toStdString();
    }
    EXPECT_FALSE(decoded.header.isEmpty());
}

QStringList expectedAttachments(const QJsonObject& expected)
{
    QStringList names;
    for (const QJsonValue& name : expected[u"attachments"].toArray())
        names << name.toString();
    return sorted(names);
}

// Every message of the corpus decodes to the texts the generator wrote down for it, and its
// attachments come out under the names it expects.
TEST(MessageCorpusTest, EveryMessageDecodesAndExtractsAsExpected)
{
    const QJsonObject all = expectations();
    ASSERT_GE(all.size(), 20);
    for (auto entry = all.begin(); entry != all.end(); ++entry) {
        if (!entry.key().endsWith(QStringLiteral(".eml")))
            continue;
        SCOPED_TRACE(entry.key().toStdString());
        const std::string raw = readRaw(entry.key());
        const QJsonObject expected = entry.value().toObject();
        expectDecodedAs(MessageDecoder::decode(raw), expected);

        const DecodedMessage header = MessageDecoder::decodeHeader(raw);
        EXPECT_EQ(header.subject, expected[u"subject"].toString());
        EXPECT_TRUE(header.body.isEmpty());

        QTemporaryDir folder;
        const AttachmentExtractor::Result result = AttachmentExtractor::extract(raw, AttachmentFolder(folder.path()));
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_EQ(visibleFiles(folder.path()), expectedAttachments(expected));
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Hidden | QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(),
            result.written.size())
            << "no temporary file is left behind";
    }
}

TEST(MessageCorpusTest, ExtractedFilesHoldTheDecodedContent)
{
    QTemporaryDir folder;
    const auto result = AttachmentExtractor::extract(readRaw(QStringLiteral("attachment_names.eml")), AttachmentFolder(folder.path()));
    ASSERT_TRUE(result.error.isEmpty());
    QFile pdf(folder.path() + QStringLiteral("/見積書①.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.readAll(), QByteArray("%PDF-1.4 fake"));
    QFile forwarded(folder.path() + QStringLiteral("/message.eml"));
    ASSERT_TRUE(forwarded.open(QIODevice::ReadOnly));
    EXPECT_TRUE(forwarded.readAll().contains("Subject: forwarded"));
}

TEST(MessageCorpusTest, ExtractingTwiceNeverOverwritesAFile)
{
    QTemporaryDir folder;
    const std::string raw = readRaw(QStringLiteral("attachment_names.eml"));
    QFile existing(folder.path() + QStringLiteral("/data.bin"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("the user's own file");
    existing.close();
    ASSERT_TRUE(AttachmentExtractor::extract(raw, AttachmentFolder(folder.path() + u'/')).error.isEmpty());
    ASSERT_TRUE(AttachmentExtractor::extract(raw, AttachmentFolder(folder.path())).error.isEmpty());
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("the user's own file"));
    EXPECT_TRUE(QFile::exists(folder.path() + QStringLiteral("/data (2).bin")));
    EXPECT_TRUE(QFile::exists(folder.path() + QStringLiteral("/data (3).bin")));
    EXPECT_TRUE(QFile::exists(folder.path() + QStringLiteral("/見積書① (2).pdf")));
}

TEST(MessageCorpusTest, AFolderThatCannotBeWrittenIsReported)
{
    const auto result = AttachmentExtractor::extract(readRaw(QStringLiteral("attachment_names.eml")),
        AttachmentFolder(QStringLiteral("/nonexistent/添付フォルダ")));
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_TRUE(result.error.contains(QStringLiteral("書き込めません"))) << result.error.toStdString();
}

TEST(MessageCorpusTest, ASplitMessageIsRebuiltWhenItsLastPartArrivesInAnyOrder)
{
    QTemporaryDir folder;
    const AttachmentFolder attachments(folder.path());
    const SplitMessageStore store(attachments, 32 * 1024 * 1024);
    const auto part = [](int number) { return readRaw(QStringLiteral("split_complete_%1_of_3.eml").arg(number)); };

    using Kind = SplitMessageStore::Outcome::Kind;
    EXPECT_EQ(store.add(part(2)).kind, Kind::Incomplete);
    const auto again = store.add(part(2));
    EXPECT_EQ(again.kind, Kind::Incomplete);
    EXPECT_EQ(again.have, 1) << "a part that arrives twice is kept once";
    EXPECT_EQ(store.add(part(3)).kind, Kind::Incomplete);
    EXPECT_TRUE(visibleFiles(folder.path()).isEmpty()) << "kept parts stay out of sight";
    const auto complete = store.add(part(1));
    ASSERT_EQ(complete.kind, Kind::Complete);

    expectDecodedAs(MessageDecoder::decode(complete.whole), expectations()[u"split_complete_whole"].toObject());
    ASSERT_TRUE(AttachmentExtractor::extract(complete.whole, attachments).error.isEmpty());
    QFile file(folder.path() + QStringLiteral("/大きな添付.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 2048);
    EXPECT_FALSE(QDir(folder.path()).entryList(QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        << "the kept parts stay until the whole message is safely stored";
    SplitMessageStore::removeKeptParts(complete.keptParts);
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        << "the kept parts are dropped";
}

TEST(MessageCorpusTest, ASplitMessageWithAMissingPartStaysIncomplete)
{
    QTemporaryDir folder;
    const AttachmentFolder attachments(folder.path());
    const SplitMessageStore store(attachments, 32 * 1024 * 1024);
    for (const int number : {1, 3}) {
        const auto outcome = store.add(readRaw(QStringLiteral("split_missing_%1_of_3.eml").arg(number)));
        EXPECT_EQ(outcome.kind, SplitMessageStore::Outcome::Kind::Incomplete);
        EXPECT_EQ(outcome.total, 3);
    }
    EXPECT_EQ(store.add(readRaw(QStringLiteral("utf8_base64.eml"))).kind, SplitMessageStore::Outcome::Kind::NotSplit);
    EXPECT_FALSE(QDir(folder.path()).entryList(QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
