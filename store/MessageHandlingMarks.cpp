#include "MessageHandlingMarks.h"

#include "AtomicFile.h"
#include "PrivateFolders.h"

#include <QFile>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

MessageHandlingMarks::MessageHandlingMarks(const ProgramPaths& paths) : paths_(paths) {}

MessageHandlingMarks::~MessageHandlingMarks()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString MessageHandlingMarks::path() const { return paths_.dataFile(u"receive.handling"); }

void MessageHandlingMarks::load(const QString& server, const QString& user)
{
    accountKey_ = QUrl::toPercentEncoding(server) + '\t' + QUrl::toPercentEncoding(user) + '\t';
    otherAccounts_.clear();
    times_.clear();
    current_.clear();
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A few lines at most; anything longer is not a file of ours.
    const QByteArray text = file.read(1024 * 1024);
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        bool ok = false;
        const int times = fields.size() == 4 ? fields[2].toInt(&ok) : 0;
        if (!ok || times <= 0 || fields[3].isEmpty())
            continue;
        if (line.startsWith(accountKey_))
            times_[QString::fromLatin1(fields[3])] = times;
        else
            otherAccounts_ += line.toStdString() + '\n';
    }
}

void MessageHandlingMarks::keepOnly(const QSet<QString>& keys)
{
    for (auto mark = times_.begin(); mark != times_.end();)
        mark = keys.contains(mark.key()) ? std::next(mark) : times_.erase(mark);
}

bool MessageHandlingMarks::isPoisonous(const QString& key) const { return times_.value(key) >= PoisonousAfter; }

StoreStatus MessageHandlingMarks::begin(const QString& key)
{
    if (!current_.isEmpty())
        times_.remove(current_);
    current_ = key;
    ++times_[key];
    return write(false);
}

StoreStatus MessageHandlingMarks::finish(bool forgetPoisonous)
{
    const bool hadMarks = !times_.isEmpty();
    if (!current_.isEmpty())
        times_.remove(std::exchange(current_, QString()));
    if (forgetPoisonous)
        times_.clear();
    StoreStatus status = hadMarks || fd_ >= 0 ? write(true) : StoreStatus::success();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return status;
}

StoreStatus MessageHandlingMarks::write(bool ending)
{
    std::string text = otherAccounts_;
    for (auto mark = times_.cbegin(); mark != times_.cend(); ++mark)
        text += (accountKey_ + QByteArray::number(mark.value()) + '\t' + mark.key().toLatin1() + '\n').toStdString();
    const QByteArray name = QFile::encodeName(path());
    const auto failed = [&](int error) {
        return StoreStatus::failure(QStringLiteral("ファイルに書き込めません: %1 (%2)").arg(path(), AtomicFile::describeErrno(error)));
    };
    if (fd_ < 0) {
        struct stat info {};
        const bool existed = ::lstat(name.constData(), &info) == 0;
        fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, PrivateFolders::FileMode);
        if (fd_ < 0)
            return failed(errno);
        written_ = existed ? info.st_size : 0;
    }
    // One write replaces the whole of what was there: shorter text is padded with empty lines
    // rather than cut after it, so that no death between two calls leaves an old line behind.
    // The padding goes when the session ends.
    const auto size = static_cast<qint64>(text.size());
    if (size < written_)
        text.append(static_cast<std::size_t>(written_ - size), '\n');
    if (::pwrite(fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        return failed(errno);
    written_ = static_cast<qint64>(text.size());
    if (ending && size < written_) {
        if (::ftruncate(fd_, size) != 0)
            return failed(errno);
        written_ = size;
    }
    return StoreStatus::success();
}
