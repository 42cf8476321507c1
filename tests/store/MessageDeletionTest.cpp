#include "FolderFiles.h"
#include "MessageDeletion.h"
#include "StoreTestFolder.h"
#include "StoreTestRecords.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace {

using namespace StoreTestRecords;

class Deletion : public ::testing::Test {
protected:
    void fill(int folder, int count)
    {
        const RecordFile file = FolderFiles::folderFile(paths(), folder);
        for (int i = 1; i <= count; ++i) {
            const QString n = QString::number(i);
            ASSERT_TRUE(file.append(folder == FolderFiles::SentHistory ? sentRecord(n, n, n) : messageRecord(n, n, n, n)).ok());
        }
    }
    const ProgramPaths& paths() const { return store.paths(); }
    QByteArray contents(int folder) const { return StoreTestFolder::contents(FolderFiles::FolderFilePath(paths(), folder)); }
    bool temporaryLeft() const
    {
        return !QDir(paths().dataFolder()).entryList({QStringLiteral("VBMDATA*.TMP")}, QDir::Files).isEmpty();
    }

    StoreTestFolder store;
};

TEST_F(Deletion, DeletingTheMiddleRecordClosesTheGap)
{
    fill(5, 3);
    const QByteArray before = contents(5);
    const RecordFile file = FolderFiles::folderFile(paths(), 5);
    const Record clicked = *file.read(2).value();

    ASSERT_TRUE(MessageDeletion::deleteOne(paths(), 5, 2, clicked).ok());
    const QByteArray after = contents(5);
    EXPECT_EQ(after.size(), 64568);
    EXPECT_EQ(after.left(MessageLength), before.left(MessageLength));
    EXPECT_EQ(after.mid(MessageLength), before.mid(2 * MessageLength)); // the old record 3 is now record 2
    EXPECT_FALSE(temporaryLeft());
}

TEST_F(Deletion, DeletingTheOnlyMessageLeavesAnEmptyFile)
{
    fill(FolderFiles::SentHistory, 1);
    const Record clicked = *FolderFiles::folderFile(paths(), FolderFiles::SentHistory).read(1).value();
    ASSERT_TRUE(MessageDeletion::deleteOne(paths(), FolderFiles::SentHistory, 1, clicked).ok());
    EXPECT_TRUE(contents(FolderFiles::SentHistory).isEmpty());
    EXPECT_FALSE(temporaryLeft());
}

TEST_F(Deletion, ARecordBufferOfTheOtherLayoutIsRefusedAndNothingChanges)
{
    fill(FolderFiles::SentHistory, 2);
    const QByteArray before = contents(FolderFiles::SentHistory);
    EXPECT_FALSE(MessageDeletion::deleteOne(paths(), FolderFiles::SentHistory, 1, Record(RecordLayouts::Message)).ok());
    EXPECT_EQ(contents(FolderFiles::SentHistory), before);
}

TEST_F(Deletion, DeletingAllEmptiesFoldersAndTheSentHistoryAndCreatesAMissingFile)
{
    fill(7, 3);
    fill(FolderFiles::SentHistory, 2);
    for (const int folder : {7, FolderFiles::SentHistory, 8}) {
        ASSERT_TRUE(MessageDeletion::deleteAll(paths(), folder).ok());
        EXPECT_TRUE(QFileInfo::exists(FolderFiles::FolderFilePath(paths(), folder)));
        EXPECT_TRUE(contents(folder).isEmpty());
    }
    EXPECT_FALSE(temporaryLeft());
}

} // namespace
