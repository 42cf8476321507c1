#include "QStringPrinter.h"

#include "AttachmentFolder.h"
#include "SplitMessageStore.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

using Kind = SplitMessageStore::Outcome::Kind;

std::string part(const std::string& from, int number, int total, const std::string& text, const std::string& id = "set@bank.example")
{
    std::string raw = "From: " + from + "\nSubject: part " + std::to_string(number) + "\nContent-Type: message/partial; id=\"" + id
        + "\"; number=" + std::to_string(number);
    if (total > 0)
        raw += "; total=" + std::to_string(total);
    return raw + "\n\n" + (number == 1 ? "Subject: whole\nContent-Type: text/plain\n\n" : "") + text + "\n";
}

struct Arrival {
    std::string raw;
    Kind expected;
};

struct StoreCase {
    const char* name;
    std::vector<Arrival> arrivals;
    // What the rebuilt whole holds, when one is rebuilt.
    std::string wholeHolds;
    std::string wholeLacks;
};

class SplitMessageStoreTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    AttachmentFolder attachments{folder.path()};
};

// Each part either joins its own sender's set, or stays a message of its own whose notice says why;
// a set is rebuilt once.
TEST_F(SplitMessageStoreTest, APartJoinsOnlyItsOwnSendersSetOnceAndWithinTheBound)
{
    const std::string bank = "Bank <notice@bank.example>";
    const std::string attacker = "attacker@evil.example";
    const StoreCase cases[] = {
        {"a stranger's part with the bank's id",
            {{part(bank, 1, 2, "bank one"), Kind::Incomplete}, {part(attacker, 2, 2, "evil two"), Kind::Incomplete},
                {part("NOTICE@Bank.Example", 2, 2, "bank two"), Kind::Complete}},
            "bank two", "evil"},
        {"a part that arrives again after its set was rebuilt",
            {{part(bank, 1, 2, "one"), Kind::Incomplete}, {part(bank, 2, 2, "two"), Kind::Complete},
                {part(bank, 2, 2, "two, sent again"), Kind::Separate}},
            "two", ""},
        {"a later part that states another total",
            {{part(bank, 1, 2, "one"), Kind::Incomplete}, {part(bank, 2, 3, "two"), Kind::Separate},
                {part(bank, 3, 3, "three"), Kind::Separate}, {part(bank, 2, 2, "two"), Kind::Complete}},
            "one", "three"},
        {"a number that came already with other bytes",
            {{part(bank, 2, 2, "two"), Kind::Incomplete}, {part(bank, 2, 2, "another two"), Kind::Separate},
                {part(bank, 1, 2, "one"), Kind::Complete}},
            "two", "another"},
        {"the same message again keeps the set as it was",
            {{part(bank, 1, 2, "one"), Kind::Incomplete}, {part(bank, 1, 2, "one"), Kind::Incomplete},
                {part(bank, 2, 2, "two"), Kind::Complete}},
            "one", ""},
        {"a whole past the bound of one message",
            {{part(bank, 1, 3, std::string(600, 'a')), Kind::Incomplete}, {part(bank, 2, 3, std::string(600, 'b')), Kind::Separate},
                {part(bank, 3, 3, "c"), Kind::Separate}},
            "", ""},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir own;
        const AttachmentFolder folderOfCase(own.path());
        const SplitMessageStore store(folderOfCase, 1000);
        QStringList rebuilt;
        std::string whole;
        for (const Arrival& arrival : c.arrivals) {
            const SplitMessageStore::Outcome outcome = store.add(arrival.raw, rebuilt);
            EXPECT_EQ(outcome.kind, arrival.expected) << arrival.raw;
            if (outcome.kind == Kind::Complete) {
                rebuilt << outcome.keptParts;
                whole = outcome.whole;
            }
            if (outcome.kind == Kind::Separate) {
                // Its record keeps all the part holds.
                const QString text = SplitMessageStore::partText(arrival.raw, outcome.notice);
                EXPECT_TRUE(text.startsWith(outcome.notice));
                const std::string body = arrival.raw.substr(arrival.raw.find("\n\n") + 2);
                EXPECT_TRUE(text.endsWith(QString::fromStdString(body).replace(QStringLiteral("\n"), QStringLiteral("\r\n")))) << text.toStdString();
            }
        }
        if (!c.wholeHolds.empty()) {
            EXPECT_NE(whole.find(c.wholeHolds), std::string::npos) << whole;
        }
        if (!c.wholeLacks.empty()) {
            EXPECT_EQ(whole.find(c.wholeLacks), std::string::npos) << whole;
        }
    }
}

TEST_F(SplitMessageStoreTest, TheKeptPartsOfASetThatNeverCompletesGoAfterThirtyDays)
{
    const SplitMessageStore store(attachments, 32 * 1024 * 1024);
    const auto stale = store.add(part("a@example.jp", 1, 2, "one", "stale@example.jp"));
    const auto fresh = store.add(part("a@example.jp", 1, 2, "one", "fresh@example.jp"));
    ASSERT_EQ(stale.kind, Kind::Incomplete);
    ASSERT_EQ(fresh.kind, Kind::Incomplete);
    // Kept parts are mail, open to their owner alone whatever the umask.
    for (const QString& kept : fresh.keptFiles)
        EXPECT_EQ(QFile::permissions(kept), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser)
            << kept.toStdString();
    const QDateTime longAgo = QDateTime::currentDateTime().addDays(-SplitMessageStore::AbandonedAfterDays - 1);
    for (const QString& kept : stale.keptFiles) {
        QFile file(kept);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }

    store.removeAbandonedSets();

    for (const QString& kept : stale.keptFiles)
        EXPECT_FALSE(QFile::exists(kept)) << kept.toStdString();
    for (const QString& kept : fresh.keptFiles)
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    // The part's own record says what becomes of its kept copy, and holds its text.
    const QString text = SplitMessageStore::partText(part("a@example.jp", 2, 2, "second line"),
        SplitMessageStore::waitingNotice({"stale@example.jp", 2, 2}));
    EXPECT_TRUE(text.contains(u"30 日")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(u"second line\r\n")) << text.toStdString();
}

} // namespace
