#include "RecordFile.h"

#include "AtomicFile.h"
#include "PosixFile.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <memory>
#include <sys/stat.h>
#include <utility>


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
        // record is left at its end.
        if (before.st_size < offset + static_cast<off_t>(record.bytes().size()))
            (void)::ftruncate(file.get(), before.st_size);
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

StoreStatus RecordFile::compact(const QString& temporaryPath, const CompactionProbe& probe) const
{
    const QByteArray temporaryName = QFile::encodeName(temporaryPath);
    auto abandon = [&](StoreStatus status) {
        ::unlink(temporaryName.constData());
        return status;
    };
    auto reached = [&](CompactionStep step) { return probe ? probe(step) : StoreStatus::success(); };

    PosixFile temporary(temporaryPath);
    if (!temporary.isOpen() || ::ftruncate(temporary.get(), 0) != 0)
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルを作成できません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(errno))));

    off_t written = 0;
    bool writeFailed = false;
    int writeError = 0;
    const StoreStatus copied = forEach([&](int, std::string_view bytes) {
        if (Record::liveOf(*layout_, bytes) == 0)
            return true;
        if (!temporary.writeAt(bytes.data(), bytes.size(), written)) {
            writeFailed = true;
            writeError = errno;
            return false;
        }
        written += static_cast<off_t>(bytes.size());
        return true;
    });
    if (!copied.ok())
        return abandon(copied);
    if (writeFailed)
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(writeError))));
    if (StoreStatus step = reached(CompactionStep::TemporaryWritten); !step.ok())
        return abandon(step);

    if (::fsync(temporary.get()) != 0 || !temporary.close())
        return abandon(StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません: %1 (%2)")
                                                .arg(temporaryPath, AtomicFile::describeErrno(errno))));
    if (StoreStatus step = reached(CompactionStep::TemporaryFlushed); !step.ok())
        return abandon(step);

    if (::rename(temporaryName.constData(), QFile::encodeName(path_).constData()) != 0)
        return abandon(StoreStatus::failure(failure(QStringLiteral("ファイルを置き換えられません"), errno)));
    if (StoreStatus step = reached(CompactionStep::Renamed); !step.ok())
        return step;
    return AtomicFile::syncDirectoryOf(path_);
}
