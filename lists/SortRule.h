#pragma once

#include <QString>

#include <array>

// One sort rule: the contact card of a sorting folder, as the rule editor shows it. Records 1 to 9
// belong to sorting folders 1 to 9, record 10 to the others folder.
struct SortRule {
    QString Name;
    // PersonName, Reading, Department, Position, PostalCode, Prefecture, City, Town, Street: the nine
    // detail fields in record order, shown in Text57(1) ... Text57(9).
    std::array<QString, 9> Details;
    QString RuleAddress;
    // A multi-line text; the file keeps its line breaks as "//".
    QString Memo;
};
