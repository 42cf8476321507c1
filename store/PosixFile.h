#pragma once

#include "PrivateFolders.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>

// A file descriptor of a store file, open for one operation and closed with the object. Opening a
// missing file creates it empty, as random access has always done.
class PosixFile {
public:
    explicit PosixFile(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, PrivateFolders::FileMode))
    {
    }
    // A file made new here: whatever stood at path (a link included) is removed first, and the
    // creation is exclusive, so nothing is ever written through a name someone else prepared.
    static PosixFile createdNew(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        ::unlink(name.constData());
        return PosixFile(::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, PrivateFolders::FileMode));
    }
    PosixFile(PosixFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ~PosixFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes now, so that a failure to close can be reported; false with errno set.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }
    // Hands the descriptor over to the caller, who closes it.
    int release() { return std::exchange(fd_, -1); }

    // Reads up to size bytes at offset; got says how many there were before the end of the file.
    // false with errno set on a read error.
    bool readAt(char* buffer, std::size_t size, off_t offset, std::size_t& got) const
    {
        got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd_, buffer + got, size - got, offset + static_cast<off_t>(got));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    // false with errno set unless every byte was written.
    bool writeAt(const char* buffer, std::size_t size, off_t offset) const
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, buffer + done, size - done, offset + static_cast<off_t>(done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    explicit PosixFile(int fd) : fd_(fd) {}

    int fd_;
};
