#include "FolderFiles.h"
#include "MailScan.h"
#include "MessageDeletion.h"
#include "RecordLayouts.h"
#include "SearchFolding.h"
#include "SearchIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>
#include <vector>

namespace {

using Place = std::pair<int, int>; // folder, record number

class MailFolders {
public:
    MailFolders() : paths_(directory_.path()) { QDir(directory_.path()).mkdir(ProgramPaths::dataFolderName()); }

    const ProgramPaths& paths() const { return paths_; }
    QString indexPath() const { return paths_.dataFile(SearchIndex::fileName()); }

    void receive(int folder, const QString& subject, const QString& from, const QString& date, const QString& body) const
    {
        const int next = FolderFiles::folderFile(paths_, folder).nextRecordNumber().value();
        ASSERT_TRUE(StoreMessage(paths_, folder, next, {subject, from, date, body}).ok());
    }
    void receiveDeleted(int folder, const QString& subject) const
    {
        Record record(RecordLayouts::Message);
        record.setText(RecordLayouts::MessageField::Subject, subject);
        record.setLive(0);
        ASSERT_TRUE(FolderFiles::folderFile(paths_, folder).append(record).ok());
    }
    void send(const QString& subject, const QString& to, const QString& sentAt, const QString& body) const
    {
        using RecordLayouts::SentField;
        Record record(RecordLayouts::Sent);
        record.setText(SentField::Subject, subject);
        record.setText(SentField::To, to);
        record.setText(SentField::SentAt, sentAt);
        record.setText(SentField::Body, body);
        ASSERT_TRUE(FolderFiles::folderFile(paths_, FolderFiles::SentHistory).append(record).ok());
    }

    // The small set every query of the table runs against.
    void fill() const
    {
        receive(1, QStringLiteral("倉庫からのお知らせ"), QStringLiteral("souko@example.jp"),
            QStringLiteral("Mon, 07 Dec 2026 10:00:00 +0900"), QStringLiteral("春の棚卸しについて。ｶﾀｶﾅ表記とＡＢＣ商事。"));
        receive(1, QStringLiteral("Meeting notes"), QStringLiteral("Alice <alice@example.com>"),
            QStringLiteral("Tue, 08 Dec 2026 09:00:00 +0900"), QStringLiteral("Project ① の進捗。\r\n東京 京都"));
        receive(10, QStringLiteral("東京都の案内"), QStringLiteral("info@tokyo.example"),
            QStringLiteral("Sun, 06 Dec 2026 08:00:00 +0900"), QStringLiteral("ご案内です"));
        receiveDeleted(2, QStringLiteral("削除済みの倉庫"));
        send(QStringLiteral("見積もりの件"), QStringLiteral("buyer@example.jp"), QStringLiteral("2026/12/08 12:00:00"),
            QStringLiteral("倉庫の見積もりを送ります"));
    }

    StoreStatus catchUpAll(SearchIndex& index) const
    {
        for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
            if (StoreStatus caught = index.catchUp(paths_, folder); !caught.ok())
                return caught;
        }
        return StoreStatus::success();
    }

private:
    QTemporaryDir directory_;
    ProgramPaths paths_;
};

std::vector<Place> placesOf(const SearchResult& result)
{
    std::vector<Place> places;
    for (const SearchHit& hit : result.rows)
        places.emplace_back(hit.folder, hit.recordNumber);
    return places;
}

std::vector<Place> indexed(const MailFolders& folders, const QString& query)
{
    SearchIndex index(folders.indexPath());
    EXPECT_TRUE(index.open().ok());
    EXPECT_TRUE(folders.catchUpAll(index).ok());
    const auto result = index.search(SearchFolding::queryWords(query), 100);
    EXPECT_TRUE(result.ok()) << result.error().toStdString();
    return result.ok() ? placesOf(result.value()) : std::vector<Place>{};
}

std::vector<Place> scanned(const MailFolders& folders, const QString& query)
{
    const auto result = MailScan::search(folders.paths(), SearchFolding::queryWords(query), 100);
    EXPECT_TRUE(result.ok());
    return result.ok() ? placesOf(result.value()) : std::vector<Place>{};
}

} // namespace

