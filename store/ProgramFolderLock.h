#pragma once

#include "ProgramPaths.h"

#include <QString>

// Keeps a second copy of the program off the same program folder: both would rewrite the same
// record files with no coordination (one compacting a folder while the other appends to it). The
// lock is an advisory lock on a file in the program folder, held from acquire() until the object
// goes away; the system drops it with the process, so a crash leaves nothing stale.
class ProgramFolderLock {
public:
    enum class Outcome {
        Acquired,
        // Another running copy holds the folder.
        HeldByAnotherCopy,
        // The lock file cannot be opened or locked (error() says why); nothing is known about
        // other copies.
        Failed,
    };

    explicit ProgramFolderLock(const ProgramPaths& paths);
    ~ProgramFolderLock();
    ProgramFolderLock(const ProgramFolderLock&) = delete;
    ProgramFolderLock& operator=(const ProgramFolderLock&) = delete;

    [[nodiscard]] Outcome acquire();
    const QString& error() const { return error_; }
    const QString& lockFilePath() const { return path_; }

    // The notice for a second start on a folder that another copy holds.
    QString heldByAnotherCopyText() const;

    static QString lockFileName() { return QStringLiteral("nemuroa.lock"); }

private:
    QString programFolder_;
    QString path_;
    int descriptor_ = -1;
    QString error_;
};
