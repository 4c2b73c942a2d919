// Consistent copies of SQLite databases that a running browser may be writing at the same time:
// SQLite's online backup from a read-only connection, never a byte copy of a file in use.
#pragma once

#include <array>
#include <chrono>
#include <string>

namespace kelvora {

// SQLite's companions of a database file: what the library keeps beside it while it is written.
inline constexpr std::array<const char*, 3> kDatabaseCompanions{"-wal", "-shm", "-journal"};

// True when the file starts with SQLite's 16-byte header ("SQLite format 3" and a NUL): by content,
// never by name. False for a missing or unreadable file and for a folder.
bool IsSqliteDatabase(const std::string& path);

enum class DatabaseCopyStatus { Copied, Locked, Failed };

struct DatabaseCopyResult {
    DatabaseCopyStatus status = DatabaseCopyStatus::Copied;
    std::string reason;  // why it was not copied; empty when it was
};

// Copies a consistent snapshot of the database `source` to `target` with SQLite's online backup
// API from a read-only connection: the copy holds every committed transaction, those still only in
// the -wal file too, and nothing uncommitted. The copy is made under a Kelvora temporary name in
// the target's folder, readable by its owner only, and renamed over the target when complete (the
// target is the old file or the new one, never half). It is a plain file: its header keeps the
// source's journal mode, and no companion is left beside it. It is a working copy for a backup,
// not forced to the disk: what keeps it is the archive it goes into.
//
// The source and its folder are left as they were: no companion is made beside it that was not
// there, and its companions stay. A source whose -wal file has no -shm beside it, or that has a
// hot -journal (a writer stopped half way), is recovered in a private copy, as SQLite would
// recover it, and the copy is taken from there.
//
// Locked: the database stayed locked (or kept changing under an unlocked read) past `lockTimeout`;
// nothing was written. Failed: with the reason (not an SQLite database, unreadable, corrupt, the
// target can't be written); nothing is left at the target but what was there.
DatabaseCopyResult CopyDatabase(const std::string& source, const std::string& target,
                                std::chrono::milliseconds lockTimeout = std::chrono::seconds(5));

}  // namespace kelvora
