#include "RecordFile.h"

#include "AtomicFile.h"
#include "PosixFile.h"

#include <QFile>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <vector>


RecordFile::RecordFile(QString path, const RecordLayout& layout) : path_(std::move(path)), layout_(&layout) {}

QString RecordFile::failure(const QString& what, int error) const
{
    return QStringLiteral("%1: %2 (%3)").arg(what, path_, AtomicFile::describeErrno(error));
}

QString RecordFile::cannotOpen() const { return failure(QStringLiteral("ファイルを開けません"), errno); }

StoreStatus RecordFile::ensureExists() const
{
    const PosixFile file(path_);
    return file.isOpen() ? StoreStatus::success() : StoreStatus::failure(cannotOpen());
}

StoreResult<qint64> RecordFile::byteLength() const
{
    const PosixFile file(path_);
    if (!file.isOpen())
        return StoreStatus::failure(cannotOpen());
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
    return static_cast<qint64>(info.st_size);
}

StoreResult<int> RecordFile::recordCount() const
{
    const auto length = byteLength();
    if (!length.ok())
        return length.status();
    return static_cast<int>(length.value() / layout_->length);
}

StoreResult<double> RecordFile::exactRecordCount() const
{
    const auto length = byteLength();
    if (!length.ok())
        return length.status();
    return static_cast<double>(length.value()) / layout_->length;
}

StoreResult<int> RecordFile::nextRecordNumber() const
{
    const auto length = byteLength();
    if (!length.ok())
        return length.status();
    const double next = static_cast<double>(length.value()) / layout_->length + 1.0;
    return static_cast<int>(std::nearbyint(next));
}

StoreResult<std::optional<Record>> RecordFile::read(int recordNumber) const
{
    if (recordNumber < 1)
        return std::optional<Record>();
    const PosixFile file(path_);
    if (!file.isOpen())
        return StoreStatus::failure(cannotOpen());
    std::string bytes(static_cast<std::size_t>(layout_->length), '\0');
    std::size_t got = 0;
    const off_t offset = static_cast<off_t>(recordNumber - 1) * layout_->length;
    if (!file.readAt(bytes.data(), bytes.size(), offset, got))
        return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
    if (got < bytes.size())
        return std::optional<Record>();
    return std::optional<Record>(Record(*layout_, std::move(bytes)));
}

StoreStatus RecordFile::write(int recordNumber, const Record& record) const
{
    if (recordNumber < 1 || recordNumber > Capacity)
        return StoreStatus::failure(
            QStringLiteral("ファイルが満杯です（最大 %1 件）: %2").arg(Capacity).arg(path_));
    PosixFile file(path_);
    if (!file.isOpen())
        return StoreStatus::failure(cannotOpen());
    const off_t offset = static_cast<off_t>(recordNumber - 1) * layout_->length;
    struct stat before {};
    if (::fstat(file.get(), &before) != 0)
        return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
    if (!file.writeAt(record.bytes().data(), record.bytes().size(), offset)) {
        const int error = errno;
        // A full disk can take part of a record: what grew the file is cut off again, so no torn
        // record is left at its end. Should even that fail, the user hears that part of one is there.
        const bool grew = before.st_size < offset + static_cast<off_t>(record.bytes().size());
        if (grew && ::ftruncate(file.get(), before.st_size) != 0)
            return StoreStatus::failure(failure(QStringLiteral("ファイルに書き込めず、書きかけのレコードが末尾に残りました"), error));
        return StoreStatus::failure(failure(QStringLiteral("ファイルに書き込めません"), error));
    }
    if (!file.close())
        return StoreStatus::failure(failure(QStringLiteral("ファイルに書き込めません"), errno));
    return StoreStatus::success();
}

StoreResult<int> RecordFile::append(const Record& record) const
{
    const auto next = nextRecordNumber();
    if (!next.ok())
        return next.status();
    const StoreStatus written = write(next.value(), record);
    if (!written.ok())
        return written;
    return next.value();
}

StoreStatus RecordFile::sync() const
{
    const PosixFile file(path_);
    if (!file.isOpen())
        return StoreStatus::failure(cannotOpen());
    if (::fsync(file.get()) != 0)
        return StoreStatus::failure(failure(QStringLiteral("ディスクへの書き込みに失敗しました"), errno));
    return StoreStatus::success();
}

