#pragma once

#include "ProgramPaths.h"
#include "SearchResult.h"
#include "StoreResult.h"

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

// The index of all mail beside the store files ("★MAilData/vbmsearch.index", the owner's alone):
// derived data, kept up to date from the store files, which stay the only truth. A message is
// found by what it holds, not by words: its folded text is indexed by every character and every
// pair of neighbouring characters, so a query of one character is looked up by its character, and a
// longer one as the chain of its pairs at neighbouring places, an exact substring match for
// Japanese and ASCII alike. Each folder's text has a table of its own that holds no copy of the
// text (the records do); the rows' texts and dates are kept beside them.
//
// Each folder's file is remembered by size, inode, change time, record count and the fingerprint
// of its last record. Records appended since (a receive, a send, or a crash between storing and
// indexing) are indexed on their own; any other change (a deletion compacting the file, a file
// replaced or truncated) indexes the folder anew. An index that cannot be read, is cut short or
// was written by another version is started anew.
class SearchIndex {
public:
    static constexpr int Version = 2;
    static QString fileName() { return QStringLiteral("vbmsearch.index"); }

    explicit SearchIndex(QString path);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Opens the index, starting it anew where it cannot be used as it is. The file is created 0600.
    StoreStatus open();
    // True when open() found nothing it could keep: every folder must be indexed.
    bool startedAnew() const { return startedAnew_; }
    // Throws the index away and starts an empty one.
    StoreStatus startAnew();

    // Whether folder 1 to 11 is indexed as its file is now.
    StoreResult<bool> isCurrent(const ProgramPaths& paths, int folder) const;
    // How many records catchUp() would read for the folder: the appended ones, or all.
    StoreResult<int> recordsToIndex(const ProgramPaths& paths, int folder) const;

    // Brings one folder up to date with its file. progress is called after each record indexed;
    // when cancel is set the folder is left as it was before.
    using Progress = std::function<void()>;
    StoreStatus catchUp(const ProgramPaths& paths, int folder, const Progress& progress = {},
        const std::atomic<bool>* cancel = nullptr);

    // Messages holding every folded word, newest first; rows holds at most rowLimit of them.
    StoreResult<SearchResult> search(const QStringList& words, int rowLimit) const;

private:
    struct FileState {
        qint64 size = -1;
        qint64 inode = 0;
        qint64 changedNs = 0;
    };
    struct IndexedFolder {
        FileState file;
        int records = 0;
        qint64 lastFingerprint = 0;
    };

    StoreStatus openFile();
    StoreStatus createSchema();
    StoreStatus loadSortKeys();
    void close();
    std::optional<IndexedFolder> indexedFolder(int folder) const;
    // Where catchUp() starts: 1 for the whole folder, or the first appended record.
    StoreResult<int> firstRecordToIndex(const ProgramPaths& paths, int folder, const FileState& now) const;
    StoreStatus failure(const QString& what) const;

    QString path_;
    sqlite3* db_ = nullptr;
    bool startedAnew_ = false;
    // The date of each indexed record by folder and record number; NoRecord where none is indexed.
    std::array<std::vector<qint64>, 12> sortKeys_;
};
