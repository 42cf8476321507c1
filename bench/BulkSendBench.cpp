// A bulk send of 200 messages, each with a 100 KB attachment, to the SMTP sink of the bench's own
// (STARTTLS and AUTH on loopback, offering PIPELINING and CHUNKING as providers' servers do): the
// program's path (sent record written and flushed, then the mail library builds and sends the
// message) against the floor of one curl process per message uploading a message built
// beforehand. Both also run through a relay that delays each direction by 15 ms (a provider 30 ms
// away; NEMUROA_RELAY_DELAY_MS sets another delay each way). Prints the ratios they are judged by:
// on loopback the bulk send against curl (target: at most 1.5); through the relay the bulk send
// against the same without the relay plus one round trip per message, times 1.2 (target: at most
// 1), and against curl through the relay (target: faster).
#include "BenchMailServers.h"
#include "BenchRelay.h"
#include "FolderFiles.h"
#include "NMail.h"
#include "RatioReporter.h"
#include "SendRun.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int MessageCount = 200;
constexpr int AttachmentBytes = 100 * 1024;

// Base64 in lines of 76 characters, as SMTP's line limit needs.
QByteArray base64Lines(const QByteArray& bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    for (qsizetype start = 0; start < encoded.size(); start += 76)
        lines += encoded.mid(start, 76) + "\r\n";
    return lines;
}

BenchMailServers& servers()
{
    static BenchMailServers started(QStringLiteral("bulk"), {QStringLiteral("--pipelining"), QStringLiteral("--chunking")});
    return started;
}

struct Files {
    QTemporaryDir folder;
    QString attachment;
    QString builtMessage;

    Files()
    {
        QDir(folder.path()).mkdir(ProgramPaths::dataFolderName());
        QByteArray bytes(AttachmentBytes, '\0');
        for (int i = 0; i < AttachmentBytes; ++i)
            bytes[i] = static_cast<char>((i * 31) ^ (i >> 7));
        attachment = folder.filePath(QStringLiteral("資料.bin"));
        write(attachment, bytes);
        // What curl uploads: the same text and attachment as a finished MIME message.
        const QByteArray message = "From: me@localhost\r\nTo: bulk@localhost\r\nSubject: =?UTF-8?B?"
            + QStringLiteral("【ご案内】新製品発表会のお知らせ").toUtf8().toBase64()
            + "?=\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
              "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64Lines(body().toUtf8()) + "--b\r\nContent-Type: application/octet-stream\r\n"
              "Content-Disposition: attachment; filename=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
            + base64Lines(bytes) + "--b--\r\n";
        builtMessage = folder.filePath(QStringLiteral("message.eml"));
        write(builtMessage, message);
    }
    static QString body()
    {
        QString text;
        for (int line = 0; line < 30; ++line)
            text += QStringLiteral("新製品の発表会を下記のとおり開催いたします。第%1項をご確認ください。\r\n").arg(line);
        return text;
    }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
};

Files& files()
{
    static Files made;
    return made;
}

class QuietView final : public SendRunView {
public:
    void showProgress(int, int) override {}
    void reportSendFailure(const QString&) override { ++failures; }
    void reportHistoryFailure(const QString&) override { ++failures; }
    void reportUnconfirmed(const QString&) override { ++failures; }
    void reportRefusedRecipient(const QString&) override { ++failures; }
    void reportHistoryReplacement(const QString&) override {}
    int failures = 0;
};

// One curl process per message, each connecting to the SMTP port anew.
void curlUploadPerMessage(benchmark::State& state, int port)
{
    const TestMailServers& mail = *servers().servers;
    const TestMailbox& box = *servers().mailbox;
    const QStringList arguments = {QStringLiteral("-sS"), QStringLiteral("--ssl-reqd"), QStringLiteral("--cacert"), mail.caFile(),
        QStringLiteral("-u"), box.user() + u':' + box.password(), QStringLiteral("--mail-from"), QStringLiteral("me@localhost"),
        QStringLiteral("--mail-rcpt"), box.address(), QStringLiteral("--upload-file"), files().builtMessage,
        QStringLiteral("smtp://127.0.0.1:%1").arg(port)};
    for (auto _ : state) {
        state.PauseTiming();
        box.clear();
        state.ResumeTiming();
        for (int number = 0; number < MessageCount; ++number) {
            QProcess curl;
            curl.start(QStringLiteral("curl"), arguments);
            if (!curl.waitForFinished(60000) || curl.exitCode() != 0) {
                std::fprintf(stderr, "curl: %s\n", curl.readAllStandardError().constData());
                state.SkipWithError("curl failed");
                return;
            }
        }
    }
    if (box.count() != MessageCount)
        state.SkipWithError("the sink did not deliver every message");
    state.SetItemsProcessed(state.iterations() * MessageCount);
}

