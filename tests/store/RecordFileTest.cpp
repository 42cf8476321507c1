#include "Cp932Codec.h"
#include "FolderFiles.h"
#include "RecordFile.h"
#include "RecordLayouts.h"
#include "ReplacedFileDescriptors.h"
#include "StoreTestFolder.h"

#include <gtest/gtest.h>

#include <optional>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using RecordLayouts::MessageField;

constexpr int MessageLength = 32284;

MessageFields message(const QString& subject)
{
    return {subject, QStringLiteral("from@example.jp"), QStringLiteral("Mon, 7 Dec 2026 10:00:00 +0900"), QStringLiteral("body of ") + subject};
}

QByteArray slice(const QByteArray& bytes, int offset, int width) { return bytes.mid(offset, width); }

TEST(StoreMessage, WritesTheMessageRecordByteForByte)
{
    StoreTestFolder folder;
    ASSERT_TRUE(StoreMessage(folder.paths(), 3, 1, {QStringLiteral("  件名①  "), QStringLiteral("taro@example.jp"), QStringLiteral("Mon, 7 Dec"), QStringLiteral("\u3000本文\r\n")}).ok());

    const QByteArray bytes = StoreTestFolder::contents(FolderFiles::FolderFilePath(folder.paths(), 3));
    ASSERT_EQ(bytes.size(), MessageLength);
    EXPECT_EQ(slice(bytes, 0, 6), QByteArray("\x8c\x8f\x96\xbc\x87\x40"));
    EXPECT_EQ(slice(bytes, 6, 94), QByteArray(94, ' '));
    EXPECT_EQ(slice(bytes, 100, 10), QByteArray("Mon, 7 Dec")); // the date comes before the sender
    EXPECT_EQ(slice(bytes, 190, 15), QByteArray("taro@example.jp"));
    EXPECT_EQ(slice(bytes, 280, 7), QByteArray("\x96\x7b\x95\xb6\r\n ")); // blanks trimmed, the line break kept
    EXPECT_EQ(slice(bytes, 32280, 4), QByteArray("\r\n\x01\x00", 4));
}

TEST(RecordFile, CountsAppendsAndReadsPartialRecordsAsAbsent)
{
    StoreTestFolder folder;
    const RecordFile file = FolderFiles::folderFile(folder.paths(), 10);
    EXPECT_EQ(file.recordCount().value(), 0);
    EXPECT_EQ(file.nextRecordNumber().value(), 1);
    EXPECT_TRUE(QFileInfo::exists(file.path())); // opening created it

    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(StoreMessage(folder.paths(), 10, file.nextRecordNumber().value(), message(QString::number(i))).ok());
    Record fourth(RecordLayouts::Message);
    fourth.setText(MessageField::Subject, u"4");
    EXPECT_EQ(file.append(fourth).value(), 4);
    const QByteArray bytes = StoreTestFolder::contents(file.path());
    EXPECT_EQ(bytes.at(3 * MessageLength), '4'); // record 4 starts at byte 96852

    StoreTestFolder::put(file.path(), bytes.left(MessageLength + MessageLength / 2));
    EXPECT_EQ(file.exactRecordCount().value(), 1.5);
    EXPECT_EQ(file.recordCount().value(), 1);
    EXPECT_EQ(file.nextRecordNumber().value(), 2); // 2.5 rounds to even
    EXPECT_FALSE(file.read(2).value().has_value());
    int visited = 0;
    ASSERT_TRUE(file.forEach([&](int, std::string_view) { return ++visited, true; }).ok());
    EXPECT_EQ(visited, 1);
    EXPECT_EQ(file.read(1).value()->text(MessageField::Subject).trimmed(), QStringLiteral("1"));
}

TEST(RecordFile, SpacesOnlyAndOverlongTextsReadBackTrimmedAndCut)
{
    StoreTestFolder folder;
    const QString longSubject = QString(60, QChar(0x4E00)); // 120 bytes in code page 932
    ASSERT_TRUE(StoreMessage(folder.paths(), 1, 1, {longSubject, QStringLiteral("   "), {}, QString(33000, u'x')}).ok());
    const Record record = *FolderFiles::folderFile(folder.paths(), 1).read(1).value();
    EXPECT_EQ(record.text(MessageField::Subject).trimmed(), QString(50, QChar(0x4E00)));
    EXPECT_EQ(record.text(MessageField::From).trimmed(), QString());
    EXPECT_EQ(record.text(MessageField::Body), QString(32000, u'x'));
}