TEST(SearchFoldingTest, WidthsAndCasesFoldButEnclosedFormsStay)
{
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("カタカナ")},
        {QStringLiteral("ｶﾞｲﾄﾞ"), QStringLiteral("ガイド")},
        {QStringLiteral("ＡＢＣ"), QStringLiteral("abc")},
        {QStringLiteral("ABC"), QStringLiteral("abc")},
        {QStringLiteral("１２３"), QStringLiteral("123")},
        {QStringLiteral("①②"), QStringLiteral("①②")},
        {QStringLiteral("Ⅳ㈱㍻"), QStringLiteral("Ⅳ㈱㍻")},
        {QStringLiteral("ｱ①ｲ"), QStringLiteral("ア①イ")},
        {QStringLiteral("ひらがな"), QStringLiteral("ひらがな")},
    };
    for (const auto& [text, folded] : cases)
        EXPECT_EQ(SearchFolding::fold(text), folded) << text.toStdString();
    EXPECT_EQ(SearchFolding::queryWords(QStringLiteral(" 東京\u3000ＡＢ  c ")),
        (QStringList{QStringLiteral("東京"), QStringLiteral("ab"), QStringLiteral("c")}));
}

// The index and the scan of the store files answer every query alike.
TEST(SearchAllTest, QueriesFindTheSameMessagesByIndexAndByScan)
{
    MailFolders folders;
    folders.fill();
    const std::vector<std::pair<QString, std::vector<Place>>> table{
        {QStringLiteral("倉庫"), {{11, 1}, {1, 1}}}, // newest first; the deleted record is never found
        {QStringLiteral("カタカナ"), {{1, 1}}},      // stored half-width
        {QStringLiteral("ｶﾀｶﾅ"), {{1, 1}}},
        {QStringLiteral("abc"), {{1, 1}}},           // stored full-width
        {QStringLiteral("ＭＥＥＴＩＮＧ"), {{1, 2}}},
        {QStringLiteral("①"), {{1, 2}}},
        {QStringLiteral("京"), {{1, 2}, {10, 1}}},   // one character
        {QStringLiteral("東京"), {{1, 2}, {10, 1}}}, // two
        {QStringLiteral("東京都"), {{10, 1}}},       // three: not across the line break or blank
        {QStringLiteral("東京 京都"), {{1, 2}, {10, 1}}},
        {QStringLiteral("alice"), {{1, 2}}},         // sender
        {QStringLiteral("buyer"), {{11, 1}}},        // recipient of a sent message
        {QStringLiteral("tue 2026"), {{1, 2}}},      // date
        {QStringLiteral("2026/12/08"), {{11, 1}}},
        {QStringLiteral("倉庫 見積"), {{11, 1}}},
        {QStringLiteral("削除済み"), {}},
        {QStringLiteral("\"倉庫\""), {}},
        {QStringLiteral("   "), {}},
    };
    for (const auto& [query, places] : table) {
        EXPECT_EQ(scanned(folders, query), places) << "scan: " << query.toStdString();
        EXPECT_EQ(indexed(folders, query), places) << "index: " << query.toStdString();
    }
}

TEST(SearchAllTest, IndexIsTheOwnersAloneAndComesBackAfterItWasLostOrDamaged)
{
    MailFolders folders;
    folders.fill();
    ASSERT_EQ(indexed(folders, QStringLiteral("倉庫")).size(), 2U);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folders.indexPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);

    const auto damages = std::vector<std::pair<const char*, std::function<void()>>>{
        {"deleted", [&] { QFile::remove(folders.indexPath()); }},
        {"truncated", [&] { QFile::resize(folders.indexPath(), QFileInfo(folders.indexPath()).size() / 2); }},
        {"another version", [&] {
             QFile file(folders.indexPath());
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.seek(60); // the header's user version
             file.write(QByteArray("\0\0\0\x63", 4));
         }},
        {"not an index", [&] {
             QFile file(folders.indexPath());
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write(QByteArray(4096, 'x'));
         }},
    };
    for (const auto& [what, damage] : damages) {
        damage();
        SearchIndex index(folders.indexPath());
        ASSERT_TRUE(index.open().ok()) << what;
        EXPECT_TRUE(index.startedAnew()) << what;
        EXPECT_FALSE(index.isCurrent(folders.paths(), 1).value()) << what;
        ASSERT_TRUE(folders.catchUpAll(index).ok()) << what;
        EXPECT_EQ(placesOf(index.search({QStringLiteral("倉庫")}, 10).value()), (std::vector<Place>{{11, 1}, {1, 1}})) << what;
    }
}