StoreStatus RecordFile::forEach(const Visitor& visit, std::optional<int> prefixLength) const
{
    const PosixFile file(path_);
    if (!file.isOpen())
        return StoreStatus::failure(cannotOpen());
    const auto recordLength = static_cast<std::size_t>(layout_->length);

    if (prefixLength) {
        const auto wanted = static_cast<std::size_t>(*prefixLength);
        struct stat info {};
        if (::fstat(file.get(), &info) != 0)
            return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
        const auto whole = static_cast<std::size_t>(info.st_size) / recordLength;
        std::string prefix(wanted, '\0');
        for (std::size_t index = 0; index < whole; ++index) {
            std::size_t got = 0;
            if (!file.readAt(prefix.data(), wanted, static_cast<off_t>(index * recordLength), got))
                return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
            if (got < wanted || !visit(static_cast<int>(index + 1), prefix))
                break;
        }
        return StoreStatus::success();
    }

    // Whole records are read in batches: one system call per batch rather than per record. The
    // batch is no larger than the file and left uninitialised: a small file read once per
    // received message must not cost a megabyte of zeroing each time.
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
    const std::size_t fileRecords = static_cast<std::size_t>(info.st_size) / recordLength + 1;
    const std::size_t batchRecords = std::min(fileRecords, std::max<std::size_t>(1, (1u << 20) / recordLength));
    const std::size_t batchSize = batchRecords * recordLength;
    const std::unique_ptr<char[]> batch(new char[batchSize]);
    int recordNumber = 1;
    off_t offset = 0;
    for (;;) {
        std::size_t got = 0;
        if (!file.readAt(batch.get(), batchSize, offset, got))
            return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
        const std::size_t whole = got / recordLength;
        for (std::size_t index = 0; index < whole; ++index) {
            if (!visit(recordNumber++, std::string_view(batch.get() + index * recordLength, recordLength)))
                return StoreStatus::success();
        }
        if (got < batchSize)
            return StoreStatus::success();
        offset += static_cast<off_t>(got);
    }
}

