#include "ProgramFolderLock.h"

#include "PrivateFolders.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ProgramFolderLock::ProgramFolderLock(const ProgramPaths& paths)
    : programFolder_(paths.programFolder()), path_(paths.path(lockFileName()))
{
}

ProgramFolderLock::~ProgramFolderLock()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

ProgramFolderLock::Outcome ProgramFolderLock::acquire()
{
    if (descriptor_ >= 0)
        return Outcome::Acquired;
    const QByteArray name = QFile::encodeName(path_);
    // Never inherited by a program the user starts from here, which would keep the folder locked.
    int descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, PrivateFolders::FileMode);
    // A folder the user may only read can still be locked through a lock file that exists.
    if (descriptor < 0 && (errno == EACCES || errno == EROFS))
        descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        error_ = QStringLiteral("ロックファイル「%1」を開けません（%2）。").arg(QDir::toNativeSeparators(path_), QString::fromLocal8Bit(std::strerror(errno)));
        return Outcome::Failed;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        ::close(descriptor);
        if (reason == EWOULDBLOCK)
            return Outcome::HeldByAnotherCopy;
        error_ = QStringLiteral("ロックファイル「%1」をロックできません（%2）。").arg(QDir::toNativeSeparators(path_), QString::fromLocal8Bit(std::strerror(reason)));
        return Outcome::Failed;
    }
    descriptor_ = descriptor;
    return Outcome::Acquired;
}

QString ProgramFolderLock::heldByAnotherCopyText() const
{
    return QStringLiteral("Nemuroa はこのフォルダですでに起動しています。\r\n%1\r\n\r\n"
                          "同じフォルダのメールを二つのウィンドウで同時に扱うと、メールが失われるおそれがあるため、終了します。")
        .arg(QDir::toNativeSeparators(programFolder_));
}