TEST(SearchAllTest, RecordsStoredAfterTheIndexAreIndexedOnTheirOwn)
{
    MailFolders folders;
    folders.fill();
    {
        SearchIndex index(folders.indexPath());
        ASSERT_TRUE(index.open().ok());
        ASSERT_TRUE(folders.catchUpAll(index).ok());
    }
    // As a crash between storing and indexing leaves it.
    folders.receive(1, QStringLiteral("あとから届いた倉庫の件"), QStringLiteral("late@example.jp"),
        QStringLiteral("Wed, 09 Dec 2026 09:00:00 +0900"), QStringLiteral("本文"));
    SearchIndex index(folders.indexPath());
    ASSERT_TRUE(index.open().ok());
    EXPECT_FALSE(index.startedAnew());
    EXPECT_FALSE(index.isCurrent(folders.paths(), 1).value());
    EXPECT_TRUE(index.isCurrent(folders.paths(), 10).value());
    EXPECT_EQ(index.recordsToIndex(folders.paths(), 1).value(), 1);
    ASSERT_TRUE(index.catchUp(folders.paths(), 1).ok());
    EXPECT_TRUE(index.isCurrent(folders.paths(), 1).value());
    EXPECT_EQ(placesOf(index.search({QStringLiteral("倉庫")}, 10).value()), (std::vector<Place>{{1, 3}, {11, 1}, {1, 1}}));
}

TEST(SearchAllTest, DeletionIndexesTheFolderAnewWithItsNewRecordNumbers)
{
    MailFolders folders;
    folders.fill();
    SearchIndex index(folders.indexPath());
    ASSERT_TRUE(index.open().ok());
    ASSERT_TRUE(folders.catchUpAll(index).ok());
    const auto first = FolderFiles::folderFile(folders.paths(), 1).read(1).value();
    ASSERT_TRUE(MessageDeletion::deleteOne(folders.paths(), 1, 1, *first).ok());
    ASSERT_TRUE(index.catchUp(folders.paths(), 1).ok());
    EXPECT_EQ(placesOf(index.search({QStringLiteral("倉庫")}, 10).value()), (std::vector<Place>{{11, 1}}));
    EXPECT_EQ(placesOf(index.search({QStringLiteral("meeting")}, 10).value()), (std::vector<Place>{{1, 1}}));
    ASSERT_TRUE(MessageDeletion::deleteAll(folders.paths(), 1).ok());
    ASSERT_TRUE(index.catchUp(folders.paths(), 1).ok());
    EXPECT_TRUE(index.search({QStringLiteral("meeting")}, 10).value().rows.isEmpty());
}

TEST(SearchAllTest, CountCoversEveryMessageWhileRowsStopAtTheLimit)
{
    MailFolders folders;
    for (int day = 1; day <= 5; ++day)
        folders.receive(3, QStringLiteral("日報 %1").arg(day), QStringLiteral("a@example.jp"),
            QStringLiteral("Tue, %1 Dec 2026 09:00:00 +0900").arg(day), QStringLiteral("本文"));
    SearchIndex index(folders.indexPath());
    ASSERT_TRUE(index.open().ok());
    ASSERT_TRUE(folders.catchUpAll(index).ok());
    for (const auto& result : {index.search({QStringLiteral("日報")}, 2).value(),
             MailScan::search(folders.paths(), {QStringLiteral("日報")}, 2).value()}) {
        EXPECT_EQ(result.count, 5);
        EXPECT_EQ(placesOf(result), (std::vector<Place>{{3, 5}, {3, 4}}));
    }
}
