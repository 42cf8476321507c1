// A stop asked at every step of a receive and of a bulk send, against the test servers: after each,
// nothing the server still holds is stored, the next receive stores every message exactly once,
// and the sent history holds exactly the messages the server got.

#include "FolderFiles.h"
#include "MessageBoxService.h"
#include "NMail.h"
#include "ReceiveSession.h"
#include "SendRun.h"
#include "TestMailServers.h"
#include "TestProgramFolder.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString SpamWord = QStringLiteral("SPAMWORD");

std::string message(const std::string& subject)
{
    return "From: a@example.jp\nTo: sweep@localhost\nSubject: " + subject
        + "\nDate: Mon, 7 Dec 2026 09:00:00 +0900\nMIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n\nbody\n";
}

class NoBoxes final : public MessageBoxService {
public:
    Answer show(const Request& request) override
    {
        shown << request.text;
        return request.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    QStringList shown;
};

class CountingView final : public ReceiveView {
public:
    void setStatus(const QString&) override {}
    void showProgress(int, int) override {}
    void showMessage(const MessageFields&) override {}
    void showForSpamTest(const QString&, const QString&, const QString&) override {}
    void raiseNewCounter(int) override { ++newCount; }
    void lowerNewCounter(int) override { --newCount; }
    int newCount = 0;
};

// A bulk send's view that asks to stop before message stopBefore.
class StoppingSendView final : public SendRunView {
public:
    explicit StoppingSendView(int stopBefore) : stopBefore_(stopBefore) {}
    void showProgress(int number, int) override { number_ = number; }
    void reportSendFailure(const QString& text) override { failures << text; }
    void reportHistoryFailure(const QString& text) override { failures << text; }
    void reportUnconfirmed(const QString& text) override { failures << text; }
    void reportRefusedRecipient(const QString& text) override { failures << text; }
    void reportHistoryReplacement(const QString&) override {}
    bool stopRequested() override { return number_ >= stopBefore_; }
    QStringList failures;

private:
    int stopBefore_;
    int number_ = 0;
};

class StopSweep : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(servers.ok()) << servers.problem().toStdString(); }

    // One session on folder; the wait hook says stop from its stopAtCall-th call on (0: never).
    ReceiveSession::Outcome receive(const TestProgramFolder& folder, const TestMailbox& box, int stopAtCall, CountingView& view)
    {
        NMail mail;
        mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        int calls = 0;
        mail.NMailSetWaitHook([&] { return stopAtCall > 0 && ++calls >= stopAtCall; });
        ReceiveSession session(folder.paths(), mail, boxes,
            [](const QString& subject, const QString&, const QString&) { return subject.contains(SpamWord); }, {}, view);
        return session.run({servers.pop3Server(), 0, box.user(), box.password()});
    }

    const TestMailServers& servers = TestMailServers::shared();
    NoBoxes boxes;
};

// The hook is asked before every write, before every message is taken and every few milliseconds
// of a wait, so stopping at its k-th call for k = 1, 2, ... stops before each step in turn: before
// each message (after the journal, after each store, whether its RETR went ahead or not), before
// the DELEs (after the flushes) and before QUIT, until a session runs to its end.
TEST_F(StopSweep, AStopAtEveryStepOfAReceiveDeletesNothingAndTheNextReceiveStoresEachMessageOnce)
{
    const QStringList subjects{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"), QStringLiteral("four")};
    const TestMailbox box = servers.createMailbox(QStringLiteral("stop_sweep"));
    int stopped = 0;
    for (int stopAtCall = 1;; ++stopAtCall) {
        ASSERT_LT(stopAtCall, 200) << "no session ran to its end";
        box.clear();
        for (const QString& subject : subjects)
            ASSERT_TRUE(box.deposit(message(subject.toStdString())));
        ASSERT_TRUE(box.deposit(message("spam " + SpamWord.toStdString())));
        const TestProgramFolder folder;
        CountingView view;

        const ReceiveSession::Outcome outcome = receive(folder, box, stopAtCall, view);

        if (!outcome.stopped) {
            // Past the last step: the session ran to its end.
            EXPECT_EQ(folder.storedSubjects(10), subjects);
            EXPECT_EQ(box.count(), 0);
            break;
        }
        ++stopped;
        SCOPED_TRACE("stopped at call " + std::to_string(stopAtCall));
        // Stopped while fetching, the session keeps nothing; stopped once its records and their
        // ids were kept, it keeps them all, and the next receive deletes those without storing.
        const QStringList kept = folder.storedSubjects(10);
        EXPECT_TRUE(kept.isEmpty() || kept == subjects) << kept.join(u',').toStdString();
        EXPECT_EQ(view.newCount, kept.size());
        EXPECT_EQ(box.count(), 5);
        EXPECT_FALSE(folder.exists(QStringLiteral("★MAilData/receive.journal")));
        EXPECT_EQ(boxes.shown, QStringList());

        CountingView again;
        const ReceiveSession::Outcome next = receive(folder, box, 0, again);
        EXPECT_FALSE(next.stopped);
        EXPECT_EQ(folder.storedSubjects(10), subjects);
        EXPECT_EQ(view.newCount + again.newCount, 4);
        EXPECT_EQ(box.count(), 0);
    }
    // Connect (CAPA, STLS, CAPA again), login, ids and sizes, five messages, the DELEs and QUIT at the least.
    EXPECT_GE(stopped, 12);
}

TEST_F(StopSweep, AStopBeforeEachMessageOfABulkSendLeavesAHistoryOfWhatTheServerGot)
{
    constexpr int Recipients = 3;
    for (int stopBefore = 1; stopBefore <= Recipients + 1; ++stopBefore) {
        SCOPED_TRACE("stopped before message " + std::to_string(stopBefore));
        const TestMailbox box = servers.createMailbox(QStringLiteral("stop_sweep_send"));
        box.clear();
        const TestProgramFolder folder;
        NMail mail;
        mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        MailSender sender(mail, {servers.smtpServer(), box.address(), QString(), QString()});
        StoppingSendView view(stopBefore);
        SendRun run(SentHistory(folder.paths()), sender, [] { return QStringLiteral("2026/12/07 10:00:00"); }, view);

        const SendRun::Outcome outcome =
            run.run(QStringList(Recipients, box.address()), {box.address(), QStringLiteral("bulk"), QStringLiteral("body"), QString()});

        int history = 0;
        (void)FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory).forEach([&](int, std::string_view) {
            ++history;
            return true;
        });
        const int went = std::min(stopBefore - 1, Recipients);
        EXPECT_EQ(view.failures, QStringList());
        EXPECT_EQ(outcome.sent, went);
        EXPECT_EQ(outcome.stoppedByUser, stopBefore <= Recipients);
        EXPECT_EQ(history, went);
        EXPECT_EQ(box.count(), went);
    }
}

} // namespace
