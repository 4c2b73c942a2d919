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

// Sets (or, with an empty value, clears) an environment variable of the test process.
void setEnvironment(const char* name, const std::string& value);

// Kelvora's data folder (the undo sets) in a folder of the test's own for as long as this lives.
class OwnDataFolder {
  public:
    OwnDataFolder() { setEnvironment("KELVORA_DATA_HOME", folder.str()); }
    ~OwnDataFolder() { setEnvironment("KELVORA_DATA_HOME", ""); }
    OwnDataFolder(const OwnDataFolder&) = delete;
    OwnDataFolder& operator=(const OwnDataFolder&) = delete;

    TempDir folder;
};

// Writes `contents` to `path`, creating missing folders.
void writeFile(const std::filesystem::path& path, std::string_view contents);
std::string readFile(const std::filesystem::path& path);

}  // namespace kelvora::test
