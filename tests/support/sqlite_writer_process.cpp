#include "support/sqlite_writer_process.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace kelvora::test {

namespace fs = std::filesystem;

namespace {

// The writer program, built beside the test program.
fs::path writerProgram() {
#ifdef _WIN32
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return fs::path(self).parent_path() / "sqlite_writer.exe";
#else
    return fs::read_symlink("/proc/self/exe").parent_path() / "sqlite_writer";
#endif
}

}  // namespace

SqliteWriter::SqliteWriter(const std::string& mode, const fs::path& database, const fs::path& control)
    : control_(control) {
    fs::create_directories(control);
    const std::vector<std::string> args{writerProgram().string(), mode, database.string(), control.string()};
#ifdef _WIN32
    std::vector<std::wstring> quoted;
    for (const auto& arg : args)
        quoted.push_back(L"\"" + fs::path(arg).wstring() + L"\"");
    std::vector<const wchar_t*> argv;
    for (const auto& arg : quoted)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    process_ = _wspawnv(_P_NOWAIT, writerProgram().wstring().c_str(), argv.data());
    started_ = process_ != -1;
#else
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    started_ = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
    process_ = pid;
#endif
    // Ready when it says so; a writer that failed says nothing and ends.
    while (started_ && !fs::exists(control / "ready") && running())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ready_ = started_ && fs::exists(control / "ready");
}

SqliteWriter::~SqliteWriter() {
    end();
}

void SqliteWriter::end(bool kill) {
    if (!started_)
        return;
    // Named "done" only once it holds its word: a writer that saw the name before the word could
    // take a kill for an ordinary end.
    writeFile(control_ / "done.part", kill ? "kill" : "");
    fs::rename(control_ / "done.part", control_ / "done");
    int status = 0;
#ifdef _WIN32
    _cwait(&status, process_, _WAIT_CHILD);
    CloseHandle(reinterpret_cast<HANDLE>(process_));
#else
    ::waitpid(static_cast<pid_t>(process_), &status, 0);
#endif
    started_ = false;
}

bool SqliteWriter::running() {
#ifdef _WIN32
    return WaitForSingleObject(reinterpret_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT;
#else
    int status = 0;
    if (::waitpid(static_cast<pid_t>(process_), &status, WNOHANG) == 0)
        return true;
    started_ = false;
    return false;
#endif
}

Contents contentsOf(const fs::path& database) {
    Contents out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            out.integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        if (sqlite3_prepare_v2(db, "SELECT id, v LIKE 'row-' || id || '%' FROM t ORDER BY id", -1, &statement,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                out.ids.push_back(sqlite3_column_int(statement, 0));
                out.unchanged += sqlite3_column_int(statement, 1);
            }
        }
        sqlite3_finalize(statement);
    } else {
        out.integrity = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    return out;
}

}  // namespace kelvora::test
