// Files, folders, streams and the shell's folder operations on Windows.
#include "platform/win32/win32_util.h"

// windows.h comes first, through the line above.
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelvora::platform {

namespace {

DWORD attributesOf(std::string_view path) {
    if (path.empty())
        return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(extendedPath(path).c_str());
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

// `inner` is `outer` or lies below it (full paths, compared as Windows compares names).
bool sameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    if (inner.size() < outer.size() ||
        CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                             static_cast<int>(outer.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return inner.size() == outer.size() || inner[outer.size()] == L'\\' || outer.back() == L'\\';
}

// Only name-surrogate reparse points lead elsewhere; others (deduplicated or cloud files) hold their
// data in place and are ordinary files.
bool isLinkTag(DWORD tag) {
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

void setSystemReason(std::string* reason, DWORD code) {
    if (reason)
        *reason = systemMessage(code);
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

bool createDirectory(std::string_view path, std::string* reason) {
    if (path.empty()) {
        setSystemReason(reason, ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (CreateDirectoryW(extendedPath(path).c_str(), nullptr))
        return true;
    setSystemReason(reason, GetLastError());
    return false;
}

bool createDirectories(std::string_view path) {
    if (path.empty())
        return false;
    // From the deepest folder that exists down, each missing level in turn.
    const std::wstring full = withoutTrailingSeparators(extendedPath(fullPath(toWide(path))));
    std::vector<std::wstring> missing;
    for (std::wstring level = full; !level.empty();) {
        const DWORD attributes = GetFileAttributesW(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            break;
        missing.push_back(level);
        const std::size_t cut = level.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut + 1 >= level.size())
            break;
        level.resize(cut);
        if (level.empty() || level.back() == L':' || level.back() == L'?')
            break;
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        if (!CreateDirectoryW(level->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    const DWORD attributes = GetFileAttributesW(full.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeFile(std::string_view path) {
    return DeleteFileW(extendedPath(path).c_str());
}

bool replaceFile(std::string_view from, std::string_view to, std::string* reason) {
    if (MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (reason)
        *reason = systemMessage(GetLastError());
    return false;
}

std::optional<std::uint64_t> fileSize(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<FileStamp> fileStamp(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileStamp{
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
        static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                  data.ftLastWriteTime.dwLowDateTime)};
}

bool listDirectory(std::string_view directory, bool includeHidden, std::vector<DirEntry>& out,
                   std::string* reason) {
    std::wstring pattern = toWide(directory);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':') {
        pattern += L'\\';
    }
    pattern += L"*";
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(extendedPath(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        setSystemReason(reason, GetLastError());
        return false;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        DirEntry entry;
        entry.name = toUtf8(name);
        entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        entry.isLink =
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && isLinkTag(data.dwReserved0);
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (entry.hidden && !includeHidden)
            continue;
        out.push_back(std::move(entry));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

EntryKind entryKind(std::string_view path) {
    const std::wstring p = extendedPath(withoutTrailingSeparators(toWide(path)));
    const DWORD attributes = p.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The attributes don't say which kind of reparse point; the directory entry does.
        WIN32_FIND_DATAW data{};
        HANDLE find = FindFirstFileW(p.c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            if (isLinkTag(data.dwReserved0))
                return EntryKind::Link;
        }
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryKind::Folder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? EntryKind::Other : EntryKind::File;
}

std::optional<std::string> readSymbolicLink(std::string_view) {
    return std::nullopt;
}

namespace {

// The file or folder itself, open for its identity and attributes only (sharing everything, so
// that a file another process holds still opens), through links.
HANDLE openForIdentity(std::string_view path) {
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(extendedPath(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool sameFile(std::string_view a, std::string_view b) {
    HANDLE first = openForIdentity(a);
    if (first == INVALID_HANDLE_VALUE)
        return false;
    HANDLE second = openForIdentity(b);
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    const bool same = second != INVALID_HANDLE_VALUE && GetFileInformationByHandle(first, &one) &&
                      GetFileInformationByHandle(second, &two) &&
                      one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
                      one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
    CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    return same;
}

std::string canonicalPath(std::string_view path) {
    HANDLE h = openForIdentity(path);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
    if (n >= out.size()) {
        out.resize(n);
        n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= out.size())
        return {};
    out.resize(n);
    return displayPath(out);
}

std::optional<std::string> modifiedTimeText(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME utc{}, local{};
    if (path.empty() || !GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", local.wYear, local.wMonth, local.wDay,
                  local.wHour, local.wMinute);
    return std::string(text);
}

namespace {

CopyStatus writeFailure(DWORD code) {
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ? CopyStatus::NoSpace
                                                                     : CopyStatus::TargetFailed;
}

CopyResult copyFailed(CopyStatus status, DWORD code) {
    return {status, systemMessage(code)};
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    bool close() {
        return h_ == INVALID_HANDLE_VALUE || CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE));
    }

  private:
    HANDLE h_;
};

// The new file of a copy, open while it is written (sharing nothing, so another run's cleanup
// leaves it alone) and removed again unless it was put in place.
class NewFile {
  public:
    NewFile(std::wstring path, HANDLE h) : path_(std::move(path)), handle_(h) {}
    ~NewFile() {
        handle_.close();
        if (!placed_) {
            SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path_.c_str());
        }
    }
    HANDLE get() const { return handle_.get(); }
    bool close() { return handle_.close(); }
    void placed() { placed_ = true; }

  private:
    std::wstring path_;
    Handle handle_;
    bool placed_ = false;
};

CopyResult copyData(HANDLE in, HANDLE out, const CopyOptions& options) {
    constexpr DWORD kBlock = DWORD{1} << 20;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlock);  // not cleared: only read into
    std::uint64_t written = 0;
    while (true) {
        DWORD got = 0;
        if (!ReadFile(in, buffer.get(), kBlock, &got, nullptr))
            return copyFailed(CopyStatus::SourceFailed, GetLastError());
        if (got == 0)
            return {};
        for (DWORD done = 0; done < got;) {
            DWORD n = 0;
            if (!WriteFile(out, buffer.get() + done, got - done, &n, nullptr)) {
                const DWORD code = GetLastError();
                return copyFailed(writeFailure(code), code);
            }
            done += n;
        }
        written += got;
        if (options.afterBlock) {
            try {
                options.afterBlock(written);
            } catch (const SystemError& e) {
                return {writeFailure(static_cast<DWORD>(e.code())), e.what()};
            }
        }
    }
}

}  // namespace

CopyResult copyFileOver(std::string_view source, std::string_view target, std::string_view temporary,
                        const CopyOptions& options) {
    const std::wstring from = extendedPath(source);
    const std::wstring to = extendedPath(target);
    const std::wstring temp = extendedPath(temporary);
    if (from.empty())
        return copyFailed(CopyStatus::SourceFailed, ERROR_FILE_NOT_FOUND);
    if (to.empty() || temp.empty())
        return copyFailed(CopyStatus::TargetFailed, ERROR_PATH_NOT_FOUND);

    const DWORD old_attributes = GetFileAttributesW(to.c_str());
    bool replacing = false;
    switch (entryKind(target)) {
        case EntryKind::Link:
            return {CopyStatus::TargetIsLink, {}};
        case EntryKind::Folder:
        case EntryKind::Other:
            return {CopyStatus::TargetNotFile, {}};
        case EntryKind::File:
            if (old_attributes & FILE_ATTRIBUTE_READONLY)
                return {CopyStatus::TargetReadOnly, {}};
            replacing = true;
            break;
        case EntryKind::Missing:
            break;
    }

    const EntryKind kind = entryKind(source);
    if (kind == EntryKind::Link && !options.followSourceLink)
        return {CopyStatus::SourceIsLink, {}};
    if (kind == EntryKind::Folder || kind == EntryKind::Other)
        return {CopyStatus::SourceNotFile, {}};
    Handle in(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in)
        return copyFailed(CopyStatus::SourceFailed, GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(in.get(), &info))
        return copyFailed(CopyStatus::SourceFailed, GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {CopyStatus::SourceNotFile, {}};

    HANDLE h =
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return copyFailed(writeFailure(code), code);
    }
    NewFile out(temp, h);
    if (CopyResult copied = copyData(in.get(), out.get(), options); !copied.copied())
        return copied;
    SetFileTime(out.get(), nullptr, nullptr, &info.ftLastWriteTime);
    // The old file is given up only for data that is on the disk.
    if (replacing && !FlushFileBuffers(out.get())) {
        const DWORD code = GetLastError();
        return copyFailed(writeFailure(code), code);
    }
    if (!out.close()) {
        const DWORD code = GetLastError();
        return copyFailed(writeFailure(code), code);
    }
    // A replaced file keeps its attributes; a new one takes the source's, as CopyFileW gives them.
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes =
        replacing ? (old_attributes & kept) : (info.dwFileAttributes & (kept | FILE_ATTRIBUTE_READONLY));
    if (!SetFileAttributesW(temp.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
        return copyFailed(CopyStatus::TargetFailed, GetLastError());
    if (!MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        return copyFailed(writeFailure(code), code);
    }
    out.placed();
    return {};
}

namespace {

// True when some entry below `folder` (hidden ones included, links not entered) has a path of at
// least `limit` characters, or when the folder can't be read through.
bool holdsPathOfAtLeast(const std::wstring& folder, std::size_t limit) {
    std::vector<DirEntry> entries;
    if (!listDirectory(toUtf8(folder), true, entries, nullptr))
        return true;
    for (const DirEntry& entry : entries) {
        const std::wstring path = folder + L'\\' + toWide(entry.name);
        if (path.size() >= limit || (entry.isDirectory && !entry.isLink && holdsPathOfAtLeast(path, limit)))
            return true;
    }
    return false;
}

}  // namespace

bool moveToTrash(std::string_view path, std::string* reason) {
    // The shell reads "*" and "?" as patterns and a NUL as the end of one path in its list: such a
    // path would remove something other than what was named.
    if (path.empty() || path.find_first_of(std::string_view("*?\0", 3)) != std::string_view::npos) {
        setSystemReason(reason, ERROR_INVALID_NAME);
        return false;
    }
    const std::wstring full = withoutTrailingSeparators(fullPath(toWide(path)));
    // Never a drive or share root, and never the user's own folder or a folder that holds it.
    bool refused = full.size() <= 3 || full.find(L'\\', 2) == std::wstring::npos ||
                   (full.rfind(L"\\\\", 0) == 0 && std::count(full.begin(), full.end(), L'\\') <= 3);
    wchar_t profile[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile)) &&
        sameOrBelow(withoutTrailingSeparators(profile), full)) {
        refused = true;
    }
    if (refused) {
        if (reason)
            *reason = "a drive root, the user's own folder and the folders that hold it are never removed";
        return false;
    }
    const DWORD attributes = GetFileAttributesW(extendedPath(full).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        setSystemReason(reason, GetLastError());
        return false;
    }
    // The shell's operations take no "\\?\" path: what lies beyond MAX_PATH can't reach the Recycle
    // Bin, and is left where it is rather than removed for good. (What lies below a shorter folder
    // goes with it.)
    if (full.size() >= MAX_PATH) {
        if (reason)
            *reason = "the path is longer than the Recycle Bin takes (" + std::to_string(MAX_PATH - 1) +
                      " characters)";
        return false;
    }
    // Nor a folder holding such paths: the shell stops halfway through it, and when the bin refuses
    // an item it deletes it for good instead, through paths it cuts at MAX_PATH (Wine's then names
    // the current folder and empties that). The folder is left whole.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        holdsPathOfAtLeast(full, MAX_PATH)) {
        if (reason)
            *reason = "it holds paths longer than the Recycle Bin takes (" + std::to_string(MAX_PATH - 1) +
                      " characters)";
        return false;
    }
    std::vector<wchar_t> source = shellPathList(full);
    SHFILEOPSTRUCTW op{};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = source.data();
    // No window of any kind, errors included: a failure comes back as the result.
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR | FOF_ALLOWUNDO;
    const int result = SHFileOperationW(&op);
    if (result == 0 && op.fAnyOperationsAborted) {
        setSystemReason(reason, ERROR_CANCELLED);
        return false;
    }
    if (result != 0) {
        // The shell's own codes (0x71 and up) are not system errors and have no text of their own.
        if (reason)
            *reason = result < 0x71 ? systemMessage(static_cast<DWORD>(result))
                                    : "the shell could not remove it (code " + std::to_string(result) + ")";
        return false;
    }
    if (GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) {
        setSystemReason(reason, ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}
// ---- Folders in use ---------------------------------------------------------------------------

namespace {

void setReason(std::string* reason, const std::wstring& where, DWORD code) {
    if (reason)
        *reason = displayPath(where) + ": " + systemMessage(code);
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
    HANDLE find = FindFirstFileW(extendedPath(dir + L"\\*").c_str(), &data);
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
        const std::wstring path = extendedPath(dir + L"\\" + name);
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
    const std::wstring p = extendedPath(withoutTrailingSeparators(toWide(path)));
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
    const std::wstring p = extendedPath(withoutTrailingSeparators(toWide(path)));
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
    const std::wstring p = extendedPath(withoutTrailingSeparators(toWide(path)));
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

bool fileLockedByAnotherProcess(std::string_view path) {
    if (path.empty())
        return false;
    // Read access: an open that asks for no data access is not checked against others' sharing.
    HANDLE h = CreateFileW(extendedPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD code = GetLastError();
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
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
    HANDLE h = CreateFileW(extendedPath(path).c_str(), GENERIC_READ, share_mode, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw lastError();
    File f;
    f.impl_ = std::make_unique<Impl>();
    f.impl_->handle = h;
    return f;
}

File File::create(std::string_view path, Access) {
    HANDLE h = CreateFileW(extendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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

void File::startFlush() {}

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

// ---- Console --------------------------------------------------------------------------------

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

// The console redraws no bar in place here: plain lines, as for a pipe.
bool stderrIsTerminal() {
    return false;
}

}  // namespace kelvora::platform
