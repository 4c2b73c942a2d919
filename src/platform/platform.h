// The operating-system boundary. Everything above this layer builds Windows-form paths ("C:\a\b",
// "\" as separator, UTF-8 text) and hands them to these functions; only the implementations in
// win32/ and posix/ turn them into native paths and native calls.
//
// Errors: functions that report success by a result say so; the others throw SystemError, whose
// what() is the operating system's own reason (as FormatMessage or strerror gives it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::platform {

class SystemError : public std::runtime_error {
  public:
    SystemError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// ---- The machine ----------------------------------------------------------------------------
// On Windows the machine is the one the program runs on and these options are ignored. On POSIX
// the program works on a Windows installation seen as a folder: `root` stands for the system drive
// "C:", `user` is the Windows login name, `windowsVersion` the major version ("5", "6", ...; when
// empty it is detected from the root's "Users" or "Documents and Settings" folder). Extra drives
// map a letter ("D") to a folder.
struct MachineOptions {
    std::string root;
    std::string user;
    std::string windowsVersion;
    std::vector<std::pair<char, std::string>> drives;
};

// Fills in what was not given from KELVORA_ROOT, KELVORA_USER and KELVORA_WINDOWS_VERSION only.
// Values already set win. On Windows: `given` as it is.
MachineOptions machineFromEnvironment(MachineOptions given);
// Fills in what was not given from the environment (machineFromEnvironment), then from
// ~/.wine/drive_c, the POSIX login name and the root's folders. Values already set win. Without a
// root and without ~/.wine/drive_c the machine is this computer.
MachineOptions resolveMachine(MachineOptions given);
// Makes `options` the machine every later call works on.
void setMachine(const MachineOptions& options);
// The machine in use, resolved (empty root when there is none). On Windows: empty.
MachineOptions currentMachine();
// True where the platform works on a machine folder (POSIX), false on Windows.
bool usesMachineFolder();

// The root that stands for this computer itself (POSIX): no Windows folder, the user's own browser
// profiles in their home folder. The option --local and KELVORA_ROOT=local name it.
inline constexpr const char* kThisComputer = "local";
// True when the machine in use is this computer (never on Windows).
bool onThisComputer();
// The user's home folder on this computer (POSIX: $HOME, native form); empty on Windows.
std::string homeFolder();

// ---- Environment facts ----------------------------------------------------------------------
std::string userName();                    // empty on failure
std::string windowsDirectory();            // throws SystemError on failure
std::string specialFolderPath(int csidl);  // 26 roaming, 28 local application data; empty on failure
std::string windowsMajorVersion();         // "5", "6", "10", ...
// True when Windows of this major version keeps its users' folders as Vista and 7 do
// (C:\Users\NAME\AppData\Roaming and \Local): every version from "6" on, Windows 8 to 11 included,
// which report "6" or "10". False for "5" (2000 and XP: Documents and Settings) and for text that is
// no version number, such as an empty one when the system could not tell.
bool usersLayout(std::string_view majorVersion);
// True when the program runs as a 32-bit process on 64-bit Windows (IsWow64Process; false where
// the system lacks it). On POSIX: true when the machine folder holds a 64-bit Windows, as its
// "Program Files (x86)" folder shows. Throws SystemError when the system can't tell.
bool isWow64();
// The name of the computer the program runs on (never the machine folder's): gethostname on POSIX,
// the DNS host name on Windows. Empty when the system can't tell.
std::string hostName();
// True when a process with this id runs on this computer (POSIX: also one of another user's);
// false for ids no process can have (0 and below).
bool processIsRunning(std::int64_t pid);
// The processors this process may run on (its affinity, which `taskset` or a container narrows),
// at least 1.
unsigned usableProcessors();

// ---- Paths ----------------------------------------------------------------------------------
// The native form of a Windows-form path, for messages and for tests. On POSIX a path on a mapped
// drive resolves existing components without regard to letter case.
std::filesystem::path nativePath(std::string_view path);
// The process's current folder, Windows form on Windows, native on POSIX.
std::string currentDirectory();

// ---- File system ----------------------------------------------------------------------------
// Who may read a new file or folder: archives, hive files and staging folders hold passwords and
// cookies, so they are created readable by their owner only (POSIX mode 0600 for files, 0700 for
// folders; Windows: the folder's inherited rights).
enum class Access { Everyone, OwnerOnly };

bool fileExists(std::string_view path);       // existing and not a folder; follows links
bool directoryExists(std::string_view path);  // existing folder; follows links
// One level; false (with the system's reason) when it exists or the parent is missing.
bool createDirectory(std::string_view path, std::string* reason = nullptr);
bool createDirectories(std::string_view path);  // every missing level; true when the folder exists after
bool removeFile(std::string_view path);
// Moves `from` over `to`, replacing it in one step where the file system allows.
bool replaceFile(std::string_view from, std::string_view to, std::string* reason = nullptr);
std::optional<std::uint64_t> fileSize(std::string_view path);
// What tells a file's state from a later one: its size and when it was last written (POSIX:
// nanoseconds, Windows: 100-nanosecond units). nullopt when nothing is there or it is a folder.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t written = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(std::string_view path);
// True when both paths name the same existing file or folder (links followed).
bool sameFile(std::string_view a, std::string_view b);
// When the file was last written, in local time as "2026-12-10 16:33"; nullopt when it can't be read.
std::optional<std::string> modifiedTimeText(std::string_view path);
// The path with links, "." and ".." resolved, to tell folders apart; empty when it can't be.
std::string canonicalPath(std::string_view path);

// What is at a path itself: a link there is reported as a link, not followed.
enum class EntryKind {
    Missing,
    File,    // a regular file
    Folder,  // a folder that is not a link
    Link,    // a symbolic link (POSIX) or a symbolic link, junction or mount point (Windows)
    Other,   // a device, pipe or socket
};
EntryKind entryKind(std::string_view path);
// What the symbolic link at `path` points to, as written in it (not resolved); nullopt when there
// is no link there. Windows: always nullopt (browsers write no links there).
std::optional<std::string> readSymbolicLink(std::string_view path);

struct DirEntry {
    std::string name;
    bool isDirectory = false;
    bool hidden = false;  // Windows: hidden or system attribute; POSIX: name starts with "."
    // A symbolic link (POSIX) or a reparse point (Windows: symbolic link, junction, mount point).
    // `isDirectory` then tells what it leads to. Tree walks do not enter or copy such entries.
    bool isLink = false;
    std::uint64_t size = 0;
};
// The entries of `directory` other than "." and "..", in the file system's order. With
// `includeHidden` false, hidden (and on Windows system) entries are left out. Returns false, with
// the system's reason, when the folder can't be read.
bool listDirectory(std::string_view directory, bool includeHidden, std::vector<DirEntry>& out,
                   std::string* reason = nullptr);

// ---- Copying a file over another ------------------------------------------------------------
// The copy is written to a new file beside the target and put in the target's place in one step
// (a rename) only when it is complete, so the target is either the old file, whole, or the new
// one. The caller names the new file (Kelvora's temporary names belong to the core).
struct CopyOptions {
    // False: a source that is itself a link is not read (tree copies follow no link).
    bool followSourceLink = true;
    // Called after each block written to the new file, with the bytes written so far. An exception
    // thrown here ends the copy as a failed write would: with a SystemError its code and text are the
    // result's. Progress reports use it, and tests that fail or stop a copy at a chosen point.
    std::function<void(std::uint64_t written)> afterBlock;
};

enum class CopyStatus {
    Copied,
    SourceIsLink,    // the source is a link and links were not to be followed; nothing read
    SourceNotFile,   // the source is a folder, device, pipe or socket
    SourceFailed,    // the source could not be opened or read; `reason` says why
    TargetIsLink,    // a link is at the target: nothing is written through it
    TargetNotFile,   // a folder (or device, pipe, socket) is at the target
    TargetReadOnly,  // the target is read-only (POSIX: no write permission at all; Windows: the attribute)
    TargetFailed,    // the new file could not be written or put in place; `reason` says why
    NoSpace,         // the target's volume is full; `reason` is the system's text
};

struct CopyResult {
    CopyStatus status = CopyStatus::Copied;
    std::string reason;  // the system's text for the failures that have one
    bool copied() const { return status == CopyStatus::Copied; }
};

// Copies the regular file `source` to `temporary`, a new file in the target's folder that must not
// exist yet, then renames it over `target`. A target that existed keeps its permissions (Windows:
// its attributes) and, where the system allows, its owner, and its data is on the disk before the
// rename; a new target gets the source's permissions. The copy carries the source's modification
// time. On every failure the target is as it was and the temporary file is gone; only a killed
// process leaves one behind (a Kelvora temporary name, cleaned by a later run). While the copy
// runs the temporary file is held in use, as File::create holds its files.
CopyResult copyFileOver(std::string_view source, std::string_view target, std::string_view temporary,
                        const CopyOptions& options = {});

// ---- Removal to the trash -------------------------------------------------------------------
// Removes the file, or the folder with everything below it, to the Recycle Bin or the desktop's
// trash where the volume has one, outright otherwise; a link inside is not followed. Refuses an
// empty path, a drive or file-system root, the machine's drive folders (POSIX) and the user's home
// folder. False, with the reason, when anything stays.
bool moveToTrash(std::string_view path, std::string* reason = nullptr);

// ---- Folders in use ---------------------------------------------------------------------------
// Kelvora's own temporary files and folders are held in use while a task works with them, so that a
// cleanup of leftovers (by this or another process) can tell them from those of a killed run.
// POSIX: an exclusive flock on an open descriptor (File::create takes one on every file it makes).
// Windows: an open handle that denies deletion (File::create's handle denies all sharing).

// True when `error` says that something already exists at the path.
bool alreadyExists(const SystemError& error);

// A folder this process holds in use, made by createNew.
class HeldFolder {
  public:
    HeldFolder();
    HeldFolder(HeldFolder&&) noexcept;
    HeldFolder& operator=(HeldFolder&&) noexcept;
    ~HeldFolder();  // releases the hold; the folder stays

