// Enumerating the list fields (subject, sender, date) of a full folder file against a raw loop of
// 280-byte preads over the same file, warm cache, in one run. Judged by the ratio it prints.

#include "FolderListing.h"
#include "LargeFolderFixture.h"
#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<LargeFolderFixture> fixture;
constexpr int ListBytes = 280;

void RawPreadLoop(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(rawPreadLoop(fixture->path(), RecordLayouts::Message.length, ListBytes));
}

void FolderListingRead(benchmark::State& state)
{
    const RecordFile file = fixture->file();
    for (auto _ : state) {
        auto listing = FolderListing::read(file);
        if (!listing.ok() || listing.value().rowCount() != RecordFile::Capacity)
            state.SkipWithError("the listing is incomplete");
        benchmark::DoNotOptimize(listing);
    }
}

// What decoding every cell up front would cost; the list decodes only the rows it draws.
void FolderListingReadAndDecodeAll(benchmark::State& state)
{
    const RecordFile file = fixture->file();
    for (auto _ : state) {
        auto listing = FolderListing::read(file);
        qsizetype characters = 0;
        for (int row = 0; row < listing.value().rowCount(); ++row) {
            for (const ListColumn column : {ListColumn::Subject, ListColumn::From, ListColumn::Date})
                characters += listing.value().cell(row, column).size();
        }
        benchmark::DoNotOptimize(characters);
    }
}

} // namespace

BENCHMARK(RawPreadLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FolderListingRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FolderListingReadAndDecodeAll)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    fixture = std::make_unique<LargeFolderFixture>(FolderFiles::OthersFolder);
    // Warm the cache for both contenders alike.
    benchmark::DoNotOptimize(rawPreadLoop(fixture->path(), RecordLayouts::Message.length, ListBytes));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("FolderListingRead", "RawPreadLoop", 1.5);
    reporter.printRatio("FolderListingReadAndDecodeAll", "RawPreadLoop", 1.5);
    fixture.reset();
    benchmark::Shutdown();
    return 0;
}
