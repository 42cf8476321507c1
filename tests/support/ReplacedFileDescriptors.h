#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

// Whether this process still holds open a file of the folder whose name has gone: a compaction
// closes the file it replaced, which gives its space back, after it has returned.
inline bool holdsAReplacedFileIn(const QString& folderPath)
{
    const QByteArray folder = QFile::encodeName(folderPath) + '/';
    // A descriptor of a regular file lists as a file, one of a pipe or device as a system entry.
    for (const QString& descriptor : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t length = ::readlink(QFile::encodeName(QStringLiteral("/proc/self/fd/") + descriptor).constData(), target, sizeof target);
        const QByteArray link(target, length > 0 ? length : 0);
        if (link.startsWith(folder) && link.endsWith(" (deleted)"))
            return true;
    }
    return false;
}
