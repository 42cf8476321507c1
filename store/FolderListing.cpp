#include "FolderListing.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"
#include "PosixFile.h"
#include "RecordLayouts.h"
#include "TextHelpers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/uio.h>
#include <utility>
#include <vector>

namespace {

// One read per record covers all of its list fields. The read starts after the widest gap between
// them, taken round the record's end: for received mail that is bytes 0 to 280 of each record; for
// the sent history, whose date lies 32 KB after the subject, it is the date of one record together
// with the subject and recipient of the next, 572 bytes apart from the body.
struct ReadWindow {
    int start = 0;  // offset in the record where each read begins
    int length = 0; // bytes per read
    // Per column: where the field lies in a read, and whether that read is the one begun in the
    // previous record.
    std::array<int, ListColumnCount> position{};
    std::array<bool, ListColumnCount> fromPreviousRead{};
};

ReadWindow windowFor(const RecordLayout& layout, const std::array<FieldSpec, ListColumnCount>& fields)
{
    std::array<FieldSpec, ListColumnCount> sorted = fields;
    std::sort(sorted.begin(), sorted.end(), [](const FieldSpec& a, const FieldSpec& b) { return a.offset < b.offset; });
    int widestGap = sorted.front().offset + layout.length - (sorted.back().offset + sorted.back().width);
    int start = sorted.front().offset;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const int gap = sorted[i].offset - (sorted[i - 1].offset + sorted[i - 1].width);
        if (gap > widestGap) {
            widestGap = gap;
            start = sorted[i].offset;
        }
    }

    ReadWindow window;
    window.start = start;
    window.length = layout.length - widestGap;
    for (std::size_t column = 0; column < fields.size(); ++column) {
        window.fromPreviousRead[column] = fields[column].offset < start;
        window.position[column] = fields[column].offset - start + (window.fromPreviousRead[column] ? layout.length : 0);
    }
    return window;
}

QString readFailure(const QString& path, int error)
{
    return QStringLiteral("ファイルを読めません: %1 (%2)").arg(path, AtomicFile::describeErrno(error));
}

} // namespace

std::array<FieldSpec, ListColumnCount> FolderListing::listFields(const RecordLayout& layout)
{
    using namespace RecordLayouts;
    if (&layout == &Sent)
        return {layout[SentField::Subject], layout[SentField::To], layout[SentField::SentAt]};
    return {layout[MessageField::Subject], layout[MessageField::From], layout[MessageField::Date]};
}

