#include "StartUpRecovery.h"

#include "AccountProfile.h"
#include "AtomicFile.h"
#include "ReceiveJournal.h"
#include "ReceivedMessageIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace StartUpRecovery {
namespace {

// Attachments are written under ".nmail-" and six random characters before they get their name;
// the folder of kept split parts, ".nmail-split", is not one of them.
bool isUnnamedAttachment(const QFileInfo& entry)
{
    const QString name = entry.fileName();
    return entry.isFile() && !entry.isSymLink() && name.size() == 13 && name.startsWith(QStringLiteral(".nmail-"));
}

} // namespace

QStringList leftoverTemporaryFiles(const ProgramPaths& paths)
{
    QStringList candidates;
    for (const int number : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30, 50})
        candidates << paths.dataFile(QStringLiteral("VBMDATA%1.TMP").arg(number));
    for (const QString& rewritten : {AccountProfile(paths).accountFilePath(), ReceiveJournal(paths).path(),
             ReceivedMessageIds(paths).pendingPath(), ProgramPaths::inCurrentDirectory(u"vbmail.ini"),
             paths.attachmentFolder() + QStringLiteral("/.nmail-work")})
        candidates << AtomicFile::temporariesOf(rewritten);

    QStringList found;
    for (const QString& candidate : std::as_const(candidates)) {
        const QFileInfo entry(candidate);
        if (entry.isFile() && !entry.isSymLink())
            found << candidate;
    }
    const QFileInfoList hidden = QDir(paths.attachmentFolder()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : hidden) {
        if (isUnnamedAttachment(entry))
            found << entry.filePath();
    }
    return found;
}

StoreStatus recover(const ProgramPaths& paths)
{
    if (StoreStatus rolledBack = ReceiveJournal(paths).rollBack(); !rolledBack.ok())
        return rolledBack;
    if (StoreStatus settled = ReceivedMessageIds(paths).settle(); !settled.ok())
        return settled;
    for (const QString& leftover : leftoverTemporaryFiles(paths)) {
        if (::unlink(QFile::encodeName(leftover).constData()) != 0 && errno != ENOENT)
            return StoreStatus::failure(
                QStringLiteral("一時ファイルを削除できません: %1 (%2)").arg(leftover, AtomicFile::describeErrno(errno)));
    }
    return StoreStatus::success();
}

} // namespace StartUpRecovery
