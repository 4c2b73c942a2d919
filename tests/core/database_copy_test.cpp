// Copies of live SQLite databases: another process (sqlite_writer) holds each database the way a
// browser does, with rows committed only in the -wal, a transaction left open, an exclusive lock,
// or a crash's leftovers, and every copy is checked by opening it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/database_copy.h"
#include "core/temp_names.h"
#include "support/sqlite_writer_process.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::Contents;
using test::contentsOf;
using test::readFile;
using Writer = test::SqliteWriter;
using test::TempDir;
using test::writeFile;

std::vector<int> ids(int from, int to) {
    std::vector<int> out;
    for (int id = from; id <= to; ++id)
        out.push_back(id);
    return out;
}

// The files of a folder with a hash of their contents; the -shm only by its name, as readers write
// into it.
std::map<std::string, std::size_t> folderState(const fs::path& folder) {
    std::map<std::string, std::size_t> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        out[name] = name.ends_with("-shm") ? 0 : std::hash<std::string>{}(readFile(entry.path()));
    }
    return out;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder))
        out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Copies a database and the named companions as they are on the disk now: what a crash would leave.
void copyFiles(const fs::path& database, const std::vector<const char*>& companions, const fs::path& to) {
    fs::create_directories(to);
    writeFile(to / database.filename(), readFile(database));
    for (const char* companion : companions) {
        fs::path from = database;
        from += companion;
        writeFile(to / from.filename(), readFile(from));
    }
}

fs::path companion(const fs::path& database, const char* suffix) {
    fs::path out = database;
    out += suffix;
    return out;
}

// Each case makes the source in the folder `root`/profile (writers it starts go to `writers`, kept
// alive while the copy runs) and names it.
struct SourceCase {
    const char* name;
    std::function<fs::path(const fs::path& root, std::vector<std::unique_ptr<Writer>>& writers)> make;
    std::vector<int> expected;
};

