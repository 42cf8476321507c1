// Searching all mail: N stored messages (NEMUROA_SEARCH_BENCH_MESSAGES, 100,000 by default, about
// 3.2 GB of records) spread over the ten folders and the sent history, written below
// NEMUROA_SEARCH_BENCH_DIR (/dev/shm by default) and removed at the end. Measures, in one run:
// building the index (time and size against the records'), the query time (median and 95th
// percentile) of one-, two- and three-character and two-word Japanese queries and of an ASCII
// word, the same queries by reading the store files (the floor without an index) and by grep -c
// over the record files, and the time the index adds to 1,000 received messages.

#include "Cp932Codec.h"
#include "FolderFiles.h"
#include "MailScan.h"
#include "RecordLayouts.h"
#include "SearchFolding.h"
#include "SearchIndex.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

int messageCount()
{
    const char* wanted = std::getenv("NEMUROA_SEARCH_BENCH_MESSAGES");
    return wanted ? std::max(11, std::atoi(wanted)) : 100000;
}

QString benchDirectory()
{
    const char* wanted = std::getenv("NEMUROA_SEARCH_BENCH_DIR");
    const QString base = wanted ? QString::fromLocal8Bit(wanted) : QStringLiteral("/dev/shm");
    return base + QStringLiteral("/nemuroa-search-bench-%1").arg(QCoreApplication::applicationPid());
}

// ---- Mail that reads like a Japanese business mailbox ----

class MailWriter {
public:
    MailWriter() : random_(20261208)
    {
        const QStringList common = QStringLiteral(
            "お世話 になって おります 。 の件 について ご確認 ください 。 よろしく お願い いたします 倉庫 納品 請求 "
            "見積書 打合せ 会議 資料 株式会社 担当 ご連絡 本日 明日 来週 予定 変更 在庫 出荷 入荷 発注 受注 請求書 納品書 "
            "契約 案件 進捗 報告 確認 対応 お客様 営業部 総務部 経理 支払 振込 期限 送付 添付 ファイル 修正 版 最新 "
            "東京 大阪 名古屋 福岡 札幌 横浜 京都 神戸 春 夏 秋 冬 年度 月末 締め 集計 売上 予算 実績 計画 目標 課題 "
            "検討 提案 承認 申請 手続き 書類 印鑑 郵送 宅配 配送 物流 センター 棚卸し 品番 数量 単価 金額 合計 税込 "
            "ミーティング スケジュール プロジェクト システム サーバー メール アドレス パスワード データ バックアップ "
            "meeting invoice project schedule report update server backup review deadline")
                                      .split(u' ');
        words_ = common;
        const QString kanji = QStringLiteral("山川田中村木林森本石井上下大小高橋藤原松竹梅野口西東南北新古長谷部岡島崎宮");
        for (QChar a : kanji)
            for (QChar b : kanji)
                words_.append(QString(a) + b);
        const QString kana = QStringLiteral("アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン");
        std::uniform_int_distribution<int> letter(0, static_cast<int>(kana.size()) - 1);
        std::uniform_int_distribution<int> length(2, 5);
        for (int i = 0; i < 1500; ++i) {
            QString word;
            for (int n = length(random_); n > 0; --n)
                word += kana[letter(random_)];
            words_.append(word);
        }
        // Zipf-like: the n-th word about 1/n as often as the first.
        std::vector<double> weights;
        for (qsizetype i = 0; i < words_.size(); ++i)
            weights.push_back(1.0 / static_cast<double>(i + 1));
        pick_ = std::discrete_distribution<int>(weights.begin(), weights.end());
    }

    QString sentence(int words)
    {
        QString text;
        for (int i = 0; i < words; ++i)
            text += words_[pick_(random_)];
        return text + QStringLiteral("。");
    }

