// The Windows installation seen as a folder: path mapping, facts by version, the trash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/machine_options.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

TEST(Machine, MapsDrivePathsWithCaseInsensitiveFallback) {
    TempDir tmp;
    writeFile(tmp / "Users/Ann/AppData/Roaming/Mozilla/Firefox/profiles.ini", "x");
    fs::create_directories(tmp / "d-drive/Backups");
    platform::setMachine({tmp.str(), "ann", "", {{'D', (tmp / "d-drive").string()}}});

    struct Case {
        const char* windows;
        fs::path native;
    };
    const Case cases[] = {
        {"C:\\users\\ann\\appdata\\ROAMING\\mozilla\\firefox\\PROFILES.INI",
         tmp / "Users/Ann/AppData/Roaming/Mozilla/Firefox/profiles.ini"},
        {"c:\\Users\\Ann\\AppData\\Roaming\\new\\file", tmp / "Users/Ann/AppData/Roaming/new/file"},
        {"C:\\", tmp.path()},
        // Existing as given: taken as given, with the separators as the walk joins them.
        {"C:\\Users\\\\Ann/AppData\\Roaming\\Mozilla\\Firefox\\profiles.ini\\",
         tmp / "Users/Ann/AppData/Roaming/Mozilla/Firefox/profiles.ini"},
        {"C:\\Users\\Ann\\..\\Ann\\AppData", tmp / "Users/Ann/../Ann/AppData"},
        {"d:\\backups\\x.dat", tmp / "d-drive/Backups/x.dat"},
        {"relative\\path", "relative/path"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::nativePath(c.windows), c.native) << c.windows;
    }
    EXPECT_TRUE(platform::nativePath("E:\\nowhere").empty());
    EXPECT_TRUE(platform::nativePath("\\\\server\\share\\x").empty());
    EXPECT_TRUE(FileExists("C:\\USERS\\ANN\\AppData\\Roaming\\Mozilla\\Firefox\\profiles.ini"));
}

TEST(Machine, VersionDetectedFromRootAndFoldersFollowIt) {
    TempDir tmp;
    fs::create_directories(tmp / "xp/Documents and Settings/bob");
    fs::create_directories(tmp / "vista/Users/bob");

    platform::setMachine({(tmp / "xp").string(), "bob", "", {}});
    EXPECT_EQ(GetWindowsMajorVersion(), "5");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "C:\\Documents and Settings\\bob\\Application Data");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA),
              "C:\\Documents and Settings\\bob\\Local Settings\\Application Data");

    platform::setMachine({(tmp / "vista").string(), "bob", "", {}});
    EXPECT_EQ(GetWindowsMajorVersion(), "6");

    platform::setMachine({(tmp / "vista").string(), "bob", "10", {}});
    EXPECT_EQ(GetWindowsMajorVersion(), "10");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "C:\\Users\\bob\\AppData\\Roaming");
}

TEST(Machine, EnvironmentFillsWhatOptionsLeaveOut) {
    TempDir tmp;
    fs::create_directories(tmp / "Documents and Settings");
    ::setenv("KELVORA_ROOT", tmp.str().c_str(), 1);
    ::setenv("KELVORA_USER", "envuser", 1);
    const auto resolved = platform::resolveMachine({"", "optuser", "", {}});
    ::unsetenv("KELVORA_ROOT");
    ::unsetenv("KELVORA_USER");
    EXPECT_EQ(resolved.root, tmp.str());
    EXPECT_EQ(resolved.user, "optuser");
    EXPECT_EQ(resolved.windowsVersion, "5");
}