StoreResult<FolderListing> FolderListing::read(const RecordFile& file)
{
    const RecordLayout& layout = file.layout();
    const PosixFile opened(file.path());
    if (!opened.isOpen())
        return StoreStatus::failure(
            QStringLiteral("ファイルを開けません: %1 (%2)").arg(file.path(), AtomicFile::describeErrno(errno)));
    struct stat info {};
    if (::fstat(opened.get(), &info) != 0)
        return StoreStatus::failure(readFailure(file.path(), errno));
    // Without read-ahead a cold read fetches one page a record instead of most of the file.
    ::posix_fadvise(opened.get(), 0, 0, POSIX_FADV_RANDOM);

    FolderListing listing;
    const auto fields = listFields(layout);
    for (std::size_t column = 0; column < fields.size(); ++column) {
        listing.cellOffsets_[column] = listing.rowWidth_;
        listing.cellWidths_[column] = fields[column].width;
        listing.rowWidth_ += fields[column].width;
    }

    const auto recordLength = static_cast<off_t>(layout.length);
    const off_t wholeRecords = std::min<off_t>(info.st_size / recordLength, RecordFile::Capacity);
    const off_t fileEnd = wholeRecords * recordLength;
    const ReadWindow window = windowFor(layout, fields);
    const bool anyFromPrevious = std::find(window.fromPreviousRead.begin(), window.fromPreviousRead.end(), true)
        != window.fromPreviousRead.end();

    listing.rows_.resize(static_cast<std::size_t>(wholeRecords) * static_cast<std::size_t>(listing.rowWidth_));
    std::string scratch(static_cast<std::size_t>(window.length), '\0');
    // Read j begins in record j (0-based); read -1 only serves fields that lie before the start.
    const off_t firstRead = anyFromPrevious && wholeRecords > 0 ? -1 : 0;
    auto range = [&](off_t j) {
        const off_t begin = j * recordLength + window.start;
        return std::pair<off_t, off_t>(std::max<off_t>(begin, 0), std::min<off_t>(begin + window.length, fileEnd));
    };
    auto place = [&](off_t j) {
        for (std::size_t column = 0; column < fields.size(); ++column) {
            const off_t row = j + (window.fromPreviousRead[column] ? 1 : 0);
            if (row < 0 || row >= wholeRecords)
                continue;
            std::memcpy(listing.rows_.data() + row * listing.rowWidth_ + listing.cellOffsets_[column],
                scratch.data() + window.position[column], static_cast<std::size_t>(fields[column].width));
        }
    };

    // First every read that the page cache can answer at once. One it cannot answer returns at once
    // too, having asked the disk for its pages (where reads without waiting are not supported, the
    // pages are asked for by read-ahead advice), so a cold file is fetched as one deep queue of
    // requests rather than one wait per record, and the bodies are never read. The second pass then
    // takes the rest in order. A warm file is read in the first pass alone.
    // Asking without waiting costs more than a plain read, so only the first record of each span is
    // asked that way; where the cache held it, the rest of the span is read plainly.
    constexpr off_t ProbeSpan = 64;
    std::vector<off_t> waiting;
    bool cacheAnswers = true;
    bool spanCached = false;
    for (off_t j = firstRead; j < wholeRecords; ++j) {
        const auto [from, to] = range(j);
        char* into = scratch.data() + (from - (j * recordLength + window.start));
        const auto wanted = static_cast<std::size_t>(to - from);
        const bool probe = (j - firstRead) % ProbeSpan == 0;
        if (spanCached && !probe) {
            std::size_t got = 0;
            if (!opened.readAt(into, wanted, from, got))
                return StoreStatus::failure(readFailure(file.path(), errno));
            if (got == wanted)
                place(j);
            else
                waiting.push_back(j);
            continue;
        }
        if (cacheAnswers) {
            iovec vector{into, wanted};
            const ssize_t got = ::preadv2(opened.get(), &vector, 1, from, RWF_NOWAIT);
            if (probe)
                spanCached = got == static_cast<ssize_t>(wanted);
            if (got == static_cast<ssize_t>(wanted)) {
                place(j);
                continue;
            }
            cacheAnswers = got >= 0 || errno == EAGAIN || errno == EINTR;
        }
        if (!cacheAnswers)
            ::posix_fadvise(opened.get(), from, to - from, POSIX_FADV_WILLNEED);
        waiting.push_back(j);
    }

    off_t complete = wholeRecords;
    for (const off_t j : waiting) {
        const auto [from, to] = range(j);
        std::size_t got = 0;
        if (!opened.readAt(scratch.data() + (from - (j * recordLength + window.start)), static_cast<std::size_t>(to - from), from, got))
            return StoreStatus::failure(readFailure(file.path(), errno));
        if (got < static_cast<std::size_t>(to - from)) {
            // The file shrank under us: the list ends before the first record not read whole.
            complete = std::max<off_t>(j, 0);
            break;
        }
        place(j);
    }
    listing.rowCount_ = static_cast<int>(complete);
    listing.rows_.resize(static_cast<std::size_t>(complete) * static_cast<std::size_t>(listing.rowWidth_));

    if (complete > 0) {
        std::string bytes(static_cast<std::size_t>(layout.length), '\0');
        std::size_t got = 0;
        if (!opened.readAt(bytes.data(), bytes.size(), (complete - 1) * recordLength, got))
            return StoreStatus::failure(readFailure(file.path(), errno));
        if (got == bytes.size())
            listing.lastRecord_.emplace(layout, std::move(bytes));
    }
    return listing;
}

std::string_view FolderListing::cellBytes(int row, ListColumn column) const
{
    const auto index = static_cast<std::size_t>(column);
    return std::string_view(rows_).substr(
        static_cast<std::size_t>(row) * static_cast<std::size_t>(rowWidth_) + static_cast<std::size_t>(cellOffsets_[index]),
        static_cast<std::size_t>(cellWidths_[index]));
}

QString FolderListing::cell(int row, ListColumn column) const { return CutAtNul(Cp932Codec::decode(cellBytes(row, column))); }

MessageFields StoredViewFields(const Record& record)
{
    using namespace RecordLayouts;
    if (&record.layout() == &Sent)
        return {record.text(SentField::Subject), record.text(SentField::To), record.text(SentField::SentAt),
            record.text(SentField::Body)};
    return {record.text(MessageField::Subject), record.text(MessageField::From), record.text(MessageField::Date),
        record.text(MessageField::Body)};
}

MessageFields TrimmedViewFields(const Record& record)
{
    MessageFields fields = StoredViewFields(record);
    return {TrimBlanks(fields.subject), TrimBlanks(fields.from), TrimBlanks(fields.date), TrimBlanks(fields.body)};
}
