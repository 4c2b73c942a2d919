// Files, folders, streams and the shell's folder operations on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_util.h"
#include "platform/posix/services.h"

namespace kelvora::platform {

namespace fs = std::filesystem;

namespace {

bool statPath(const fs::path& p, struct stat& st) {
    return !p.empty() && ::stat(p.c_str(), &st) == 0;
}

// An open descriptor, closed when it goes out of scope.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the open descriptor still is what `path` names (no one removed or replaced it between
// the open and the lock).
bool stillAt(int fd, const fs::path& path) {
    struct stat opened {
    }, named{};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && sameInode(opened, named);
}

void setSystemReason(std::string* reason, int code) {
    if (reason)
        *reason = std::strerror(code);
}

fs::path withoutTrailingSeparators(fs::path p) {
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

}  // namespace

bool fileExists(std::string_view path) {
    struct stat st {};
    return statPath(nativePath(path), st) && !S_ISDIR(st.st_mode);
}

bool directoryExists(std::string_view path) {
    struct stat st {};
    return statPath(nativePath(path), st) && S_ISDIR(st.st_mode);
}

bool createDirectory(std::string_view path, std::string* reason) {
    const fs::path p = nativePath(path);
    if (p.empty()) {
        setSystemReason(reason, ENOENT);
        return false;
    }
    if (::mkdir(p.c_str(), 0777) == 0)
        return true;
    setSystemReason(reason, errno);
    return false;
}

bool createDirectories(std::string_view path) {
    const fs::path p = nativePath(path);
    if (p.empty())
        return false;
    std::error_code ec;
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

bool removeFile(std::string_view path) {
    const fs::path p = nativePath(path);
    return !p.empty() && ::unlink(p.c_str()) == 0;
}

bool replaceFile(std::string_view from, std::string_view to, std::string* reason) {
    const fs::path a = nativePath(from);
    const fs::path b = nativePath(to);
    if (!a.empty() && !b.empty() && ::rename(a.c_str(), b.c_str()) == 0)
        return true;
    if (reason)
        *reason = std::strerror(a.empty() || b.empty() ? ENOENT : errno);
    return false;
}

std::optional<std::uint64_t> fileSize(std::string_view path) {
    struct stat st {};
    if (!statPath(nativePath(path), st) || S_ISDIR(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<FileStamp> fileStamp(std::string_view path) {
    struct stat st {};
    if (!statPath(nativePath(path), st) || S_ISDIR(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool listDirectory(std::string_view directory, bool includeHidden, std::vector<DirEntry>& out,
                   std::string* reason) {
    const fs::path dir = nativePath(directory);
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) {
        setSystemReason(reason, errno);
        return false;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        DirEntry entry;
        entry.name = name;
        entry.hidden = name[0] == '.';
        if (entry.hidden && !includeHidden)
            continue;
        struct stat st {};
        if (::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            entry.isLink = true;
        if (::fstatat(dirfd(d), e->d_name, &st, 0) == 0) {
            entry.isDirectory = S_ISDIR(st.st_mode);
            entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        } else {
            entry.isDirectory = e->d_type == DT_DIR;
        }
        if (entry.isLink)
            entry.size = 0;
        out.push_back(std::move(entry));
    }
    ::closedir(d);
    return true;
}

EntryKind entryKind(std::string_view path) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0)
        return EntryKind::Missing;
    if (S_ISLNK(st.st_mode))
        return EntryKind::Link;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

std::optional<std::string> readSymbolicLink(std::string_view path) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    if (p.empty())
        return std::nullopt;
    std::string target(256, '\0');
    while (true) {
        const ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
        if (n < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);  // maybe cut: read again with more room
    }
}

namespace {

CopyStatus writeFailure(int code) {
    return code == ENOSPC || code == EDQUOT ? CopyStatus::NoSpace : CopyStatus::TargetFailed;
}

CopyResult copyFailed(CopyStatus status, int code) {
    return {status, std::strerror(code)};
}

// The new file of a copy, removed again unless it was put in place.
class PendingFile {
  public:
    explicit PendingFile(fs::path path) : path_(std::move(path)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (!placed_)
            ::unlink(path_.c_str());
    }
    void placed() { placed_ = true; }

  private:
    fs::path path_;
    bool placed_ = false;
};

constexpr std::size_t kBlock = std::size_t{1} << 20;  // what is copied between two afterBlock calls

// Calls afterBlock with the bytes written so far; its SystemError is the copy's failure.
std::optional<CopyResult> blockWritten(std::uint64_t written, const CopyOptions& options) {
    if (!options.afterBlock)
        return std::nullopt;
    try {
        options.afterBlock(written);
    } catch (const SystemError& e) {
        return CopyResult{writeFailure(e.code()), e.what()};
    }
    return std::nullopt;
}

// Reads `in` to its end into `out`, from both files' current positions, `written` bytes having
// been copied before. Returns the failure, or Copied.
CopyResult copyByReading(int in, int out, std::uint64_t written, const CopyOptions& options) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlock);  // not cleared: only read into
    while (true) {
        const ssize_t got = ::read(in, buffer.get(), kBlock);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return copyFailed(CopyStatus::SourceFailed, errno);
        }
        if (got == 0)
            return {};
        for (ssize_t done = 0; done < got;) {
            const ssize_t n = ::write(out, buffer.get() + done, static_cast<std::size_t>(got - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return copyFailed(writeFailure(errno), errno);
            }
            done += n;
        }
        written += static_cast<std::uint64_t>(got);
        if (auto failed = blockWritten(written, options))
            return *failed;
    }
}

// Copies `in` to its end into `out`. Returns the failure, or Copied.
CopyResult copyData(int in, int out, const CopyOptions& options) {
    std::uint64_t written = 0;
#ifdef __linux__
    // The kernel copies from file to file itself, without passing the data through this process
    // (and on file systems that share blocks between files, without copying it at all), a block
    // per call, so that afterBlock comes as often as with read and write.
    while (true) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kBlock, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Read and write take over from where the copy stands (a failed call moved neither
            // file's position): at the end, where a read then finds nothing more; where the call
            // is refused (another file system, an old kernel, a file system without it) or copies
            // nothing (the files of /proc report no size); and after any other error, which a
            // read and a write then tell apart as the source's or the target's.
            break;
        }
        written += static_cast<std::uint64_t>(n);
        if (auto failed = blockWritten(written, options))
            return *failed;
    }
#endif
    return copyByReading(in, out, written, options);
}

}  // namespace

CopyResult copyFileOver(std::string_view source, std::string_view target, std::string_view temporary,
                        const CopyOptions& options) {
    const fs::path from = nativePath(source);
    const fs::path to = nativePath(target);
    const fs::path temp = nativePath(temporary);
    if (from.empty())
        return copyFailed(CopyStatus::SourceFailed, ENOENT);
    if (to.empty() || temp.empty())
        return copyFailed(CopyStatus::TargetFailed, ENOENT);

    // What is at the target now decides whether it may be replaced. Root may write anything, so
    // the permission bits are read rather than asked: a file no one may write stays as it is.
    struct stat old {};
    const bool replacing = ::lstat(to.c_str(), &old) == 0;
    if (!replacing && errno != ENOENT)
        return copyFailed(CopyStatus::TargetFailed, errno);
    if (replacing) {
        if (S_ISLNK(old.st_mode))
            return {CopyStatus::TargetIsLink, {}};
        if (!S_ISREG(old.st_mode))
            return {CopyStatus::TargetNotFile, {}};
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return {CopyStatus::TargetReadOnly, {}};
        if (::faccessat(AT_FDCWD, to.c_str(), W_OK, AT_EACCESS) != 0)
            return copyFailed(CopyStatus::TargetFailed, errno);
    }

    struct stat st {};
    if ((options.followSourceLink ? ::stat(from.c_str(), &st) : ::lstat(from.c_str(), &st)) != 0)
        return copyFailed(CopyStatus::SourceFailed, errno);
    if (S_ISLNK(st.st_mode))
        return {CopyStatus::SourceIsLink, {}};
    if (!S_ISREG(st.st_mode))
        return {CopyStatus::SourceNotFile, {}};
    // O_NONBLOCK: something swapped in for the file since (a pipe) must not hang the open.
    Fd in(::open(from.c_str(),
                 O_RDONLY | O_CLOEXEC | O_NONBLOCK | (options.followSourceLink ? 0 : O_NOFOLLOW)));
    if (!in) {
        if (errno == ELOOP && !options.followSourceLink)
            return {CopyStatus::SourceIsLink, {}};
        return copyFailed(CopyStatus::SourceFailed, errno);
    }
    if (::fstat(in.get(), &st) != 0)
        return copyFailed(CopyStatus::SourceFailed, errno);
    if (!S_ISREG(st.st_mode))
        return {CopyStatus::SourceNotFile, {}};

    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out)
        return copyFailed(writeFailure(errno), errno);
    PendingFile pending(temp);
    // Held in use like every file Kelvora writes, so another run's cleanup leaves it alone.
    if (::flock(out.get(), LOCK_EX | LOCK_NB) != 0 || !stillAt(out.get(), temp))
        return copyFailed(CopyStatus::TargetFailed, EBUSY);

    if (CopyResult copied = copyData(in.get(), out.get(), options); !copied.copied())
        return copied;

    if (replacing && ::fchown(out.get(), old.st_uid, old.st_gid) != 0)
        (void)::fchown(out.get(), static_cast<uid_t>(-1), old.st_gid);
    const mode_t mode = replacing ? (old.st_mode & 07777) : (st.st_mode & 0777);
    if (::fchmod(out.get(), mode) != 0)
        return copyFailed(CopyStatus::TargetFailed, errno);
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    (void)::futimens(out.get(), times);
    // The old file is given up only for data that is on the disk.
    if (replacing && ::fsync(out.get()) != 0)
        return copyFailed(writeFailure(errno), errno);
    // Renamed while still held, so no cleanup can take the finished file first.
    if (::rename(temp.c_str(), to.c_str()) != 0)
        return copyFailed(writeFailure(errno), errno);
    pending.placed();
    if (::close(out.release()) != 0 && !replacing) {
        // A new file whose data did not all reach the disk is not left looking complete.
        const int code = errno;
        ::unlink(to.c_str());
        return copyFailed(writeFailure(code), code);
    }
    return {};
}

namespace {

// True when `inner` is `outer` or lies below it (both absolute and without "." or "..").
bool sameOrBelow(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty())
            continue;  // a trailing separator
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

}  // namespace

bool moveToTrash(std::string_view path, std::string* reason) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    if (p.empty()) {
        setSystemReason(reason, ENOENT);
        return false;
    }
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(p, ec), ec);
    if (ec) {
        setSystemReason(reason, ec.value());
        return false;
    }
    // Never the file-system root, the home folder, the machine's drive folders, or what holds one.
    std::vector<fs::path> kept;
    if (const std::string home = posixHomeFolder(); !home.empty())
        kept.push_back(fs::weakly_canonical(home, ec));
    const MachineOptions m = currentMachine();
    if (!m.root.empty())
        kept.push_back(fs::weakly_canonical(m.root, ec));
    for (const auto& drive : m.drives)
        kept.push_back(fs::weakly_canonical(drive.second, ec));
    const bool refused = canonical == canonical.root_path() ||
                         std::any_of(kept.begin(), kept.end(), [&](const fs::path& folder) {
                             return !folder.empty() && sameOrBelow(folder, canonical);
                         });
    if (refused) {
        if (reason)
            *reason =
                "the file-system root, the home folder, a drive folder of the machine and the folders "
                "that hold them are never removed";
        return false;
    }
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        setSystemReason(reason, errno);
        return false;
    }

