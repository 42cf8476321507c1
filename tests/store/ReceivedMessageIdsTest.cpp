#include "FolderFiles.h"
#include "ReceiveJournal.h"
#include "ReceivedMessageIds.h"
#include "ServerSettings.h"
#include "StartUpRecovery.h"
#include "StoreTestFolder.h"
#include "StoreTestRecords.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <optional>

namespace {

const QDate Day(2026, 12, 7);

// The ids of an account after a write, a commit and a fresh load.
QStringList storedIds(const ProgramPaths& paths, const QString& server, const QString& user)
{
    ReceivedMessageIds ids(paths);
    EXPECT_TRUE(ids.load(server, user).ok());
    QStringList found;
    for (const QString& id : {QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("b1"), QStringLiteral("shared")}) {
        if (const auto* entry = ids.find(id))
            found << id + (entry->state == ReceivedMessageIds::State::Stored ? u'S' : u'R');
    }
    return found;
}

TEST(ReceivedMessageIds, EachAccountKeepsItsOwnIdsAndDaysAndOthersAreLeftAsTheyWere)
{
    StoreTestFolder folder;
    const ProgramPaths& paths = folder.paths();
    const QString server = QStringLiteral("pop.example:995");
    ReceivedMessageIds first(paths);
    ASSERT_TRUE(first.load(server, QStringLiteral("太郎\t1")).ok());
    first.add(QStringLiteral("a1"), Day, ReceivedMessageIds::State::Stored);
    first.add(QStringLiteral("shared"), Day.addDays(-3), ReceivedMessageIds::State::Refused);
    first.add(QStringLiteral("not an id"), Day, ReceivedMessageIds::State::Stored);
    ASSERT_TRUE(first.writePending().ok());
    ASSERT_TRUE(first.commitPending().ok());

    ReceivedMessageIds second(paths);
    ASSERT_TRUE(second.load(server, QStringLiteral("花子")).ok());
    EXPECT_EQ(second.size(), 0) << "another user ID never matches";
    second.add(QStringLiteral("shared"), Day, ReceivedMessageIds::State::Stored);
    second.add(QStringLiteral("b1"), Day, ReceivedMessageIds::State::Stored);
    ASSERT_TRUE(second.writePending().ok());
    ASSERT_TRUE(second.commitPending().ok());

    EXPECT_EQ(storedIds(paths, server, QStringLiteral("太郎\t1")), (QStringList{QStringLiteral("a1S"), QStringLiteral("sharedR")}));
    EXPECT_EQ(storedIds(paths, server, QStringLiteral("花子")), (QStringList{QStringLiteral("b1S"), QStringLiteral("sharedS")}));
    EXPECT_EQ(storedIds(paths, QStringLiteral("pop.example"), QStringLiteral("花子")), QStringList()) << "nor another server";
    ReceivedMessageIds reread(paths);
    ASSERT_TRUE(reread.load(server, QStringLiteral("太郎\t1")).ok());
    EXPECT_EQ(reread.find(QStringLiteral("shared"))->firstStored, Day.addDays(-3));
    EXPECT_FALSE(reread.changed());

    // A complete list without a1 drops it, and only from this account.
    reread.keepOnly({QStringLiteral("shared"), QStringLiteral("b1")});
    EXPECT_TRUE(reread.changed());
    ASSERT_TRUE(reread.writePending().ok());
    ASSERT_TRUE(reread.commitPending().ok());
    EXPECT_EQ(storedIds(paths, server, QStringLiteral("太郎\t1")), QStringList{QStringLiteral("sharedR")});
    EXPECT_EQ(storedIds(paths, server, QStringLiteral("花子")), (QStringList{QStringLiteral("b1S"), QStringLiteral("sharedS")}));
    EXPECT_EQ(QFileInfo(reread.path()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
}

TEST(ReceivedMessageIds, AFileThatIsNotWholeOrWellFormedIsRefusedNotReadAsEmpty)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"last line cut", "s\tu\t2026-12-07\tS\tid1\ns\tu\t2026-12-07\tS\tid"},
        {"a field missing", "s\tu\t2026-12-07\tid1\n"},
        {"a bad day", "s\tu\t2026-13-07\tS\tid1\n"},
        {"a day written otherwise", "s\tu\t2026-1-007\tS\tid1\n"},
        {"a day with a sign", "s\tu\t2026-+1-07\tS\tid1\n"},
        {"an unknown state", "s\tu\t2026-12-07\tX\tid1\n"},
        {"a blank in the id", "s\tu\t2026-12-07\tS\tid 1\n"},
        {"an id twice for one account", "s\tu\t2026-12-07\tS\tid1\ns\tu\t2026-12-08\tS\tid1\n"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        StoreTestFolder folder;
        ReceivedMessageIds ids(folder.paths());
        StoreTestFolder::put(ids.path(), content);
        const StoreStatus loaded = ids.load(QStringLiteral("s"), QStringLiteral("u"));
        EXPECT_FALSE(loaded.ok());
        EXPECT_TRUE(loaded.error().contains(ids.path()));
    }
}

// Whatever the moment of a crash, the ids match the records: a pending id file goes with the
// journal's records, and is the id file once the journal is gone.
TEST(ReceivedMessageIds, ACrashBeforeTheJournalIsRemovedDropsThePendingIdsAndAfterItKeepsThem)
{
    for (const bool journalRemoved : {false, true}) {
        SCOPED_TRACE(journalRemoved ? "after" : "before");
        StoreTestFolder folder;
        const ProgramPaths& paths = folder.paths();
        ReceiveJournal journal(paths);
        ASSERT_TRUE(journal.begin().ok());
        const RecordFile others = FolderFiles::folderFile(paths, FolderFiles::OthersFolder);
        ASSERT_TRUE(others.append(StoreTestRecords::messageRecord(QStringLiteral("s"), QStringLiteral("f"), QStringLiteral("d"), QStringLiteral("b"))).ok());
        ReceivedMessageIds ids(paths);
        ASSERT_TRUE(ids.load(QStringLiteral("s"), QStringLiteral("u")).ok());
        ids.add(QStringLiteral("a1"), Day, ReceivedMessageIds::State::Stored);
        ASSERT_TRUE(ids.writePending().ok());
        if (journalRemoved) {
            ASSERT_TRUE(journal.commit().ok());
        }

        ASSERT_TRUE(StartUpRecovery::recover(paths).ok());

        EXPECT_EQ(others.recordCount().value(), journalRemoved ? 1 : 0);
        EXPECT_EQ(storedIds(paths, QStringLiteral("s"), QStringLiteral("u")), journalRemoved ? QStringList{QStringLiteral("a1S")} : QStringList());
        EXPECT_FALSE(QFileInfo::exists(ids.pendingPath()));
    }
}

TEST(ServerSettings, KeepsTheCopyOnTheServerOptionOnALineOfItsOwn)
{
    struct Case {
        const char* line;
        std::optional<int> days;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"KEEPONSERVER=0\r\n", 0},
        {"KEEPONSERVER=14\r\n", 14},
        {"KEEPONSERVER=123456\r\n", ServerSettings::MaxKeepOnServerDays},
        // A value that cannot be read keeps the mail rather than delete it.
        {"KEEPONSERVER=two weeks\r\n", 0},
        {"keeponserver=14\r\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        StoreTestFolder folder;
        const QString path = folder.paths().path(u"vbmail.ini");
        StoreTestFolder::put(path, QByteArray("POP3=a.example\r\nPLAINPASS=a.example\r\n") + c.line);
        const ServerSettings settings = ServerSettings::read(path);
        EXPECT_EQ(settings.KeepOnServerDays, c.days);
        ASSERT_TRUE(settings.write(path).ok());
        EXPECT_EQ(StoreTestFolder::contents(path),
            QByteArray("SMTP=\r\nPOP3=a.example\r\nMAIL=\r\nAPOP=0\r\nPLAINPASS=a.example\r\n")
                + (c.days ? "KEEPONSERVER=" + QByteArray::number(*c.days) + "\r\n" : QByteArray()));
    }
}

} // namespace