TEST(CopyDatabase, HoldsEveryCommittedRowAndLeavesTheSourceAsItWas) {
    const SourceCase cases[] = {
        {"WAL database open in a writer, rows only in its -wal, a transaction open",
         [](const fs::path& root, auto& writers) {
             const fs::path db = root / "profile" / "places.sqlite";
             writers.push_back(std::make_unique<Writer>("wal", db, root / "control"));
             EXPECT_TRUE(writers.back()->ready());
             EXPECT_TRUE(fs::exists(companion(db, "-shm")));
             EXPECT_EQ(readFile(db).find("-wal-only"), std::string::npos);
             EXPECT_NE(readFile(companion(db, "-wal")).find("-wal-only"), std::string::npos);
             return db;
         },
         ids(1, 200)},
        {"WAL database its writer closed (no -wal, no -shm)",
         [](const fs::path& root, auto&) {
             const fs::path db = root / "profile" / "places.sqlite";
             Writer("wal", db, root / "control").end();
             EXPECT_FALSE(fs::exists(companion(db, "-wal")));
             return db;
         },
         ids(1, 200)},
        {"WAL database whose writer was killed (-wal and -shm left)",
         [](const fs::path& root, auto&) {
             const fs::path db = root / "profile" / "places.sqlite";
             Writer("wal", db, root / "control").end(true);
             EXPECT_TRUE(fs::exists(companion(db, "-shm")));
             EXPECT_NE(readFile(companion(db, "-wal")).find("-wal-only"), std::string::npos);
             return db;
         },
         ids(1, 200)},
        {"WAL database a writer left without closing (-wal without -shm)",
         [](const fs::path& root, auto&) {
             const fs::path live = root / "live" / "places.sqlite";
             fs::create_directories(live.parent_path());
             Writer writer("wal", live, root / "control");
             EXPECT_TRUE(writer.ready());
             copyFiles(live, {"-wal"}, root / "profile");
             return root / "profile" / "places.sqlite";
         },
         ids(1, 200)},
        {"rollback-journal database open in a writer, a transaction open",
         [](const fs::path& root, auto& writers) {
             const fs::path db = root / "profile" / "cookies.sqlite";
             writers.push_back(std::make_unique<Writer>("rollback", db, root / "control"));
             EXPECT_TRUE(writers.back()->ready());
             EXPECT_TRUE(fs::exists(companion(db, "-journal")));
             return db;
         },
         ids(1, 100)},
        {"rollback-journal database a writer left half way (a hot journal, changed pages in the file)",
         [](const fs::path& root, auto&) {
             const fs::path live = root / "live" / "History";
             fs::create_directories(live.parent_path());
             Writer writer("hot-journal", live, root / "control");
             EXPECT_TRUE(writer.ready());
             copyFiles(live, {"-journal"}, root / "profile");
             EXPECT_NE(readFile(root / "profile" / "History").find("changed-"), std::string::npos);
             return root / "profile" / "History";
         },
         ids(1, 400)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        fs::create_directories(root / "profile");
        std::vector<std::unique_ptr<Writer>> writers;
        const fs::path source = c.make(root.path(), writers);
        const auto sourceBefore = folderState(source.parent_path());
        const fs::path target = root / "backup" / "copy.sqlite";
        writeFile(target, "the copy an earlier backup made");

        const DatabaseCopyResult result = CopyDatabase(source.string(), target.string());
        EXPECT_EQ(result.status, DatabaseCopyStatus::Copied) << result.reason;
        EXPECT_EQ(namesIn(target.parent_path()), std::vector<std::string>{"copy.sqlite"});
        EXPECT_EQ(folderState(source.parent_path()), sourceBefore);
#ifndef _WIN32
        EXPECT_EQ(fs::status(target).permissions() & (fs::perms::group_all | fs::perms::others_all),
                  fs::perms::none);
#endif
        writers.clear();
        const Contents copied = contentsOf(target);
        EXPECT_EQ(copied.integrity, "ok");
        EXPECT_EQ(copied.ids, c.expected);
        EXPECT_EQ(copied.unchanged, static_cast<int>(c.expected.size()));
    }
}

TEST(CopyDatabase, ExclusiveLockGivesLockedAndNothingIsWritten) {
    for (const char* mode : {"exclusive", "wal-exclusive"}) {
        SCOPED_TRACE(mode);
        TempDir root;
        const fs::path db = root / "profile" / "places.sqlite";
        fs::create_directories(db.parent_path());
        Writer writer(mode, db, root / "control");
        ASSERT_TRUE(writer.ready());
        const auto sourceBefore = namesIn(db.parent_path());
        fs::create_directories(root / "backup");

        const DatabaseCopyResult result = CopyDatabase(
            db.string(), (root / "backup" / "places.sqlite").string(), std::chrono::milliseconds(200));
        EXPECT_EQ(result.status, DatabaseCopyStatus::Locked) << result.reason;
        EXPECT_TRUE(fs::is_empty(root / "backup"));
        EXPECT_EQ(namesIn(db.parent_path()), sourceBefore);
    }
}

TEST(IsSqliteDatabase, JudgesByTheHeaderNotTheName) {
    struct Case {
        const char* name;
        std::optional<std::string> contents;  // nullopt: a database made by SQLite; "/": a folder
        bool database;
    };
    const Case cases[] = {
        {"real.sqlite", std::nullopt, true},
        {"data.bin", std::nullopt, true},
        {"notes.sqlite", std::string("These notes are not a database, whatever their name says.\n"), false},
        {"empty.sqlite", std::string(), false},
        {"short.sqlite", std::string("SQLite for"), false},
        {"folder.sqlite", std::string("/"), false},
        {"missing.sqlite", std::string("(missing)"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        const fs::path path = root / c.name;
        if (!c.contents) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(path.string().c_str(), &db), SQLITE_OK);
            EXPECT_EQ(
                sqlite3_exec(
                    db, "CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES(1, 'row-1')",
                    nullptr, nullptr, nullptr),
                SQLITE_OK);
            sqlite3_close(db);
        } else if (*c.contents == "/") {
            fs::create_directories(path);
        } else if (*c.contents != "(missing)") {
            writeFile(path, *c.contents);
        }
        EXPECT_EQ(IsSqliteDatabase(path.string()), c.database);

        fs::create_directories(root / "backup");
        const fs::path target = root / "backup" / "copy";
        const DatabaseCopyResult result = CopyDatabase(path.string(), target.string());
        if (c.database) {
            EXPECT_EQ(result.status, DatabaseCopyStatus::Copied) << result.reason;
            EXPECT_EQ(contentsOf(target).ids, std::vector<int>{1});
        } else {
            EXPECT_EQ(result.status, DatabaseCopyStatus::Failed);
            EXPECT_NE(result.reason.find(path.string()), std::string::npos) << result.reason;
            EXPECT_TRUE(fs::is_empty(root / "backup"));
        }
    }
}

}  // namespace
}  // namespace kelvora
