// Opening a full folder (32766 records, about 1 GB) through the main window's tab handler: with a
// warm cache against a raw loop of 280-byte preads over the same file, and from a cold cache against
// the read-ahead floor (the kernel asked for every record's list bytes at once, then the same
// preads), both in one run; the peak memory that opening adds over an empty folder's; and deleting
// one record of that folder against a plain copy of the file followed by sync, both as long as the
// window is busy and until the old file's space is back. Judged by the ratios and the memory it
// prints.

#include "LargeFolderFixture.h"
#include "RatioReporter.h"
#include "ReplacedFileDescriptors.h"
#include "MailScreen.h"
#include "MainFormHarness.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QThread>
#include <QTreeView>

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int FullFolder = FolderFiles::OthersFolder;
constexpr int FullFolderTab = 16;
constexpr int EmptyFolderTab = 15;
constexpr int ListBytes = 280;

struct Setting {
    TestProgramFolder folder;
    std::unique_ptr<MainFormHarness> harness;

    MainForm& form() const { return harness->form(); }
    MailScreen& screen() const { return *qobject_cast<MailScreen*>(form().screenFrame(MainForm::Screen::Mail)); }
    QString fullFolderPath() const { return FolderFiles::FolderFilePath(folder.paths(), FullFolder); }

    // The handler's work and the list's first paint of the rows that show.
    void openTab(int tab) const
    {
        form().onTabClicked(tab);
        screen().listView()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
};

std::unique_ptr<Setting> setting;

long peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Drops the file's pages from the page cache, as after a restart; needs no privileges, since the
// pages are clean once flushed.
void makeCold(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    ::fsync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

void ColdRawPreadLoop(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        makeCold(setting->fullFolderPath());
        state.ResumeTiming();
        benchmark::DoNotOptimize(rawPreadLoop(setting->fullFolderPath(), RecordLayouts::Message.length, ListBytes));
    }
}

void ColdReadAheadFloor(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        makeCold(setting->fullFolderPath());
        state.ResumeTiming();
        benchmark::DoNotOptimize(rawPreadLoop(setting->fullFolderPath(), RecordLayouts::Message.length, ListBytes, ListBytesAdvice::AllAtOnce));
    }
}

void ColdOpenFullFolderTab(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        setting->openTab(EmptyFolderTab);
        makeCold(setting->fullFolderPath());
        state.ResumeTiming();
        setting->openTab(FullFolderTab);
        if (setting->screen().countBox()->text() != QString::number(RecordFile::Capacity))
            state.SkipWithError("the folder did not open completely");
    }
}

void RawPreadLoop(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(rawPreadLoop(setting->fullFolderPath(), RecordLayouts::Message.length, ListBytes));
}

void OpenFullFolderTab(benchmark::State& state)
{
    for (auto _ : state) {
        setting->openTab(FullFolderTab);
        if (setting->screen().countBox()->text() != QString::number(RecordFile::Capacity)
            || setting->screen().subjectBox()->text().isEmpty()
            || setting->form().pastCounter(FullFolder) != QString::number(RecordFile::Capacity))
            state.SkipWithError("the folder did not open completely");
    }
}

void PlainCopyAndSync(benchmark::State& state)
{
    const QString copyPath = setting->fullFolderPath() + QStringLiteral(".copy");
    std::string buffer(1 << 20, '\0');
    for (auto _ : state) {
        const int in = ::open(QFile::encodeName(setting->fullFolderPath()).constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(QFile::encodeName(copyPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ssize_t got = 0;
        while ((got = ::read(in, buffer.data(), buffer.size())) > 0) {
            if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got)
                state.SkipWithError("the copy failed");
        }
        ::fsync(out);
        ::close(out);
        ::close(in);
        state.PauseTiming();
        QFile::remove(copyPath);
        state.ResumeTiming();
    }
}

// "一件削除" on a middle row, answered Yes: marking, compaction and the reload of the list; with
// untilReleased, also until the old file's space has been given back.
void deleteOneRecord(benchmark::State& state, bool untilReleased)
{
    setting->openTab(FullFolderTab);
    const RecordFile file = FolderFiles::folderFile(setting->folder.paths(), FullFolder);
    const QString folderPath = QFileInfo(file.path()).absolutePath();
    QTreeView* list = setting->screen().listView();
    for (auto _ : state) {
        state.PauseTiming();
        while (holdsAReplacedFileIn(folderPath))
            QThread::msleep(1);
        const QModelIndex row = list->model()->index(RecordFile::Capacity / 2, 0);
        list->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        setting->screen().showSelectedMessage();
        state.ResumeTiming();

        setting->screen().deleteSelectedMessage();
        while (untilReleased && holdsAReplacedFileIn(folderPath))
            QThread::usleep(200);

        state.PauseTiming();
        if (file.recordCount().value() != RecordFile::Capacity - 1 || !setting->harness->messageBoxes.requests.size())
            state.SkipWithError("the record was not deleted");
        setting->harness->messageBoxes.requests.clear();
        if (!file.append(sampleRecord(RecordFile::Capacity)).ok() || !file.sync().ok())
            state.SkipWithError("the folder could not be refilled");
        state.ResumeTiming();
    }
}

void DeleteOneRecord(benchmark::State& state) { deleteOneRecord(state, false); }

void DeleteOneRecordUntilSpaceReturned(benchmark::State& state) { deleteOneRecord(state, true); }

} // namespace

BENCHMARK(RawPreadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(OpenFullFolderTab)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(ColdRawPreadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ColdReadAheadFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ColdOpenFullFolderTab)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(PlainCopyAndSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(DeleteOneRecord)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(DeleteOneRecordUntilSpaceReturned)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);

    setting = std::make_unique<Setting>();
    setting->folder.putServerSettings("POP3=pop.example\r\n");
    writeFolderFile(setting->fullFolderPath());
    setting->harness = std::make_unique<MainFormHarness>(setting->folder);
    if (!setting->harness->start()) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }

    resetPeakResident();
    setting->openTab(EmptyFolderTab);
    const long emptyPeak = peakResidentKilobytes();
    resetPeakResident();
    setting->openTab(FullFolderTab);
    const long fullPeak = peakResidentKilobytes();
    const double addedMegabytes = static_cast<double>(fullPeak - emptyPeak) / 1024.0;
    std::printf("peak memory opening the full folder: %.1f MB above an empty folder's (target < 100 MB: %s)\n",
        addedMegabytes, addedMegabytes < 100 ? "met" : "NOT met");

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("OpenFullFolderTab", "RawPreadLoop", 1.5);
    reporter.printCpuRatio("OpenFullFolderTab", "RawPreadLoop", 1.5);
    reporter.printRatio("ColdOpenFullFolderTab", "ColdReadAheadFloor", 1.5);
    reporter.printRatio("ColdOpenFullFolderTab", "ColdRawPreadLoop", 1.0);
    reporter.printRatio("DeleteOneRecord", "PlainCopyAndSync", 1.2);
    if (reporter.seconds("PlainCopyAndSync") > 0)
        std::printf("for comparison, deleting until the old file's space is back: %.2f x copy and sync\n",
            reporter.seconds("DeleteOneRecordUntilSpaceReturned") / reporter.seconds("PlainCopyAndSync"));

    setting.reset();
    benchmark::Shutdown();
    return 0;
}