namespace {

// Copies up to length bytes from offset from of in to offset to of out, in the kernel while the
// file system allows it, through buffer from the first refusal on. copied falls short of length only
// where the source ends. false with errno set on a read or write error.
// The copy goes in pieces, each handed to the disk as soon as it is copied, so that the disk writes
// while the next piece is copied and the flush at the end finds little left to write. The kernel's
// pieces end on a page boundary of the copy: a page split between two calls is copied and written
// twice.
bool copyRange(int in, int out, off_t from, off_t to, std::size_t length, bool& inKernel, std::string& buffer,
    std::size_t& copied)
{
    constexpr std::size_t PieceBytes = std::size_t{16} << 20;
    constexpr std::size_t PageBytes = 4096;
    auto startWriteBack = [out](off_t offset, std::size_t bytes) {
        ::sync_file_range(out, offset, static_cast<off_t>(bytes), SYNC_FILE_RANGE_WRITE);
    };
    copied = 0;
    while (copied < length && inKernel) {
        off_t inOffset = from + static_cast<off_t>(copied);
        off_t outOffset = to + static_cast<off_t>(copied);
        const std::size_t piece = std::min(length - copied, PieceBytes - static_cast<std::size_t>(outOffset) % PageBytes);
        const ssize_t n = ::copy_file_range(in, &inOffset, out, &outOffset, piece, 0);
        if (n > 0) {
            startWriteBack(to + static_cast<off_t>(copied), static_cast<std::size_t>(n));
            copied += static_cast<std::size_t>(n);
        } else if (n == 0) {
            return true;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            inKernel = false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    while (copied < length) {
        if (buffer.empty())
            buffer.resize(std::size_t{1} << 20);
        const std::size_t wanted = std::min(buffer.size(), length - copied);
        const ssize_t n = ::pread(in, buffer.data(), wanted, from + static_cast<off_t>(copied));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        const auto got = static_cast<std::size_t>(n);
        std::size_t done = 0;
        while (done < got) {
            const ssize_t w = ::pwrite(out, buffer.data() + done, got - done, to + static_cast<off_t>(copied + done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return false;
            done += static_cast<std::size_t>(w);
        }
        startWriteBack(to + static_cast<off_t>(copied), got);
        copied += got;
    }
    return true;
}

// The replaced file is gone once its last descriptor closes, and that close frees all its blocks and
// drops its cached pages: about a fifth of a second for a full folder, which nobody needs to wait for.
void closeInBackground(PosixFile& replaced)
{
    const int descriptor = replaced.release();
    try {
        std::thread([descriptor] { ::close(descriptor); }).detach();
    } catch (const std::system_error&) {
        ::close(descriptor);
    }
}

} // namespace

StoreStatus RecordFile::compact(const QString& temporaryPath, const CompactionProbe& probe) const
{
    const QByteArray temporaryName = QFile::encodeName(temporaryPath);
    auto abandon = [&](StoreStatus status) {
        ::unlink(temporaryName.constData());
        return status;
    };
    auto reached = [&](CompactionStep step) { return probe ? probe(step) : StoreStatus::success(); };

    PosixFile source(path_);
    if (!source.isOpen())
        return StoreStatus::failure(cannotOpen());
    struct stat info {};
    if (::fstat(source.get(), &info) != 0)
        return StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno));
    PosixFile temporary = PosixFile::createdNew(temporaryPath);
    if (!temporary.isOpen())
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルを作成できません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(errno))));

    // Only the Live flags pass through this process: the runs of live records between removed ones
    // are copied by the kernel. The flags are read with the kernel's read-ahead asked a few megabytes
    // ahead, so that a cold file is read in order rather than one page a record. The runs are copied
    // once all flags are known, so that none is cut at a record boundary, which lies inside a page.
    const auto recordLength = static_cast<off_t>(layout_->length);
    const off_t records = info.st_size / recordLength;
    const off_t recordsAhead = std::max<off_t>(1, (off_t{8} << 20) / recordLength);
    struct Run {
        off_t first;
        off_t end;
    };
    std::vector<Run> liveRuns;
    off_t advisedUpTo = 0;
    for (off_t index = 0; index < records; ++index) {
        if (advisedUpTo < records && index + recordsAhead / 2 >= advisedUpTo) {
            const off_t until = std::min(records, advisedUpTo + recordsAhead);
            ::posix_fadvise(source.get(), advisedUpTo * recordLength, (until - advisedUpTo) * recordLength, POSIX_FADV_WILLNEED);
            advisedUpTo = until;
        }
        char flag[2] = {};
        std::size_t got = 0;
        if (!source.readAt(flag, sizeof flag, index * recordLength + layout_->liveOffset(), got))
            return abandon(StoreStatus::failure(failure(QStringLiteral("ファイルを読めません"), errno)));
        if (got < sizeof flag)
            break;
        if (flag[0] == 0 && flag[1] == 0)
            continue;
        if (!liveRuns.empty() && liveRuns.back().end == index)
            ++liveRuns.back().end;
        else
            liveRuns.push_back({index, index + 1});
    }

    // A source that ends early ends the copy at the last whole record, as enumerating it would.
    bool inKernel = true;
    std::string buffer;
    off_t written = 0;
    int copyError = 0;
    bool sourceEnded = false;
    for (const Run& run : liveRuns) {
        const auto length = static_cast<std::size_t>((run.end - run.first) * recordLength);
        std::size_t copied = 0;
        if (!copyRange(source.get(), temporary.get(), run.first * recordLength, written, length, inKernel, buffer, copied)) {
            copyError = errno;
            break;
        }
        written += static_cast<off_t>(copied) / recordLength * recordLength;
        if (copied < length) {
            sourceEnded = true;
            break;
        }
    }
    if (copyError != 0)
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(copyError))));
    if (sourceEnded && ::ftruncate(temporary.get(), written) != 0)
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(errno))));
    if (StoreStatus step = reached(CompactionStep::TemporaryWritten); !step.ok())
        return abandon(step);

    if (::fsync(temporary.get()) != 0 || !temporary.close())
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(errno))));
    if (StoreStatus step = reached(CompactionStep::TemporaryFlushed); !step.ok())
        return abandon(step);

    if (::rename(temporaryName.constData(), QFile::encodeName(path_).constData()) != 0)
        return abandon(StoreStatus::failure(failure(QStringLiteral("ファイルを置き換えられません"), errno)));
    closeInBackground(source);
    if (StoreStatus step = reached(CompactionStep::Renamed); !step.ok())
        return step;
    return AtomicFile::syncDirectoryOf(path_);
}
