#include "FolderFiles.h"
#include "FolderListing.h"
#include "RecordLayouts.h"
#include "StoreTestFolder.h"
#include "StoreTestRecords.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace Qt::Literals::StringLiterals;
using namespace StoreTestRecords;

QString padded(const QString& text, int width) { return text.leftJustified(width, u' '); }

std::vector<QString> column(const FolderListing& listing, ListColumn which)
{
    std::vector<QString> cells;
    for (int row = 0; row < listing.rowCount(); ++row)
        cells.push_back(listing.cell(row, which).trimmed());
    return cells;
}

TEST(FolderListing, ListsReceivedMailInRecordOrderUntrimmedWithTheLastRecordWhole)
{
    StoreTestFolder folder;
    const RecordFile file = FolderFiles::folderFile(folder.paths(), 3);
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(file.append(messageRecord(QStringLiteral("件名%1").arg(i), QStringLiteral("from%1@example.jp").arg(i),
                                    QStringLiteral("Mon, %1 Dec 2026").arg(i), QStringLiteral("  本文%1\r\n  ").arg(i)))
                        .ok());

    const auto listing = FolderListing::read(file);
    ASSERT_TRUE(listing.ok());
    ASSERT_EQ(listing.value().rowCount(), 3);
    // Cells keep the field's padding; the date, which comes first in the file, lands in the last column.
    EXPECT_EQ(listing.value().cell(0, ListColumn::Subject), padded(QStringLiteral("件名1"), 98));
    EXPECT_EQ(listing.value().cell(1, ListColumn::From), padded(QStringLiteral("from2@example.jp"), 90));
    EXPECT_EQ(listing.value().cell(2, ListColumn::Date), padded(QStringLiteral("Mon, 3 Dec 2026"), 90));

    ASSERT_TRUE(listing.value().lastRecord().has_value());
    const MessageFields shown = TrimmedViewFields(*listing.value().lastRecord());
    EXPECT_EQ(shown.subject, QStringLiteral("件名3"));
    EXPECT_EQ(shown.from, QStringLiteral("from3@example.jp"));
    EXPECT_EQ(shown.date, QStringLiteral("Mon, 3 Dec 2026"));
    EXPECT_EQ(shown.body, QStringLiteral("本文3\r\n"));
    EXPECT_EQ(StoredViewFields(*listing.value().lastRecord()).subject, padded(QStringLiteral("件名3"), 98));
}

TEST(FolderListing, CutsCellsAtTheFirstNulButKeepsTheWholeFieldForTheView)
{
    StoreTestFolder folder;
    const RecordFile file = FolderFiles::folderFile(folder.paths(), 10);
    Record record = messageRecord({}, QStringLiteral("a@example.jp"), QStringLiteral("date"), QStringLiteral("body"));
    std::string bytes = record.bytes();
    bytes.replace(0, 9, std::string("abc\0def ", 8) + 'g');
    ASSERT_TRUE(file.append(Record(RecordLayouts::Message, bytes)).ok());

    const auto listing = FolderListing::read(file);
    ASSERT_EQ(listing.value().rowCount(), 1);
    EXPECT_EQ(listing.value().cell(0, ListColumn::Subject), QStringLiteral("abc"));
    EXPECT_EQ(TrimmedViewFields(*listing.value().lastRecord()).subject, QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def g"));
}

TEST(FolderListing, ListsTheSentHistoryBySubjectRecipientAndSendingTime)
{
    StoreTestFolder folder;
    const RecordFile history = FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory);
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(history.append(sentRecord(QStringLiteral("送信%1").arg(i), QStringLiteral("to%1@example.jp").arg(i),
                                       QStringLiteral("2026/12/0%1 10:00:00").arg(i)))
                        .ok());

    const auto listing = FolderListing::read(history);
    ASSERT_EQ(listing.value().rowCount(), 4);
    EXPECT_EQ(column(listing.value(), ListColumn::Subject),
        (std::vector<QString>{u"送信1"_s, u"送信2"_s, u"送信3"_s, u"送信4"_s}));
    EXPECT_EQ(column(listing.value(), ListColumn::From),
        (std::vector<QString>{u"to1@example.jp"_s, u"to2@example.jp"_s, u"to3@example.jp"_s, u"to4@example.jp"_s}));
    EXPECT_EQ(column(listing.value(), ListColumn::Date),
        (std::vector<QString>{u"2026/12/01 10:00:00"_s, u"2026/12/02 10:00:00"_s, u"2026/12/03 10:00:00"_s,
            u"2026/12/04 10:00:00"_s}));
    EXPECT_EQ(listing.value().cell(0, ListColumn::Subject).size(), 300 - 2);
    const MessageFields shown = TrimmedViewFields(*listing.value().lastRecord());
    EXPECT_EQ(shown.from, QStringLiteral("to4@example.jp"));
    EXPECT_EQ(shown.date, QStringLiteral("2026/12/04 10:00:00"));
    EXPECT_EQ(shown.body, QStringLiteral("本文 送信4"));
}

