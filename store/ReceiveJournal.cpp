#include "ReceiveJournal.h"

#include "AtomicFile.h"
#include "FolderFiles.h"
#include "ReceivedMessageIds.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <charconv>
#include <optional>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int NotedFiles = ReceiveJournal::NotedFiles;
static_assert(ReceiveJournal::ReceivedFolders == FolderFiles::OthersFolder);
static_assert(NotedFiles == FolderFiles::SentHistory);

StoreStatus removeDurably(const QString& path)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return StoreStatus::failure(QStringLiteral("ファイルを削除できません: %1 (%2)").arg(path, AtomicFile::describeErrno(errno)));
    return AtomicFile::syncDirectoryOf(path);
}

// The lengths in folder order; std::nullopt when the note is not eleven whole lines of numbers, or
// ten as an earlier version wrote it (the sent history then stays as it is).
std::optional<ReceiveJournal::Lengths> parse(const QByteArray& note)
{
    ReceiveJournal::Lengths lengths{};
    lengths.fill(std::numeric_limits<qint64>::max());
    const QList<QByteArray> lines = note.split('\n');
    if ((lines.size() != NotedFiles + 1 && lines.size() != ReceiveJournal::ReceivedFolders + 1) || !lines.last().isEmpty())
        return std::nullopt;
    for (int folder = 0; folder + 1 < lines.size(); ++folder) {
        const QByteArray& line = lines[folder];
        qint64 value = -1;
        const auto [end, error] = std::from_chars(line.constData(), line.constData() + line.size(), value);
        if (error != std::errc() || end != line.constData() + line.size() || value < 0)
            return std::nullopt;
        lengths[static_cast<std::size_t>(folder)] = value;
    }
    return lengths;
}

StoreStatus cutBack(const QString& path, qint64 length)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? StoreStatus::success()
                               : StoreStatus::failure(QStringLiteral("ファイルを開けません: %1 (%2)").arg(path, AtomicFile::describeErrno(errno)));
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && info.st_size > length)
        ok = ::ftruncate(fd, length) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok)
        return StoreStatus::failure(QStringLiteral("受信を途中で終えたメールを取り消せません: %1 (%2)").arg(path, AtomicFile::describeErrno(error)));
    return StoreStatus::success();
}

} // namespace

ReceiveJournal::ReceiveJournal(const ProgramPaths& paths) : paths_(paths) {}

QString ReceiveJournal::path() const { return paths_.dataFile(u"receive.journal"); }

StoreStatus ReceiveJournal::begin()
{
    noted_.reset();
    Lengths lengths{};
    std::string note;
    for (int folder = 1; folder <= NotedFiles; ++folder) {
        struct stat info {};
        const QByteArray name = QFile::encodeName(FolderFiles::FolderFilePath(paths_, folder));
        qint64 length = 0;
        if (::stat(name.constData(), &info) == 0)
            length = info.st_size;
        else if (errno != ENOENT)
            return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1 (%2)")
                                            .arg(QFile::decodeName(name), AtomicFile::describeErrno(errno)));
        note += std::to_string(length) + '\n';
        lengths[static_cast<std::size_t>(folder - 1)] = length;
    }
    StoreStatus written = AtomicFile::write(path(), note);
    if (written.ok())
        noted_ = lengths;
    return written;
}

StoreStatus ReceiveJournal::undo() const
{
    if (!noted_)
        return StoreStatus::success();
    StoreStatus cut = cutBackTo(*noted_);
    StoreStatus removed = removeNote();
    return cut.ok() ? removed : cut;
}

// The ids written for the session's records go before the note: once the note is gone, a pending
// id file counts as committed.
StoreStatus ReceiveJournal::removeNote() const
{
    if (StoreStatus dropped = removeDurably(ReceivedMessageIds(paths_).pendingPath()); !dropped.ok())
        return dropped;
    return removeDurably(path());
}

// Every folder is cut even when one fails, so that one bad file does not keep the others long.
StoreStatus ReceiveJournal::cutBackTo(const Lengths& lengths) const
{
    StoreStatus first = StoreStatus::success();
    for (int folder = 1; folder <= NotedFiles; ++folder) {
        StoreStatus cut = cutBack(FolderFiles::FolderFilePath(paths_, folder), lengths[static_cast<std::size_t>(folder - 1)]);
        if (first.ok() && !cut.ok())
            first = cut;
    }
    return first;
}

StoreStatus ReceiveJournal::commit() const { return removeDurably(path()); }

StoreStatus ReceiveJournal::rollBack() const
{
    QFile file(path());
    if (!file.exists())
        return StoreStatus::success();
    if (!file.open(QIODevice::ReadOnly))
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1 (%2)").arg(path(), file.errorString()));
    const auto lengths = parse(file.readAll());
    file.close();
    if (lengths) {
        if (StoreStatus cut = cutBackTo(*lengths); !cut.ok())
            return cut;
    }
    return removeNote();
}
