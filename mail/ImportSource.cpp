#include "ImportSource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// Lines are read in pieces of at most this many bytes, so one endless line costs no more.
constexpr qint64 PieceBytes = 64 * 1024;
// The part of a message's header looked at for its date and Message-ID.
constexpr qint64 HeaderBytesLooked = 256 * 1024;
// What stays in memory of a message kept in a temporary file: enough for every header.
constexpr std::size_t HeadBytes = 256 * 1024;
// What a message copied to the temporary folder leaves free there, for everything else.
constexpr qint64 SpillDiskReserve = 256LL * 1024 * 1024;

bool startsWithName(std::string_view line, std::string_view name)
{
    if (line.size() < name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i])
            return false;
    }
    return true;
}

std::string_view withoutLineEnd(std::string_view piece)
{
    if (!piece.empty() && piece.back() == '\n')
        piece.remove_suffix(1);
    if (!piece.empty() && piece.back() == '\r')
        piece.remove_suffix(1);
    return piece;
}

QByteArray bytesOf(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

bool isEmptyLine(std::string_view piece) { return piece == "\n" || piece == "\r\n"; }

QDateTime headerDate(QString text)
{
    // A trailing comment such as "(JST)" is no part of the date.
    if (const qsizetype comment = text.indexOf(u'('); comment > 0)
        text.truncate(comment);
    return QDateTime::fromString(text.simplified(), Qt::RFC2822Date);
}

QDateTime separatorDate(std::string_view line)
{
    // "From sender Tue Dec  8 13:47:24 2026": the last five words.
    const QStringList words = QString::fromLatin1(withoutLineEnd(line)).simplified().split(u' ');
    if (words.size() < 7)
        return {};
    QDateTime date = QDateTime::fromString(words.mid(words.size() - 5).join(u' '), QStringLiteral("ddd MMM d HH:mm:ss yyyy"));
    date.setTimeZone(QTimeZone::utc());
    return date;
}

// The Date header of a message fed line piece by line piece.
class DateFinder {
public:
    void feed(std::string_view piece, bool startsLine)
    {
        if (done_)
            return;
        seen_ += static_cast<qint64>(piece.size());
        if (seen_ > HeaderBytesLooked || (startsLine && isEmptyLine(piece))) {
            done_ = true;
            return;
        }
        if (startsLine && inDate_ && (piece.front() == ' ' || piece.front() == '\t')) {
            text_ += QString::fromLatin1(withoutLineEnd(piece));
            return;
        }
        if (!startsLine) {
            if (inDate_)
                text_ += QString::fromLatin1(withoutLineEnd(piece));
            return;
        }
        inDate_ = startsWithName(piece, "date:") && text_.isEmpty();
        if (inDate_)
            text_ = QString::fromLatin1(withoutLineEnd(piece.substr(5)));
    }
    QDateTime date() const { return text_.isEmpty() ? QDateTime() : headerDate(text_); }

private:
    QString text_;
    qint64 seen_ = 0;
    bool inDate_ = false;
    bool done_ = false;
};

bool beginsWithSeparator(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(5);
    return ImportSource::isSeparator(std::string_view(start.constData(), static_cast<std::size_t>(start.size())));
}

} // namespace

bool ImportSource::isSeparator(std::string_view line) { return line.substr(0, 5) == "From "; }

void ImportSource::scan(const QStringList& paths, const std::function<bool()>& stop)
{
    files_.clear();
    messages_.clear();
    unreadable_.clear();
    stop_ = stop;
    for (const QString& path : paths) {
        if (stopped())
            break;
        const QFileInfo info(path);
        if (info.isDir())
            scanPath(info.absoluteFilePath(), false);
        else if (!info.isFile() || !info.isReadable())
            unreadable_ << path;
        else if (beginsWithSeparator(path))
            scanMbox(info.absoluteFilePath());
        else
            addWholeFile(info.absoluteFilePath());
    }
    std::stable_sort(messages_.begin(), messages_.end(), [](const Message& a, const Message& b) {
        if (a.date.isValid() != b.date.isValid())
            return !a.date.isValid();
        return a.date.isValid() && a.date < b.date;
    });
}

void ImportSource::scanPath(const QString& path, bool inMaildir)
{
    const QDir folder(path);
    if (!folder.isReadable()) {
        unreadable_ << path;
        return;
    }
    const bool isMaildir = folder.exists(QStringLiteral("cur")) && folder.exists(QStringLiteral("new"));
    const QFileInfoList entries = folder.entryInfoList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (stopped())
            return;
        if (entry.isDir()) {
            // A Maildir's tmp holds messages still being delivered.
            if (isMaildir && entry.fileName() == u"tmp")
                continue;
            scanPath(entry.absoluteFilePath(), isMaildir && (entry.fileName() == u"cur" || entry.fileName() == u"new"));
        } else if (inMaildir) {
            if (!entry.fileName().startsWith(u'.'))
                addWholeFile(entry.absoluteFilePath());
        } else if (entry.suffix().compare(QStringLiteral("eml"), Qt::CaseInsensitive) == 0) {
            addWholeFile(entry.absoluteFilePath());
        } else if (beginsWithSeparator(entry.absoluteFilePath())) {
            scanMbox(entry.absoluteFilePath());
        }
    }
}

void ImportSource::addWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable_ << path;
        return;
    }
    DateFinder finder;
    std::array<char, PieceBytes> buffer{};
    bool lineStart = true;
    qint64 read = 0;
    for (qint64 seen = 0; seen < HeaderBytesLooked && (read = file.readLine(buffer.data(), PieceBytes)) > 0; seen += read) {
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(read));
        finder.feed(piece, lineStart);
        lineStart = piece.back() == '\n';
    }
    files_ << path;
    messages_.push_back({static_cast<int>(files_.size()) - 1, 0, file.size(), false, finder.date()});
}

