// Loaded with LD_PRELOAD into a process under test. It counts every call that changes a file or a
// folder below NEMUROA_SWEEP_ROOT and, depending on NEMUROA_SWEEP_MODE, does one of these at the
// call numbered NEMUROA_SWEEP_AT (1-based):
//
//   count     nothing; only the trace is written
//   kill      SIGKILL before the call runs; with NEMUROA_SWEEP_IMAGE set, first writes there the
//             folder as a power cut at that instant would leave it on disk (see below); a run
//             with fewer calls writes that image when the process exits
//   nospace   the disk is full from that call on: it and every later write or flush fail (ENOSPC)
//   ioerror   that one write or flush fails (EIO)
//
// Counted: write, pwrite(64), writev, pwritev(64), copy_file_range, ftruncate(64), truncate, fsync,
// fdatasync, rename, renameat, renameat2, link, linkat, unlink, unlinkat, mkdir, mkdirat, rmdir,
// mkstemp, mkostemp, and open, open64, openat, openat64, creat with O_CREAT, O_TRUNC or O_TMPFILE.
// Calls that glibc makes internally (stdio's writes) do not pass through here; the program makes
// none on its files.
//
// In the two fault modes the number counts writes and flushes only (write, pwrite, writev,
// copy_file_range, fsync, fdatasync). NEMUROA_SWEEP_TRACE names a file that receives one
// line per counted call: "<call> <write-or-flush number or -> <operation> <path>".
//
// The power-cut model. The disk holds what was flushed and nothing more:
//   - a file's content and length are those it had at its last fsync or fdatasync (for a file that
//     existed when the process started and was never flushed since, the content it had then; for a
//     file created since and never flushed, nothing: it is empty);
//   - a folder's entries (creating, renaming, linking, unlinking, making and removing folders) are
//     those it had at its last fsync of the folder itself, or when the process started;
//   - a name leads to the file its folder's durable entry named, with that file's durable content.
// A rename or a new file is therefore lost unless its folder was flushed afterwards, and data
// written after the last flush is lost even when the rename that published it was made durable.
// This is the strictest reading of POSIX, stricter than ext4's ordered mode. It leaves out a write
// torn inside one flush interval (part of an unflushed record reaching the disk); the receive
// journal cuts such a tail off, an in-place rewrite of a sort rule is not covered.

#undef _FORTIFY_SOURCE

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Cutting a file short takes no room, so a full disk does not refuse it.
enum class Kind { Write, Flush, Cut, Name };
enum class Mode { Count, Kill, NoSpace, IoError };

template <typename F>
F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

#define REAL(name) static const auto real_##name = real<decltype(&::name)>(#name)

// One entry of a folder as the disk would hold it. Files and folders are named by an id that
// outlives the inode number, which the kernel reuses: a folder removed and made again under the
// same name is a new folder, and its parent may still durably hold the old one.
struct DurableEntry {
    bool isFolder = false;
    long object = 0;
};

class Sweep {
public:
    static Sweep& instance()
    {
        static Sweep sweep;
        return sweep;
    }

    // A run that was not killed ends with the power cut just after the process: what the session
    // left on disk once it had finished, QUIT and all.
    ~Sweep()
    {
        if (mode_ == Mode::Kill && !image_.empty() && calls_ < target_)
            writeImage();
    }
    Sweep(const Sweep&) = delete;
    Sweep& operator=(const Sweep&) = delete;

    bool active() const { return !root_.empty(); }

    // Returns the errno the call must fail with, or 0 to let it run.
    int before(Kind kind, const char* operation, const std::string& path)
    {
        if (!under(path))
            return 0;
        const std::lock_guard lock(mutex_);
        ++calls_;
        long faultNumber = 0;
        if (kind == Kind::Write || kind == Kind::Flush)
            faultNumber = ++writesAndFlushes_;
        trace(operation, faultNumber, path);
        if (mode_ == Mode::Kill && calls_ == target_) {
            if (!image_.empty())
                writeImage();
            ::raise(SIGKILL);
        }
        if (mode_ == Mode::NoSpace && faultNumber > 0 && faultNumber >= target_)
            return ENOSPC;
        if (mode_ == Mode::IoError && faultNumber > 0 && faultNumber == target_)
            return EIO;
        return 0;
    }

    // Called when the process has just created a file; a reused inode number gets a new identity.
    void created(int fd)
    {
        if (image_.empty() || fd < 0)
            return;
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            return;
        const std::lock_guard lock(mutex_);
        const long object = nextObject_++;
        objects_[{info.st_dev, info.st_ino}] = object;
        content_[object] = std::string();
    }

