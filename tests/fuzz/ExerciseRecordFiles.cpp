#include "ExerciseRecordFiles.h"

#include "FolderFiles.h"
#include "FolderListing.h"
#include "ProgramPaths.h"
#include "RecordFile.h"
#include "RecordLayouts.h"
#include "SortRuleBook.h"
#include "SpamKeywordList.h"

#include <QDir>
#include <QFile>

#include <array>
#include <cstdint>

namespace {

constexpr int MostRecordsPerFile = 3;

void put(const QString& path, const std::string& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// The rest of the input repeated up to length bytes.
std::string tiled(std::string_view pattern, std::size_t length)
{
    std::string bytes;
    if (pattern.empty())
        return std::string(length, '\0');
    bytes.reserve(length);
    while (bytes.size() < length)
        bytes.append(pattern.substr(0, length - bytes.size()));
    return bytes;
}

// The listing must show, row by row, the list fields of the records that a plain read returns.
std::string checkListing(const RecordFile& file, const std::string& bytes)
{
    const auto listing = FolderListing::read(file);
    if (!listing.ok())
        return "the listing failed: " + listing.error().toStdString();
    const auto length = static_cast<std::size_t>(file.layout().length);
    if (static_cast<std::size_t>(listing.value().rowCount()) != bytes.size() / length)
        return "the listing has " + std::to_string(listing.value().rowCount()) + " rows for " + std::to_string(bytes.size())
            + " bytes";
    const auto fields = FolderListing::listFields(file.layout());
    for (int row = 0; row < listing.value().rowCount(); ++row) {
        for (int column = 0; column < ListColumnCount; ++column) {
            const FieldSpec& field = fields[static_cast<std::size_t>(column)];
            const std::string_view expected = std::string_view(bytes).substr(
                static_cast<std::size_t>(row) * length + static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width));
            if (listing.value().cellBytes(row, static_cast<ListColumn>(column)) != expected)
                return "row " + std::to_string(row + 1) + " column " + std::to_string(column) + " differs from the file";
            static_cast<void>(listing.value().cell(row, static_cast<ListColumn>(column)));
        }
    }
    const auto& last = listing.value().lastRecord();
    if (last.has_value() != (listing.value().rowCount() > 0))
        return "the last record is missing or extra";
    if (last && last->bytes() != std::string_view(bytes).substr((bytes.size() / length - 1) * length, length))
        return "the last record differs from the file";
    if (last)
        static_cast<void>(TrimmedViewFields(*last));
    return {};
}

// Every reader of a record file over the same bytes, then the compaction, which must keep exactly
// the whole records whose Live flag is not 0, in order.
std::string checkRecordFile(const RecordFile& file, const QString& temporaryPath, const std::string& bytes, bool listed)
{
    put(file.path(), bytes);
    const auto length = static_cast<std::size_t>(file.layout().length);
    const std::size_t whole = bytes.size() / length;
    const auto count = file.recordCount();
    if (!count.ok() || static_cast<std::size_t>(count.value()) != whole)
        return "wrong record count";
    static_cast<void>(file.exactRecordCount());
    static_cast<void>(file.nextRecordNumber());

    std::string live;
    std::size_t visited = 0;
    const StoreStatus enumerated = file.forEach([&](int recordNumber, std::string_view record) {
        if (static_cast<std::size_t>(recordNumber) != ++visited || record != std::string_view(bytes).substr((visited - 1) * length, length))
            return false;
        if (Record::liveOf(file.layout(), record) != 0)
            live.append(record);
        return true;
    });
    if (!enumerated.ok() || visited != whole)
        return "the enumeration did not visit every whole record once";
    for (std::size_t number = 0; number <= whole + 1; ++number) {
        const auto record = file.read(static_cast<int>(number));
        if (!record.ok() || record.value().has_value() != (number >= 1 && number <= whole))
            return "reading record " + std::to_string(number) + " went wrong";
    }
    if (listed) {
        if (std::string listing = checkListing(file, bytes); !listing.empty())
            return listing;
    }

    if (const StoreStatus compacted = file.compact(temporaryPath); !compacted.ok())
        return "the compaction failed: " + compacted.error().toStdString();
    if (contents(file.path()) != live)
        return "the compaction kept other records than the live ones";
    if (QFile::exists(temporaryPath))
        return "the compaction left its temporary file";
    return {};
}

std::string checkRules(const ProgramPaths& paths)
{
    const SortRuleBook rules(paths);
    const auto names = rules.names();
    if (!names.ok())
        return "listing the sort rules failed";
    for (int number = 1; number <= names.value().size(); ++number) {
        const auto rule = rules.read(number);
        if (!rule.ok() || !rule.value())
            return "reading sort rule " + std::to_string(number) + " failed";
    }
    return {};
}

std::string checkKeywords(const ProgramPaths& paths)
{
    const SpamKeywordList keywords(paths);
    const auto rows = keywords.ListKeywords();
    if (!rows.ok())
        return "listing the keywords failed";
    const auto hit = keywords.IsSpam(QStringLiteral("件名 subject"), QStringLiteral("sender@example.jp"),
        QStringLiteral("本文 body\r\n"));
    if (!hit.ok())
        return "matching the keywords failed";
    return {};
}

} // namespace

std::string ExerciseRecordFiles(std::string_view input, const QString& folder)
{
    QDir(folder).mkpath(ProgramPaths::dataFolderName());
    const ProgramPaths paths(folder);

    std::uint32_t lengthSeed = 0;
    for (std::size_t i = 0; i < 4 && i < input.size(); ++i)
        lengthSeed = lengthSeed << 8 | static_cast<unsigned char>(input[i]);
    const std::string_view pattern = input.substr(std::min<std::size_t>(4, input.size()));

    const std::array<int, 2> folders{FolderFiles::OthersFolder, FolderFiles::SentHistory};
    for (const int number : folders) {
        const RecordFile file = FolderFiles::folderFile(paths, number);
        const auto longest = static_cast<std::uint32_t>(MostRecordsPerFile * file.layout().length + 1);
        const std::string bytes = tiled(pattern, lengthSeed % longest);
        if (std::string failed = checkRecordFile(file, FolderFiles::TempFilePath(paths, number), bytes, true); !failed.empty())
            return "folder " + std::to_string(number) + ": " + failed;
    }

    // The small kinds take the input as it is.
    const std::string bytes(input);
    put(SortRuleBook(paths).file().path(), bytes);
    if (std::string failed = checkRules(paths); !failed.empty())
        return failed;
    put(SpamKeywordList(paths).file().path(), bytes);
    if (std::string failed = checkKeywords(paths); !failed.empty())
        return failed;
    const SpamKeywordList keywords(paths);
    if (std::string failed = checkRecordFile(keywords.file(), keywords.temporaryPath(), bytes, false); !failed.empty())
        return "keywords: " + failed;
    const SortRuleBook rules(paths);
    if (std::string failed = checkRecordFile(rules.file(), paths.dataFile(QStringLiteral("VBMDATA.TMP")), bytes, false);
        !failed.empty())
        return "sort rules: " + failed;
    return {};
}
