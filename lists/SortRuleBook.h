#pragma once

#include "ProgramPaths.h"
#include "RecordFile.h"
#include "SortRule.h"
#include "StoreResult.h"

#include <QStringList>

#include <optional>

// The sort rules of vbmdata.data, record n being rule n.
class SortRuleBook {
public:
    static constexpr int RuleCount = 10;   // rules 1 to 9 sort, rule 10 names the others folder
    static constexpr int SortingRules = 9;

    explicit SortRuleBook(const ProgramPaths& paths);

    RecordFile file() const;

    // Rule n as the editor shows it: every field trimmed, the memo's "//" turned back into line
    // breaks. std::nullopt when the file has no record n.
    StoreResult<std::optional<SortRule>> read(int ruleNumber) const;
    // The untrimmed 50-character names of all records, in record order.
    StoreResult<QStringList> names() const;
    // Writes the editor's texts as they stand (cut to their fields), the memo's line breaks as "//".
    StoreStatus write(int ruleNumber, const SortRule& rule) const;
    // Writes the rule after the last record; returns its number.
    StoreResult<int> append(const SortRule& rule) const;

    static Record toRecord(const SortRule& rule);
    // Untrimmed fields of a record (the list and tab captions show names untrimmed).
    static QString untrimmedName(const Record& record);

private:
    const ProgramPaths& paths_;
};
