// CopyDatabase: a snapshot of a live SQLite database through SQLite's online backup.
//
// How the source is read depends on what lies beside it, because SQLite 3.40 creates a missing
// -wal and -shm beside a WAL database even for a read-only connection, and leaves them there:
// - a rollback-journal database, or a WAL database with its -wal and -shm (a browser has it open,
//   or had it): a read-only connection, which takes SQLite's locks like any reader;
// - a WAL database without a -wal: no connection has it open (every WAL connection keeps the -wal
//   while it lives), so the main file holds every committed transaction and is read as immutable,
//   without locks or companions; a write that starts meanwhile shows as a changed file or a new
//   -wal, and the read is repeated;
// - a WAL database whose -wal has no -shm (an exclusive-mode writer holds it, or one stopped
//   without closing), or a rollback database with a hot journal: a lock probe that creates
//   nothing, then a private copy of the files, which SQLite recovers as it would the originals.
// Source connections go through a VFS that never creates a -wal or a journal, so a browser that
// closes its database between the look and the open makes this read fail and start again rather
// than leave files behind.
#include "core/database_copy.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "core/core.h"
#include "core/error.h"
#include "core/staging.h"
#include "core/temp_names.h"
#include "platform/platform.h"

namespace kelvora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kMagic{"SQLite format 3\0", 16};
constexpr std::size_t kHeaderRead = 20;   // the magic, the page size and the format versions
constexpr std::size_t kReadVersion = 19;  // 1: rollback journal, 2: WAL

constexpr const char* kWal = kDatabaseCompanions[0];
constexpr const char* kShm = kDatabaseCompanions[1];
constexpr const char* kJournal = kDatabaseCompanions[2];

constexpr const char* kChanged = "the database was written while it was read";

bool hasMagic(const std::string& head) {
    return head.size() >= kMagic.size() && std::string_view(head).substr(0, kMagic.size()) == kMagic;
}

// The name SQLite opens: the native path, UTF-8 (on Windows too: SQLite's names are UTF-8).
std::string sqliteName(const std::string& path) {
    const std::u8string native = platform::nativePath(path).u8string();
    return std::string(native.begin(), native.end());
}

// `name` as an SQLite URI with `query`; "%", "?" and "#" are the only characters a file name
// can't hold as they are.
std::string uriOf(const std::string& name, std::string_view query) {
    std::string uri = name.starts_with("//") ? "file://" : "file:";
    for (const char c : name) {
        if (c == '%' || c == '?' || c == '#')
            uri += Format("%%%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
        else
            uri += c;
    }
    if (!query.empty()) {
        uri += '?';
        uri += query;
    }
    return uri;
}

// The system's VFS, except that it opens a -wal or journal only when the file exists.
constexpr const char* kSourceVfs = "kelvora-no-companions";

int openWithoutCreating(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* out) {
    auto* base = static_cast<sqlite3_vfs*>(vfs->pAppData);
    if (flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL))
        flags &= ~SQLITE_OPEN_CREATE;
    return base->xOpen(base, name, file, flags, out);
}