TEST(FolderListing, EndsBeforeAPartialRecordAndCreatesAMissingFileEmpty)
{
    struct Case {
        int folder;
        int length;
        int wholeRecords;
    };
    for (const Case c : {Case{1, MessageLength, 2}, Case{FolderFiles::SentHistory, SentLength, 2}}) {
        StoreTestFolder folder;
        const RecordFile file = FolderFiles::folderFile(folder.paths(), c.folder);
        const auto empty = FolderListing::read(file);
        ASSERT_TRUE(empty.ok());
        EXPECT_EQ(empty.value().rowCount(), 0);
        EXPECT_FALSE(empty.value().lastRecord().has_value());
        EXPECT_TRUE(QFileInfo::exists(file.path()));

        const Record record = c.folder == FolderFiles::SentHistory ? sentRecord(u"s"_s, u"t"_s, u"d"_s)
                                                                   : messageRecord(u"s"_s, u"f"_s, u"d"_s, u"b"_s);
        for (int i = 0; i < c.wholeRecords + 1; ++i)
            ASSERT_TRUE(file.append(record).ok());
        ASSERT_TRUE(QFile::resize(file.path(), qint64(c.wholeRecords) * c.length + c.length / 2));

        const auto listing = FolderListing::read(file);
        EXPECT_EQ(listing.value().rowCount(), c.wholeRecords);
        EXPECT_EQ(listing.value().cell(c.wholeRecords - 1, ListColumn::Date).trimmed(), u"d"_s);
        ASSERT_TRUE(listing.value().lastRecord().has_value());
    }
}

// A file read partly from the page cache and partly from the disk lists the same as a warm one: a
// record missing where its neighbours were cached, a whole stretch missing, and a missing tail.
TEST(FolderListing, ListsTheSameWhetherTheFileIsInThePageCacheOrNot)
{
    constexpr int Records = 200;
    for (const int number : {3, FolderFiles::SentHistory}) {
        StoreTestFolder folder;
        const RecordFile file = FolderFiles::folderFile(folder.paths(), number);
        for (int i = 1; i <= Records; ++i) {
            const QString text = QStringLiteral("件名%1").arg(i);
            ASSERT_TRUE(file.append(number == FolderFiles::SentHistory ? sentRecord(text, text + u"@to"_s, text + u" 10:00"_s)
                                                                       : messageRecord(text, text + u"@from"_s, text + u" Dec"_s, text))
                            .ok());
        }
        const auto warm = FolderListing::read(file);
        ASSERT_TRUE(warm.ok());

        const int fd = ::open(QFile::encodeName(file.path()).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ::fsync(fd);
        const off_t length = file.layout().length;
        ::posix_fadvise(fd, 2 * length, length, POSIX_FADV_DONTNEED);
        ::posix_fadvise(fd, 60 * length, 70 * length, POSIX_FADV_DONTNEED);
        ::posix_fadvise(fd, 150 * length, 0, POSIX_FADV_DONTNEED);
        ::close(fd);

        const auto cold = FolderListing::read(file);
        ASSERT_TRUE(cold.ok());
        ASSERT_EQ(cold.value().rowCount(), Records);
        for (int row = 0; row < Records; ++row) {
            const QString text = QStringLiteral("件名%1").arg(row + 1);
            ASSERT_EQ(warm.value().cell(row, ListColumn::Subject).trimmed(), text);
            ASSERT_EQ(warm.value().cell(row, ListColumn::From).trimmed(), text + (number == FolderFiles::SentHistory ? u"@to"_s : u"@from"_s));
            for (const ListColumn which : {ListColumn::Subject, ListColumn::From, ListColumn::Date})
                ASSERT_EQ(cold.value().cellBytes(row, which), warm.value().cellBytes(row, which)) << "row " << row;
        }
        EXPECT_EQ(cold.value().lastRecord()->bytes(), warm.value().lastRecord()->bytes());
    }
}

} // namespace
