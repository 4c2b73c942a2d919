// Files, folders, streams and the shell's folder operations on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_util.h"

extern char** environ;

namespace kelvora::platform {

namespace fs = std::filesystem;

namespace {

bool statPath(const fs::path& p, struct stat& st) {
    return !p.empty() && ::stat(p.c_str(), &st) == 0;
}

// Copies one regular file's contents; the target is replaced. Returns 0 or an errno value.
int copyContents(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    return ec ? (ec.value() ? ec.value() : EIO) : 0;
}

// Copies the tree `from` into the folder `to` (which is created when missing), merging.
int copyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directory(to, ec);
    if (!fs::is_directory(to))
        return ec ? ec.value() : ENOTDIR;
    int first_error = 0;
    fs::directory_iterator it(from, ec);
    if (ec)
        return ec.value();
    for (const auto& entry : it) {
        const fs::path target = to / entry.path().filename();
        int result = 0;
        if (entry.is_directory(ec)) {
            result = copyTree(entry.path(), target);
        } else {
            result = copyContents(entry.path(), target);
        }
        if (result != 0 && first_error == 0)
            first_error = result;
    }
    return first_error;
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

bool createDirectory(std::string_view path) {
    const fs::path p = nativePath(path);
    return !p.empty() && ::mkdir(p.c_str(), 0777) == 0;
}

bool createDirectories(std::string_view path) {
    const fs::path p = nativePath(path);
    if (p.empty())
        return false;
    std::error_code ec;
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

bool copyFile(std::string_view source, std::string_view target, bool failIfExists) {
    const fs::path from = nativePath(source);
    const fs::path to = nativePath(target);
    if (from.empty() || to.empty())
        return false;
    std::error_code ec;
    if (fs::is_directory(from, ec))
        return false;
    const auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    return fs::copy_file(from, to, options, ec) && !ec;
}

bool removeFile(std::string_view path) {
    const fs::path p = nativePath(path);
    return !p.empty() && ::unlink(p.c_str()) == 0;
}

bool replaceFile(std::string_view from, std::string_view to) {
    const fs::path a = nativePath(from);
    const fs::path b = nativePath(to);
    return !a.empty() && !b.empty() && ::rename(a.c_str(), b.c_str()) == 0;
}

std::optional<std::uint64_t> fileSize(std::string_view path) {
    struct stat st {};
    if (!statPath(nativePath(path), st) || S_ISDIR(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool listDirectory(std::string_view directory, bool includeHidden, std::vector<DirEntry>& out) {
    const fs::path dir = nativePath(directory);
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return false;
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
        if (::fstatat(dirfd(d), e->d_name, &st, 0) == 0) {
            entry.isDirectory = S_ISDIR(st.st_mode);
            entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        } else {
            entry.isDirectory = e->d_type == DT_DIR;
        }
        out.push_back(std::move(entry));
    }
    ::closedir(d);
    return true;
}

int shellCopyFolder(std::string_view from, std::string_view to) {
    const fs::path source = withoutTrailingSeparators(nativePath(from));
    const fs::path target = nativePath(to);
    if (source.empty() || target.empty())
        return ENOENT;
    std::error_code ec;
    if (!fs::is_directory(source, ec))
        return ENOENT;
    if (!fs::is_directory(target, ec))
        fs::create_directories(target, ec);
    return copyTree(source, target / source.filename());
}

int shellDeleteFolder(std::string_view path) {
    const fs::path p = withoutTrailingSeparators(nativePath(path));
    if (p.empty())
        return EINVAL;
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(p, ec);
    if (ec || canonical == canonical.root_path())
        return EINVAL;
    const std::string home = posixHomeFolder();
    if (!home.empty() && fs::equivalent(canonical, fs::path(home), ec))
        return EINVAL;
    const MachineOptions m = currentMachine();
    for (const auto& drive : m.drives) {
        if (fs::equivalent(canonical, fs::path(drive.second), ec))
            return EINVAL;
    }
    if (!m.root.empty() && fs::equivalent(canonical, fs::path(m.root), ec))
        return EINVAL;
    if (!fs::exists(fs::symlink_status(p, ec)))
        return ENOENT;

    GFile* file = g_file_new_for_path(p.c_str());
    GError* error = nullptr;
    const gboolean trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed)
        return 0;
    const bool no_trash = error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_SUPPORTED;
    if (error)
        g_error_free(error);
    if (!no_trash)
        return EIO;
    // The volume has no trash: remove outright.
    fs::remove_all(p, ec);
    return ec ? ec.value() : 0;
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
    const int fd = p.empty() ? (errno = ENOENT, -1) : ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw lastError();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw SystemError(EISDIR, std::strerror(EISDIR));
    }
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->fd = fd;
    return f;
}

File File::create(std::string_view path, Access access) {
    const fs::path p = nativePath(path);
    const mode_t mode = access == Access::OwnerOnly ? 0600 : 0666;
    const int fd =
        p.empty() ? (errno = ENOENT, -1) : ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        throw lastError();
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->fd = fd;
    return f;
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
    const std::string arg(target);
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(arg.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kelvora::platform
