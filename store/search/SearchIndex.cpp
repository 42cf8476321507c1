#include "SearchIndex.h"

#include "FolderFiles.h"
#include "PrivateFolders.h"
#include "Record.h"
#include "SearchDocument.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 NoRecord = LLONG_MIN;

qint64 rowIdOf(int folder, int recordNumber) { return (static_cast<qint64>(folder) << 16) | recordNumber; }

// The text of folder k's records, by record number: a table of its own per folder, so that indexing
// a folder anew empties just its table, and contentless, as the records hold the text.
QByteArray textTable(int folder) { return QByteArrayLiteral("text") + QByteArray::number(folder); }

// ---- The tokenizer: every character, and every pair of neighbouring characters ----

struct Character {
    int start;
    int end;
};

char32_t decodeAt(const unsigned char* text, int length, int& at)
{
    const unsigned char lead = text[at];
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    ++at;
    while (extra-- > 0 && at < length && (text[at] & 0xC0) == 0x80)
        c = (c << 6) | (text[at++] & 0x3F);
    return c;
}

bool isBlank(char32_t c) { return c < 0x80 ? (c == ' ' || (c >= '\t' && c <= '\r')) : QChar::isSpace(c); }

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

int emitRun(void* context, bool document, const char* text, const std::vector<Character>& run, TokenCallback token)
{
    const auto count = run.size();
    if (count == 0)
        return SQLITE_OK;
    auto give = [&](std::size_t first, std::size_t last, int flags) {
        const int start = run[first].start;
        const int end = run[last].end;
        return token(context, flags, text + start, end - start, start, end);
    };
    if (document) {
        for (std::size_t i = 0; i < count; ++i) {
            if (int rc = give(i, i, 0); rc != SQLITE_OK)
                return rc;
            if (i + 1 < count) {
                if (int rc = give(i, i + 1, FTS5_TOKEN_COLOCATED); rc != SQLITE_OK)
                    return rc;
            }
        }
        return SQLITE_OK;
    }
    // A query: its one character, or the chain of its pairs at neighbouring places.
    if (count == 1)
        return give(0, 0, 0);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (int rc = give(i, i + 1, 0); rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int tokenize(Fts5Tokenizer*, void* context, int flags, const char* text, int length, TokenCallback token)
{
    const bool document = (flags & FTS5_TOKENIZE_QUERY) == 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::vector<Character> run;
    int at = 0;
    while (at < length) {
        const int start = at;
        const char32_t c = decodeAt(bytes, length, at);
        if (isBlank(c)) {
            if (int rc = emitRun(context, document, text, run, token); rc != SQLITE_OK)
                return rc;
            run.clear();
        } else {
            run.push_back({start, at});
        }
    }
    return emitRun(context, document, text, run, token);
}

int createTokenizer(void*, const char**, int, Fts5Tokenizer** out)
{
    static int instance = 0;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer*) {}

bool registerTokenizer(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (!api)
        return false;
    static fts5_tokenizer tokenizer{createTokenizer, deleteTokenizer, tokenize};
    return api->xCreateTokenizer(api, "nemuroa_pairs", nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

// ---- Statements ----

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_; }
    sqlite3_stmt* get() const { return statement_; }
    void bind(int at, qint64 value) { sqlite3_bind_int64(statement_, at, value); }
    void bind(int at, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(statement_, at, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(statement_); }
    void reset()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(statement_, column); }
    QString text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(statement_, column));
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    bool ok_ = false;
};

bool execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

QString phraseOf(const QString& word)
{
    QString quoted = word;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

SearchIndex::SearchIndex(QString path) : path_(std::move(path)) {}

SearchIndex::~SearchIndex() { close(); }

void SearchIndex::close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

StoreStatus SearchIndex::failure(const QString& what) const
{
    const QString detail = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString();
    return StoreStatus::failure(QStringLiteral("%1: %2 (%3)").arg(what, path_, detail));
}

StoreStatus SearchIndex::open()
{
    startedAnew_ = false;
    if (openFile().ok() && loadSortKeys().ok())
        return StoreStatus::success();
    return startAnew();
}

StoreStatus SearchIndex::startAnew()
{
    close();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path_ + QString::fromLatin1(suffix));
    for (auto& keys : sortKeys_)
        keys.clear();
    startedAnew_ = true;
    if (StoreStatus opened = openFile(); !opened.ok())
        return opened;
    return StoreStatus::success();
}

StoreStatus SearchIndex::openFile()
{
    const QByteArray name = QFile::encodeName(path_);
    // Created by us, the owner's alone; SQLite gives its journal the same mode.
    const int created = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, PrivateFolders::FileMode);
    if (created >= 0)
        ::close(created);
    else if (errno != EEXIST)
        return StoreStatus::failure(QStringLiteral("索引を作れません: %1").arg(path_));

    // A file shorter than its header says was cut short: SQLite would find out only where it reads.
    if (!QFile::exists(path_ + QStringLiteral("-wal"))) {
        QFile file(path_);
        if (file.open(QIODevice::ReadOnly) && file.size() >= 100) {
            const QByteArray header = file.read(100);
            const auto byte = [&](int at) { return static_cast<quint32>(static_cast<unsigned char>(header[at])); };
            quint32 pageSize = (byte(16) << 8) | byte(17);
            if (pageSize == 1)
                pageSize = 65536;
            const quint32 pages = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
            if (static_cast<qint64>(pageSize) * pages > file.size())
                return StoreStatus::failure(QStringLiteral("索引が途中で切れています: %1").arg(path_));
        }
    }

    if (sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        return failure(QStringLiteral("索引を開けません"));
    // One connection in one process (the program folder is locked): no shared-memory file needed.
    if (!registerTokenizer(db_) || !execute(db_, "PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"))
        return failure(QStringLiteral("索引を開けません"));

    Statement version(db_, "PRAGMA user_version");
    if (!version.ok() || version.step() != SQLITE_ROW)
        return failure(QStringLiteral("索引を読めません"));
    const qint64 found = version.integer(0);
    if (found == 0) {
        Statement tables(db_, "SELECT count(*) FROM sqlite_master");
        if (!tables.ok() || tables.step() != SQLITE_ROW || tables.integer(0) != 0)
            return failure(QStringLiteral("索引の形が違います"));
        return createSchema();
    }
    if (found != Version)
        return StoreStatus::failure(QStringLiteral("索引の版が違います: %1").arg(path_));
    return StoreStatus::success();
}

StoreStatus SearchIndex::createSchema()
{
    QByteArray sql = QByteArrayLiteral(
        "BEGIN;"
        "CREATE TABLE rows(id INTEGER PRIMARY KEY, sortkey INTEGER, subject TEXT, party TEXT, date TEXT);"
        "CREATE TABLE folders(folder INTEGER PRIMARY KEY, size INTEGER, inode INTEGER, changed INTEGER,"
        " records INTEGER, last_fingerprint INTEGER);");
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder)
        sql += "CREATE VIRTUAL TABLE " + textTable(folder) + " USING fts5(text, content='', columnsize=0, tokenize='nemuroa_pairs');";
    sql += "PRAGMA user_version=" + QByteArray::number(Version) + ";COMMIT;";
    if (!execute(db_, sql.constData()))
        return failure(QStringLiteral("索引を作れません"));
    startedAnew_ = true;
    return StoreStatus::success();
}