    void folderCreated(const std::string& path)
    {
        if (image_.empty())
            return;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return;
        const std::lock_guard lock(mutex_);
        const long object = nextObject_++;
        objects_[{info.st_dev, info.st_ino}] = object;
        folders_[object] = {};
    }

    void flushed(int fd)
    {
        if (image_.empty())
            return;
        const std::string path = pathOf(fd);
        if (!under(path))
            return;
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            return;
        const std::lock_guard lock(mutex_);
        if (S_ISDIR(info.st_mode))
            folders_[objectOf(info)] = scanFolder(path);
        else if (S_ISREG(info.st_mode))
            content_[objectOf(info)] = readAll("/proc/self/fd/" + std::to_string(fd));
    }

    static std::string pathOf(int fd)
    {
        char buffer[4096];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
        if (length <= 0)
            return {};
        std::string path(buffer, static_cast<std::size_t>(length));
        constexpr std::string_view deleted = " (deleted)";
        if (path.ends_with(deleted))
            path.resize(path.size() - deleted.size());
        return path;
    }

    static std::string absolute(int folderFd, const char* path)
    {
        if (!path)
            return {};
        if (path[0] == '/')
            return path;
        std::string base;
        if (folderFd == AT_FDCWD) {
            char buffer[4096];
            if (!::getcwd(buffer, sizeof buffer))
                return {};
            base = buffer;
        } else {
            base = pathOf(folderFd);
        }
        return base + "/" + path;
    }

private:
    Sweep()
    {
        const char* root = std::getenv("NEMUROA_SWEEP_ROOT");
        if (!root || !*root)
            return;
        root_ = root;
        while (root_.size() > 1 && root_.ends_with('/'))
            root_.pop_back();
        if (const char* at = std::getenv("NEMUROA_SWEEP_AT"))
            target_ = std::strtol(at, nullptr, 10);
        const std::string mode = std::getenv("NEMUROA_SWEEP_MODE") ? std::getenv("NEMUROA_SWEEP_MODE") : "count";
        mode_ = mode == "kill" ? Mode::Kill : mode == "nospace" ? Mode::NoSpace : mode == "ioerror" ? Mode::IoError : Mode::Count;
        if (const char* trace = std::getenv("NEMUROA_SWEEP_TRACE")) {
            REAL(open);
            traceFd_ = real_open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        }
        if (const char* image = std::getenv("NEMUROA_SWEEP_IMAGE"); image && mode_ == Mode::Kill) {
            image_ = image;
            snapshot(root_);
        }
    }

    bool under(const std::string& path) const
    {
        return active() && (path == root_ || (path.size() > root_.size() && path.compare(0, root_.size(), root_) == 0 && path[root_.size()] == '/'));
    }

    void trace(const char* operation, long faultNumber, const std::string& path)
    {
        if (traceFd_ < 0)
            return;
        REAL(write);
        const std::string line = std::to_string(calls_) + ' ' + (faultNumber > 0 ? std::to_string(faultNumber) : std::string("-")) + ' '
            + operation + ' ' + path.substr(root_.size()) + '\n';
        (void)real_write(traceFd_, line.data(), line.size());
    }

    long objectOf(const struct stat& info)
    {
        const auto key = std::make_pair(info.st_dev, info.st_ino);
        const auto found = objects_.find(key);
        if (found != objects_.end())
            return found->second;
        const long object = nextObject_++;
        objects_[key] = object;
        return object;
    }

    static std::string readAll(const std::string& path)
    {
        REAL(open);
        std::string bytes;
        const int fd = real_open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return bytes;
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(fd);
        return bytes;
    }