    std::string error;
    const services::Table* module = services::table(error);
    bool no_trash = false;
    if (module && module->trash(p.string(), no_trash, error))
        return true;
    if (reason)
        *reason = error;
    if (!no_trash)
        return false;
    // The volume has no trash: removed outright, following no link inside.
    std::string why;
    if (removeTreeOutright(path, &why))
        return true;
    if (reason)
        *reason = why;
    return false;
}
// ---- Folders in use ---------------------------------------------------------------------------

namespace {

void setReason(std::string* reason, const fs::path& where, int code) {
    if (reason)
        *reason = where.string() + ": " + std::strerror(code);
}

// Removes everything inside the open folder `dir` (named `where`, for messages), following no link:
// a link is unlinked, never entered. Returns 0 or the errno of the first entry that stayed.
int removeContents(int dir, const fs::path& where, std::string* reason) {
    std::vector<std::string> names;
    {
        const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* d = listing < 0 ? nullptr : ::fdopendir(listing);
        if (!d) {
            const int code = errno;
            if (listing >= 0)
                ::close(listing);
            setReason(reason, where, code);
            return code;
        }
        while (const dirent* e = ::readdir(d)) {
            const std::string_view name = e->d_name;
            if (name != "." && name != "..")
                names.emplace_back(name);
        }
        ::closedir(d);
    }
    int first_error = 0;
    for (const auto& name : names) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone already
        int flags = 0;
        if (S_ISDIR(st.st_mode)) {
            flags = AT_REMOVEDIR;
            Fd sub(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!sub && errno == EACCES && ::fchmodat(dir, name.c_str(), st.st_mode | S_IRWXU, 0) == 0)
                sub = Fd(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!sub) {
                const int code = errno;
                if (first_error == 0) {
                    first_error = code;
                    setReason(reason, where / name, code);
                }
                continue;
            }
            if (const int result = removeContents(sub.get(), where / name, first_error ? nullptr : reason)) {
                first_error = first_error ? first_error : result;
                continue;
            }
        }
        if (::unlinkat(dir, name.c_str(), flags) != 0) {
            int code = errno;
            // A folder without write permission for its owner (copied as it was) keeps its entries.
            struct stat self {};
            if ((code == EACCES || code == EPERM) && ::fstat(dir, &self) == 0 && !(self.st_mode & S_IWUSR) &&
                ::fchmod(dir, self.st_mode | S_IRWXU) == 0 && ::unlinkat(dir, name.c_str(), flags) == 0) {
                continue;
            }
            code = errno;
            if (first_error == 0) {
                first_error = code;
                setReason(reason, where / name, code);
            }
        }
    }
    return first_error;
}

