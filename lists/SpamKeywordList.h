#pragma once

#include "ProgramPaths.h"
#include "RecordFile.h"
#include "SpamKeywordMatcher.h"
#include "StoreResult.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

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

    // The keywords as they are now, ready to test many messages; a missing file is created empty and
    // matches nothing.
    StoreResult<SpamKeywordMatcher> ReadMatcher() const;
    // The first keyword that matches (SpamKeywordMatcher::firstHit), the file read afresh.
    StoreResult<std::optional<SpamHit>> IsSpam(QStringView subject, QStringView sender, QStringView body) const;

    // A keyword that is blank once trimmed, which the matcher ignores.
    static bool isBlank(QStringView keyword);
    // Blank, or only "?" and blanks (a character the file could not hold is stored as "?"): the
    // matcher ignores it.
    static bool matchesNothing(QStringView keyword);

private:
    const ProgramPaths& paths_;
};