void ImportSource::scanMbox(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable_ << path;
        return;
    }
    files_ << path;
    const int fileIndex = static_cast<int>(files_.size()) - 1;
    std::array<char, PieceBytes> buffer{};
    bool lineStart = true;
    bool inSeparator = false;
    bool haveMessage = false;
    qint64 position = 0;
    // The blank line an mbox writer puts after every message is no part of it.
    qint64 trailingBlank = 0;
    Message current;
    DateFinder finder;
    QDateTime fromLineDate;
    const auto finish = [&] {
        if (!haveMessage)
            return;
        current.length = std::max<qint64>(0, position - current.offset - trailingBlank);
        const QDateTime date = finder.date();
        current.date = date.isValid() ? date : fromLineDate;
        messages_.push_back(current);
    };
    qint64 read = 0;
    for (int pieces = 1; (read = file.readLine(buffer.data(), PieceBytes)) > 0; ++pieces) {
        if (pieces % 4096 == 0 && stopped())
            return;
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(read));
        const bool startsLine = lineStart;
        lineStart = piece.back() == '\n';
        if (startsLine && isSeparator(piece)) {
            finish();
            haveMessage = true;
            current = {fileIndex, position + read, 0, true, {}};
            finder = DateFinder();
            fromLineDate = separatorDate(piece);
            inSeparator = !lineStart;
            trailingBlank = 0;
        } else if (inSeparator) {
            current.offset = position + read;
            inSeparator = !lineStart;
        } else {
            finder.feed(piece, startsLine);
            trailingBlank = startsLine && isEmptyLine(piece) ? read : 0;
        }
        position += read;
    }
    finish();
}

StoreResult<ImportSource::Read> ImportSource::read(const Message& message, qint64 memoryBound) const
{
    const QString& path = files_[message.file];
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(message.offset))
        return StoreStatus::failure(QStringLiteral("%1 を読めません（%2）").arg(QDir::toNativeSeparators(path), file.errorString()));
    Read result;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray messageId;
    std::array<char, PieceBytes> buffer{};
    bool lineStart = true;
    bool inHeader = true;
    bool inMessageId = false;
    qint64 pendingLineEnds = 0;
    qint64 total = 0;
    const auto keep = [&](std::string_view piece) -> StoreStatus {
        total += static_cast<qint64>(piece.size());
        if (!result.whole && total > memoryBound) {
            // The copy may take what the disk can spare, no more.
            const qint64 room = QStorageInfo(QDir::tempPath()).bytesAvailable() - SpillDiskReserve;
            if (message.length > room)
                return StoreStatus::failure(QStringLiteral("%1 のメール（%2 バイト）を一時フォルダに置く空き容量がありません")
                                                .arg(QDir::toNativeSeparators(path))
                                                .arg(message.length));
            result.whole = std::make_shared<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/nemuroa-import-XXXXXX"));
            if (!result.whole->open() || result.whole->write(result.bytes.data(), static_cast<qint64>(result.bytes.size())) < 0)
                return StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません（%1）").arg(result.whole->errorString()));
            result.bytes.resize(std::min(result.bytes.size(), HeadBytes));
        }
        if (result.whole) {
            if (result.whole->write(piece.data(), static_cast<qint64>(piece.size())) != static_cast<qint64>(piece.size()))
                return StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません（%1）").arg(result.whole->errorString()));
            if (result.bytes.size() < HeadBytes)
                result.bytes.append(piece.substr(0, HeadBytes - result.bytes.size()));
            return StoreStatus::success();
        }
        result.bytes.append(piece);
        return StoreStatus::success();
    };
    qint64 left = message.length;
    while (left > 0) {
        const qint64 read = file.readLine(buffer.data(), std::min(PieceBytes, left + 1));
        if (read <= 0)
            return StoreStatus::failure(QStringLiteral("%1 を読めません（%2）").arg(QDir::toNativeSeparators(path), file.errorString()));
        left -= read;
        std::string_view piece(buffer.data(), static_cast<std::size_t>(read));
        const bool startsLine = lineStart;
        lineStart = piece.back() == '\n';
        // ">From " and ">>From " lose one ">": mboxrd quotes every such line, mboxo only "From ".
        if (message.inMbox && startsLine && piece.front() == '>') {
            const std::size_t quotes = piece.find_first_not_of('>');
            if (quotes != std::string_view::npos && isSeparator(piece.substr(quotes)))
                piece.remove_prefix(1);
        }
        if (startsLine && inHeader) {
            if (isEmptyLine(piece))
                inHeader = false;
            else if (inMessageId && (piece.front() == ' ' || piece.front() == '\t'))
                messageId += bytesOf(withoutLineEnd(piece));
            else if ((inMessageId = startsWithName(piece, "message-id:")))
                messageId = bytesOf(withoutLineEnd(piece.substr(11)));
        }
        if (StoreStatus kept = keep(piece); !kept.ok())
            return kept;
        const std::string_view content = withoutLineEnd(piece);
        if (!content.empty()) {
            for (; pendingLineEnds > 0; --pendingLineEnds)
                hash.addData(QByteArrayView("\n"));
            hash.addData(QByteArrayView(content.data(), static_cast<qsizetype>(content.size())));
        }
        if (lineStart)
            ++pendingLineEnds;
    }
    if (result.whole && !result.whole->flush())
        return StoreStatus::failure(QStringLiteral("一時ファイルに書き込めません（%1）").arg(result.whole->errorString()));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(messageId.trimmed());
    result.key = QString::fromLatin1(hash.result().toHex());
    return result;
}