// Removes the folder `path` whose contents are reached through the open descriptor `dir`.
bool removeFolderThrough(int dir, const fs::path& path, std::string* reason) {
    if (removeContents(dir, path, reason) != 0)
        return false;
    if (::rmdir(path.c_str()) != 0 && errno != ENOENT) {
        setReason(reason, path, errno);
        return false;
    }
    return true;
}

}  // namespace

bool alreadyExists(const SystemError& error) {
    return error.code() == EEXIST;
}

struct HeldFolder::Impl {
    fs::path path;
    Fd fd;
};

HeldFolder::HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&&) noexcept = default;
HeldFolder& HeldFolder::operator=(HeldFolder&&) noexcept = default;
HeldFolder::~HeldFolder() = default;

HeldFolder HeldFolder::createNew(std::string_view path, Access access) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    if (p.empty())
        throw SystemError(ENOENT, std::strerror(ENOENT));
    // mkdir fails on anything already there, a dangling link included.
    if (::mkdir(p.c_str(), access == Access::OwnerOnly ? 0700 : 0777) != 0)
        throw lastError();
    Fd fd(::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    // A cleanup that found the folder before the lock below may hold it or have removed it: then
    // the name is taken as far as this caller is concerned, and it tries another.
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !stillAt(fd.get(), p))
        throw SystemError(EEXIST, std::strerror(EEXIST));
    HeldFolder held;
    held.impl_ = std::make_unique<Impl>();
    held.impl_->path = p;
    held.impl_->fd = std::move(fd);
    return held;
}

