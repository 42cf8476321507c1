// Importing an mbox of Japanese messages (every tenth with a 100 KB attachment) into a program
// folder with ten sort rules, against receiving the same messages from a dovecot of the bench's own
// on loopback with the same folder: both decode, extract the attachments, sort and durably store
// every message. Prints the import's rate against the receive's (goal: at least 1), and the
// import's peak memory at the full size and at a quarter of it (goal: at most 100 MB, the same at
// both sizes: the mbox is streamed, never read whole). The size is NEMUROA_IMPORT_BENCH_MESSAGES
// (default 10,000 messages, an mbox of about 160 MB).

#include "BenchMailServers.h"
#include "MailImport.h"
#include "NMail.h"
#include "ReceiveSession.h"
#include "SortRuleBook.h"

#include "RatioReporter.h"
#include "SilentReceiveSeams.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <cstdio>
#include <string>

namespace {

int messageCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("NEMUROA_IMPORT_BENCH_MESSAGES", &ok);
    return ok && count > 0 ? count : 10000;
}

BenchMailServers& servers()
{
    static BenchMailServers started(QStringLiteral("import_bench"));
    return started;
}

std::string base64Lines(const QByteArray& bytes)
{
    const QByteArray encoded = bytes.toBase64();
    std::string lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76).toStdString() + "\n";
    return lines;
}

// Senders cycle through the nine rule addresses and a stranger; the dates run forward.
std::string generatedMessage(int number)
{
    const QString subject = QStringLiteral("【お知らせ】第%1号 ①㈱～ 定例会議の議事録").arg(number);
    const int rule = number % 10;
    const std::string address = rule == 0 ? "stranger@example.com" : "sender" + std::to_string(rule) + "@example.jp";
    QString text;
    for (int line = 0; line < 30; ++line)
        text += QStringLiteral("本日の会議では、来期の計画について%1件の議題を話し合いました。\r\n").arg(line);
    const QDateTime date = QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone(9 * 3600)).addSecs(number * 60LL);
    std::string message = "From: " + address + "\nTo: bench@localhost\nSubject: =?UTF-8?B?" + subject.toUtf8().toBase64().toStdString()
        + "?=\nDate: " + date.toString(Qt::RFC2822Date).toStdString() + "\nMessage-ID: <" + std::to_string(number)
        + "@example.jp>\nMIME-Version: 1.0\n";
    if (number % 10 == 5) {
        message += "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain; charset=utf-8\n"
                   "Content-Transfer-Encoding: base64\n\n"
            + base64Lines(text.toUtf8()) + "--b\nContent-Type: application/octet-stream\n"
            + "Content-Disposition: attachment; filename=\"report" + std::to_string(number) + ".bin\"\n"
            + "Content-Transfer-Encoding: base64\n\n" + base64Lines(QByteArray(100 * 1024, 'x')) + "--b--\n";
    } else {
        message += "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" + base64Lines(text.toUtf8());
    }
    return message;
}

// The mbox written message by message, as a desktop program leaves it.
bool writeMbox(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int number = 1; number <= count; ++number) {
        const std::string message = "From - Wed Jan  1 00:00:00 2020\n" + generatedMessage(number) + "\n";
        if (file.write(message.data(), static_cast<qint64>(message.size())) != static_cast<qint64>(message.size()))
            return false;
    }
    return file.flush();
}

bool fillMailbox(int count)
{
    const TestMailbox& mailbox = *servers().mailbox;
    mailbox.clear();
    for (int number = 1; number <= count; ++number) {
        if (!mailbox.deposit(generatedMessage(number)))
            return false;
    }
    return true;
}

struct ProgramFolder {
    QTemporaryDir root;
    ProgramPaths paths{root.path()};
    std::array<QString, 9> addresses;

    ProgramFolder()
    {
        for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ")})
            QDir(root.path()).mkdir(folder);
        const SortRuleBook rules(paths);
        for (int number = 1; number <= 10; ++number) {
            SortRule rule;
            rule.Name = QStringLiteral("担当者%1").arg(number);
            rule.RuleAddress = number < 10 ? QStringLiteral("sender%1@example.jp").arg(number) : QString();
            (void)rules.append(rule);
            if (number < 10)
                addresses[static_cast<std::size_t>(number - 1)] = rule.RuleAddress;
        }
    }
};

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// count messages from one mbox; peak_MB is the import's own peak.
void importMbox(benchmark::State& state, int count)
{
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir sources;
        const QString mbox = sources.path() + QStringLiteral("/Inbox");
        if (!writeMbox(mbox, count)) {
            state.SkipWithError("cannot write the mbox");
            break;
        }
        ProgramFolder folder;
        NMail library;
        resetPeak();
        state.ResumeTiming();

        MailImport import(folder.paths, library, folder.addresses, QString());
        const MailImport::Summary summary = import.run({mbox});

        state.PauseTiming();
        peak = std::max(peak, peakMegabytes());
        if (summary.stored() != count || !summary.succeeded()) {
            state.SkipWithError("the import did not store every message");
            break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["peak_MB"] = peak;
}

void BM_ImportMbox(benchmark::State& state) { importMbox(state, messageCount()); }
void BM_ImportQuarterMbox(benchmark::State& state) { importMbox(state, std::max(1, messageCount() / 4)); }

// The same messages received from the bench's dovecot on loopback, with nothing dropped as spam.
void BM_ReceiveSameMessages(benchmark::State& state)
{
    if (!servers().readyFor(state))
        return;
    const int count = messageCount();
    const TestMailServers& mail = *servers().servers;
    for (auto _ : state) {
        state.PauseTiming();
        ProgramFolder folder;
        if (!fillMailbox(count)) {
            state.SkipWithError("cannot fill the bench mailbox");
            break;
        }
        NMail library;
        library.NMailSetOptionText(NMailApi::OptionTrustedCaFile, mail.caFile());
        SilentView view;
        CountingMessageBoxes messageBoxes;
        state.ResumeTiming();

        ReceiveSession session(folder.paths, library, messageBoxes, [](const QString&, const QString&, const QString&) { return false; },
            folder.addresses, view);
        const ReceiveSession::Outcome outcome = session.run({mail.pop3Server(), 0, servers().mailbox->user(), servers().mailbox->password()});
        if (outcome.storedCount != count || messageBoxes.shown != 0) {
            state.SkipWithError("the session did not receive every message");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}

const char* verdict(bool met) { return met ? "met" : "NOT met"; }

} // namespace

BENCHMARK(BM_ImportMbox)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportQuarterMbox)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReceiveSameMessages)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const int count = messageCount();
    const double importRate = reporter.perSecond("BM_ImportMbox", count);
    const double receiveRate = reporter.perSecond("BM_ReceiveSameMessages", count);
    if (importRate > 0 && receiveRate > 0)
        std::printf("Import of an mbox of %d messages: %.0f msg/s; receiving the same messages from dovecot on loopback: %.0f msg/s; "
                    "ratio %.2f (goal at least 1: %s)\n",
            count, importRate, receiveRate, importRate / receiveRate, verdict(importRate >= receiveRate));
    const double peak = reporter.counter("BM_ImportMbox", "peak_MB");
    const double quarterPeak = reporter.counter("BM_ImportQuarterMbox", "peak_MB");
    if (peak > 0 && quarterPeak > 0)
        std::printf("Peak memory of the import: %.0f MB for %d messages, %.0f MB for %d (goal at most 100 MB at both: %s)\n", peak, count,
            quarterPeak, std::max(1, count / 4), verdict(peak <= 100 && quarterPeak <= 100));
    benchmark::Shutdown();
    return 0;
}
