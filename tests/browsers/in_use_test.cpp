// Whether a running browser holds a profile: the locks each family holds while it runs, told apart
// from those a browser that ended (or runs on another computer) left behind, in a profile folder, in
// a data root and up to two levels below it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/in_use.h"
#include "core/core.h"
#include "core/text.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include "platform/win32/win32_util.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;

// `relative` ("/" separated) below the test folder, as the product names paths.
std::string below(const TempDir& dir, std::string relative) {
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return joinPath(dir.str(), relative);
}

// What heldLockIn found, as a native path relative to the test folder ("/" separated), or empty.
std::string foundBelow(const TempDir& dir, const std::string& found) {
    if (found.empty())
        return {};
    return platform::nativePath(found).lexically_relative(dir.path()).generic_string();
}

std::int64_t ownProcess() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return ::getpid();
#endif
}

// An id no process has now (a huge one on either system).
constexpr std::int64_t kNoProcess = 0x7FFFFFF0;

#ifndef _WIN32

// A child process that ended and was reaped: its id names no process.
std::int64_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// Another process holding an fcntl write lock on a file, as a running Firefox holds ".parentlock"
// (this process's own fcntl locks are invisible to its lock test).
class RecordLockHolder {
  public:
    explicit RecordLockHolder(const fs::path& file) {
        const std::string name = file.string();
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int fd = ::open(name.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char ok = 0;
        locked_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
    }
    RecordLockHolder(const RecordLockHolder&) = delete;
    RecordLockHolder& operator=(const RecordLockHolder&) = delete;
    ~RecordLockHolder() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool locked() const { return locked_; }

  private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

TEST(HeldLockIn, TellsHeldLocksFromStaleOnesOnLinux) {
    const std::string me = std::to_string(ownProcess());
    const std::string gone = std::to_string(endedProcess());
    const std::string host = platform::hostName();
    ASSERT_FALSE(host.empty());

    enum class Lock { Link, RecordLocked, Plain };
    struct Case {
        std::string what;
        const char* browser;
        std::string lock;  // where the lock is, below the test folder
        Lock kind;
        std::string target;  // a link's target
        std::string given;   // the folder asked about, below the test folder
        bool held;
    };
    const std::vector<Case> cases = {
        // Firefox's link names the address its host name resolves to, "+" when it also holds .parentlock.
        {"Firefox here, by address", "firefox", "p/lock", Lock::Link, "127.0.1.1:+" + me, "p", true},
        {"Firefox here, by host name", "firefox", "p/lock", Lock::Link, host + ":" + me, "p", true},
        {"Firefox ended", "firefox", "p/lock", Lock::Link, "127.0.1.1:+" + gone, "p", false},
        {"Firefox on another computer", "firefox", "p/lock", Lock::Link, "192.0.2.7:+" + me, "p", false},
        {"a link of another form", "firefox", "p/lock", Lock::Link, "127.0.1.1:+" + me + "x", "p", false},
        {"a link without a host", "firefox", "p/lock", Lock::Link, ":+" + me, "p", false},
        {".parentlock held by another process", "firefox", "p/.parentlock", Lock::RecordLocked, "", "p",
         true},
        {".parentlock nobody holds", "firefox", "p/.parentlock", Lock::Plain, "", "p", false},
        {"a Windows parent.lock seen from Linux", "firefox", "p/parent.lock", Lock::Plain, "", "p", false},
        {"Flock, as Firefox", "flock", "p/lock", Lock::Link, "127.0.0.1:+" + me, "p", true},
        // A full restore's data root: the profiles lie below it.
        {"a profile below the data root", "firefox", "Profiles/a.default/lock", Lock::Link,
         "127.0.1.1:+" + me, "", true},
        {"a held .parentlock below the data root", "firefox", "Profiles/a.default/.parentlock",
         Lock::RecordLocked, "", "", true},
        {"three levels below is not looked at", "firefox", "x/Profiles/a.default/lock", Lock::Link,
         "127.0.1.1:+" + me, "", false},

        // Chromium's SingletonLock names the host name; its data root holds "Local State".
        {"Chrome here", "chrome", "User Data/SingletonLock", Lock::Link, host + "-" + me, "User Data", true},
        {"Chromium ended", "chromium", "User Data/SingletonLock", Lock::Link, host + "-" + gone, "User Data",
         false},
        {"Edge on another computer", "edge", "User Data/SingletonLock", Lock::Link, "elsewhere.invalid-" + me,
         "User Data", false},
        {"a plain SingletonLock file", "chrome", "User Data/SingletonLock", Lock::Plain, "", "User Data",
         false},
        {"Brave, asked about a profile folder", "brave", "User Data/SingletonLock", Lock::Link,
         host + "-" + me, "User Data/Default", true},
        {"Vivaldi, two levels below", "vivaldi", "config/vivaldi/SingletonLock", Lock::Link, host + "-" + me,
         "", true},
        {"Opera of today", "opera-chromium", "opera/SingletonLock", Lock::Link, host + "-" + me, "opera",
         true},

        // Browsers that hold nothing: whatever lies there, never in use.
        {"Safari", "safari", "p/lock", Lock::Link, "127.0.1.1:+" + me, "p", false},
        {"Safari, a Chromium lock", "safari", "p/SingletonLock", Lock::Link, host + "-" + me, "p", false},
        {"Opera 10", "opera", "p/.parentlock", Lock::RecordLocked, "", "p", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path lock = dir / c.lock;
        fs::create_directories(lock.parent_path());
        fs::create_directories(dir / c.given);
        if (lock.filename() == "SingletonLock")
            writeFile(lock.parent_path() / "Local State", "{}");
        std::optional<RecordLockHolder> holder;
        switch (c.kind) {
            case Lock::Link:
                fs::create_symlink(c.target, lock);
                break;
            case Lock::RecordLocked:
                holder.emplace(lock);
                ASSERT_TRUE(holder->locked());
                break;
            case Lock::Plain:
                writeFile(lock, "");
                break;
        }
        const std::string found = browsers::heldLockIn(browsers::browser(c.browser), below(dir, c.given));
        EXPECT_EQ(foundBelow(dir, found), c.held ? c.lock : "");
    }
}

#else

// The test itself holds the lock file open through a handle. Wine checks sharing between handles of
// one process as Windows does between processes, so this stands for a running browser.
class OpenLock {
  public:
    OpenLock(const fs::path& file, DWORD access, DWORD share, DWORD flags)
        : handle_(CreateFileW(file.wstring().c_str(), access, share, nullptr, OPEN_ALWAYS, flags, nullptr)) {}
    OpenLock(const OpenLock&) = delete;
    OpenLock& operator=(const OpenLock&) = delete;
    ~OpenLock() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST(HeldLockIn, TellsHeldLocksFromStaleOnesOnWindows) {
    enum class Lock { SharingNothing, SharingReading, Closed };
    struct Case {
        const char* what;
        const char* browser;
        const char* lock;  // where the lock is, below the test folder
        Lock kind;
        const char* given;  // the folder asked about, below the test folder
        bool held;
    };
    const std::vector<Case> cases = {
        {"Firefox running", "firefox", "p/parent.lock", Lock::SharingNothing, "p", true},
        {"Firefox ended, parent.lock left", "firefox", "p/parent.lock", Lock::Closed, "p", false},
        {"Flock, as Firefox", "flock", "p/parent.lock", Lock::SharingNothing, "p", true},
        {"a profile below the data root", "firefox", "Profiles/a.default/parent.lock", Lock::SharingNothing,
         "", true},
        {"three levels below is not looked at", "firefox", "x/Profiles/a.default/parent.lock",
         Lock::SharingNothing, "", false},
        {"Chrome running", "chrome", "User Data/lockfile", Lock::SharingNothing, "User Data", true},
        // A holder that lets others read still keeps a lock that shares nothing out.
        {"a lockfile others may read", "edge", "User Data/lockfile", Lock::SharingReading, "User Data", true},
        {"Chromium ended, lockfile left", "chromium", "User Data/lockfile", Lock::Closed, "User Data", false},
        {"Brave, asked about a profile folder", "brave", "User Data/lockfile", Lock::SharingNothing,
         "User Data/Default", true},
        {"Opera of today, two levels below", "opera-chromium", "Opera Software/Opera Stable/lockfile",
         Lock::SharingNothing, "", true},
        {"Safari", "safari", "p/parent.lock", Lock::SharingNothing, "p", false},
        {"Opera 10", "opera", "p/lockfile", Lock::SharingNothing, "p", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path lock = dir / c.lock;
        fs::create_directories(lock.parent_path());
        fs::create_directories(dir / c.given);
        if (lock.filename() == "lockfile")
            writeFile(lock.parent_path() / "Local State", "{}");
        writeFile(lock, "");
        std::optional<OpenLock> holder;
        if (c.kind == Lock::SharingNothing)
            holder.emplace(lock, GENERIC_READ | GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
        if (c.kind == Lock::SharingReading)
            holder.emplace(lock, GENERIC_WRITE, FILE_SHARE_READ, FILE_FLAG_DELETE_ON_CLOSE);
        if (holder) {
            ASSERT_TRUE(holder->open());
        }
        const std::string found = browsers::heldLockIn(browsers::browser(c.browser), below(dir, c.given));
        EXPECT_EQ(foundBelow(dir, found), c.held ? std::string(c.lock) : "");
    }
}

// A file a running browser holds without sharing (its session or a database it keeps open): every
// copy and the archive leave it out under its own name with the system's reason, never succeed
// with less, and the lock test sees it held.
TEST(LockedFile, IsLeftOutByNameAndSeenAsHeld) {
    TempDir dir;
    const std::string profile = below(dir, "profile");
    const std::string held = profile + "\\sessionstore.js";
    writeFile(dir / "profile/sessionstore.js", "held");
    writeFile(dir / "profile/prefs.js", "free");
    const OpenLock holder(dir / "profile/sessionstore.js", GENERIC_READ | GENERIC_WRITE, 0,
                          FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(holder.open());
    EXPECT_TRUE(platform::fileLockedByAnotherProcess(held));
    EXPECT_FALSE(platform::fileLockedByAnotherProcess(profile + "\\prefs.js"));

    const auto archived = [&](bool ignoreExclusive) {
        TZlibMultiple z;
        z.IgnoreExclusive = ignoreExclusive;
        z.CompressDirectory(profile, true, below(dir, "backup.dat"));
        std::vector<std::string> stored;
        z.ListStoredFiles(below(dir, "backup.dat"), stored);
        EXPECT_EQ(stored, std::vector<std::string>{"prefs.js"});
        return z.LeftOut;
    };
    struct Case {
        const char* what;
        std::function<std::vector<LeftOutItem>()> leftOut;
    };
    const std::vector<Case> cases = {
        {"one file copied",
         [&] {
             std::string reason;
             EXPECT_FALSE(CopyOneFile(held, below(dir, "one.js"), &reason));
             EXPECT_FALSE(fs::exists(dir / "one.js"));
             return std::vector<LeftOutItem>{{"", held, reason}};
         }},
        {"a folder copied",
         [&] {
             std::vector<LeftOutItem> left;
             std::string reason;
             EXPECT_TRUE(CopyDir(profile, below(dir, "copy"), &left, &reason)) << reason;
             EXPECT_EQ(readFile(dir / "copy/profile/prefs.js"), "free");
             EXPECT_FALSE(fs::exists(dir / "copy/profile/sessionstore.js"));
             return left;
         }},
        {"a folder archived", [&] { return archived(false); }},
        {"a folder archived, others' exclusive use ignored", [&] { return archived(true); }},
    };
    const std::string sharing = platform::systemMessage(ERROR_SHARING_VIOLATION);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.leftOut(), (std::vector<LeftOutItem>{{"", held, sharing}}));
    }
}

#endif

// The calls the lock test stands on, on both systems.
TEST(HeldLockIn, ThisComputerAndItsProcesses) {
    EXPECT_FALSE(platform::hostName().empty());
    EXPECT_TRUE(platform::processIsRunning(ownProcess()));
    for (const std::int64_t id : {std::int64_t{0}, std::int64_t{-1}, kNoProcess})
        EXPECT_FALSE(platform::processIsRunning(id)) << id;
#ifdef _WIN32
    // A process that ended is not running, even while a handle keeps its process object (and id).
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_list_tests --gtest_filter=-*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(
        CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    ASSERT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_FALSE(platform::processIsRunning(child.dwProcessId));
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
#else
    EXPECT_FALSE(platform::processIsRunning(endedProcess()));
#endif
}

}  // namespace
}  // namespace kelvora::test
