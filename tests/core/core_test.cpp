#include <gtest/gtest.h>

#include <filesystem>

#include "core/core.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

// Runs the test with the process's current folder set to `dir`.
class CurrentFolder {
  public:
    explicit CurrentFolder(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
    ~CurrentFolder() { fs::current_path(saved_); }

  private:
    fs::path saved_;
};

TEST(ParentFolder, TheFolderAbove) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a\\b\\", "C:\\a"}, {"C:\\a\\b", "C:\\a"}, {"/home/ann/x/", "/home/ann"},
        {"C:\\a", "C:"},         {"name", ""},
    };
    for (const auto& [path, parent] : cases)
        EXPECT_EQ(parentFolder(path), parent) << path;
}

TEST(SearchFileInFolders, SearchesBareNameThenEachFolderInOrder) {
    TempDir tmp;
    const std::string a = tmp.str() + "\\a";
    const std::string b = tmp.str() + "\\b";
    fs::create_directories(tmp / "a");
    fs::create_directories(tmp / "b");
    fs::create_directories(tmp / "cwd");
    fs::create_directories(tmp / "dir/profiles.ini");  // a folder of that name is no hit

    struct Case {
        const char* what;
        bool in_cwd, in_a, in_b;
        std::string list;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"nothing anywhere", false, false, false, a + ";;" + b + "\\", ""},
        {"second folder, no doubled separator", false, false, true, a + ";;" + b + "\\",
         b + "\\profiles.ini"},
        {"first folder wins", false, true, true, a + ";;" + b + "\\", a + "\\profiles.ini"},
        // The working folder is part of the machine on Windows only.
        {"bare name first", true, true, true, a + ";;" + b,
         platform::usesMachineFolder() ? a + "\\profiles.ini" : "profiles.ini"},
        {"bare name alone", true, false, false, a + ";;" + b,
         platform::usesMachineFolder() ? "" : "profiles.ini"},
        {"leading and trailing separators", false, false, true, ";;" + b + ";", b + "\\profiles.ini"},
        {"only separators", false, true, true, ";;;", ""},
        {"empty list", false, true, true, "", ""},
        {"a folder named like the marker", false, false, false, tmp.str() + "\\dir", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(tmp / "cwd/profiles.ini");
        fs::remove(tmp / "a/profiles.ini");
        fs::remove(tmp / "b/profiles.ini");
        if (c.in_cwd)
            writeFile(tmp / "cwd/profiles.ini", "x");
        if (c.in_a)
            writeFile(tmp / "a/profiles.ini", "x");
        if (c.in_b)
            writeFile(tmp / "b/profiles.ini", "x");
        CurrentFolder cwd(tmp / "cwd");
        EXPECT_EQ(SearchFileInFolders("profiles.ini", c.list), c.expected);
    }
    EXPECT_EQ(SearchFileInFolders("", a), "");

    // A hit the caller turns down (one that gives no profile folder) falls through to the next place.
    writeFile(tmp / "a/profiles.ini", "x");
    writeFile(tmp / "b/profiles.ini", "x");
    EXPECT_EQ(SearchFileInFolders("profiles.ini", a + ";" + b,
                                  [&](const std::string& hit) { return hit != a + "\\profiles.ini"; }),
              b + "\\profiles.ini");
    EXPECT_EQ(SearchFileInFolders("profiles.ini", a + ";" + b, [](const std::string&) { return false; }), "");
}

TEST(SearchFileInFolders, FolderEndingInColonGetsNoSeparator) {
    // "X:" + name is tried as "X:profiles.ini"; an unknown drive simply finds nothing.
    EXPECT_EQ(SearchFileInFolders("profiles.ini", "Q:;Q:\\"), "");
}

