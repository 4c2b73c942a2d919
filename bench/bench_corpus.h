// A browser-profile-like tree for the archive benchmarks, made from a fixed seed: SQLite-like
// databases holding more than half of the bytes, thousands of small text files (scripts, JSON
// stores, preferences), cache entries of which some don't compress (images, media), and empty
// files. At 300 MB: 8 databases of 175 MB in all, 7,000 small text files, 400 cache entries and
// 300 empty files; other sizes scale every count and size alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kelvora::bench {

class Corpus {
  public:
    // Each file goes to `sink` (its path relative to the profile's root, its contents).
    using Sink = std::function<void(const std::filesystem::path& relative, const std::string& contents)>;
    Corpus(Sink sink, unsigned seed);
    // A corpus written below `root`.
    static Sink writeBelow(std::filesystem::path root);

    // Makes a profile of about `megabytes` MB. `isDatabase` tells the sink what comes next.
    void build(double megabytes);
    bool isDatabase() const { return inDatabases_; }

    std::uint64_t bytes() const { return bytes_; }
    std::size_t files() const { return files_; }
    std::uint64_t databaseBytes() const { return databaseBytes_; }
    std::size_t databases() const { return databases_; }

  private:
    enum class Table { Places, Favicons, Visits, Cookies, Storage, Forms };
    std::string database(std::size_t size, Table kind);
    // Text of about `size` bytes: script-like or JSON-like.
    std::string text(std::size_t size, bool json);
    std::string noise(std::size_t size);
    void write(const std::filesystem::path& relative, const std::string& contents);
    std::uint64_t next() { return random_(); }
    std::size_t between(std::size_t low, std::size_t high) { return low + next() % (high - low + 1); }
    std::size_t logUniform(std::size_t low, std::size_t high);
    // A word of the profile's vocabulary; common words far more often than rare ones.
    const std::string& word();
    std::string url();
    std::string token(std::size_t size, const char* alphabet);
    std::string tablePage(Table kind, std::uint64_t& rowid);
    std::string indexPage();
    std::string row(Table kind, std::uint64_t rowid);

    Sink sink_;
    std::mt19937_64 random_;
    std::vector<std::string> words_;
    std::vector<std::string> hosts_;
    std::uint64_t clock_ = 1700000000000000ull;  // microseconds, as browsers store visit times
    std::uint64_t bytes_ = 0;
    std::size_t files_ = 0;
    std::uint64_t databaseBytes_ = 0;
    std::size_t databases_ = 0;
    bool inDatabases_ = false;
};

}  // namespace kelvora::bench