    std::string record(int folder)
    {
        const bool sent = folder == FolderFiles::SentHistory;
        const RecordLayout& layout = sent ? RecordLayouts::Sent : RecordLayouts::Message;
        std::string bytes(static_cast<std::size_t>(layout.length), ' ');
        std::uniform_int_distribution<int> sentences(15, 45);
        std::uniform_int_distribution<int> length(4, 12);
        QString body;
        for (int n = sentences(random_); n > 0; --n)
            body += sentence(length(random_)) + (n % 4 == 0 ? QStringLiteral("\r\n") : QString());
        std::uniform_int_distribution<int> day(1, 28);
        std::uniform_int_distribution<int> month(0, 11);
        std::uniform_int_distribution<int> person(1, 500);
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        const int m = month(random_);
        const int d = day(random_);
        const QString party = QStringLiteral("user%1@example%2.co.jp").arg(person(random_)).arg(person(random_) % 20);
        const QString date = sent ? QStringLiteral("2026/%1/%2 10:%3:00").arg(m + 1, 2, 10, QChar(u'0')).arg(d, 2, 10, QChar(u'0')).arg(d + 10)
                                  : QStringLiteral("%1 %2 2026 10:%3:00 +0900").arg(d).arg(QString::fromLatin1(months[m])).arg(d + 10);
        const auto put = [&](const FieldSpec& field, const QString& text) {
            const std::string encoded = Cp932Codec::encode(text);
            const std::size_t length = Cp932Codec::wholeCharacterPrefix(encoded, static_cast<std::size_t>(field.width));
            bytes.replace(static_cast<std::size_t>(field.offset), length, encoded, 0, length);
        };
        using RecordLayouts::MessageField;
        using RecordLayouts::SentField;
        const QString subject = sentence(length(random_) / 2);
        characters += subject.size() + party.size() + date.size() + body.size();
        put(sent ? layout[SentField::Subject] : layout[MessageField::Subject], subject);
        put(sent ? layout[SentField::To] : layout[MessageField::From], party);
        put(sent ? layout[SentField::SentAt] : layout[MessageField::Date], date);
        put(sent ? layout[SentField::Body] : layout[MessageField::Body], body);
        for (const FieldSpec& field : layout.fields) {
            if (field.kind == FieldKind::LineEnd)
                bytes.replace(static_cast<std::size_t>(field.offset), 2, "\r\n");
            else if (field.kind == FieldKind::Zeros)
                bytes.replace(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width), static_cast<std::size_t>(field.width), '\0');
            else if (field.kind == FieldKind::Live)
                bytes.replace(static_cast<std::size_t>(field.offset), 2, std::string("\x01\x00", 2));
        }
        return bytes;
    }

    // Characters of subject, sender or recipient, date and body written so far.
    qint64 characters = 0;

private:
    std::mt19937 random_;
    QStringList words_;
    std::discrete_distribution<int> pick_;
};

struct Bench {
    QString directory;
    std::unique_ptr<ProgramPaths> paths;
    std::unique_ptr<SearchIndex> index;
    MailWriter writer;
    qint64 recordBytes = 0;
    double buildSeconds = 0;
    qint64 indexBytes = 0;
    std::map<std::string, std::vector<double>> samples; // milliseconds per query
    std::map<std::string, double> counts;
    double storeSeconds = 0;
    double storeAndIndexSeconds = 0;
    double storeAndFollowSeconds = 0;
    int disagreements = 0;
};
std::unique_ptr<Bench> bench;

const std::map<std::string, QStringList> queries{
    {"1 character", {QStringLiteral("倉"), QStringLiteral("請"), QStringLiteral("梅"), QStringLiteral("ヌ"), QStringLiteral("締")}},
    {"2 characters", {QStringLiteral("倉庫"), QStringLiteral("請求"), QStringLiteral("松竹"), QStringLiteral("ヌネ"), QStringLiteral("物流")}},
    {"3 characters", {QStringLiteral("見積書"), QStringLiteral("株式会"), QStringLiteral("藤原松"), QStringLiteral("スケジ"), QStringLiteral("棚卸し")}},
    {"two words", {QStringLiteral("倉庫 納品"), QStringLiteral("請求 東京"), QStringLiteral("会議 資料"), QStringLiteral("松竹 物流"), QStringLiteral("予算 ヌネ")}},
    {"ASCII word", {QStringLiteral("meeting"), QStringLiteral("invoice"), QStringLiteral("backup"), QStringLiteral("deadline"), QStringLiteral("REVIEW")}},
};

void writeMail()
{
    const int total = messageCount();
    QDir().mkpath(bench->directory + QStringLiteral("/★MAilData"));
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
        QFile file(FolderFiles::FolderFilePath(*bench->paths, folder));
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        const int messages = total / 11 + (folder <= total % 11 ? 1 : 0);
        for (int i = 0; i < messages; ++i) {
            const std::string record = bench->writer.record(folder);
            file.write(record.data(), static_cast<qint64>(record.size()));
        }
        bench->recordBytes += file.size();
    }
}

double milliseconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

void IndexBuild(benchmark::State& state)
{
    for (auto _ : state) {
        QFile::remove(bench->paths->dataFile(SearchIndex::fileName()));
        bench->index = std::make_unique<SearchIndex>(bench->paths->dataFile(SearchIndex::fileName()));
        QElapsedTimer timer;
        timer.start();
        if (!bench->index->open().ok())
            state.SkipWithError("the index does not open");
        for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
            if (!bench->index->catchUp(*bench->paths, folder).ok())
                state.SkipWithError("the index is not built");
        }
        bench->buildSeconds = milliseconds(timer) / 1000;
    }
    // Closed and opened again, as the next start finds it.
    bench->index = std::make_unique<SearchIndex>(bench->paths->dataFile(SearchIndex::fileName()));
    (void)bench->index->open();
    const QString indexPath = bench->paths->dataFile(SearchIndex::fileName());
    bench->indexBytes = QFileInfo(indexPath).size() + QFileInfo(indexPath + QStringLiteral("-wal")).size();
}

void IndexQuery(benchmark::State& state, const std::string& kind)
{
    const QStringList& list = queries.at(kind);
    int next = 0;
    for (auto _ : state) {
        const QString& query = list[next++ % list.size()];
        QElapsedTimer timer;
        timer.start();
        const auto result = bench->index->search(SearchFolding::queryWords(query), 1000);
        bench->samples["index " + kind].push_back(milliseconds(timer));
        if (!result.ok())
            state.SkipWithError("the search failed");
        else
            bench->counts["index " + kind] += result.value().count;
    }
}

void ScanQuery(benchmark::State& state, const std::string& kind)
{
    const QStringList& list = queries.at(kind);
    int next = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto result = MailScan::search(*bench->paths, SearchFolding::queryWords(list[next++ % list.size()]), 1000);
        bench->samples["scan " + kind].push_back(milliseconds(timer));
        if (result.ok())
            bench->counts["scan " + kind] += result.value().count;
        // The index must find exactly what reading the files finds.
        const auto indexed = bench->index->search(SearchFolding::queryWords(list[(next - 1) % list.size()]), 1000);
        if (!result.ok() || !indexed.ok() || indexed.value().count != result.value().count)
            ++bench->disagreements;
    }
}

void GrepCount(benchmark::State& state, const std::string& kind)
{
    const QStringList& list = queries.at(kind);
    int next = 0;
    QStringList files;
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder)
        files.append(FolderFiles::FolderFilePath(*bench->paths, folder));
    for (auto _ : state) {
        // The bytes as stored: grep knows neither widths nor cases, and only the first word.
        const std::string bytes = Cp932Codec::encode(list[next++ % list.size()].split(u' ').first());
        QProcess grep;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        grep.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        grep.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c"), QStringLiteral("-F"), QStringLiteral("-a"), QStringLiteral("-e"),
            QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))} + files);
        grep.waitForFinished(-1);
        bench->samples["grep -c " + kind].push_back(milliseconds(timer));
    }
}

// 1,000 received messages stored as the receive stores them, against the same followed by the index:
// once after the last message, or after every message with every folder checked, as the index's
// thread does when it keeps pace with a receive.
enum class Following { None, AtTheEnd, EveryMessage };

