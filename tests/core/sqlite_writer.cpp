// Holds an SQLite database the way a running browser does, for the database copy tests:
//
//   sqlite_writer MODE DATABASE CONTROL
//
// writes DATABASE, creates the file CONTROL/ready, and keeps the database open (and, in some
// modes, a transaction uncommitted) until the file CONTROL/done appears; then it rolls back what
// is open and closes the database, or, when the file says "kill", ends at once without closing
// anything, as a killed browser does. Every row is (id, "row-<id><mark>" and 800 x's).
//
// MODE  wal            WAL, 32 KiB pages, no automatic checkpoints: rows 1-100 checkpointed into the main
// file,
//                      101-200 committed only in the -wal (mark "-wal-only"), 1001-1010 in a
//                      transaction left open ("-uncommitted")
//       wal-exclusive  WAL in exclusive locking mode (its index in memory, no -shm): rows 1-100
//       exclusive      rollback journal in exclusive locking mode, which holds the lock after a
//                      write: rows 1-100
//       rollback       rollback journal: rows 1-100 committed, 1001-1010 in a transaction left open
//       hot-journal    rollback journal, a small page cache: rows 1-400 committed, then every row's
//                      text changed to "changed-<id>" in a transaction left open, whose pages have
//                      spilled into the main file (a copy of the files then is a crash's leftover)
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

sqlite3* db = nullptr;

void exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite_writer: %s: %s\n", sql.c_str(), error ? error : "?");
        std::exit(1);
    }
}

void insert(int from, int to, const std::string& mark) {
    exec("BEGIN");
    for (int id = from; id <= to; ++id) {
        exec("INSERT INTO t VALUES(" + std::to_string(id) + ", 'row-" + std::to_string(id) + mark +
             "' || replace(hex(zeroblob(400)), '0', 'x'))");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: sqlite_writer MODE DATABASE CONTROL\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::filesystem::path control = argv[3];
    if (sqlite3_open(argv[2], &db) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite_writer: %s: %s\n", argv[2], sqlite3_errmsg(db));
        return 1;
    }
    const auto create = [] { exec("CREATE TABLE t(id INTEGER PRIMARY KEY, v TEXT)"); };
    if (mode == "wal") {
        exec("PRAGMA page_size=32768");  // Firefox's
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA wal_autocheckpoint=0");
        create();
        insert(1, 100, "");
        exec("COMMIT");
        exec("PRAGMA wal_checkpoint(TRUNCATE)");
        insert(101, 200, "-wal-only");
        exec("COMMIT");
        insert(1001, 1010, "-uncommitted");
    } else if (mode == "wal-exclusive") {
        exec("PRAGMA locking_mode=EXCLUSIVE");
        exec("PRAGMA journal_mode=WAL");
        create();
        insert(1, 100, "");
        exec("COMMIT");
    } else if (mode == "exclusive") {
        exec("PRAGMA locking_mode=EXCLUSIVE");
        create();
        insert(1, 100, "");
        exec("COMMIT");
    } else if (mode == "rollback") {
        create();
        insert(1, 100, "");
        exec("COMMIT");
        insert(1001, 1010, "-uncommitted");
    } else if (mode == "hot-journal") {
        exec("PRAGMA cache_size=10");
        create();
        insert(1, 400, "");
        exec("COMMIT");
        exec("BEGIN");
        exec("UPDATE t SET v = 'changed-' || id || replace(hex(zeroblob(400)), '0', 'x')");
    } else {
        std::fprintf(stderr, "sqlite_writer: unknown mode %s\n", mode.c_str());
        return 2;
    }

    std::ofstream(control / "ready").put('\n');
    // A test that died does not leave the writer behind for long.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!std::filesystem::exists(control / "done") && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string how;
    std::ifstream(control / "done") >> how;
    if (how == "kill")
        std::_Exit(0);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return sqlite3_close(db) == SQLITE_OK ? 0 : 1;
}