    // Makes a new folder at `path` and holds it. Fails when anything exists there (a link too):
    // never an existing folder. Throws SystemError; alreadyExists() tells a name already taken,
    // also when another process's cleanup took the new folder before the hold was in place.
    static HeldFolder createNew(std::string_view path, Access access);

    bool isHeld() const;
    // Removes the folder with everything below it outright (never to the trash), following no link
    // inside: a link is removed, not what it points to. Releases the hold. False with the system's
    // reason (naming the entry that could not be removed) when something stays.
    bool removeTree(std::string* reason = nullptr);
    void release();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Removes `path` outright: a file, or a folder with everything below it, following no link inside
// (a link is removed itself). True when nothing is left at the path; false with the system's reason.
bool removeTreeOutright(std::string_view path, std::string* reason = nullptr);
// Removes the regular file (`folder` false) or the folder with its tree (`folder` true) at `path`
// when no task holds it in use. A link, an entry of the other kind or one in use is left alone.
// True when it was removed.
bool removeIfUnused(std::string_view path, bool folder);
// True when another process holds the file at `path` as a running browser holds its lock file.
// Windows: it is open without sharing, through any handle (this process's too): an open that shares
// nothing fails with a sharing or lock violation. POSIX: another process holds an fcntl record lock on it (a
// test for a write lock over the whole file; this process's own fcntl locks don't count, and it must hold
// none on the file, since closing the test's descriptor would drop them). False when the file is missing or
// free.
bool fileLockedByAnotherProcess(std::string_view path);

// ---- File streams ---------------------------------------------------------------------------
enum class Share { DenyWrite, DenyNone };

class File {
  public:
    File();
    File(File&&) noexcept;
    File& operator=(File&&) noexcept;
    ~File();

