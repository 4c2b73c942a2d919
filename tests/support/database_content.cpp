#include "support/database_content.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "support/temp_dir.h"

namespace kelvora::test {

namespace fs = std::filesystem;

bool isDatabase(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[16] = {};
    return in.read(header, sizeof header) &&
           std::string(header, sizeof header) == std::string("SQLite format 3\0", 16);
}

namespace {

std::vector<std::string> rows(sqlite3* db, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return {"(" + std::string(sqlite3_errmsg(db)) + ")"};
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
            row += "|" +
                   (bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, i)))
                          : std::string("NULL"));
        }
        out.push_back(row);
    }
    sqlite3_finalize(statement);
    return out;
}

}  // namespace

std::string databaseContent(const fs::path& database) {
    if (!isDatabase(database))
        return {};
    TempDir copy;
    const fs::path file = copy / "copy.db";
    fs::copy_file(database, file);
    fs::path wal = database;
    wal += "-wal";
    if (fs::exists(wal))
        fs::copy_file(wal, copy / "copy.db-wal");
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        for (const auto& table :
             rows(db, "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
            text += table + "\n";
            const std::string name = table.substr(1, table.find('|', 1) - 1);
            auto content = rows(db, "SELECT * FROM \"" + name + "\"");
            std::sort(content.begin(), content.end());
            for (const auto& row : content)
                text += "  " + row + "\n";
        }
    } else {
        text = "(" + std::string(sqlite3_errmsg(db)) + ")";
    }
    sqlite3_close(db);
    return text;
}

std::string comparableContent(const fs::path& file) {
    return isDatabase(file) ? databaseContent(file) : readFile(file);
}

bool isDatabaseCompanion(const fs::path& folder, const std::string& name) {
    for (const std::string suffix : {"-wal", "-shm", "-journal"}) {
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return isDatabase(folder / name.substr(0, name.size() - suffix.size()));
    }
    return false;
}

}  // namespace kelvora::test
