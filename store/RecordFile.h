#pragma once

#include "Record.h"
#include "RecordLayout.h"
#include "StoreResult.h"

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

// A headerless file of fixed-length records; record n (1-based) lies at byte (n - 1) x length.
// Every operation opens the file, does its work and closes it again; opening a missing file
// creates it empty, as random access has always done.
class RecordFile {
public:
    // Enumeration ends at the first record that cannot be read, so a file can be listed only while
    // it holds at most this many records.
    static constexpr int Capacity = 32766;

    // Points between the steps of a compaction, for tests that fail or end the process there.
    enum class CompactionStep { TemporaryWritten, TemporaryFlushed, Renamed };
    using CompactionProbe = std::function<StoreStatus(CompactionStep)>;

    RecordFile(QString path, const RecordLayout& layout);

    const QString& path() const { return path_; }
    const RecordLayout& layout() const { return *layout_; }

    StoreStatus ensureExists() const;
    StoreResult<qint64> byteLength() const;
    // Whole records only; a partial last record does not count.
    StoreResult<int> recordCount() const;
    // The length divided by the record length, exactly (one and a half records is 1.5).
    StoreResult<double> exactRecordCount() const;
    // length / record length + 1, rounded to the nearest whole number (halves to even).
    StoreResult<int> nextRecordNumber() const;

    // std::nullopt when record n lies at or past the end of the file, wholly or in part.
    StoreResult<std::optional<Record>> read(int recordNumber) const;
    StoreStatus write(int recordNumber, const Record& record) const;
    // Writes the record as number nextRecordNumber() and returns that number; refused, with
    // nothing written, once the file is at its capacity.
    StoreResult<int> append(const Record& record) const;
    // Forces what was written to disk.
    StoreStatus sync() const;

    // Calls visit(n, bytes) for every whole record in order; reads only the first prefixLength
    // bytes of each when prefixLength is given. Stops early when visit returns false.
    using Visitor = std::function<bool(int recordNumber, std::string_view bytes)>;
    StoreStatus forEach(const Visitor& visit, std::optional<int> prefixLength = std::nullopt) const;

    // Keeps the whole records whose Live flag is not 0, in order. They are written to temporaryPath
    // (runs of live records copied in the kernel where the file system allows), flushed once, and
    // renamed over the file, so a crash at any instant leaves the old file or the new one whole; no
    // temporary file remains after a compaction that returns.
    StoreStatus compact(const QString& temporaryPath, const CompactionProbe& probe = {}) const;

private:
    QString cannotOpen() const;
    QString failure(const QString& what, int error) const;

    QString path_;
    const RecordLayout* layout_;
};
