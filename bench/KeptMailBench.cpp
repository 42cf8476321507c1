// Receiving from a mailbox whose mail is kept on the server: 10,000 small messages received before
// (their ids in the id file) and none new must take one UIDL and no RETR, in at most 1 s on
// loopback; 100 new among the 10,000 old at most 1.2 times the receive of the same 100 from a
// mailbox that holds nothing else. The mailboxes are a dovecot of the bench's own.

#include "BenchMailServers.h"
#include "ForwardingMailLibrary.h"
#include "NMail.h"
#include "ReceiveSession.h"

#include "RatioReporter.h"
#include "SilentReceiveSeams.h"

#include <benchmark/benchmark.h>

#include <QDir>

#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int OldCount = 10000;
constexpr int NewCount = 100;

BenchMailServers& servers()
{
    static BenchMailServers started(QStringLiteral("kept_mail_bench"));
    return started;
}

std::string generatedMessage(const std::string& kind, int number)
{
    return "From: sender" + std::to_string(number % 10) + "@example.jp\nTo: bench@localhost\nSubject: " + kind + ' '
        + std::to_string(number) + "\nDate: Mon, 7 Dec 2026 09:00:00 +0900\nMessage-ID: <" + kind + std::to_string(number)
        + "@example.jp>\nContent-Type: text/plain; charset=utf-8\n\n本日の会議の議事録です。\n";
}

// Counts the fetches and id listings of the library it forwards to.
class CountingMail final : public ForwardingMailLibrary {
public:
    using ForwardingMailLibrary::ForwardingMailLibrary;
    int fetches = 0;
    int listings = 0;

    int NMailPop3GetUidl(int handle, QStringList& ids) override
    {
        ++listings;
        return ForwardingMailLibrary::NMailPop3GetUidl(handle, ids);
    }
    int NMailPop3GetMailStatus(int handle, int number, QString& subject, QString& date, QString& from, QString& header, int flag) override
    {
        ++fetches;
        return ForwardingMailLibrary::NMailPop3GetMailStatus(handle, number, subject, date, from, header, flag);
    }
};

struct ProgramFolder {
    QTemporaryDir root;
    ProgramPaths paths{root.path()};
    ProgramFolder()
    {
        for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ")})
            QDir(root.path()).mkdir(folder);
    }
};

// Both mailboxes, filled once: the old and the new messages, and the new ones alone.
struct Mailboxes {
    std::optional<TestMailbox> alone;
    // The id file of a program that received every old message before.
    QByteArray knownIds;
    bool ready = false;

    Mailboxes()
    {
        if (!servers().mailbox)
            return;
        const TestMailbox& kept = *servers().mailbox;
        alone.emplace(servers().servers->createMailbox(QStringLiteral("kept_alone")));
        kept.clear();
        alone->clear();
        for (int number = 1; number <= OldCount; ++number) {
            if (!kept.deposit(generatedMessage("old", number)))
                return;
        }
        // The old messages' ids, as a receive that stored them would have kept them.
        ProgramFolder folder;
        NMail library;
        library.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers().servers->caFile());
        const int handle = library.NMailPop3Connect(servers().servers->pop3Server());
        QStringList ids;
        if (library.NMailPop3Authenticate(handle, kept.user(), kept.password(), 0) != OldCount
            || library.NMailPop3GetUidl(handle, ids) != OldCount)
            return;
        library.NMailPop3Close(handle);
        ReceivedMessageIds known(folder.paths);
        if (!known.load(servers().servers->pop3Server(), kept.user()).ok())
            return;
        for (const QString& id : std::as_const(ids))
            known.add(id, QDate::currentDate(), ReceivedMessageIds::State::Stored);
        if (!known.writePending().ok() || !known.commitPending().ok())
            return;
        QFile file(known.path());
        if (!file.open(QIODevice::ReadOnly))
            return;
        knownIds = file.readAll();
        ready = true;
    }

    bool addNew()
    {
        for (int number = 1; number <= NewCount; ++number) {
            if (!servers().mailbox->deposit(generatedMessage("new", number)) || !alone->deposit(generatedMessage("new", number)))
                return false;
        }
        return true;
    }
};

Mailboxes& mailboxes()
{
    static Mailboxes filled;
    return filled;
}

// One receive of mailbox with mail kept on the server, into a program folder that knows the old
// messages when knowsOld; the fetches it made.
int receiveKept(benchmark::State& state, const TestMailbox& mailbox, bool knowsOld, int expectedStored)
{
    state.PauseTiming();
    ProgramFolder folder;
    if (knowsOld) {
        QFile ids(ReceivedMessageIds(folder.paths).path());
        if (!ids.open(QIODevice::WriteOnly) || ids.write(mailboxes().knownIds) != mailboxes().knownIds.size())
            return -1;
    }
    NMail library;
    library.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers().servers->caFile());
    CountingMail counting(library);
    SilentView view;
    CountingMessageBoxes messageBoxes;
    ReceiveSession session(folder.paths, counting, messageBoxes, [](const QString&, const QString&, const QString&) { return false; }, {}, view);
    ReceiveAccount account{servers().servers->pop3Server(), 0, mailbox.user(), mailbox.password()};
    account.KeepOnServerDays = 0;
    state.ResumeTiming();

    const ReceiveSession::Outcome outcome = session.run(account);

    state.PauseTiming();
    const bool right = outcome.storedCount == expectedStored && messageBoxes.shown == 0 && counting.listings == 1;
    state.ResumeTiming();
    return right ? counting.fetches : -1;
}

void BM_TenThousandKeptNoneNew(benchmark::State& state)
{
    if (!servers().readyFor(state))
        return;
    if (!mailboxes().ready) {
        state.SkipWithError("cannot fill the bench mailbox");
        return;
    }
    for (auto _ : state) {
        if (receiveKept(state, *servers().mailbox, true, 0) != 0) {
            state.SkipWithError("the receive fetched a message or failed");
            break;
        }
    }
}

// The 100 new messages, from the mailbox of 10,000 kept ones or from one that holds nothing else.
void receiveHundredNew(benchmark::State& state, const TestMailbox* mailbox, bool amongKept)
{
    if (!servers().readyFor(state))
        return;
    if (!mailboxes().ready || (mailboxes().alone->count() == 0 && !mailboxes().addNew())) {
        state.SkipWithError("cannot fill the bench mailbox");
        return;
    }
    for (auto _ : state) {
        if (receiveKept(state, *mailbox, amongKept, NewCount) != NewCount) {
            state.SkipWithError("the receive did not fetch exactly the new messages");
            break;
        }
    }
}

void BM_HundredNewAmongTenThousandKept(benchmark::State& state) { receiveHundredNew(state, servers().mailbox.get(), true); }

void BM_HundredNewAlone(benchmark::State& state)
{
    receiveHundredNew(state, mailboxes().alone ? &*mailboxes().alone : nullptr, false);
}

} // namespace

BENCHMARK(BM_TenThousandKeptNoneNew)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HundredNewAlone)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HundredNewAmongTenThousandKept)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double noneNew = reporter.seconds("BM_TenThousandKeptNoneNew");
    if (noneNew > 0)
        std::printf("10,000 kept, none new: one UIDL, no RETR, %.0f ms (target <= 1000 ms: %s)\n", noneNew * 1e3,
            noneNew <= 1.0 ? "met" : "NOT met");
    reporter.printRatio("BM_HundredNewAmongTenThousandKept", "BM_HundredNewAlone", 1.2);
    benchmark::Shutdown();
    return 0;
}
