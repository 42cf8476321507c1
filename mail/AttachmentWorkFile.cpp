#include "AttachmentWorkFile.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"
#include "PrivateFolders.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether one of four UTF-16 units is CR or LF, tested at once: the line ends of a megabyte body
// are looked for on every receive.
bool holdsCrOrLf(const char16_t* units)
{
    std::uint64_t four = 0;
    std::memcpy(&four, units, sizeof four);
    constexpr std::uint64_t ones = 0x0001000100010001ULL;
    constexpr std::uint64_t highs = 0x8000800080008000ULL;
    const auto holdsZero = [](std::uint64_t lanes) { return ((lanes - ones) & ~lanes & highs) != 0; };
    return holdsZero(four ^ (ones * u'\r')) || holdsZero(four ^ (ones * u'\n'));
}

// The identity of an open regular file as the work file's note holds it: the file system, the
// inode and, where the file system keeps it, the moment the file was made, so that a file made
// later under a freed inode number is not taken for the work file. Empty for anything else.
QByteArray identity(int descriptor)
{
    struct statx info {};
    if (::statx(descriptor, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_BTIME, &info) != 0 || !S_ISREG(info.stx_mode))
        return {};
    QByteArray text = QByteArray::number(info.stx_dev_major) + ':' + QByteArray::number(info.stx_dev_minor) + ' '
        + QByteArray::number(static_cast<qulonglong>(info.stx_ino));
    if (info.stx_mask & STATX_BTIME)
        text += ' ' + QByteArray::number(static_cast<qlonglong>(info.stx_btime.tv_sec)) + '.' + QByteArray::number(info.stx_btime.tv_nsec);
    return text + '\n';
}

bool writeAll(int descriptor, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(descriptor, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

QString notePath(const QString& path) { return QFileInfo(path).absolutePath() + QStringLiteral("/.nmail-work"); }

// Whether the open file at path is the work file the program made.
bool isOwn(const QString& path, int descriptor)
{
    const QByteArray own = identity(descriptor);
    QFile note(notePath(path));
    return !own.isEmpty() && note.open(QIODevice::ReadOnly) && note.read(128) == own;
}

} // namespace

QString AttachmentWorkFile::write(const QString& path, const QString& header, const QString& body)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    text.reserve(header.size() + body.size() + 2 * lineEnd.size());
    text.append(header).append(lineEnd).append(body).append(lineEnd);
    const QByteArray name = QFile::encodeName(path);
    // Written over the previous message's text and then cut to length, so the file keeps its
    // blocks instead of giving them back and taking them again for every message.
    int descriptor = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor >= 0 && !isOwn(path, descriptor)) {
        ::close(descriptor);
        descriptor = -1;
    } else if (descriptor < 0 && errno == ENOENT) {
        descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, PrivateFolders::FileMode);
        if (descriptor < 0 && errno != EEXIST)
            return {};
        if (descriptor >= 0 && !AtomicFile::write(notePath(path), identity(descriptor).toStdString()).ok()) {
            ::close(descriptor);
            ::unlink(name.constData());
            return {};
        }
    } else if (descriptor < 0) {
        // Whatever stands at the name and cannot be opened (a link, a file the user made read-only)
        // is not the program's; only a folder that cannot be reached gives no work text.
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0)
            return {};
    }
    if (descriptor >= 0) {
        // Let go before the work text is made: a large message is held in several forms here.
        const std::string bytes = Cp932Codec::encode(text);
        const bool written = writeAll(descriptor, bytes) && ::ftruncate(descriptor, static_cast<off_t>(bytes.size())) == 0;
        ::close(descriptor);
        if (!written)
            return {};
    }
    text = Cp932Codec::readBack(text);
    return linesOf(text);
}

void AttachmentWorkFile::remove(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor >= 0) {
        if (isOwn(path, descriptor))
            ::unlink(name.constData());
        ::close(descriptor);
    }
    QFile::remove(notePath(path));
}

QString AttachmentWorkFile::linesOf(const QString& text)
{
    // Text written by write() ends its lines with CR LF unless the message itself holds a lone CR
    // or LF: then only a missing last line end is added, without copying the text line by line.
    const auto* const units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    bool onlyCrLf = true;
    for (qsizetype i = 0; i < size && onlyCrLf;) {
        if (size - i >= 4 && !holdsCrOrLf(units + i)) {
            i += 4;
            continue;
        }
        if (units[i] == u'\r')
            onlyCrLf = i + 1 < size && units[i + 1] == u'\n';
        else if (units[i] == u'\n')
            onlyCrLf = i > 0 && units[i - 1] == u'\r';
        ++i;
    }
    if (onlyCrLf)
        return text.isEmpty() || text.endsWith(QStringLiteral("\r\n")) ? text : text + QStringLiteral("\r\n");

    QString lines;
    lines.reserve(text.size() + 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        lines.append(QStringView(text).mid(start, end - start));
        if (end == text.size())
            break;
        lines += QStringLiteral("\r\n");
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    }
    if (!lines.isEmpty() && !lines.endsWith(QStringLiteral("\r\n")))
        lines += QStringLiteral("\r\n");
    return lines;
}