StoreStatus SearchIndex::loadSortKeys()
{
    Statement keys(db_, "SELECT id, sortkey FROM rows");
    if (!keys.ok())
        return failure(QStringLiteral("索引を読めません"));
    int rc;
    while ((rc = keys.step()) == SQLITE_ROW) {
        const qint64 rowId = keys.integer(0);
        const auto folder = static_cast<std::size_t>(rowId >> 16);
        const auto record = static_cast<std::size_t>(rowId & 0xFFFF);
        if (folder < 1 || folder > 11)
            return StoreStatus::failure(QStringLiteral("索引の形が違います: %1").arg(path_));
        auto& folderKeys = sortKeys_[folder];
        if (folderKeys.size() <= record)
            folderKeys.resize(record + 1, NoRecord);
        folderKeys[record] = keys.integer(1);
    }
    if (rc != SQLITE_DONE)
        return failure(QStringLiteral("索引を読めません"));
    return StoreStatus::success();
}

std::optional<SearchIndex::IndexedFolder> SearchIndex::indexedFolder(int folder) const
{
    Statement select(db_, "SELECT size, inode, changed, records, last_fingerprint FROM folders WHERE folder = ?1");
    if (!select.ok())
        return std::nullopt;
    select.bind(1, folder);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    return IndexedFolder{{select.integer(0), select.integer(1), select.integer(2)}, static_cast<int>(select.integer(3)),
        select.integer(4)};
}

namespace {

std::optional<std::pair<qint64, qint64>> inodeAndChange(const QString& path, qint64& size)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    size = info.st_size;
    return std::make_pair(static_cast<qint64>(info.st_ino),
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec);
}

} // namespace

