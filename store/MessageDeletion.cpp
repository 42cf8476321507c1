#include "MessageDeletion.h"

#include "AtomicFile.h"
#include "FolderFiles.h"
#include "PosixFile.h"

#include <cerrno>
#include <sys/stat.h>

namespace MessageDeletion {
namespace {

QString markFailure(const QString& path, int error)
{
    return QStringLiteral("ファイルに書き込めません: %1 (%2)").arg(path, AtomicFile::describeErrno(error));
}

// Every mark goes through one open of the file. Only the Live flags are written: the marked
// records are dropped by the compaction whatever else they hold, and until it has renamed its copy
// into place the file still holds each message as it was.
StoreStatus markAll(const RecordFile& file)
{
    PosixFile opened(file.path());
    if (!opened.isOpen())
        return StoreStatus::failure(
            QStringLiteral("ファイルを開けません: %1 (%2)").arg(file.path(), AtomicFile::describeErrno(errno)));
    struct stat info {};
    if (::fstat(opened.get(), &info) != 0)
        return StoreStatus::failure(markFailure(file.path(), errno));
    const RecordLayout& layout = file.layout();
    const off_t records = info.st_size / layout.length;
    constexpr char marked[2] = {0, 0};
    for (off_t index = 0; index < records; ++index) {
        if (!opened.writeAt(marked, sizeof marked, index * layout.length + layout.liveOffset()))
            return StoreStatus::failure(markFailure(file.path(), errno));
    }
    if (!opened.close())
        return StoreStatus::failure(markFailure(file.path(), errno));
    return StoreStatus::success();
}

} // namespace

StoreStatus deleteOne(const ProgramPaths& paths, int folder, int recordNumber, const Record& buffer)
{
    const RecordFile file = FolderFiles::folderFile(paths, folder);
    if (&buffer.layout() != &file.layout())
        return StoreStatus::failure(QStringLiteral("レコードの形式がファイルと合いません: %1").arg(file.path()));
    Record marked = buffer;
    marked.setLive(0);
    if (StoreStatus written = file.write(recordNumber, marked); !written.ok())
        return written;
    return file.compact(FolderFiles::TempFilePath(paths, folder));
}

StoreStatus deleteAll(const ProgramPaths& paths, int folder)
{
    const RecordFile file = FolderFiles::folderFile(paths, folder);
    if (StoreStatus marked = markAll(file); !marked.ok())
        return marked;
    return file.compact(FolderFiles::TempFilePath(paths, folder));
}

} // namespace MessageDeletion
