#include "AttachmentFolder.h"

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

StoreResult<QString> AttachmentFolder::writeNew(const QString& name, const QString& fallback, std::string_view bytes) const
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
    std::size_t written = 0;
    int error = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0) {
            error = result < 0 ? errno : EIO;
            break;
        }
        written += static_cast<std::size_t>(result);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return failure(error);
    }
    ::chmod(temporary.constData(), 0644);

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
