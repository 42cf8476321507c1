#include "FolderFiles.h"
#include "PrivateFolders.h"
#include "ServerSettings.h"
#include "StoreTestFolder.h"

#include <gtest/gtest.h>

#include <QDir>

#include <sys/stat.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : mode_t(07777);
}

// The umask of the test process, opened wide and put back, so that only the modes the store asks
// for decide.
class WideUmask {
public:
    WideUmask() : saved_(::umask(0)) {}
    ~WideUmask() { ::umask(saved_); }
    WideUmask(const WideUmask&) = delete;
    WideUmask& operator=(const WideUmask&) = delete;

private:
    mode_t saved_;
};

struct FolderCase {
    mode_t before;
    mode_t after;
    bool told;
};

class NarrowingAFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(NarrowingAFolder, TakesAwayGroupAndOtherAccessAndSaysSoOnce)
{
    StoreTestFolder folder;
    for (const QString& path : {folder.paths().dataFolder(), folder.paths().attachmentFolder(), folder.paths().quickSaveFolder()}) {
        QDir().mkpath(path);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), GetParam().before), 0);
    }
    const QStringList first = PrivateFolders::narrow(folder.paths());
    EXPECT_EQ(first.size(), GetParam().told ? 3 : 0) << first.join(u'\n').toStdString();
    if (GetParam().told) {
        EXPECT_TRUE(first[0].contains(ProgramPaths::dataFolderName()));
        EXPECT_TRUE(first[1].contains(QStringLiteral("添付フォルダ")));
    }
    EXPECT_EQ(modeOf(folder.paths().dataFolder()), GetParam().after);
    EXPECT_EQ(modeOf(folder.paths().quickSaveFolder()), GetParam().after);
    EXPECT_TRUE(PrivateFolders::narrow(folder.paths()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, NarrowingAFolder,
    ::testing::Values(FolderCase{0755, 0700, true}, FolderCase{0777, 0700, true}, FolderCase{0750, 0700, true},
        FolderCase{0701, 0700, true}, FolderCase{0700, 0700, false}, FolderCase{0500, 0500, false}));

TEST(PrivateFolders, LeavesAMissingFolderToTheStartUpCheck)
{
    StoreTestFolder folder;
    ASSERT_TRUE(QDir(folder.paths().dataFolder()).removeRecursively());
    EXPECT_TRUE(PrivateFolders::narrow(folder.paths()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder.paths().dataFolder()));
}

TEST(PrivateFolders, EveryFileTheStoreWritesIsTheOwnersAloneWhateverTheUmask)
{
    const WideUmask wide;
    StoreTestFolder folder;
    ASSERT_TRUE(StoreMessage(folder.paths(), 3, 1, MessageFields{QStringLiteral("件名"), QStringLiteral("a@example.jp"),
                                                          QStringLiteral("2026/12/07"), QStringLiteral("本文")})
                    .ok());
    const QString vbmail = folder.paths().path(u"vbmail.ini");
    ASSERT_TRUE(ServerSettings{}.write(vbmail).ok());
    const QString folderFile = FolderFiles::FolderFilePath(folder.paths(), 3);
    ASSERT_TRUE(FolderFiles::folderFile(folder.paths(), 3).compact(FolderFiles::TempFilePath(folder.paths(), 3)).ok());

    for (const QString& path : {folderFile, vbmail})
        EXPECT_EQ(modeOf(path), PrivateFolders::FileMode) << path.toStdString();
}

} // namespace