TEST(RecordFile, SentRecordsCarryZeroReservedBytes)
{
    using RecordLayouts::SentField;
    StoreTestFolder folder;
    Record sent(RecordLayouts::Sent);
    sent.setText(SentField::To, u"hanako@example.jp");
    sent.setText(SentField::SentAt, u"2026/12/07 10:00:00");
    const RecordFile history = FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory);
    ASSERT_TRUE(history.write(1, sent).ok());
    const QByteArray bytes = StoreTestFolder::contents(history.path());
    ASSERT_EQ(bytes.size(), 32574);
    EXPECT_EQ(slice(bytes, 300, 17), QByteArray("hanako@example.jp"));
    EXPECT_EQ(slice(bytes, 32390, 2), QByteArray("\r\n"));
    EXPECT_EQ(slice(bytes, 32392, 19), QByteArray("2026/12/07 10:00:00"));
    EXPECT_EQ(slice(bytes, 32482, 90), QByteArray(90, '\0'));
    EXPECT_EQ(slice(bytes, 32572, 2), QByteArray("\x01\x00", 2));
    EXPECT_TRUE(history.path().endsWith(QStringLiteral("/vbmdata30.data")));
    EXPECT_TRUE(FolderFiles::TempFilePath(folder.paths(), 11).endsWith(QStringLiteral("/VBMDATA30.TMP")));
}

TEST(RecordFile, RefusesTheRecordAfterItsCapacityAndWritesNothing)
{
    StoreTestFolder folder;
    const RecordFile file = FolderFiles::folderFile(folder.paths(), 2);
    ASSERT_TRUE(file.ensureExists().ok());
    ASSERT_TRUE(QFile::resize(file.path(), qint64(RecordFile::Capacity) * MessageLength)); // sparse
    const auto refused = file.append(Record(RecordLayouts::Message));
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("32766")));
    EXPECT_EQ(QFileInfo(file.path()).size(), qint64(RecordFile::Capacity) * MessageLength);
}

class Compaction : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(StoreMessage(folder.paths(), 4, i, message(QString::number(i))).ok());
        Record marked = *file.read(2).value();
        marked.setLive(0);
        ASSERT_TRUE(file.write(2, marked).ok());
        before = StoreTestFolder::contents(file.path());
        QByteArray expected = before.left(MessageLength);
        expected += before.mid(2 * MessageLength, MessageLength);
        after = expected;
    }

    StoreTestFolder folder;
    RecordFile file = FolderFiles::folderFile(folder.paths(), 4);
    QString temporary = FolderFiles::TempFilePath(folder.paths(), 4);
    QByteArray before;
    QByteArray after;
};