void Receive1000(benchmark::State& state, Following following)
{
    for (auto _ : state) {
        std::vector<MessageFields> messages;
        for (int i = 0; i < 1000; ++i)
            messages.push_back({bench->writer.sentence(5), QStringLiteral("new%1@example.jp").arg(i),
                QStringLiteral("9 Dec 2026 10:00:00 +0900"), bench->writer.sentence(300)});
        const RecordFile file = FolderFiles::folderFile(*bench->paths, FolderFiles::OthersFolder);
        QElapsedTimer timer;
        timer.start();
        for (const MessageFields& message : messages) {
            if (!StoreMessage(*bench->paths, FolderFiles::OthersFolder, file.nextRecordNumber().value(), message).ok())
                state.SkipWithError("the store failed");
            for (int folder = FolderFiles::FirstFolder; following == Following::EveryMessage && folder <= FolderFiles::SentHistory; ++folder) {
                if (!bench->index->recordsToIndex(*bench->paths, folder).ok() || !bench->index->catchUp(*bench->paths, folder).ok())
                    state.SkipWithError("the index did not follow");
            }
        }
        if (following == Following::AtTheEnd && !bench->index->catchUp(*bench->paths, FolderFiles::OthersFolder).ok())
            state.SkipWithError("the index did not follow");
        const double seconds = milliseconds(timer) / 1000;
        (following == Following::None ? bench->storeSeconds : following == Following::AtTheEnd ? bench->storeAndIndexSeconds
                                                                                               : bench->storeAndFollowSeconds) = seconds;
    }
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

void printFigures()
{
    std::printf("\n==== Search all mail: %d messages, %.2f GB of records ====\n", messageCount(), static_cast<double>(bench->recordBytes) / 1e9);
    std::printf("index build: %.1f s; index size %.1f MB = %.3f of the records' size (goal at most 0.333)\n",
        bench->buildSeconds, static_cast<double>(bench->indexBytes) / 1e6,
        static_cast<double>(bench->indexBytes) / static_cast<double>(bench->recordBytes));
    const qint64 characters = bench->writer.characters;
    std::printf("searchable text: %.0f characters a message on average; the index holds %.1f bytes a character\n",
        static_cast<double>(characters) / messageCount(), static_cast<double>(bench->indexBytes) / static_cast<double>(characters));
    std::printf("%-26s %10s %10s %8s %12s\n", "query time (ms)", "median", "p95", "samples", "found (mean)");
    for (const auto& [name, values] : bench->samples) {
        const auto count = bench->counts.find(name);
        std::printf("%-26s %10.2f %10.2f %8zu %12.0f\n", name.c_str(), percentile(values, 0.5), percentile(values, 0.95),
            values.size(), count == bench->counts.end() ? 0.0 : count->second / static_cast<double>(values.size()));
    }
    double worst = 0;
    for (const auto& [name, values] : bench->samples) {
        if (name.rfind("index ", 0) == 0)
            worst = std::max(worst, percentile(values, 0.95));
    }
    std::printf("worst index p95: %.2f ms (goal at most 50 ms)\n", worst);
    std::printf("queries whose count by the index differs from the scan's: %d\n", bench->disagreements);
    std::printf("1,000 received messages (bodies of about 300 words): stored %.3f s; indexed at the end +%.3f s (%.2f ms a message);"
                " followed after every message +%.3f s (%.2f ms a message), on the index's own thread\n",
        bench->storeSeconds, bench->storeAndIndexSeconds - bench->storeSeconds, bench->storeAndIndexSeconds - bench->storeSeconds,
        bench->storeAndFollowSeconds - bench->storeSeconds, bench->storeAndFollowSeconds - bench->storeSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench = std::make_unique<Bench>();
    bench->directory = benchDirectory();
    bench->paths = std::make_unique<ProgramPaths>(bench->directory);
    QElapsedTimer writing;
    writing.start();
    writeMail();
    std::printf("wrote %d messages in %.1f s to %s\n", messageCount(), milliseconds(writing) / 1000, qPrintable(bench->directory));

    benchmark::RegisterBenchmark("IndexBuild", IndexBuild)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
    for (const auto& [kind, list] : queries)
        benchmark::RegisterBenchmark(("IndexQuery/" + kind).c_str(), IndexQuery, kind)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();
    const int scans = messageCount() > 20000 ? 2 : 5;
    for (const auto& [kind, list] : queries) {
        benchmark::RegisterBenchmark(("ScanQuery/" + kind).c_str(), ScanQuery, kind)->Iterations(scans)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("GrepCount/" + kind).c_str(), GrepCount, kind)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::RegisterBenchmark("Receive1000/plain", Receive1000, Following::None)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
    benchmark::RegisterBenchmark("Receive1000/indexed at the end", Receive1000, Following::AtTheEnd)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
    benchmark::RegisterBenchmark("Receive1000/followed per message", Receive1000, Following::EveryMessage)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    printFigures();
    bench->index.reset();
    QDir(bench->directory).removeRecursively();
    bench.reset();
    benchmark::Shutdown();
    return 0;
}
