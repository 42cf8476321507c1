#include "AttachmentFolder.h"

#include "PrivateFolders.h"
#include "SafeFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaximumNumber = 10000;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

AttachmentFolder::AttachmentFolder(const QString& path) : path_(path)
{
    while (path_.size() > 1 && (path_.endsWith(u'/') || path_.endsWith(u'\\')))
        path_.chop(1);
    if (!QFileInfo(path_).isDir() && path_.contains(u'\\')) {
        QString slashed = path_;
        slashed.replace(u'\\', u'/');
        if (QFileInfo(slashed).isDir())
            path_ = slashed;
    }
}

bool AttachmentFolder::exists() const { return QFileInfo(path_).isDir(); }

namespace {

int writeAll(int fd, std::string_view bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return result < 0 ? errno : EIO;
        written += static_cast<std::size_t>(result);
    }
    return 0;
}

} // namespace

StoreResult<QString> AttachmentFolder::writeNew(const QString& name, const QString& fallback, std::string_view bytes) const
{
    return writeNewWith(name, fallback, [bytes](int fd) { return writeAll(fd, bytes); });
}

StoreResult<QString> AttachmentFolder::copyNew(const QString& name, const QString& fallback, const QString& source) const
{
    return writeNewWith(name, fallback, [&source](int fd) {
        QFile from(source);
        if (!from.open(QIODevice::ReadOnly))
            return EIO;
        std::string chunk(1 << 20, '\0');
        for (;;) {
            const qint64 read = from.read(chunk.data(), static_cast<qint64>(chunk.size()));
            if (read < 0)
                return EIO;
            if (read == 0)
                return 0;
            if (const int error = writeAll(fd, std::string_view(chunk.data(), static_cast<std::size_t>(read))); error != 0)
                return error;
        }
    });
}

StoreResult<QString> AttachmentFolder::writeNewWith(const QString& name, const QString& fallback,
    const std::function<int(int fd)>& write) const
{
    const QString safe = SafeFileName::make(name, fallback);
    const auto failure = [&](int error) {
        return StoreStatus::failure(QStringLiteral("添付ファイル「%1」を添付フォルダ「%2」に書き込めません（%3）。")
                                        .arg(safe, QDir::toNativeSeparators(path_), systemError(error)));
    };
    QByteArray temporary = QFile::encodeName(path_ + QStringLiteral("/.nmail-XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    int error = write(fd);
    if (error == 0 && ::fchmod(fd, PrivateFolders::FileMode) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return failure(error);
    }

    // link() refuses an existing name, so a file that appeared meanwhile is never overwritten.
    for (int number = 1; number <= MaximumNumber; ++number) {
        const QString candidate = path_ + u'/' + (number == 1 ? safe : SafeFileName::numbered(safe, number));
        if (::link(temporary.constData(), QFile::encodeName(candidate).constData()) == 0) {
            ::unlink(temporary.constData());
            return candidate;
        }
        if (errno != EEXIST) {
            error = errno;
            ::unlink(temporary.constData());
            return failure(error);
        }
    }
    ::unlink(temporary.constData());
    return failure(EEXIST);
}