    // Throws SystemError; the message is the system's reason only (callers add the path).
    static File openRead(std::string_view path, Share share = Share::DenyWrite);
    // Truncates an existing file; exclusive, and held in use (see HeldFolder) while open.
    static File create(std::string_view path, Access access = Access::Everyone);

    bool isOpen() const;
    std::size_t read(void* buffer, std::size_t size);  // 0 at the end; throws on error
    void write(const void* data, std::size_t size);    // all of it, or throws
    std::uint64_t size() const;
    std::uint64_t position() const;
    void seek(std::uint64_t offset);
    void flush();  // to the disk
    // Starts writing what was written so far to the disk, without waiting for it, so that a later
    // flush() has little left to wait for (Linux; elsewhere nothing).
    void startFlush();
    void close();  // throws when the data could not be written

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The first `count` bytes of the file (fewer when it is shorter), read without keeping anyone else
// from it; nothing when it can't be opened or read.
std::optional<std::string> readFileStart(std::string_view path, std::size_t count);

// ---- Text -----------------------------------------------------------------------------------
// The ANSI code page of archive names: Windows' own on Windows; on POSIX windows-1252 unless the
// environment variable KELVORA_CODEPAGE names the one the archives' Windows machines use ("1251",
// "windows-1251", "CP932", or another name the system's iconv knows). A code page the system does
// not know makes every conversion throw SystemError.
//
// For text shown to people: characters without a mapping become "?" (U+FFFD the other way).
std::string utf8ToAnsi(std::string_view utf8);
std::string ansiToUtf8(std::string_view ansi);
// For names, which must never change: nullopt when a character has no mapping of its own (no
// best-fit look-alike, no default character), when the input is not valid in its encoding, or
// when the result would not convert back to the same text.
std::optional<std::string> utf8ToAnsiExact(std::string_view utf8);
std::optional<std::string> ansiToUtf8Exact(std::string_view ansi);
// The code page in use, for messages: "code page 1252".
std::string ansiCodePageName();

// ---- Registry of the current user ------------------------------------------------------------
// Keys are paths below HKEY_CURRENT_USER ("Software\Microsoft\Internet Explorer\Main\"; a trailing
// "\" is allowed). A hive file holds one key with its values and whole subtree in the registry's own
// binary format, so files move between Windows and POSIX both ways. On POSIX the current user's
// registry is the machine user's NTUSER.DAT ("C:\Users\U\" or, for version "5",
// "C:\Documents and Settings\U\"), which every change rewrites in one step.
enum class HiveOutcome {
    Done,             // the hive file was written / the key was replaced
    KeyUnavailable,   // the key could not be opened (save) or created (load); nothing changed
    NoPrivilege,      // the process token or the privilege could not be looked up; nothing changed
    PrivilegeFailed,  // switching the privilege on failed; `code` and `message` say why
    FileMissing,      // load: there is no hive file at the path; nothing changed
    CallFailed,       // the registry's save or restore call failed; `code` and `message` say why
};
struct HiveResult {
    HiveOutcome outcome = HiveOutcome::Done;
    int code = 0;
    std::string message;  // the system's text for `code`
};
// Writes `key` into a new hive file at `file`, deleting a file already there first. The backup
// privilege is on while it works and afterwards as it was before.
HiveResult saveRegistryKey(std::string_view key, std::string_view file);
// Replaces the values and the whole subtree of `key` (created when missing) by the hive file's.
// The restore privilege is on while it works and afterwards as it was before.
HiveResult loadRegistryKey(std::string_view key, std::string_view file);

// Direct access for tools and tests (the sample machine, checks after a restore).
struct RegistryValue {
    std::string name;  // empty: the key's default value
    std::uint32_t type = 0;
    std::string data;  // the raw bytes, as the registry stores them
    bool operator==(const RegistryValue&) const = default;
};
struct RegistryTree {
    std::string name;
    std::vector<RegistryValue> values;
    std::vector<RegistryTree> subkeys;
    bool operator==(const RegistryTree&) const = default;
};
// The key with its whole subtree; nullopt when it does not exist.
std::optional<RegistryTree> readRegistryTree(std::string_view key);
// Makes `key` (and its missing parents) hold exactly `tree`'s values and subkeys; `tree.name` is
// not used. On POSIX a missing NTUSER.DAT is created as an empty hive. False on failure.
bool writeRegistryTree(std::string_view key, const RegistryTree& tree);
// Removes the key with its subtree. True when it is gone afterwards.
bool deleteRegistryTree(std::string_view key);

// ---- Shell ----------------------------------------------------------------------------------
// Opens a web address, mail link or file with the desktop's handler, without waiting for the
// handler (POSIX: xdg-open in a session of its own). A target without a scheme ("www.host/path")
// is a web address, as the Windows shell takes it. False when it could not be started.
bool openWithShell(std::string_view target);

// ---- Console --------------------------------------------------------------------------------
// Makes the console take the program's UTF-8 output (Windows); nothing elsewhere.
void useUtf8Console();
// True when the standard error stream is an interactive terminal that can redraw a progress bar
// in place (POSIX); false on Windows and for pipes and files.
bool stderrIsTerminal();

// ---- HTTP -----------------------------------------------------------------------------------
// One GET request. The transport follows HTTP redirections itself, at most `maxRedirects` of them
// and only to http or https (from https only to https); https certificates are verified against the
// system's store. Requests go out as HTTP/1.0 with "Accept: */*", bypassing caches, through the
// system's proxy settings.
struct HttpRequest {
    bool https = false;
    std::string host;
    std::uint16_t port = 0;  // 0: 80 for http, 443 for https
    std::string path = "/";  // the object path, sent as given
    std::string userName;    // with `password`: basic authentication when not empty
    std::string password;
    std::string userAgent;
    int maxRedirects = 10;
    std::size_t chunkSize = 1025;  // the most bytes one onChunk call hands over
};

struct HttpHandler {
    // Once, when the final response's head is in: its status code and the text of its
    // Content-Length header when it has one. Returning false stops the transfer.
    std::function<bool(int status, const std::optional<std::string>& contentLength)> onResponse;
    // After each chunk of the body. Returning false stops the transfer.
    std::function<bool(const char* data, std::size_t size)> onChunk;
};

enum class HttpResult {
    Completed,  // the whole body was handed over
    Stopped,    // a handler returned false
    Failed,     // no connection, no response, a broken body, too many redirections: see `error`
};
// An exception thrown by a handler ends the transfer and passes on to the caller.
HttpResult httpGet(const HttpRequest& request, const HttpHandler& handler, std::string& error);

// The system's folder for temporary files; empty when there is none.
std::string temporaryDirectory();
// Kelvora's own folder for downloaded setup programs, made with its missing parents unless
// `create` is false: on Windows %LOCALAPPDATA%\Kelvora\Downloads of the user running the program,
// on POSIX $XDG_CACHE_HOME/kelvora/downloads (~/.cache/kelvora/downloads when that variable is
// not set to an absolute folder). Empty when it can't be named or made.
std::string downloadFolder(bool create = true);
// Kelvora's own data folder (the undo sets of restores), made with its missing parents unless
// `create` is false: the folder the environment variable KELVORA_DATA_HOME names when it is set to
// an absolute folder; otherwise on Windows %LOCALAPPDATA%\Kelvora of the user running the program,
// on POSIX $XDG_DATA_HOME/kelvora (~/.local/share/kelvora when that variable is not set to an
// absolute folder). Empty when it can't be named or made.
std::string dataFolder(bool create = true);
// Starts a downloaded program without waiting for it (Windows: the shell's "open" with
// `parameters`; POSIX: the desktop's opener in a session of its own, which takes no parameters).
// False when it could not be started.
bool startFile(std::string_view path, std::string_view parameters);

}  // namespace kelvora::platform
