// Files, folders, streams and the shell's folder operations on Windows.
#include "platform/win32/win32_util.h"

// windows.h comes first, through the line above.
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kelvora::platform {

namespace {

DWORD attributesOf(std::string_view path) {
    if (path.empty())
        return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(toWide(path).c_str());
}

// The path list of a shell operation: one path followed by two NULs.
std::vector<wchar_t> shellPathList(const std::wstring& path) {
    std::vector<wchar_t> list(path.begin(), path.end());
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring out(n, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), n, out.data(), nullptr);
    out.resize(written);
    return out;
}

std::wstring withoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/') &&
           path[path.size() - 2] != L':') {
        path.pop_back();
    }
    return path;
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool fileExists(std::string_view path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(std::string_view path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool createDirectory(std::string_view path) {
    return !path.empty() && CreateDirectoryW(toWide(path).c_str(), nullptr);
}

bool createDirectories(std::string_view path) {
    if (path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(nativePath(path), ec);
    return directoryExists(path);
}

bool copyFile(std::string_view source, std::string_view target, bool failIfExists) {
    return CopyFileW(toWide(source).c_str(), toWide(target).c_str(), failIfExists ? TRUE : FALSE);
}

bool removeFile(std::string_view path) {
    return DeleteFileW(toWide(path).c_str());
}

bool replaceFile(std::string_view from, std::string_view to) {
    return MoveFileExW(toWide(from).c_str(), toWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

std::optional<std::uint64_t> fileSize(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool listDirectory(std::string_view directory, bool includeHidden, std::vector<DirEntry>& out) {
    std::wstring pattern = toWide(directory);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':') {
        pattern += L'\\';
    }
    pattern += L"*.*";
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        DirEntry entry;
        entry.name = toUtf8(name);
        entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        // Only name-surrogate reparse points lead elsewhere; others (deduplicated or cloud files)
        // hold their data in place and are ordinary files to a walk.
        entry.isLink =
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (entry.hidden && !includeHidden)
            continue;
        out.push_back(std::move(entry));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

int shellCopyFolder(std::string_view from, std::string_view to) {
    if (from.empty() || to.empty())
        return ERROR_INVALID_PARAMETER;
    std::vector<wchar_t> source = shellPathList(withoutTrailingSeparators(toWide(from)));
    std::wstring target = toWide(to);
    target.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_COPY;
    op.pFrom = source.data();
    op.pTo = target.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x0214
    const int result = SHFileOperationW(&op);
    return result == 0 && op.fAnyOperationsAborted ? ERROR_CANCELLED : result;
}

int shellDeleteFolder(std::string_view path) {
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    const std::wstring full = withoutTrailingSeparators(fullPath(toWide(path)));
    // Never a drive or share root, and never the user's own folder.
    if (full.size() <= 3 || full.find(L'\\', 2) == std::wstring::npos)
        return ERROR_INVALID_PARAMETER;
    if (full.rfind(L"\\\\", 0) == 0 && std::count(full.begin(), full.end(), L'\\') <= 3) {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t profile[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile)) &&
        samePath(withoutTrailingSeparators(profile), full)) {
        return ERROR_INVALID_PARAMETER;
    }
    // A buffer that fits the whole path: long paths are never cut.
    std::vector<wchar_t> source = shellPathList(full);
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = source.data();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;  // 0x0054
    const int result = SHFileOperationW(&op);
    return result == 0 && op.fAnyOperationsAborted ? ERROR_CANCELLED : result;
}

// ---- Folders in use ---------------------------------------------------------------------------

namespace {

void setReason(std::string* reason, const std::wstring& where, DWORD code) {
    if (reason)
        *reason = toUtf8(where) + ": " + systemMessage(code);
}

bool isLinkAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removes one entry that is not a folder to descend into: a file, or a link (a folder link is
// removed as the link itself, never what it points to).
DWORD removeEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    const BOOL ok =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
    if (ok)
        return 0;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : code;
}

// Removes everything inside the folder `dir`, entering no link. Returns 0 or the first error.
DWORD removeContents(const std::wstring& dir, std::string* reason) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND)
            return 0;
        setReason(reason, dir, code);
        return code;
    }
    DWORD first_error = 0;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = dir + L"\\" + name;
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !isLinkAttributes(attributes)) {
            if (const DWORD code = removeContents(path, first_error ? nullptr : reason)) {
                first_error = first_error ? first_error : code;
                continue;
            }
        }
        if (const DWORD code = removeEntry(path, attributes); code && !first_error) {
            first_error = code;
            setReason(reason, path, code);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return first_error;
}

// Opens the folder itself (not what a link points to). `share` 0 opens it only when no one else
// has it open, which is how a cleanup tells a folder in use.
HANDLE openFolder(const std::wstring& path, DWORD share) {
    HANDLE h = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | DELETE | SYNCHRONIZE, share, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return h;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        isLinkAttributes(info.dwFileAttributes)) {
        CloseHandle(h);
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

}  // namespace

bool alreadyExists(const SystemError& error) {
    return error.code() == ERROR_ALREADY_EXISTS || error.code() == ERROR_FILE_EXISTS;
}

struct HeldFolder::Impl {
    std::wstring path;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

HeldFolder::HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&&) noexcept = default;
HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    if (this != &other) {
        release();
        impl_ = std::move(other.impl_);
    }
    return *this;
}
HeldFolder::~HeldFolder() {
    release();
}

HeldFolder HeldFolder::createNew(std::string_view path, Access) {
    const std::wstring p = withoutTrailingSeparators(toWide(path));
    if (p.empty())
        throw SystemError(ERROR_INVALID_PARAMETER, systemMessage(ERROR_INVALID_PARAMETER));
    if (!CreateDirectoryW(p.c_str(), nullptr))
        throw lastError();
    // Held by a handle that lists and lets everyone in: listing and changing the folder go
    // on as usual, but a cleanup's exclusive open fails while the hold lasts. A cleanup that opened
    // the new folder first (to remove it) makes this open fail: the name is then taken as far as
    // the caller is concerned.
    HANDLE h = CreateFileW(p.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw SystemError(ERROR_ALREADY_EXISTS, systemMessage(ERROR_ALREADY_EXISTS));
    HeldFolder held;
    held.impl_ = std::make_unique<Impl>();
    held.impl_->path = p;
    held.impl_->handle = h;
    return held;
}

bool HeldFolder::isHeld() const {
    return impl_ && impl_->handle != INVALID_HANDLE_VALUE;
}

bool HeldFolder::removeTree(std::string* reason) {
    if (!isHeld()) {
        if (reason)
            *reason = systemMessage(ERROR_INVALID_HANDLE);
        return false;
    }
    // Emptied while still held, so no cleanup can take it meanwhile; then the hold ends and the
    // folder itself goes.
    if (removeContents(impl_->path, reason) != 0)
        return false;
    CloseHandle(std::exchange(impl_->handle, INVALID_HANDLE_VALUE));
    return removeTreeOutright(toUtf8(impl_->path), reason);
}

void HeldFolder::release() {
    if (isHeld())
        CloseHandle(std::exchange(impl_->handle, INVALID_HANDLE_VALUE));
}

bool removeTreeOutright(std::string_view path, std::string* reason) {
    const std::wstring p = withoutTrailingSeparators(toWide(path));
    if (p.empty()) {
        setReason(reason, p, ERROR_INVALID_PARAMETER);
        return false;
    }
    const DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;
        setReason(reason, p, code);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !isLinkAttributes(attributes)) {
        if (removeContents(p, reason) != 0)
            return false;
    }
    if (const DWORD code = removeEntry(p, attributes)) {
        setReason(reason, p, code);
        return false;
    }
    return true;
}

bool removeIfUnused(std::string_view path, bool folder) {
    const std::wstring p = withoutTrailingSeparators(toWide(path));
    const DWORD attributes = p.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || isLinkAttributes(attributes) ||
        folder != ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
        return false;
    }
    if (!folder)
        return DeleteFileW(p.c_str()) != 0;  // fails while a task's File has it open
    // Opened exclusively: fails while a task holds the folder. Its contents can't be listed through
    // an exclusive open, so the test ends before the removal starts.
    HANDLE h = openFolder(p, 0);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return removeTreeOutright(toUtf8(p), nullptr);
}

// ---- File -----------------------------------------------------------------------------------

struct File::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

File::File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
File::~File() {
    if (impl_ && impl_->handle != INVALID_HANDLE_VALUE)
        CloseHandle(impl_->handle);
}

File File::openRead(std::string_view path, Share share) {
    const DWORD share_mode =
        share == Share::DenyNone ? (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) : FILE_SHARE_READ;
    HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, share_mode, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw lastError();
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->handle = h;
    return f;
}

File File::create(std::string_view path, Access) {
    HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw lastError();
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->handle = h;
    return f;
}

bool File::isOpen() const {
    return impl_ && impl_->handle != INVALID_HANDLE_VALUE;
}

std::size_t File::read(void* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!ReadFile(impl_->handle, buffer, want, &got, nullptr))
        throw lastError();
    return got;
}

void File::write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(impl_->handle, p, chunk, &written, nullptr))
            throw lastError();
        p += written;
        size -= written;
    }
}

std::uint64_t File::size() const {
    LARGE_INTEGER s{};
    if (!GetFileSizeEx(impl_->handle, &s))
        throw lastError();
    return static_cast<std::uint64_t>(s.QuadPart);
}

std::uint64_t File::position() const {
    LARGE_INTEGER zero{}, pos{};
    if (!SetFilePointerEx(impl_->handle, zero, &pos, FILE_CURRENT))
        throw lastError();
    return static_cast<std::uint64_t>(pos.QuadPart);
}

void File::seek(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(impl_->handle, to, nullptr, FILE_BEGIN))
        throw lastError();
}

void File::flush() {
    if (!FlushFileBuffers(impl_->handle))
        throw lastError();
}

void File::close() {
    if (!isOpen())
        return;
    HANDLE h = impl_->handle;
    impl_->handle = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        throw lastError();
}

// ---- Shell ----------------------------------------------------------------------------------

bool openWithShell(std::string_view target) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", toWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace kelvora::platform
