#include "FolderFiles.h"
#include "ReceiveJournal.h"
#include "RecordLayouts.h"
#include "StartUpRecovery.h"
#include "StoreTestFolder.h"
#include "StoreTestRecords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace {

using namespace StoreTestRecords;

Record message(const QString& subject) { return messageRecord(subject, QStringLiteral("a@example.jp"), QStringLiteral("date"), QStringLiteral("body")); }

TEST(StartUpRecovery, RemovesTheTemporaryFilesItNamesAndNothingElse)
{
    StoreTestFolder store;
    const ProgramPaths& paths = store.paths();
    const QString attachments = paths.programFolder() + QStringLiteral("/添付フォルダ");
    QDir().mkpath(attachments + QStringLiteral("/.nmail-split/0123"));
    const QStringList temporaries = {store.data(QStringLiteral("VBMDATA3.TMP")), store.data(QStringLiteral("VBMDATA30.TMP")),
        store.data(QStringLiteral("VBMDATA50.TMP")), store.data(QStringLiteral("iniIdPass.ini.tmp")),
        store.data(QStringLiteral("receive.journal.tmp")), store.data(QStringLiteral("received.ids.new.tmp")), paths.programFolder() + QStringLiteral("/vbmail.ini.tmp"),
        store.data(QStringLiteral("iniIdPass.ini.tmp-Ab12Cd")), paths.programFolder() + QStringLiteral("/vbmail.ini.tmp-x9Y8z7"),
        attachments + QStringLiteral("/.nmail-Ab12Cd"), attachments + QStringLiteral("/.nmail-work.tmp-Ab12Cd")};
    const QStringList kept = {store.data(QStringLiteral("vbmdata3.data")), store.data(QStringLiteral("VBMDATA3.TMP.old")),
        store.data(QStringLiteral("iniIdPass.ini.tmp-Ab12Cde")), store.data(QStringLiteral("other.ini.tmp-Ab12Cd")),
        attachments + QStringLiteral("/report.txt"), attachments + QStringLiteral("/0.txt"), attachments + QStringLiteral("/.nmail-Ab12Cde"),
        attachments + QStringLiteral("/.nmail-split/0123/part-0001.eml"), attachments + QStringLiteral("/.nmail-split/0123/total")};
    for (const QString& path : temporaries + kept)
        StoreTestFolder::put(path, "x");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(paths.programFolder());

    EXPECT_EQ(StartUpRecovery::leftoverTemporaryFiles(paths).size(), temporaries.size());
    EXPECT_TRUE(StartUpRecovery::recover(paths).ok());
    QDir::setCurrent(previous);

    for (const QString& path : temporaries)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString& path : kept)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
}

TEST(StartUpRecovery, CutsOffOnlyTheRecordsOfASessionThatDidNotFinish)
{
    StoreTestFolder store;
    const ProgramPaths& paths = store.paths();
    const RecordFile others = FolderFiles::folderFile(paths, FolderFiles::OthersFolder);
    ASSERT_TRUE(others.append(message(QStringLiteral("kept"))).ok());
    const QByteArray before = StoreTestFolder::contents(others.path());
    ReceiveJournal journal(paths);
    ASSERT_TRUE(journal.begin().ok());
    ASSERT_TRUE(others.append(message(QStringLiteral("received"))).ok());
    ASSERT_TRUE(FolderFiles::folderFile(paths, 2).append(message(QStringLiteral("received"))).ok());

    ASSERT_TRUE(StartUpRecovery::recover(paths).ok());

    EXPECT_EQ(StoreTestFolder::contents(others.path()), before);
    EXPECT_EQ(StoreTestFolder::contents(FolderFiles::FolderFilePath(paths, 2)), QByteArray());
    EXPECT_FALSE(QFileInfo::exists(journal.path()));
    // A finished session keeps its records.
    ASSERT_TRUE(journal.begin().ok());
    ASSERT_TRUE(others.append(message(QStringLiteral("received"))).ok());
    ASSERT_TRUE(journal.commit().ok());
    ASSERT_TRUE(StartUpRecovery::recover(paths).ok());
    EXPECT_EQ(others.recordCount().value(), 2);
}

TEST(StartUpRecovery, AnImportsSentMailIsCutOffTooAndANoteOfAnEarlierVersionLeavesTheSentHistory)
{
    StoreTestFolder store;
    const ProgramPaths& paths = store.paths();
    const RecordFile others = FolderFiles::folderFile(paths, FolderFiles::OthersFolder);
    const RecordFile sent = FolderFiles::folderFile(paths, FolderFiles::SentHistory);
    ReceiveJournal journal(paths);
    ASSERT_TRUE(journal.begin().ok());
    ASSERT_TRUE(others.append(message(QStringLiteral("imported"))).ok());
    ASSERT_TRUE(sent.append(Record(RecordLayouts::Sent)).ok());
    ASSERT_TRUE(StartUpRecovery::recover(paths).ok());
    EXPECT_EQ(StoreTestFolder::contents(others.path()), QByteArray());
    EXPECT_EQ(StoreTestFolder::contents(sent.path()), QByteArray());

    // Ten lengths, as a receive of an earlier version noted them: the folders only.
    ASSERT_TRUE(sent.append(Record(RecordLayouts::Sent)).ok());
    ASSERT_TRUE(others.append(message(QStringLiteral("received"))).ok());
    StoreTestFolder::put(journal.path(), "0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");
    ASSERT_TRUE(StartUpRecovery::recover(paths).ok());
    EXPECT_EQ(others.recordCount().value(), 0);
    EXPECT_EQ(sent.recordCount().value(), 1);
    EXPECT_FALSE(QFileInfo::exists(journal.path()));
}

} // namespace