const char* sourceVfs() {
    static const bool registered = [] {
        static sqlite3_vfs vfs{};
        sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        if (!base)
            return false;
        vfs = *base;
        vfs.zName = kSourceVfs;
        vfs.pNext = nullptr;
        vfs.pAppData = base;
        vfs.xOpen = openWithoutCreating;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    return registered ? kSourceVfs : nullptr;
}

struct CloseConnection {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;

struct FinishBackup {
    void operator()(sqlite3_backup* backup) const { sqlite3_backup_finish(backup); }
};

// How one attempt ended.
enum class Attempt {
    Done,
    Busy,    // a lock was not had in time: Locked once the time is up
    Again,   // the files changed under the read: read afresh, Locked once the time is up
    Failed,  // for good
};
struct Step {
    Attempt outcome = Attempt::Done;
    std::string reason;
};

bool isBusy(int code) {
    return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED;
}

// A temporary file of the copy, removed (with anything SQLite put beside it) unless it was put
// in place.
class PendingCopy {
  public:
    explicit PendingCopy(std::string path) : path_(std::move(path)) {}
    PendingCopy(const PendingCopy&) = delete;
    PendingCopy& operator=(const PendingCopy&) = delete;
    ~PendingCopy() {
        removeCompanions();
        if (!placed_)
            platform::removeFile(path_);
    }
    const std::string& path() const { return path_; }
    void removeCompanions() const {
        for (const char* companion : kDatabaseCompanions) {
            if (platform::fileExists(path_ + companion))
                platform::removeFile(path_ + companion);
        }
    }
    void placed() { placed_ = true; }

  private:
    std::string path_;
    bool placed_ = false;
};

class DatabaseCopy {
  public:
    DatabaseCopy(const std::string& source, const std::string& target, Clock::time_point deadline)
        : source_(source), target_(target), deadline_(deadline) {}

    Step attempt() {
        const std::optional<std::string> head = platform::readFileStart(source_, kHeaderRead);
        if (!head || !hasMagic(*head)) {
            if (platform::entryKind(source_) == platform::EntryKind::Missing)
                return {Attempt::Failed, Format("\"%s\": the file was not found", source_.c_str())};
            return {Attempt::Failed, Format("\"%s\": it is not an SQLite database", source_.c_str())};
        }
        const bool wal = head->size() > kReadVersion && (*head)[kReadVersion] == 2;
        if (!wal)
            return copyOpen();
        if (!platform::fileExists(source_ + kWal))
            return copyClosed();
        if (!platform::fileExists(source_ + kShm))
            return copyWithoutIndex();
        return copyOpen();
    }

  private:
    int remainingMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
    }

    struct Opened {
        Connection db;
        int code = SQLITE_OK;
        std::string message;
    };
    static Opened open(const std::string& uri, int flags, const char* vfs) {
        sqlite3* raw = nullptr;
        const int code =
            sqlite3_open_v2(uri.c_str(), &raw, flags | SQLITE_OPEN_URI | SQLITE_OPEN_EXRESCODE, vfs);
        Opened opened{Connection(raw), code, {}};
        if (code != SQLITE_OK) {
            opened.message = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(code);
            opened.db.reset();
        }
        return opened;
    }

    // A read-only connection to the source through the VFS that creates no companions.
    Opened openSource(std::string_view query) const {
        const char* vfs = sourceVfs();
        if (!vfs)
            return {nullptr, SQLITE_ERROR, "SQLite's file system layer could not be set up"};
        Opened opened = open(uriOf(sqliteName(source_), query), SQLITE_OPEN_READONLY, vfs);
        if (opened.db) {
            // A reader never checkpoints or removes the writer's files when it closes.
            sqlite3_db_config(opened.db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            sqlite3_busy_timeout(opened.db.get(), remainingMs());
        }
        return opened;
    }

    // Starts a read transaction, which the backup then takes its snapshot in: SQLite's code.
    static int beginRead(sqlite3* db) {
        return sqlite3_exec(db, "BEGIN; PRAGMA schema_version;", nullptr, nullptr, nullptr);
    }

    Step failed(sqlite3* db, int code) const {
        return failed(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    }

    // Busy (to be tried again until the time-out) or failed, naming the source.
    Step failed(int code, const std::string& message) const {
        if (isBusy(code))
            return {Attempt::Busy, message};
        return {Attempt::Failed, Format("\"%s\": %s", source_.c_str(), message.c_str())};
    }

    // A database some program may have open: SQLite's locks keep the snapshot consistent.
    Step copyOpen() {
        {
            Opened src = openSource("mode=ro");
            if (!src.db)
                return openFailed(src);
            const int code = beginRead(src.db.get());
            if (code == SQLITE_OK)
                return backup(src.db.get());
            if ((code & 0xFF) == SQLITE_CANTOPEN && !platform::fileExists(source_ + kWal))
                return {Attempt::Again, kChanged};  // closed since: its -wal went away before the read
            if (code != SQLITE_READONLY_ROLLBACK)
                return failed(src.db.get(), code);
        }
        return copyRecovered(kJournal);
    }

    Step openFailed(const Opened& opened) const { return failed(opened.code, opened.message); }

    // A WAL database no connection has open: the main file is all of it.
    Step copyClosed() {
        const auto before = platform::fileStamp(source_);
        Opened src = openSource("immutable=1");
        if (!src.db)
            return openFailed(src);
        if (const int code = beginRead(src.db.get()); code != SQLITE_OK)
            return failed(src.db.get(), code);
        // Nothing locked the file while it was read: a program that opened it meanwhile shows by
        // its -wal, one that also wrote it by the file's change; then the copy is not put in place.
        return backup(src.db.get(), [&] {
            return platform::fileStamp(source_) == before && !platform::fileExists(source_ + kWal);
        });
    }

    // A -wal without its index: first whether a writer in exclusive mode holds the database (it
    // keeps its index in memory), with a read that may not create the index; then a private copy.
    Step copyWithoutIndex() {
        {
            Opened src = openSource("mode=ro&readonly_shm=1");
            if (!src.db)
                return openFailed(src);
            const int code = beginRead(src.db.get());
            if (code == SQLITE_OK)
                return {Attempt::Again, kChanged};  // an index is there now
            if ((code & 0xFF) != SQLITE_CANTOPEN)
                return failed(src.db.get(), code);
        }
        return copyRecovered(kWal);
    }

    // No program holds the database, but it needs SQLite's recovery (a -wal without its index, a
    // hot journal), which a read-only connection can't do in place: the database and that file are
    // copied into a private folder, recovered there, and the copy is taken from the result.
    Step copyRecovered(const char* companion) {
        const std::string companionPath = source_ + companion;
        const auto databaseBefore = platform::fileStamp(source_);
        const auto companionBefore = platform::fileStamp(companionPath);
        if (!databaseBefore || !companionBefore)
            return {Attempt::Again, kChanged};
        StagingFolder staging;
        try {
            staging = StagingFolder::create(parentFolder(target_));
        } catch (const std::exception& e) {
            return {Attempt::Failed, e.what()};
        }
        const std::string staged = IncludeTrailingBackslash(staging.path()) + "database";
        for (const auto& [from, to] :
             {std::pair{source_, staged}, std::pair{companionPath, staged + companion}}) {
            const auto copied = platform::copyFileOver(from, to, TemporarySibling(to));
            if (copied.status == platform::CopyStatus::SourceFailed)
                return {Attempt::Again, kChanged};
            if (!copied.copied())
                return {Attempt::Failed, Format("\"%s\": %s", to.c_str(), copied.reason.c_str())};
        }
        if (platform::fileStamp(source_) != databaseBefore ||
            platform::fileStamp(companionPath) != companionBefore)
            return {Attempt::Again, kChanged};

        Opened src = open(uriOf(sqliteName(staged), {}), SQLITE_OPEN_READWRITE, nullptr);
        if (!src.db)
            return openFailed(src);
        if (const int code = beginRead(src.db.get()); code != SQLITE_OK)
            return failed(src.db.get(), code);
        return backup(src.db.get());
    }

    // Copies the snapshot of `src`'s open read transaction into a new file beside the target and
    // puts it in the target's place, when `unchanged` (if given) says the snapshot still holds.
    Step backup(sqlite3* src, const std::function<bool()>& unchanged = {}) {
        PendingCopy copy(TemporarySibling(target_));
        try {
            platform::File::create(copy.path(), platform::Access::OwnerOnly).close();
        } catch (const platform::SystemError& e) {
            return {Attempt::Failed, Format("\"%s\": %s", copy.path().c_str(), e.what())};
        }
        {
            // The copy needs no journal: until it is renamed it is nobody's database. Nor is it
            // forced to the disk: it is a backup's working copy, read back into the archive, which
            // is itself on the disk before it takes its name.
            Opened dest = open(uriOf(sqliteName(copy.path()), {}), SQLITE_OPEN_READWRITE, nullptr);
            if (!dest.db)
                return {Attempt::Failed, Format("\"%s\": %s", copy.path().c_str(), dest.message.c_str())};
            sqlite3_exec(dest.db.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                         nullptr);
            const std::unique_ptr<sqlite3_backup, FinishBackup> run(
                sqlite3_backup_init(dest.db.get(), "main", src, "main"));
            if (!run)
                return {Attempt::Failed,
                        Format("\"%s\": %s", copy.path().c_str(), sqlite3_errmsg(dest.db.get()))};
            const int code = sqlite3_backup_step(run.get(), -1);
            if (code != SQLITE_DONE) {
                if (isBusy(code))
                    return {Attempt::Busy, sqlite3_errstr(code)};
                return {Attempt::Failed, Format("copying \"%s\" to \"%s\": %s", source_.c_str(),
                                                copy.path().c_str(), sqlite3_errstr(code))};
            }
        }
        copy.removeCompanions();
        if (unchanged && !unchanged())
            return {Attempt::Again, kChanged};
        if (std::string why; !platform::replaceFile(copy.path(), target_, &why))
            return {Attempt::Failed, Format("\"%s\": %s", target_.c_str(), why.c_str())};
        copy.placed();
        return {};
    }

    std::string source_;
    std::string target_;
    Clock::time_point deadline_;
};

}  // namespace

bool IsSqliteDatabase(const std::string& path) {
    const std::optional<std::string> head = platform::readFileStart(path, kHeaderRead);
    return head && hasMagic(*head);
}

DatabaseCopyResult CopyDatabase(const std::string& source, const std::string& target,
                                std::chrono::milliseconds lockTimeout) {
    if (platform::sameFile(source, target))
        return {DatabaseCopyStatus::Failed, "the source and the target are the same file"};
    const Clock::time_point deadline = Clock::now() + lockTimeout;
    DatabaseCopy copy(source, target, deadline);
    while (true) {
        const Step step = copy.attempt();
        switch (step.outcome) {
            case Attempt::Done:
                return {};
            case Attempt::Failed:
                return {DatabaseCopyStatus::Failed, step.reason};
            case Attempt::Busy:
            case Attempt::Again:
                if (Clock::now() >= deadline)
                    return {DatabaseCopyStatus::Locked, step.reason};
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace kelvora
