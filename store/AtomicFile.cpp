#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

QString describeErrno(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

StoreStatus syncDirectoryOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return StoreStatus::failure(QStringLiteral("フォルダを開けません: %1 (%2)").arg(QFileInfo(path).absolutePath(), describeErrno(errno)));
    const int rc = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    if (rc != 0)
        return StoreStatus::failure(QStringLiteral("ディスクへの書き込みに失敗しました: %1 (%2)").arg(path, describeErrno(error)));
    return StoreStatus::success();
}

StoreStatus write(const QString& path, std::string_view bytes, mode_t mode)
{
    const QString temporary = path + QStringLiteral(".tmp");
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int descriptor = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (descriptor < 0)
        return StoreStatus::failure(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(temporary, describeErrno(errno)));

    auto fail = [&](const QString& what) {
        const int error = errno;
        ::close(descriptor);
        ::unlink(temporaryName.constData());
        return StoreStatus::failure(QStringLiteral("%1: %2 (%3)").arg(what, path, describeErrno(error)));
    };
    // The mode is set explicitly: the process's umask must not widen or narrow what the caller asked.
    if (::fchmod(descriptor, mode) != 0)
        return fail(QStringLiteral("ファイルの属性を設定できません"));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("ファイルに書き込めません"));
        }
        done += static_cast<std::size_t>(written);
    }
    if (::fsync(descriptor) != 0)
        return fail(QStringLiteral("ファイルに書き込めません"));
    if (::close(descriptor) != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        return StoreStatus::failure(QStringLiteral("ファイルに書き込めません: %1 (%2)").arg(path, describeErrno(error)));
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        return StoreStatus::failure(QStringLiteral("ファイルを置き換えられません: %1 (%2)").arg(path, describeErrno(error)));
    }
    return syncDirectoryOf(path);
}

} // namespace AtomicFile