TEST_F(Compaction, KeepsLiveRecordsInOrderAndLeavesNoTemporaryFileNorTheOldFileOpen)
{
    ASSERT_TRUE(file.compact(temporary).ok());
    EXPECT_EQ(StoreTestFolder::contents(file.path()), after);
    EXPECT_EQ(StoreTestFolder::contents(file.path()).size(), 64568);
    EXPECT_FALSE(QFileInfo::exists(temporary));

    // The replaced file is closed after the compaction has returned; its space must still come back.
    QDeadlineTimer deadline(10000);
    while (holdsAReplacedFileIn(QFileInfo(file.path()).absolutePath()) && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_FALSE(holdsAReplacedFileIn(QFileInfo(file.path()).absolutePath()));
}

TEST_F(Compaction, AFailureAtAnyStepLeavesTheOldFileWhole)
{
    for (const auto failing : {RecordFile::CompactionStep::TemporaryWritten, RecordFile::CompactionStep::TemporaryFlushed}) {
        const StoreStatus status = file.compact(temporary, [&](RecordFile::CompactionStep step) {
            return step == failing ? StoreStatus::failure(QStringLiteral("disk full")) : StoreStatus::success();
        });
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(StoreTestFolder::contents(file.path()), before);
        EXPECT_FALSE(QFileInfo::exists(temporary));
    }
}

TEST_F(Compaction, TheProcessEndingAtAnyStepLeavesTheOldOrTheNewFileWhole)
{
    for (const auto dying : {RecordFile::CompactionStep::TemporaryWritten, RecordFile::CompactionStep::TemporaryFlushed,
             RecordFile::CompactionStep::Renamed}) {
        StoreTestFolder::put(file.path(), before);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            (void)file.compact(temporary, [&](RecordFile::CompactionStep step) {
                if (step == dying)
                    _exit(0);
                return StoreStatus::success();
            });
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_EQ(WEXITSTATUS(status), 0);
        const QByteArray left = StoreTestFolder::contents(file.path());
        EXPECT_TRUE(left == before || left == after);
        if (dying == RecordFile::CompactionStep::Renamed) {
            EXPECT_EQ(left, after);
        }
        // A leftover temporary file is never the only copy, and the next compaction replaces it.
        ASSERT_TRUE(file.compact(temporary).ok());
        EXPECT_EQ(StoreTestFolder::contents(file.path()), after);
        EXPECT_FALSE(QFileInfo::exists(temporary));
    }
}

// The live records are copied in runs between the removed ones: every pattern of runs, a flag of any
// value but 0 counting as live, and a partial last record left out.
TEST(CompactionRuns, KeepsExactlyTheWholeRecordsWhoseFlagIsNotZero)
{
    struct Case {
        const char* flags; // one letter a record: L live (1), D marked (0), X live as 0x0100, M live as -1
        bool partialTail;
    };
    for (const Case c : {Case{"", false}, Case{"LLLL", false}, Case{"DDDD", true}, Case{"DLLL", false}, Case{"LLLD", true},
             Case{"LDLDL", false}, Case{"DDLLDDLD", true}, Case{"XMDX", false}}) {
        StoreTestFolder folder;
        const RecordFile file(folder.data(QStringLiteral("runs.data")), RecordLayouts::Keyword);
        const auto length = static_cast<std::size_t>(RecordLayouts::Keyword.length);
        QByteArray bytes;
        QByteArray expected;
        for (const char* flag = c.flags; *flag; ++flag) {
            QByteArray record(static_cast<qsizetype>(length), static_cast<char>('a' + (flag - c.flags)));
            const QByteArray live = *flag == 'L' ? QByteArray("\x01\x00", 2)
                : *flag == 'X'                   ? QByteArray("\x00\x01", 2)
                : *flag == 'M'                   ? QByteArray("\xff\xff", 2)
                                                 : QByteArray(2, '\0');
            record.replace(RecordLayouts::Keyword.liveOffset(), 2, live);
            bytes += record;
            if (*flag != 'D')
                expected += record;
        }
        if (c.partialTail)
            bytes += QByteArray(static_cast<qsizetype>(length / 2), '\x01');
        StoreTestFolder::put(file.path(), bytes);

        ASSERT_TRUE(file.compact(folder.data(QStringLiteral("RUNS.TMP"))).ok()) << c.flags;
        EXPECT_EQ(StoreTestFolder::contents(file.path()), expected) << c.flags;
        EXPECT_FALSE(QFileInfo::exists(folder.data(QStringLiteral("RUNS.TMP"))));
    }
}

// Where the kernel will not copy between the two files (here: they lie on different file systems),
// the runs go through a buffer, to the same bytes.
TEST(CompactionRuns, CopiesThroughABufferWhereTheKernelWillNot)
{
    StoreTestFolder folder;
    // Memory when the folder is on a disk, the working folder (the build's) when the test's
    // temporary files are in memory.
    std::optional<QTemporaryDir> elsewhere;
    struct stat here {};
    if (::stat(QFile::encodeName(folder.data(QString())).constData(), &here) != 0)
        GTEST_SKIP() << "the test folder cannot be looked at";
    for (const QString& candidate : {QStringLiteral("/dev/shm"), QDir::currentPath()}) {
        struct stat there {};
        if (::stat(QFile::encodeName(candidate).constData(), &there) == 0 && there.st_dev != here.st_dev) {
            elsewhere.emplace(candidate + QStringLiteral("/nemuroa-compaction-XXXXXX"));
            break;
        }
    }
    if (!elsewhere || !elsewhere->isValid())
        GTEST_SKIP() << "no second file system to copy across";

    const RecordFile file(folder.data(QStringLiteral("runs.data")), RecordLayouts::Keyword);
    const auto length = static_cast<qsizetype>(RecordLayouts::Keyword.length);
    // Enough records that the runs outgrow the buffer, with removed ones between them.
    QByteArray bytes;
    QByteArray expected;
    for (int index = 0; index < 20000; ++index) {
        QByteArray record(length, static_cast<char>('a' + index % 26));
        const bool live = index % 7 != 3;
        record.replace(RecordLayouts::Keyword.liveOffset(), 2, live ? QByteArray("\x01\x00", 2) : QByteArray(2, '\0'));
        bytes += record;
        if (live)
            expected += record;
    }
    StoreTestFolder::put(file.path(), bytes);

    const QString temporary = elsewhere->filePath(QStringLiteral("RUNS.TMP"));
    QByteArray copied;
    const StoreStatus status = file.compact(temporary, [&](RecordFile::CompactionStep step) {
        if (step == RecordFile::CompactionStep::TemporaryWritten)
            copied = StoreTestFolder::contents(temporary);
        return StoreStatus::failure(QStringLiteral("stopped before the rename"));
    });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(copied.size(), expected.size());
    EXPECT_TRUE(copied == expected);
    EXPECT_EQ(StoreTestFolder::contents(file.path()), bytes);
}

TEST(ProgramPaths, MatchesExistingNamesWithoutRegardToCase)
{
    QTemporaryDir root;
    QDir(root.path()).mkdir(QStringLiteral("★MailData"));
    StoreTestFolder::put(root.path() + QStringLiteral("/★MailData/Vbmdata20.data"), "x");
    const ProgramPaths paths(root.path());
    EXPECT_EQ(paths.path(u"\\★MAilData\\vbmdata20.data"), root.path() + QStringLiteral("/★MailData/Vbmdata20.data"));
    EXPECT_EQ(paths.dataFile(QStringLiteral("VBMDATA20.TMP")), root.path() + QStringLiteral("/★MailData/VBMDATA20.TMP"));
    EXPECT_EQ(paths.dataFile(QStringLiteral("vbmdata1.data")), root.path() + QStringLiteral("/★MailData/vbmdata1.data"));
}

} // namespace
