// Receiving 1000 messages the way a receive session does (status, size, fetch and decode, delete,
// then QUIT) from a dovecot of the bench's own on loopback, against the floor of fetching the same
// 1000 messages with the curl command line alone over the same STARTTLS connection. Prints the
// messages per second of both and their ratio.

#include "BenchMailServers.h"

#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int MessageCount = 1000;

BenchMailServers& servers()
{
    static BenchMailServers started(QStringLiteral("bench"));
    return started;
}

// Japanese mail as it arrives: an encoded-word subject and sender, a base64 UTF-8 body, and a
// file attached to every tenth message.
std::string generatedMessage(int number)
{
    const QByteArray subject = QStringLiteral("【お知らせ】第%1号 ①㈱～ 定例会議の議事録").arg(number).toUtf8().toBase64();
    const QByteArray sender = QStringLiteral("山田太郎").toUtf8().toBase64();
    QString text;
    for (int line = 0; line < 30; ++line)
        text += QStringLiteral("本日の会議では、来期の計画について%1件の議題を話し合いました。\r\n").arg(line);
    const std::string body = text.toUtf8().toBase64().toStdString();
    std::string message = "From: =?UTF-8?B?" + sender.toStdString() + "?= <taro@example.jp>\n"
        "To: bench@localhost\nSubject: =?UTF-8?B?" + subject.toStdString() + "?=\n"
        "Date: Mon, 1 Apr 2024 09:00:00 +0900\nMessage-ID: <" + std::to_string(number) + "@example.jp>\nMIME-Version: 1.0\n";
    if (number % 10 == 0) {
        message += "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
                   "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" + body
            + "\n--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; filename=\"data.bin\"\n"
              "Content-Transfer-Encoding: base64\n\n" + QByteArray(20000, 'x').toBase64().toStdString() + "\n--b--\n";
    } else {
        message += "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" + body + "\n";
    }
    return message;
}

void fillMailbox(benchmark::State& state)
{
    const TestMailbox& mailbox = *servers().mailbox;
    mailbox.clear();
    for (int number = 1; number <= MessageCount; ++number) {
        if (!mailbox.deposit(generatedMessage(number)))
            state.SkipWithError("cannot deposit into the bench mailbox");
    }
}

void BM_CurlFetchFloor(benchmark::State& state)
{
    if (!servers().readyFor(state))
        return;
    const TestMailServers& mail = *servers().servers;
    fillMailbox(state);
    const QStringList arguments = {QStringLiteral("-s"), QStringLiteral("--ssl-reqd"), QStringLiteral("--cacert"), mail.caFile(),
        QStringLiteral("-u"), servers().mailbox->user() + u':' + servers().mailbox->password(),
        QStringLiteral("pop3://127.0.0.1:%1/[1-%2]").arg(mail.pop3Port()).arg(MessageCount), QStringLiteral("-o"),
        QStringLiteral("/dev/null")};
    for (auto _ : state) {
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments);
        if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
            state.SkipWithError("curl failed");
    }
    state.SetItemsProcessed(state.iterations() * MessageCount);
}

void BM_NMailFetchDecodeDelete(benchmark::State& state)
{
    if (!servers().readyFor(state))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        fillMailbox(state);
        state.ResumeTiming();
        if (const char* failure = servers().fetchDecodeDeleteAll(MessageCount)) {
            state.SkipWithError(failure);
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * MessageCount);
}

} // namespace

BENCHMARK(BM_CurlFetchFloor)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NMailFetchDecodeDelete)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double curlRate = reporter.perSecond("BM_CurlFetchFloor", MessageCount);
    const double nmailRate = reporter.perSecond("BM_NMailFetchDecodeDelete", MessageCount);
    if (curlRate > 0 && nmailRate > 0)
        std::printf("NMail status+size+fetch+decode+delete: %.0f msg/s; curl fetch alone: %.0f msg/s; NMail/curl = %.2f\n",
            nmailRate, curlRate, nmailRate / curlRate);
    benchmark::Shutdown();
    return 0;
}