StoreResult<bool> SearchIndex::isCurrent(const ProgramPaths& paths, int folder) const
{
    const RecordFile file = FolderFiles::folderFile(paths, folder);
    if (StoreStatus exists = file.ensureExists(); !exists.ok())
        return exists;
    qint64 size = 0;
    const auto state = inodeAndChange(file.path(), size);
    if (!state)
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1").arg(file.path()));
    const auto indexed = indexedFolder(folder);
    return indexed && indexed->file.size == size && indexed->file.inode == state->first
        && indexed->file.changedNs == state->second;
}

StoreResult<int> SearchIndex::firstRecordToIndex(const ProgramPaths& paths, int folder, const FileState& now) const
{
    const auto indexed = indexedFolder(folder);
    if (!indexed || indexed->file.inode != now.inode || indexed->file.size > now.size)
        return 1;
    if (indexed->records == 0)
        return 1;
    const auto last = FolderFiles::folderFile(paths, folder).read(indexed->records);
    if (!last.ok())
        return last.status();
    if (!last.value() || static_cast<qint64>(SearchDocument::fingerprint(last.value()->bytes())) != indexed->lastFingerprint)
        return 1;
    return indexed->records + 1;
}

StoreResult<int> SearchIndex::recordsToIndex(const ProgramPaths& paths, int folder) const
{
    const auto current = isCurrent(paths, folder);
    if (!current.ok())
        return current.status();
    if (current.value())
        return 0;
    const RecordFile file = FolderFiles::folderFile(paths, folder);
    FileState now;
    const auto state = inodeAndChange(file.path(), now.size);
    if (!state)
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1").arg(file.path()));
    now.inode = state->first;
    now.changedNs = state->second;
    const auto first = firstRecordToIndex(paths, folder, now);
    if (!first.ok())
        return first.status();
    return std::max(0, static_cast<int>(now.size / file.layout().length) - first.value() + 1);
}

StoreStatus SearchIndex::catchUp(const ProgramPaths& paths, int folder, const Progress& progress, const std::atomic<bool>* cancel)
{
    const RecordFile file = FolderFiles::folderFile(paths, folder);
    if (StoreStatus exists = file.ensureExists(); !exists.ok())
        return exists;
    // The file as it is before reading: a record appended while this runs is seen by the next call.
    FileState now;
    const auto state = inodeAndChange(file.path(), now.size);
    if (!state)
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1").arg(file.path()));
    now.inode = state->first;
    now.changedNs = state->second;
    if (const auto indexed = indexedFolder(folder); indexed && indexed->file.size == now.size
        && indexed->file.inode == now.inode && indexed->file.changedNs == now.changedNs)
        return StoreStatus::success();

    const auto first = firstRecordToIndex(paths, folder, now);
    if (!first.ok())
        return first.status();
    const int records = static_cast<int>(now.size / file.layout().length);

    if (!execute(db_, "BEGIN"))
        return failure(QStringLiteral("索引に書けません"));
    std::vector<qint64> keys = sortKeys_[static_cast<std::size_t>(folder)];
    bool written = true;
    if (first.value() == 1) {
        const QByteArray emptyText = "INSERT INTO " + textTable(folder) + "(" + textTable(folder) + ") VALUES('delete-all')";
        Statement emptied(db_, emptyText.constData());
        Statement remove(db_, "DELETE FROM rows WHERE id BETWEEN ?1 AND ?2");
        remove.bind(1, rowIdOf(folder, 0));
        remove.bind(2, rowIdOf(folder, 0xFFFF));
        written = emptied.ok() && emptied.step() == SQLITE_DONE && remove.ok() && remove.step() == SQLITE_DONE;
        keys.clear();
    }
    const QByteArray insertText = "INSERT INTO " + textTable(folder) + "(rowid, text) VALUES(?1, ?2)";
    Statement text(db_, insertText.constData());
    Statement insert(db_, "INSERT INTO rows(id, sortkey, subject, party, date) VALUES(?1, ?2, ?3, ?4, ?5)");
    written = written && insert.ok() && text.ok();
    qint64 lastFingerprint = 0;
    bool cancelled = false;
    const auto index = [&](int recordNumber, std::string_view bytes) {
        if (recordNumber == records)
            lastFingerprint = static_cast<qint64>(SearchDocument::fingerprint(bytes));
        if (recordNumber < first.value())
            return true;
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            cancelled = true;
            return false;
        }
        if (Record::liveOf(file.layout(), bytes) != 0) {
            const SearchDocument document = SearchDocument::fromRecord(folder, recordNumber, bytes);
            insert.bind(1, rowIdOf(folder, recordNumber));
            insert.bind(2, document.hit.sortKey);
            insert.bind(3, document.hit.subject);
            insert.bind(4, document.hit.party);
            insert.bind(5, document.hit.date);
            text.bind(1, recordNumber);
            text.bind(2, document.foldedText);
            if (insert.step() != SQLITE_DONE || text.step() != SQLITE_DONE) {
                written = false;
                return false;
            }
            insert.reset();
            text.reset();
            if (keys.size() <= static_cast<std::size_t>(recordNumber))
                keys.resize(static_cast<std::size_t>(recordNumber) + 1, NoRecord);
            keys[static_cast<std::size_t>(recordNumber)] = document.hit.sortKey;
        }
        if (progress)
            progress();
        return true;
    };
    StoreStatus read = StoreStatus::success();
    if (written && first.value() == 1) {
        read = file.forEach([&](int recordNumber, std::string_view bytes) {
            return recordNumber <= records && index(recordNumber, bytes);
        });
    } else if (written) {
        // Only the appended records are read, and the last one for its fingerprint.
        for (int recordNumber = std::min(first.value(), std::max(records, 1)); recordNumber <= records; ++recordNumber) {
            const auto record = file.read(recordNumber);
            if (!record.ok()) {
                read = record.status();
                break;
            }
            if (!record.value() || !index(recordNumber, record.value()->bytes()))
                break;
        }
    }
    if (!read.ok() || !written || cancelled) {
        execute(db_, "ROLLBACK");
        if (!read.ok())
            return read;
        return cancelled ? StoreStatus::success() : failure(QStringLiteral("索引に書けません"));
    }
    Statement remember(db_, "INSERT OR REPLACE INTO folders(folder, size, inode, changed, records, last_fingerprint)"
                            " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    remember.bind(1, folder);
    remember.bind(2, now.size);
    remember.bind(3, now.inode);
    remember.bind(4, now.changedNs);
    remember.bind(5, records);
    remember.bind(6, lastFingerprint);
    if (!remember.ok() || remember.step() != SQLITE_DONE || !execute(db_, "COMMIT")) {
        execute(db_, "ROLLBACK");
        return failure(QStringLiteral("索引に書けません"));
    }
    sortKeys_[static_cast<std::size_t>(folder)] = std::move(keys);
    return StoreStatus::success();
}