// The program's bulk send to the server named as a user types it.
void bulkSend(benchmark::State& state, const QString& server)
{
    const TestMailServers& mail = *servers().servers;
    const TestMailbox& box = *servers().mailbox;
    const ProgramPaths paths(files().folder.path());
    const QStringList recipients(MessageCount, box.address());
    const OutgoingMail boxes{box.address(), QStringLiteral("【ご案内】新製品発表会のお知らせ"), Files::body(), files().attachment};
    for (auto _ : state) {
        state.PauseTiming();
        box.clear();
        QFile::remove(FolderFiles::FolderFilePath(paths, FolderFiles::SentHistory));
        state.ResumeTiming();
        NMail library;
        library.NMailSetOptionText(NMailApi::OptionTrustedCaFile, mail.caFile());
        MailSender sender(library, {server, QStringLiteral("me@localhost"), box.user(), box.password()});
        QuietView view;
        SendRun run(SentHistory(paths), sender, [] { return QStringLiteral("2026/12/07 12:00:00"); }, view);
        const SendRun::Outcome outcome = run.run(recipients, boxes);
        if (outcome.sent != MessageCount || view.failures != 0) {
            state.SkipWithError("a message was not sent");
            return;
        }
    }
    if (box.count() != MessageCount)
        state.SkipWithError("the sink did not deliver every message");
    state.SetItemsProcessed(state.iterations() * MessageCount);
}

void BM_CurlUploadPerMessage(benchmark::State& state)
{
    if (servers().readyFor(state))
        curlUploadPerMessage(state, servers().servers->smtpPort());
}

void BM_BulkSend(benchmark::State& state)
{
    if (servers().readyFor(state))
        bulkSend(state, servers().servers->smtpServer());
}

// The relay to the sink's SMTP port, for a benchmark that runs through it; nothing (and the
// benchmark skipped) when the servers or the relay are not there.
std::unique_ptr<DelayRelay> relayToSink(benchmark::State& state)
{
    return servers().readyFor(state) ? startBenchRelay(state, servers().servers->smtpPort()) : nullptr;
}

void BM_CurlUploadPerMessageThroughRelay(benchmark::State& state)
{
    if (const auto relay = relayToSink(state))
        curlUploadPerMessage(state, relay->port());
}

void BM_BulkSendThroughRelay(benchmark::State& state)
{
    if (const auto relay = relayToSink(state))
        bulkSend(state, relay->serverName());
}

} // namespace

BENCHMARK(BM_CurlUploadPerMessage)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BulkSend)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BulkSendThroughRelay)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
// A minute a run at 30 ms, nearly all of it the link's waiting, which one run shows.
BENCHMARK(BM_CurlUploadPerMessageThroughRelay)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool met = true;
    const auto judge = [&met](double ratio, double target) {
        if (ratio > 0)
            met = met && ratio <= target;
    };
    judge(reporter.printRatio("BM_BulkSend", "BM_CurlUploadPerMessage", 1.5), 1.5);
    const double relayed = reporter.seconds("BM_BulkSendThroughRelay");
    if (relayed > 0)
        printBenchRelay();
    if (relayed > 0 && reporter.seconds("BM_BulkSend") > 0) {
        // The link's latency may cost one round trip per message, and a fifth on top of it all.
        const double allowed = (reporter.seconds("BM_BulkSend") + MessageCount * benchRelayRoundTripSeconds()) * 1.2;
        const double ratio = relayed / allowed;
        std::printf("ratio BM_BulkSendThroughRelay / ((BM_BulkSend + %d round trips) x 1.2) = %.2f (%.1f ms / %.1f ms, "
                    "target <= 1.0: %s)\n",
            MessageCount, ratio, relayed * 1e3, allowed * 1e3, ratio <= 1.0 ? "met" : "NOT met");
        judge(ratio, 1.0);
    }
    judge(reporter.printRatio("BM_BulkSendThroughRelay", "BM_CurlUploadPerMessageThroughRelay", 1.0), 1.0);
    benchmark::Shutdown();
    return met ? 0 : 1;
}
