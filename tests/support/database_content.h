// What an SQLite database holds, for tests that compare a restored database with its source: a
// backup copies a database as a consistent snapshot, which holds what waited in its -wal file, so
// the bytes may differ while the rows are the same.
#pragma once

#include <filesystem>
#include <string>

namespace kelvora::test {

// True when the file starts with SQLite's header.
bool isDatabase(const std::filesystem::path& file);

// Every table's schema and rows, with what waits in the -wal file beside it, as text. Read from a
// private copy: the files themselves are not touched. Empty for a file that is not a database.
std::string databaseContent(const std::filesystem::path& database);

// What a test compares of a file: a database's content (above), any other file's bytes.
std::string comparableContent(const std::filesystem::path& file);

// True for the name of a database's companion ("-wal", "-shm", "-journal") whose database
// (the name without it) is a database in `folder`.
bool isDatabaseCompanion(const std::filesystem::path& folder, const std::string& name);

}  // namespace kelvora::test
