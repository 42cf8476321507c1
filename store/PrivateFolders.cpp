#include "PrivateFolders.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace PrivateFolders {

QStringList narrow(const ProgramPaths& paths)
{
    QStringList lines;
    for (const QString& folder : {paths.dataFolder(), paths.attachmentFolder(), paths.quickSaveFolder()}) {
        const QByteArray name = QFile::encodeName(folder);
        struct stat info {};
        if (::stat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        const mode_t access = info.st_mode & 07777;
        // The owner keeps what the owner had; the sticky and set-id bits stay as they were.
        const mode_t narrowed = access & (FolderMode | S_ISUID | S_ISGID | S_ISVTX);
        if (access == narrowed)
            continue;
        const QString shown = QDir::toNativeSeparators(folder);
        if (::chmod(name.constData(), narrowed) != 0) {
            lines << QStringLiteral("フォルダ「%1」を本人だけが読めるようにできません（%2）。")
                         .arg(shown, AtomicFile::describeErrno(errno));
            continue;
        }
        lines << QStringLiteral("フォルダ「%1」を他のユーザーが読めないようにしました（%2 → %3）。")
                     .arg(shown, QString::number(access, 8), QString::number(narrowed, 8));
    }
    return lines;
}

} // namespace PrivateFolders
