// A temporary folder for one test, removed with everything below it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kelvora::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as the product's code names it: native on POSIX, "C:\..." style on Windows.
    std::string str() const;
    // A path below the folder, given with "/" separators.
    std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

  private:
    std::filesystem::path path_;
};

// The desktop trash the tests' removals go to: a folder of the test run's own (POSIX).
const std::filesystem::path& trashHome();

// Writes `contents` to `path`, creating missing folders.
void writeFile(const std::filesystem::path& path, std::string_view contents);
std::string readFile(const std::filesystem::path& path);

}  // namespace kelvora::test