TEST(GetSubDirectories, AppendsVisibleFoldersOnly) {
    TempDir tmp;
    fs::create_directories(tmp / "a");
    writeFile(tmp / "file.txt", "x");
#ifdef _WIN32
    fs::create_directories(tmp / "hid");
    SetFileAttributesW((tmp / "hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs::create_directories(tmp / "sys");
    SetFileAttributesW((tmp / "sys").c_str(), FILE_ATTRIBUTE_SYSTEM);
#else
    fs::create_directories(tmp / ".hid");
#endif
    std::vector<std::string> list{"keep"};
    GetSubDirectories(tmp.str(), list);
    EXPECT_EQ(list, (std::vector<std::string>{"keep", "a"}));
    GetSubDirectories(tmp.str() + "\\", list);
    EXPECT_EQ(list, (std::vector<std::string>{"keep", "a", "a"}));
    GetSubDirectories(tmp.str() + "\\missing", list);
    EXPECT_EQ(list.size(), 3u);
}

TEST(FileHelpers, ExistenceCreationAndCopy) {
    TempDir tmp;
    const std::string base = tmp.str();
    writeFile(tmp / "f.txt", "one");
    EXPECT_TRUE(FileExists(base + "\\f.txt"));
    EXPECT_FALSE(FileExists(base));
    EXPECT_TRUE(DirectoryExists(base));
    EXPECT_FALSE(DirectoryExists(base + "\\f.txt"));

    EXPECT_TRUE(CreateDir(base + "\\one"));
    EXPECT_FALSE(CreateDir(base + "\\one"));         // exists
    EXPECT_FALSE(CreateDir(base + "\\two\\three"));  // parent missing
    EXPECT_TRUE(ForceDirectories(base + "\\two\\three"));
    EXPECT_TRUE(DirectoryExists(base + "\\two\\three"));

    writeFile(tmp / "g.txt", "two");
    EXPECT_TRUE(CopyOneFile(base + "\\f.txt", base + "\\g.txt"));
    EXPECT_EQ(test::readFile(tmp / "g.txt"), "one");
    EXPECT_FALSE(CopyOneFile(base + "\\missing.txt", base + "\\h.txt"));
    EXPECT_FALSE(FileExists(base + "\\h.txt"));
}

TEST(ReplaceTextIgnoreCase, Table) {
    struct Case {
        const char* text;
        const char* from;
        const char* to;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Mozilla\\Firefox\\profiles.ini", "profiles.ini", "", "C:\\Mozilla\\Firefox\\"},
        {"C:\\X\\PROFILES.INI", "profiles.ini", "", "C:\\X\\"},
        {"my.data.dat", ".dat", "", "mya"},
        {"Backup.DAT", ".dat", "", "Backup"},
        {"abc", "", "x", "abc"},
        {"ÄÖ-äö", "äö", "x", "x-x"},
        {"aaa", "a", "aa", "aaaaaa"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceTextIgnoreCase(c.text, c.from, c.to), c.expected) << c.text;
    }
}

TEST(EnvironmentFacts, AreWellFormed) {
#ifdef _WIN32
    EXPECT_FALSE(GetLoginName().empty());
    EXPECT_EQ(GetSystemDrive().size(), 2u);
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_APPDATA).empty());
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA).empty());
    EXPECT_FALSE(GetWindowsMajorVersion().empty());
#else
    TempDir tmp;
    fs::create_directories(tmp / "Users/ann");
    platform::setMachine({tmp.str(), "ann", "", {}});
    EXPECT_EQ(GetLoginName(), "ann");
    EXPECT_EQ(GetSystemDrive(), "C:");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "C:\\Users\\ann\\AppData\\Roaming");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA), "C:\\Users\\ann\\AppData\\Local");
    EXPECT_EQ(GetSpecialFolderPath(5), "");
    EXPECT_EQ(GetWindowsMajorVersion(), "6");
#endif
    const std::string version = GetWindowsMajorVersion();
    EXPECT_NE(version.front(), '0');
}

// Vista and 7 report "6", Windows 8 to 11 "6" or "10" (with a manifest that names them): all keep
// their users under C:\Users. XP's "5", and text that is no version, mean Documents and Settings.
TEST(EnvironmentFacts, UsersFoldersFromVersionSixOn) {
    const std::pair<const char*, bool> cases[] = {
        {"6", true}, {"7", true},    {"10", true},  {"11", true},   {"5", false},  {"4", false},
        {"", false}, {"6.1", false}, {" 6", false}, {"ten", false}, {"-6", false},
    };
    for (const auto& [version, users] : cases)
        EXPECT_EQ(platform::usersLayout(version), users) << "version \"" << version << '"';
#ifdef _WIN32
    // Every Windows this program runs on, whatever its manifest makes it report.
    EXPECT_TRUE(platform::usersLayout(GetWindowsMajorVersion())) << GetWindowsMajorVersion();
#endif
}

}  // namespace
}  // namespace kelvora