bool HeldFolder::isHeld() const {
    return impl_ && impl_->fd;
}

bool HeldFolder::removeTree(std::string* reason) {
    if (!isHeld()) {
        if (reason)
            *reason = std::strerror(EBADF);
        return false;
    }
    // Removed while still held, so no cleanup elsewhere works on it at the same time.
    const bool removed = removeFolderThrough(impl_->fd.get(), impl_->path, reason);
    release();
    return removed;
}

void HeldFolder::release() {
    if (impl_)
        impl_->fd.reset();
}

bool removeTreeOutright(std::string_view path, std::string* reason) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    if (p.empty()) {
        setReason(reason, p, ENOENT);
        return false;
    }
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        setReason(reason, p, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(p.c_str()) != 0 && errno != ENOENT) {
            setReason(reason, p, errno);
            return false;
        }
        return true;
    }
    Fd fd(::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        setReason(reason, p, errno);
        return false;
    }
    return removeFolderThrough(fd.get(), p, reason);
}

bool removeIfUnused(std::string_view path, bool folder) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0)
        return false;
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return false;
    Fd fd(::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (folder ? O_DIRECTORY : 0)));
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return false;  // in use (or not readable: then not safely ours to judge)
    if (!stillAt(fd.get(), p))
        return false;
    if (!folder)
        return ::unlink(p.c_str()) == 0;
    return removeFolderThrough(fd.get(), p, nullptr);
}