StoreResult<SearchResult> SearchIndex::search(const QStringList& words, int rowLimit) const
{
    SearchResult result;
    if (words.isEmpty())
        return result;
    QStringList phrases;
    for (const QString& word : words)
        phrases.append(phraseOf(word));
    const QString query = phrases.join(u' ');
    std::vector<std::pair<qint64, qint64>> found; // sort key, row id
    for (int folder = FolderFiles::FirstFolder; folder <= FolderFiles::SentHistory; ++folder) {
        const QByteArray sql = "SELECT rowid FROM " + textTable(folder) + " WHERE " + textTable(folder) + " MATCH ?1";
        Statement match(db_, sql.constData());
        if (!match.ok())
            return failure(QStringLiteral("索引を読めません"));
        match.bind(1, query);
        const auto& keys = sortKeys_[static_cast<std::size_t>(folder)];
        int rc;
        while ((rc = match.step()) == SQLITE_ROW) {
            const auto record = static_cast<std::size_t>(match.integer(0));
            found.emplace_back(record < keys.size() ? keys[record] : 0, rowIdOf(folder, static_cast<int>(record)));
        }
        if (rc != SQLITE_DONE)
            return failure(QStringLiteral("索引を読めません"));
    }
    result.count = static_cast<int>(found.size());
    const auto shown = std::min<std::size_t>(found.size(), static_cast<std::size_t>(std::max(0, rowLimit)));
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(shown), found.end(), std::greater<>());
    Statement row(db_, "SELECT subject, party, date FROM rows WHERE id = ?1");
    if (!row.ok())
        return failure(QStringLiteral("索引を読めません"));
    for (std::size_t i = 0; i < shown; ++i) {
        row.bind(1, found[i].second);
        if (row.step() != SQLITE_ROW)
            return failure(QStringLiteral("索引を読めません"));
        result.rows.append({static_cast<int>(found[i].second >> 16), static_cast<int>(found[i].second & 0xFFFF),
            found[i].first, row.text(0), row.text(1), row.text(2)});
        row.reset();
    }
    return result;
}
