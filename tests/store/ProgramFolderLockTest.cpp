#include "ProgramFolderLock.h"

#include "StoreTestFolder.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <memory>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Outcome = ProgramFolderLock::Outcome;

TEST(ProgramFolderLock, ASecondCopyFindsTheFolderHeldUntilTheFirstLetsGo)
{
    StoreTestFolder folder;
    auto first = std::make_unique<ProgramFolderLock>(folder.paths());
    ASSERT_EQ(first->acquire(), Outcome::Acquired) << first->error().toStdString();
    EXPECT_TRUE(QFileInfo::exists(first->lockFilePath()));

    // Another process, as a second start of the program is.
    const pid_t child = ::fork();
    if (child == 0) {
        ProgramFolderLock second(folder.paths());
        ::_exit(second.acquire() == Outcome::HeldByAnotherCopy ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ProgramFolderLock sameProcess(folder.paths());
    EXPECT_EQ(sameProcess.acquire(), Outcome::HeldByAnotherCopy);
    EXPECT_TRUE(sameProcess.heldByAnotherCopyText().contains(QStringLiteral("すでに起動しています")));

    first.reset();
    EXPECT_EQ(sameProcess.acquire(), Outcome::Acquired);
}

TEST(ProgramFolderLock, AFolderThatCannotHoldTheLockFileFailsWithAReason)
{
    StoreTestFolder folder;
    ProgramFolderLock lock(ProgramPaths(folder.paths().path(u"missing")));
    EXPECT_EQ(lock.acquire(), Outcome::Failed);
    EXPECT_TRUE(lock.error().contains(ProgramFolderLock::lockFileName())) << lock.error().toStdString();
}

} // namespace