    std::map<std::string, DurableEntry> scanFolder(const std::string& path)
    {
        std::map<std::string, DurableEntry> entries;
        DIR* folder = ::opendir(path.c_str());
        if (!folder)
            return entries;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat info {};
            if (::lstat((path + '/' + name).c_str(), &info) != 0)
                continue;
            if (S_ISDIR(info.st_mode))
                entries[name] = {true, objectOf(info)};
            else if (S_ISREG(info.st_mode))
                entries[name] = {false, objectOf(info)};
        }
        ::closedir(folder);
        return entries;
    }

    // What is on disk when the process starts counts as flushed.
    void snapshot(const std::string& path)
    {
        struct stat self {};
        if (::stat(path.c_str(), &self) != 0)
            return;
        const long folder = objectOf(self);
        if (path == root_)
            rootObject_ = folder;
        folders_[folder] = scanFolder(path);
        for (const auto& [name, entry] : folders_[folder]) {
            const std::string child = path + '/' + name;
            if (entry.isFolder) {
                snapshot(child);
            } else {
                struct stat info {};
                if (::lstat(child.c_str(), &info) == 0)
                    content_[objectOf(info)] = readAll(child);
            }
        }
    }

    void writeImage() { writeFolder(rootObject_, image_); }

    void writeFolder(long source, const std::string& target)
    {
        REAL(mkdir);
        REAL(open);
        REAL(write);
        (void)real_mkdir(target.c_str(), 0755);
        const auto listing = folders_.find(source);
        if (listing == folders_.end())
            return;
        for (const auto& [name, entry] : listing->second) {
            if (entry.isFolder) {
                writeFolder(entry.object, target + '/' + name);
                continue;
            }
            const int fd = real_open((target + '/' + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                continue;
            const auto content = content_.find(entry.object);
            if (content != content_.end() && !content->second.empty())
                (void)real_write(fd, content->second.data(), content->second.size());
            ::close(fd);
        }
    }

    std::mutex mutex_;
    std::string root_;
    Mode mode_ = Mode::Count;
    long target_ = 0;
    long calls_ = 0;
    long writesAndFlushes_ = 0;
    int traceFd_ = -1;
    std::string image_;
    long nextObject_ = 1;
    std::map<std::pair<dev_t, ino_t>, long> objects_;
    std::map<long, std::string> content_;
    std::map<long, std::map<std::string, DurableEntry>> folders_;
    long rootObject_ = 0;
};

// The process's own calls made while the sweep does its bookkeeping are not counted.
thread_local bool inside = false;

class Guard {
public:
    Guard() : outer_(!inside) { inside = true; }
    ~Guard()
    {
        if (outer_)
            inside = false;
    }
    bool counts() const { return outer_ && Sweep::instance().active(); }

private:
    bool outer_;
};

int failWith(int error)
{
    errno = error;
    return -1;
}

bool exists(int folderFd, const char* path)
{
    struct stat info {};
    return ::fstatat(folderFd, path, &info, 0) == 0;
}

bool isTemporaryFile(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }

mode_t modeOf(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || isTemporaryFile(flags) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

// open, open64, openat and openat64 share this: only a call that may create or truncate counts.
template <typename Real>
int openCounted(const char* operation, Real call, int folderFd, const char* path, int flags, mode_t mode)
{
    const Guard guard;
    const bool changes = (flags & (O_CREAT | O_TRUNC)) != 0 || isTemporaryFile(flags);
    if (!guard.counts() || !changes)
        return call(folderFd, path, flags, mode);
    const bool isNew = isTemporaryFile(flags) || !exists(folderFd, path);
    if (const int error = Sweep::instance().before(Kind::Name, operation, Sweep::absolute(folderFd, path)))
        return failWith(error);
    const int fd = call(folderFd, path, flags, mode);
    if (isNew)
        Sweep::instance().created(fd);
    return fd;
}

template <typename Call>
auto onDescriptor(Kind kind, const char* operation, int fd, Call call) -> decltype(call())
{
    const Guard guard;
    if (!guard.counts())
        return call();
    if (const int error = Sweep::instance().before(kind, operation, Sweep::pathOf(fd)))
        return failWith(error);
    return call();
}

template <typename Call>
auto onPath(const char* operation, int folderFd, const char* path, Call call) -> decltype(call())
{
    const Guard guard;
    if (!guard.counts())
        return call();
    if (const int error = Sweep::instance().before(Kind::Name, operation, Sweep::absolute(folderFd, path)))
        return failWith(error);
    return call();
}

int flushCounted(const char* operation, int fd, int (*call)(int))
{
    const Guard guard;
    if (!guard.counts())
        return call(fd);
    if (const int error = Sweep::instance().before(Kind::Flush, operation, Sweep::pathOf(fd)))
        return failWith(error);
    const int result = call(fd);
    if (result == 0)
        Sweep::instance().flushed(fd);
    return result;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    REAL(openat);
    return openCounted("open", real_openat, AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    REAL(openat64);
    return openCounted("open", real_openat64, AT_FDCWD, path, flags, mode);
}

int openat(int folderFd, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    REAL(openat);
    return openCounted("openat", real_openat, folderFd, path, flags, mode);
}

int openat64(int folderFd, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    REAL(openat64);
    return openCounted("openat", real_openat64, folderFd, path, flags, mode);
}

int creat(const char* path, mode_t mode)
{
    REAL(openat);
    return openCounted("creat", real_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

int creat64(const char* path, mode_t mode)
{
    REAL(openat64);
    return openCounted("creat", real_openat64, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

// glibc makes temporary files without going through open().
int mkostemp(char* pattern, int flags)
{
    REAL(mkostemp);
    const Guard guard;
    if (!guard.counts())
        return real_mkostemp(pattern, flags);
    if (const int error = Sweep::instance().before(Kind::Name, "mkostemp", Sweep::absolute(AT_FDCWD, pattern)))
        return failWith(error);
    const int fd = real_mkostemp(pattern, flags);
    Sweep::instance().created(fd);
    return fd;
}

int mkstemp(char* pattern) { return mkostemp(pattern, 0); }

ssize_t write(int fd, const void* buffer, size_t size)
{
    REAL(write);
    return onDescriptor(Kind::Write, "write", fd, [&] { return real_write(fd, buffer, size); });
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset)
{
    REAL(pwrite);
    return onDescriptor(Kind::Write, "pwrite", fd, [&] { return real_pwrite(fd, buffer, size, offset); });
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t offset)
{
    REAL(pwrite64);
    return onDescriptor(Kind::Write, "pwrite", fd, [&] { return real_pwrite64(fd, buffer, size, offset); });
}

ssize_t writev(int fd, const struct iovec* vector, int count)
{
    REAL(writev);
    return onDescriptor(Kind::Write, "writev", fd, [&] { return real_writev(fd, vector, count); });
}

ssize_t pwritev(int fd, const struct iovec* vector, int count, off_t offset)
{
    REAL(pwritev);
    return onDescriptor(Kind::Write, "pwritev", fd, [&] { return real_pwritev(fd, vector, count, offset); });
}

ssize_t pwritev64(int fd, const struct iovec* vector, int count, off64_t offset)
{
    REAL(pwritev64);
    return onDescriptor(Kind::Write, "pwritev", fd, [&] { return real_pwritev64(fd, vector, count, offset); });
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length, unsigned int flags)
{
    REAL(copy_file_range);
    return onDescriptor(Kind::Write, "copy_file_range", out,
        [&] { return real_copy_file_range(in, inOffset, out, outOffset, length, flags); });
}

int ftruncate(int fd, off_t length)
{
    REAL(ftruncate);
    return onDescriptor(Kind::Cut, "ftruncate", fd, [&] { return real_ftruncate(fd, length); });
}

int ftruncate64(int fd, off64_t length)
{
    REAL(ftruncate64);
    return onDescriptor(Kind::Cut, "ftruncate", fd, [&] { return real_ftruncate64(fd, length); });
}

int truncate(const char* path, off_t length)
{
    REAL(truncate);
    return onPath("truncate", AT_FDCWD, path, [&] { return real_truncate(path, length); });
}

int fsync(int fd)
{
    REAL(fsync);
    return flushCounted("fsync", fd, real_fsync);
}

int fdatasync(int fd)
{
    REAL(fdatasync);
    return flushCounted("fdatasync", fd, real_fdatasync);
}

int rename(const char* from, const char* to)
{
    REAL(rename);
    return onPath("rename", AT_FDCWD, to, [&] { return real_rename(from, to); });
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    REAL(renameat);
    return onPath("renameat", toFolder, to, [&] { return real_renameat(fromFolder, from, toFolder, to); });
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    REAL(renameat2);
    return onPath("renameat2", toFolder, to, [&] { return real_renameat2(fromFolder, from, toFolder, to, flags); });
}

int link(const char* from, const char* to)
{
    REAL(link);
    return onPath("link", AT_FDCWD, to, [&] { return real_link(from, to); });
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    REAL(linkat);
    return onPath("linkat", toFolder, to, [&] { return real_linkat(fromFolder, from, toFolder, to, flags); });
}

int unlink(const char* path)
{
    REAL(unlink);
    return onPath("unlink", AT_FDCWD, path, [&] { return real_unlink(path); });
}

int unlinkat(int folderFd, const char* path, int flags)
{
    REAL(unlinkat);
    return onPath("unlinkat", folderFd, path, [&] { return real_unlinkat(folderFd, path, flags); });
}

int rmdir(const char* path)
{
    REAL(rmdir);
    return onPath("rmdir", AT_FDCWD, path, [&] { return real_rmdir(path); });
}

int mkdir(const char* path, mode_t mode)
{
    REAL(mkdir);
    const int result = onPath("mkdir", AT_FDCWD, path, [&] { return real_mkdir(path, mode); });
    if (result == 0)
        Sweep::instance().folderCreated(Sweep::absolute(AT_FDCWD, path));
    return result;
}

int mkdirat(int folderFd, const char* path, mode_t mode)
{
    REAL(mkdirat);
    const int result = onPath("mkdirat", folderFd, path, [&] { return real_mkdirat(folderFd, path, mode); });
    if (result == 0)
        Sweep::instance().folderCreated(Sweep::absolute(folderFd, path));
    return result;
}

} // extern "C"
