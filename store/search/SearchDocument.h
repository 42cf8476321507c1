#pragma once

#include "SearchResult.h"

#include <QString>

#include <cstdint>
#include <string_view>

// What a search sees of one stored record: the texts of its row and its searchable text (subject,
// sender or recipient, date and body, folded, one per line).
struct SearchDocument {
    SearchHit hit;
    QString foldedText;

    // A record of folder 1 to 11 as its bytes lie in the file.
    static SearchDocument fromRecord(int folder, int recordNumber, std::string_view bytes);

    // A stored date as seconds since 1970: the header form of received mail ("Mon, 7 Dec 2026
    // 10:00:00 +0900") or the clock text of the sent history ("2026/12/07 10:00:00"); 0 otherwise.
    static qint64 sortKeyOf(const QString& date);

    // A fingerprint of record bytes, to tell whether the record at a place is still the one indexed.
    static std::uint64_t fingerprint(std::string_view bytes);
};