bool fileLockedByAnotherProcess(std::string_view path) {
    const fs::path p = nativePath(path);
    struct stat st {};
    // Only a regular file is opened: opening a device or a pipe may do something of its own.
    if (!statPath(p, st) || !S_ISREG(st.st_mode))
        return false;
    Fd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;  // to the end and beyond
    return ::fcntl(fd.get(), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// ---- File -----------------------------------------------------------------------------------

struct File::Impl {
    int fd = -1;
};

File::File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
File::~File() {
    if (impl_ && impl_->fd >= 0)
        ::close(impl_->fd);
}

File File::openRead(std::string_view path, Share) {
    const fs::path p = nativePath(path);
    // O_NONBLOCK: a pipe with no writer (where a file was expected) must not hang the open. It is
    // taken off again, so reads wait as reads of a pipe do, and end at once when no one writes.
    const int fd = p.empty() ? (errno = ENOENT, -1) : ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw lastError();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw SystemError(EISDIR, std::strerror(EISDIR));
    }
    if (!S_ISREG(st.st_mode))
        (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->fd = fd;
    return f;
}

File File::create(std::string_view path, Access access) {
    const fs::path p = nativePath(path);
    if (p.empty())
        throw SystemError(ENOENT, std::strerror(ENOENT));
    const mode_t mode = access == Access::OwnerOnly ? 0600 : 0666;
    // The file is locked before it is truncated, and held locked while open, so a cleanup of
    // leftover temporaries never takes a file a task is writing. A cleanup that locked the file
    // first holds it only to unlink it: then the name is created afresh.
    for (int attempt = 0;; ++attempt) {
        Fd fd(::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode));
        if (!fd)
            throw lastError();
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK || attempt >= 100)
                throw lastError();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        struct stat opened {
        }, named{};
        if (::fstat(fd.get(), &opened) != 0 || ::stat(p.c_str(), &named) != 0 || !sameInode(opened, named)) {
            if (attempt >= 100)
                throw SystemError(EBUSY, std::strerror(EBUSY));
            continue;
        }
        // Only a file with contents is cut: ext4 takes a truncation to zero as a file being
        // rewritten in place and flushes it when it is closed, which made every new file cost a
        // disk write on the spot.
        if (S_ISREG(opened.st_mode) && opened.st_size != 0 && ::ftruncate(fd.get(), 0) != 0)
            throw lastError();
        File f;
        f.impl_ = std::make_unique<Impl>();
        f.impl_->fd = fd.release();
        return f;
    }
}

bool File::isOpen() const {
    return impl_ && impl_->fd >= 0;
}

std::size_t File::read(void* buffer, std::size_t size) {
    while (true) {
        const ssize_t n = ::read(impl_->fd, buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw lastError();
    }
}

void File::write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(impl_->fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw lastError();
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::uint64_t File::size() const {
    struct stat st {};
    if (::fstat(impl_->fd, &st) != 0)
        throw lastError();
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t File::position() const {
    const off_t pos = ::lseek(impl_->fd, 0, SEEK_CUR);
    if (pos < 0)
        throw lastError();
    return static_cast<std::uint64_t>(pos);
}

void File::seek(std::uint64_t offset) {
    if (::lseek(impl_->fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        throw lastError();
}

void File::flush() {
    if (::fsync(impl_->fd) != 0 && errno != EINVAL)
        throw lastError();
}

void File::startFlush() {
#ifdef __linux__
    ::sync_file_range(impl_->fd, 0, 0, SYNC_FILE_RANGE_WRITE);  // advice: its failure changes nothing
#endif
}

void File::close() {
    if (!isOpen())
        return;
    const int fd = impl_->fd;
    impl_->fd = -1;
    if (::close(fd) != 0)
        throw lastError();
}

// ---- Shell ----------------------------------------------------------------------------------

bool openWithShell(std::string_view target) {
    // The Windows shell takes "www.host/path" as a web address; xdg-open wants the scheme.
    std::string address(target);
    if (address.find(':') == std::string::npos)
        address = "http://" + address;
    return spawnDetached("xdg-open", address);
}

// ---- Console --------------------------------------------------------------------------------

void useUtf8Console() {}

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace kelvora::platform
