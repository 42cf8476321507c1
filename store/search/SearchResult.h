#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <tuple>

// One message found: where it lies and the texts of its row.
struct SearchHit {
    int folder = 0;       // 1 to 10, 11 the sent history
    int recordNumber = 0; // its row on that folder's mail screen
    qint64 sortKey = 0;   // its date as seconds since 1970, 0 when the date cannot be read
    QString subject;
    QString party; // sender, or recipient in the sent history
    QString date;

    // Newest first; messages of the same time by folder and record number, the later first.
    static bool newerFirst(const SearchHit& a, const SearchHit& b)
    {
        return std::tie(a.sortKey, a.folder, a.recordNumber) > std::tie(b.sortKey, b.folder, b.recordNumber);
    }
};

// What a search found: how many messages, and the rows of the newest of them.
struct SearchResult {
    int count = 0;
    QList<SearchHit> rows;
};
Q_DECLARE_METATYPE(SearchResult)