// Sets (or, with nullptr, removes) an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        set(value);
    }
    ~ScopedEnv() { set(saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) {
        if (value)
            ::setenv(name_, value, 1);
        else
            ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(MachineOptions, BothProgramsReadTheSameOptions) {
    struct Case {
        std::vector<std::string> args;
        std::optional<platform::MachineOptions> expected;  // nothing: a usage error
    };
    const Case cases[] = {
        {{}, platform::MachineOptions{}},
        {{"--root", "/w", "--user", "ann", "--windows-version", "5"},
         platform::MachineOptions{"/w", "ann", "5", {}}},
        {{"--root=/w", "-style", "fusion", "file.dat"}, platform::MachineOptions{"/w", "", "", {}}},
        {{"--user"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& arg : c.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        std::string error;
        const auto given = MachineOptionsFromArguments(c.args, error);
        ASSERT_EQ(given.has_value(), c.expected.has_value()) << error;
        if (!given) {
            EXPECT_NE(error.find("--user"), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(given->root, c.expected->root);
        EXPECT_EQ(given->user, c.expected->user);
        EXPECT_EQ(given->windowsVersion, c.expected->windowsVersion);
    }
}

TEST(MachineOptions, OptionsThenEnvironmentThenTheStoredMachine) {
    const platform::MachineOptions stored{"/stored", "sam", "5", {}};
    struct Case {
        const char* what;
        platform::MachineOptions given;
        const char* envRoot;
        const char* envVersion;
        std::optional<platform::MachineOptions> stored;
        platform::MachineOptions expected;  // before the platform's defaults
        std::string forcedVersion;
    };
    const Case cases[] = {
        {"nothing given: the stored machine", {}, nullptr, nullptr, stored, stored, ""},
        {"nothing at all", {}, nullptr, nullptr, std::nullopt, {}, ""},
        {"an option's folder: the stored user and version belong to another",
         {"/given", "", "", {}},
         nullptr,
         nullptr,
         stored,
         {"/given", "", "", {}},
         ""},
        {"the environment's folder", {}, "/env", nullptr, stored, {"/env", "", "", {}}, ""},
        {"a user given for the stored folder",
         {"", "bob", "", {}},
         nullptr,
         nullptr,
         stored,
         {"/stored", "bob", "5", {}},
         ""},
        {"a version forced by the environment", {}, nullptr, "6", stored, {"/stored", "sam", "6", {}}, "6"},
        {"the option's version wins",
         {"", "", "5", {}},
         nullptr,
         "6",
         stored,
         {"/stored", "sam", "5", {}},
         "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv root("KELVORA_ROOT", c.envRoot);
        const ScopedEnv user("KELVORA_USER", nullptr);
        const ScopedEnv version("KELVORA_WINDOWS_VERSION", c.envVersion);
        const platform::MachineOptions chosen = ChooseMachine(c.given, c.stored);
        EXPECT_EQ(chosen.root, c.expected.root);
        EXPECT_EQ(chosen.user, c.expected.user);
        EXPECT_EQ(chosen.windowsVersion, c.expected.windowsVersion);
        EXPECT_EQ(ForcedWindowsVersion(c.given), c.forcedVersion);
    }
}

TEST(Machine, NoRootMakesSystemDriveAnError) {
    TempDir tmp;
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", tmp.str().c_str(), 1);  // no ~/.wine/drive_c here
    platform::setMachine({});
    EXPECT_THROW(GetSystemDrive(), platform::SystemError);
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "");
    // The desktop's trash needs a home that exists: the later tests of this program get theirs back.
    ::setenv("HOME", home.c_str(), 1);
}

TEST(DelTree, MovesTheFolderToTheTrash) {
    TempDir tmp;
    writeFile(tmp / "stage/inner/file.txt", "contents");
    std::string reason;
    ASSERT_TRUE(DelTree(tmp.str() + "\\stage", &reason)) << reason;
    EXPECT_FALSE(fs::exists(tmp / "stage"));
    bool found = false;
    for (const auto& entry : fs::recursive_directory_iterator(test::trashHome() / "Trash/files")) {
        if (entry.path().filename() == "file.txt")
            found = test::readFile(entry.path()) == "contents";
    }
    EXPECT_TRUE(found);
}

TEST(DelTree, RefusesTheMachineRoot) {
    TempDir tmp;
    fs::create_directories(tmp / "Users");
    platform::setMachine({tmp.str(), "ann", "", {}});
    EXPECT_FALSE(DelTree("C:\\"));
    EXPECT_FALSE(DelTree(tmp.str()));
    EXPECT_TRUE(fs::exists(tmp / "Users"));
}

TEST(Ansi, Windows1252RoundTripAndUnmappable) {
    EXPECT_EQ(platform::utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(platform::ansiToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(platform::utf8ToAnsi("\xD0\x96\xE6\x97\xA5"), "??");  // Cyrillic, CJK
    EXPECT_EQ(platform::utf8ToAnsi("\xF0\x9F\x98\x80"), "?");       // one character beyond the BMP
}

TEST(Ansi, ExactConversionRefusesWhatItCannotMapBothWays) {
    struct Case {
        const char* codePage;  // KELVORA_CODEPAGE; nullptr: not set
        std::string utf8;
        std::optional<std::string> ansi;
    };
    const std::vector<Case> cases = {
        {nullptr, "Caf\xC3\xA9 \xE2\x82\xAC", std::string("Caf\xE9 \x80")},
        {nullptr, "\xE6\x97\xA5", std::nullopt},                          // CJK
        {nullptr, "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBC", std::nullopt},  // fullwidth "..\", no best fit
        {nullptr, "\xC0\xAE\xC0\xAE", std::nullopt},                      // overlong ".."
        {nullptr, "\xED\xA0\x80", std::nullopt},                          // a lone surrogate
        {nullptr, "caf\xE9", std::nullopt},                               // not UTF-8
        {"1251", "\xD0\x96\xD1\x83\xD0\xBA", std::string("\xC6\xF3\xEA")},
        {"CP1251", "caf\xC3\xA9", std::nullopt},
        {"windows-1252", "caf\xC3\xA9", std::string("caf\xE9")},
        {"932", "\xE6\x97\xA5", std::string("\x93\xFA")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        if (c.codePage)
            ::setenv("KELVORA_CODEPAGE", c.codePage, 1);
        EXPECT_EQ(platform::utf8ToAnsiExact(c.utf8), c.ansi);
        if (c.ansi) {
            EXPECT_EQ(platform::ansiToUtf8Exact(*c.ansi), c.utf8);
        }
        ::unsetenv("KELVORA_CODEPAGE");
    }
    ::setenv("KELVORA_CODEPAGE", "932", 1);
    EXPECT_EQ(platform::ansiToUtf8Exact("\x93"), std::nullopt);  // a lead byte alone
    ::unsetenv("KELVORA_CODEPAGE");
}

}  // namespace
}  // namespace kelvora
