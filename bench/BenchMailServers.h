#pragma once

#include "NMail.h"
#include "TestMailServers.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <unistd.h>

// A dovecot and SMTP sink of the bench's own, started with the test suite's script in a temporary
// state folder and stopped when the bench ends, with one mailbox to fill. The sink takes the
// options given (smtp_sink.py's, such as --pipelining).
struct BenchMailServers {
    QTemporaryDir state;
    std::unique_ptr<TestMailServers> servers;
    std::unique_ptr<TestMailbox> mailbox;

    explicit BenchMailServers(const QString& mailboxName, const QStringList& sinkOptions = {})
    {
        run(QStringLiteral("start"), sinkOptions);
        servers = std::make_unique<TestMailServers>(state.path());
        if (servers->ok())
            mailbox = std::make_unique<TestMailbox>(servers->createMailbox(mailboxName));
    }
    ~BenchMailServers() { run(QStringLiteral("stop")); }
    BenchMailServers(const BenchMailServers&) = delete;
    BenchMailServers& operator=(const BenchMailServers&) = delete;

    // Whether the servers and the mailbox are there; a benchmark without them is skipped.
    bool readyFor(benchmark::State& state) const
    {
        if (!mailbox)
            state.SkipWithError("the bench's mail servers did not start");
        return mailbox != nullptr;
    }

    // Receives the mailbox's expectedCount messages through the mail library alone, as a receive
    // session asks for them (the plan, then status, size, fetch and decode of each, the deletions,
    // then QUIT), keeping nothing.
    // Why it failed, or nullptr when every step went.
    const char* fetchDecodeDeleteAll(int expectedCount) const
    {
        NMail library;
        return fetchDecodeDeleteAll(expectedCount, library);
    }

    // The same through library, a mail library of the caller's or one that wraps it.
    const char* fetchDecodeDeleteAll(int expectedCount, NMailApi& library) const
    {
        library.NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers->caFile());
        const int handle = library.NMailPop3Connect(servers->pop3Server());
        const int count = library.NMailPop3Authenticate(handle, mailbox->user(), mailbox->password(), 0);
        if (count != expectedCount)
            return "login or count failed";
        QString subject, date, from, header, body;
        QList<int> numbers;
        for (int number = 1; number <= count; ++number)
            numbers << number;
        library.NMailPop3PlanFetches(handle, numbers);
        for (const int number : numbers) {
            library.NMailPop3GetMailStatus(handle, number, subject, date, from, header, 0);
            body = QString(library.NMailPop3GetMailSize(handle, number) + 1, u' ');
            library.NMailPop3GetMail(handle, number, subject, date, from, header, body, 0, 0);
            benchmark::DoNotOptimize(body);
        }
        QStringList refusals;
        if (library.NMailPop3DeleteMails(handle, numbers, refusals) != count || library.NMailPop3Close(handle) != 0
            || mailbox->count() != 0)
            return "the messages were not deleted";
        return nullptr;
    }

    // The processor time, in seconds, that the bench's POP3 server has used since it started: its
    // master and every process the master started, those still there and those it has reaped. The
    // server's share of a receive, next to the receiving process's own CPU time: on two cores the
    // two together bound the wall time from below.
    double dovecotCpuSeconds() const
    {
        QFile pidFile(servers->runtimeDirectory() + QStringLiteral("/dovecot/dovecot.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return 0;
        const qint64 master = pidFile.readAll().trimmed().toLongLong();
        long long ticks = 0;
        // /proc/PID/stat after the name in parentheses: state, ppid, ... utime (14), stime, cutime, cstime.
        const auto fields = [](qint64 pid) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            return line.mid(line.lastIndexOf(')') + 2).split(' ');
        };
        const auto sum = [](const QList<QByteArray>& stat) {
            return stat.size() > 14 ? stat[11].toLongLong() + stat[12].toLongLong() + stat[13].toLongLong() + stat[14].toLongLong() : 0LL;
        };
        ticks += sum(fields(master));
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool isPid = false;
            const qint64 pid = entry.toLongLong(&isPid);
            if (!isPid || pid == master)
                continue;
            const QList<QByteArray> stat = fields(pid);
            if (stat.size() > 1 && stat[1].toLongLong() == master)
                ticks += sum(stat);
        }
        return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

private:
    void run(const QString& command, const QStringList& options = {})
    {
        QProcess script;
        script.start(QStringLiteral("bash"), QStringList{QStringLiteral(NEMUROA_MAIL_SERVERS_SCRIPT), command, state.path()} + options);
        script.waitForFinished(60000);
    }
};
