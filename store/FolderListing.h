#pragma once

#include "FolderFiles.h"
#include "Record.h"
#include "RecordFile.h"
#include "StoreResult.h"

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The three columns of a mail list, in the order the list shows them.
enum class ListColumn { Subject, From, Date };
constexpr int ListColumnCount = 3;

// What a mail list shows of a store file: the list fields of every record in record order, and the
// whole last record, whose fields the view shows once the list is filled.
//
// A full folder is about a gigabyte, of which the list needs 280 bytes a record, so reading touches
// only those bytes of each record and the last record once. The list fields stay as the bytes on
// disk in one block and are decoded only for the rows that are drawn.
class FolderListing {
public:
    // An empty list.
    FolderListing() = default;

    // Enumerates the file as the store always has: whole records, in order, up to the first
    // record that cannot be read whole. Opening a missing file creates it empty.
    static StoreResult<FolderListing> read(const RecordFile& file);

    // The fields of a layout that fill the columns: Subject, From, Date for received mail;
    // Subject, To, SentAt for the sent history.
    static std::array<FieldSpec, ListColumnCount> listFields(const RecordLayout& layout);

    int rowCount() const { return rowCount_; }
    // As the list shows it: decoded and cut at the first NUL, not trimmed.
    QString cell(int row, ListColumn column) const;
    // The field's bytes as they lie in the file.
    std::string_view cellBytes(int row, ListColumn column) const;

    // The last record of the file, as read; empty for an empty file.
    const std::optional<Record>& lastRecord() const { return lastRecord_; }

private:
    std::array<int, ListColumnCount> cellOffsets_{};
    std::array<int, ListColumnCount> cellWidths_{};
    int rowWidth_ = 0;
    int rowCount_ = 0;
    std::string rows_;
    std::optional<Record> lastRecord_;
};

// The message view's texts of a record as stored, padding included: Subject, From and Date of
// received mail; Subject, To and SentAt of the sent history.
MessageFields StoredViewFields(const Record& record);

// The same texts trimmed, as a list click and the folder loading show them.
MessageFields TrimmedViewFields(const Record& record);
