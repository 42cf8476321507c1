#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {
namespace {

constexpr char TemporaryMark[] = ".tmp-";
constexpr int TemporarySuffixLength = 6;

} // namespace

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

int createTemporaryBeside(const QString& path, mode_t mode, QByteArray& temporaryName)
{
    static constexpr char Characters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray prefix = QFile::encodeName(path) + TemporaryMark;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryName = prefix;
        for (int i = 0; i < TemporarySuffixLength; ++i)
            temporaryName += Characters[QRandomGenerator::system()->bounded(int(sizeof Characters) - 1)];
        // Exclusive creation fails on any existing name, a link left there included.
        const int descriptor = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

QStringList temporariesOf(const QString& path)
{
    const QFileInfo file(path);
    const QString fixedName = file.fileName() + QStringLiteral(".tmp");
    const QString prefix = file.fileName() + QString::fromLatin1(TemporaryMark);
    QStringList found;
    const QFileInfoList entries = QDir(file.absolutePath()).entryInfoList({fixedName, prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (!entry.isSymLink() && (name == fixedName || name.size() == prefix.size() + TemporarySuffixLength))
            found << entry.filePath();
    }
    return found;
}

StoreStatus write(const QString& path, std::string_view bytes, mode_t mode)
{
    QByteArray temporaryName;
    const int descriptor = createTemporaryBeside(path, mode, temporaryName);
    if (descriptor < 0)
        return StoreStatus::failure(QStringLiteral("ファイルを作成できません: %1 (%2)").arg(QFile::decodeName(temporaryName), describeErrno(errno)));

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
