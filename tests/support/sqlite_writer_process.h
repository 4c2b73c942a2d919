// A process that holds an SQLite database the way a running browser does (the program
// sqlite_writer, built beside the test program that uses it), and what a copy of such a database
// holds, read by SQLite itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvora::test {

// A sqlite_writer process holding `database` (see sqlite_writer.cpp for the modes); the destructor
// ends it.
class SqliteWriter {
  public:
    SqliteWriter(const std::string& mode, const std::filesystem::path& database,
                 const std::filesystem::path& control);
    ~SqliteWriter();
    SqliteWriter(const SqliteWriter&) = delete;
    SqliteWriter& operator=(const SqliteWriter&) = delete;

    bool ready() const { return ready_; }

    // Rolls back what it holds open, closes the database and waits for the process to end; or,
    // with `kill`, makes it end at once and leave its files as they are.
    void end(bool kill = false);

  private:
    bool running();

    std::filesystem::path control_;
    std::intptr_t process_ = -1;
    bool started_ = false;
    bool ready_ = false;
};

// What a copy holds, read by SQLite itself.
struct Contents {
    std::string integrity;
    std::vector<int> ids;
    int unchanged = 0;  // rows whose text is still "row-<id>..."
};

Contents contentsOf(const std::filesystem::path& database);

}  // namespace kelvora::test
