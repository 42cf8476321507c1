#pragma once

#include "ProgramPaths.h"
#include "RecordFile.h"
#include "StoreResult.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Where a keyword was found in an incoming message. The position counts from the start of the text
// as it was handed in (before trimming), so a field that holds that text can select the hit.
struct SpamHit {
    enum class Field { Subject, Sender, Body };
    Field field = Field::Subject;
    qsizetype position = 0;
    qsizetype length = 0;
    QString keyword;
};

// One row of the keyword list: the whole 200-byte field, untrimmed.
struct KeywordRow {
    int recordNumber = 0;
    QString keyword;
};

// The spam keywords of vbmdata50.data, in the order they were registered.
class SpamKeywordList {
public:
    static constexpr int KeywordBytes = 200;

    explicit SpamKeywordList(const ProgramPaths& paths);

    RecordFile file() const;
    QString temporaryPath() const;

    // Every record in file order; a missing file is created empty.
    StoreResult<QList<KeywordRow>> ListKeywords() const;
    // Appends the text as typed (not trimmed), cut to 200 bytes without splitting a character;
    // returns its record number.
    StoreResult<int> AddKeyword(QStringView typed) const;
    // Marks record n for removal when remove is true, then compacts the file in either case.
    StoreStatus DeleteKeyword(int recordNumber, bool remove) const;

    // The first keyword, in file order, that the trimmed subject, sender or body (tested in that
    // order) contains, compared character for character: case and full-width/half-width forms
    // differ, but two characters that code page 932 stores as the same bytes are one (WAVE DASH and
    // FULLWIDTH TILDE). A keyword that matchesNothing() never matches. The file is read afresh on
    // every call; a missing one is created empty and matches nothing.
    StoreResult<std::optional<SpamHit>> IsSpam(QStringView subject, QStringView sender, QStringView body) const;

    // A keyword that is blank once trimmed, which the matcher ignores.
    static bool isBlank(QStringView keyword);
    // Blank, or only "?" and blanks (a character the file could not hold is stored as "?"): the
    // matcher ignores it.
    static bool matchesNothing(QStringView keyword);

private:
    const ProgramPaths& paths_;
};
