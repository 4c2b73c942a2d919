// Registry keys saved into hive files and loaded back: round trips, what a failure leaves behind,
// and (on POSIX) the files checked by hivex's and chntpw's own readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "core/core.h"
#include "core/error.h"
#include "core/registry.h"
#include "platform/platform.h"
#include "support/platform_tree.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvora::platform {
// Readable failures: the tree as nested text.
void PrintTo(const RegistryTree& tree, std::ostream* os) {
    *os << "[" << tree.name << ":";
    for (const RegistryValue& v : tree.values) {
        *os << " '" << v.name << "'/" << v.type << "/" << v.data.size();
    }
    for (const RegistryTree& sub : tree.subkeys)
        PrintTo(sub, os);
    *os << "]";
}
}  // namespace kelvora::platform

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using platform::RegistryTree;
using test::readFile;
using test::TempDir;
using test::writeFile;

using test::underWine;
constexpr const char* kWineRestores = "Wine's RegRestoreKeyW reports success but restores nothing";
constexpr const char* kWineSaves =
    "Wine's RegSaveKeyW writes Wine's own text format (\"WINE REGISTRY Version 2\"), not a binary hive: "
    "the saved file can't be judged under Wine";

// A test key of the current user: on POSIX inside a machine folder of its own, on Windows below
// "Software\Kelvora Tests\" of the real registry, removed at the end.
class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        key_ = "Software\\Kelvora Tests\\" + std::to_string(GetCurrentProcessId()) + "\\" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
#else
        platform::setMachine({(tmp_ / "machine").string(), "tester", "6", {}});
        fs::create_directories(tmp_ / "machine/Users/tester");
        key_ = "Software\\Microsoft\\Internet Explorer\\Main\\";
#endif
    }
    void TearDown() override {
#ifdef _WIN32
        platform::deleteRegistryTree("Software\\Kelvora Tests\\" + std::to_string(GetCurrentProcessId()));
#endif
    }
    std::string file(const char* name) const {
        return (tmp_ / name).string();
    }
    fs::path ntuser() const {
        return tmp_ / "machine/Users/tester/NTUSER.DAT";
    }

    TempDir tmp_;
    std::string key_;
};

RegistryTree sampleTree() {
    RegistryTree big{"Big", {RegistryBinary("blob", std::string(40000, 'x'))}, {}};
    return RegistryTree{
        "",
        // Values sorted by name, as readBack() gives them.
        {RegistryString("", "default text"), RegistryDword("Anchor Underline", 7),
         RegistryString("Start Page", "http://example.org/"), RegistryString("Süß", "Grüße")},
        // Subkeys in the registry's own order (sorted by name), as they read back.
        {big, RegistryTree{"Window",
                           {RegistryDword("Left", 12)},
                           {RegistryTree{"Deep", {}, {}}, RegistryTree{"Tiefe Grüße ☃", {}, {}}}}},
    };
}

void sortValues(RegistryTree& tree) {
    std::sort(tree.values.begin(), tree.values.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (RegistryTree& sub : tree.subkeys)
        sortValues(sub);
}

// The tree as read back, without the key's own name and with its values sorted by name (Windows
// lists them in the order they were written, Wine sorted), for comparing with what was written.
std::optional<RegistryTree> readBack(const std::string& key) {
    auto tree = platform::readRegistryTree(key);
    if (tree) {
        tree->name.clear();
        sortValues(*tree);
    }
    return tree;
}

// Checks that the registry's save call wrote a binary hive. Under Wine, whose save call writes its
// own text format, says so in the test's record and returns false: the file can't be judged there.
[[nodiscard]] bool savedHive(const std::string& file) {
    const HiveFileFormat format = HiveFileFormatOf(file);
    if (format == HiveFileFormat::WineText && underWine()) {
        ::testing::Test::RecordProperty("saved_file", "Wine's text format, not judged");
        return false;
    }
    EXPECT_EQ(format, HiveFileFormat::Hive);
    return true;
}

TEST_F(RegistryTest, SaveAndLoadRoundTripReplacesTheWholeSubtree) {
    const RegistryTree original = sampleTree();
    ASSERT_TRUE(platform::writeRegistryTree(key_, original));
    ASSERT_EQ(readBack(key_), original);

    const std::string hive = file("set.reg");
    SaveKeyToFile(key_, hive);
    ASSERT_TRUE(FileExists(hive));
    if (!savedHive(hive))
        GTEST_SKIP() << kWineSaves;
#ifndef _WIN32
    EXPECT_EQ(fs::status(platform::nativePath(hive)).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
#endif

    // Changes after the backup: a new value, a changed value, a new subkey, a removed subkey.
    RegistryTree changed = original;
    changed.values.push_back(RegistryDword("Added Later", 1));
    changed.values[2] = RegistryString("Start Page", "http://changed.example/");
    changed.subkeys.pop_back();
    changed.subkeys.push_back(RegistryTree{"New Subkey", {RegistryDword("x", 2)}, {}});
    ASSERT_TRUE(platform::writeRegistryTree(key_, changed));

    EXPECT_EQ(LoadKeyFromFile(key_, hive), "");
    if (underWine())
        GTEST_SKIP() << kWineRestores;
    EXPECT_EQ(readBack(key_), original);
}

TEST_F(RegistryTest, LoadCreatesAMissingKey) {
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    const std::string hive = file("toolbar.reg");
    SaveKeyToFile(key_, hive);
    if (!savedHive(hive))
        GTEST_SKIP() << kWineSaves;
    ASSERT_TRUE(platform::deleteRegistryTree(key_));
    ASSERT_FALSE(platform::readRegistryTree(key_));

    EXPECT_EQ(LoadKeyFromFile(key_, hive), "");
    if (underWine())
        GTEST_SKIP() << kWineRestores;
    EXPECT_EQ(readBack(key_), sampleTree());
}

TEST_F(RegistryTest, SavingAMissingKeyWritesNothingAndKeepsAnOldFile) {
    ASSERT_TRUE(platform::writeRegistryTree(key_ + "Other\\", RegistryTree{"", {RegistryDword("a", 1)}, {}}));
    const std::string missing = key_ + "Not There\\";

    const std::string fresh = file("fresh.reg");
    EXPECT_EQ(SaveKeyToFile(missing, fresh), "");
    EXPECT_FALSE(fs::exists(fresh));

    const std::string old = file("old.reg");
    writeFile(old, "old contents");
    EXPECT_EQ(SaveKeyToFile(missing, old), "");
    EXPECT_EQ(readFile(old), "old contents");
}

TEST_F(RegistryTest, SavingOverAFileReplacesItAndOverAFolderLeavesIt) {
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));

    const std::string folder = file("folder.reg");
    fs::create_directories(fs::path(folder) / "inside");
    // The key exists but can't be saved there: the caller learns why.
    EXPECT_NE(SaveKeyToFile(key_, folder), "");
    EXPECT_TRUE(fs::is_directory(fs::path(folder) / "inside"));

    const std::string old = file("hist.reg");
    writeFile(old, "an older hive");
    EXPECT_EQ(SaveKeyToFile(key_, old), "");
    EXPECT_NE(readFile(old), "an older hive");
    if (!savedHive(old))
        GTEST_SKIP() << kWineSaves;
}

// A file that Wine's save call wrote (an Internet Explorer backup made under Wine) is refused by
// name, before the registry is touched, on every system: no restore from it reports success.
TEST_F(RegistryTest, AFileInWinesTextFormatIsRefusedClearly) {
    const std::string wine = file("wine.reg");
    writeFile(wine,
              "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
              "[Software\\\\Kelvora] 1700000000\n\"Start Page\"=\"http://example.org/\"\n");
    struct Case {
        const char* what;
        std::optional<std::string> contents;
        HiveFileFormat format;
    };
    const std::vector<Case> cases = {
        {"a hive", "regf" + std::string(8188, '\0'), HiveFileFormat::Hive},
        {"Wine's text format", readFile(wine), HiveFileFormat::WineText},
        {"an empty file", "", HiveFileFormat::Other},
        {"something else", std::string(9000, 'z'), HiveFileFormat::Other},
        {"no file", std::nullopt, HiveFileFormat::Missing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = file("probe.reg");
        fs::remove(path);
        if (c.contents)
            writeFile(path, *c.contents);
        EXPECT_EQ(HiveFileFormatOf(path), c.format);
    }

    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
#ifndef _WIN32
    const std::string before = readFile(ntuser());
#endif
    EXPECT_EQ(LoadKeyFromFile(key_, wine),
              "Cannot restore the registry key \"" + key_ + "\" from \"" + wine +
                  "\": the file holds registry keys in Wine's text format, not a registry hive (it was saved "
                  "under Wine)");
#ifndef _WIN32
    EXPECT_EQ(readFile(ntuser()), before);
#endif
    EXPECT_EQ(readBack(key_), sampleTree());
}

TEST_F(RegistryTest, LoadingAMissingFileChangesNothing) {
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    EXPECT_EQ(LoadKeyFromFile(key_, file("none.reg")), "");
    EXPECT_EQ(readBack(key_), sampleTree());
}

TEST_F(RegistryTest, LoadingADamagedFileReportsItAndChangesNothing) {
    if (underWine())
        GTEST_SKIP() << kWineRestores;
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    const std::string damaged = file("search.reg");
    writeFile(damaged, std::string(9000, 'z'));
#ifndef _WIN32
    const std::string before = readFile(ntuser());
#endif
    const std::string message = LoadKeyFromFile(key_, damaged);
    EXPECT_FALSE(message.empty());
#ifndef _WIN32
    EXPECT_NE(message.find(damaged), std::string::npos) << message;
    EXPECT_EQ(readFile(ntuser()), before);
#endif
    EXPECT_EQ(readBack(key_), sampleTree());
}

#ifdef _WIN32

// Whether the process token holds `name` enabled; nullopt when it doesn't hold it at all.
std::optional<bool> privilegeEnabled(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::nullopt;
    LUID luid{};
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<char> buffer(size);
    std::optional<bool> result;
    if (LookupPrivilegeValueW(nullptr, name, &luid) &&
        GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
            const auto& entry = list->Privileges[i];
            if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
                result = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return result;
}

void setPrivilege(const wchar_t* name, bool enabled) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES request{};
    request.PrivilegeCount = 1;
    request.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    LookupPrivilegeValueW(nullptr, name, &request.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &request, sizeof request, nullptr, nullptr);
    CloseHandle(token);
}

// Each operation switches its privilege on while it works and leaves it as it found it.
TEST_F(RegistryTest, PrivilegesAreAsTheyWereAfterwards) {
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    const std::string hive = file("set.reg");
    for (const wchar_t* name : {L"SeBackupPrivilege", L"SeRestorePrivilege"}) {
        if (!privilegeEnabled(name).has_value())
            GTEST_SKIP() << "the process token does not hold the privilege";
        const bool restoring = name == std::wstring(L"SeRestorePrivilege");
        SaveKeyToFile(key_, hive);
        if (restoring && !savedHive(hive))
            GTEST_SKIP() << kWineSaves << "; the restore call is never reached with it";
        for (const bool before : {false, true}) {
            setPrivilege(name, before);
            ASSERT_EQ(privilegeEnabled(name), before);
            if (restoring) {
                EXPECT_EQ(LoadKeyFromFile(key_, hive), "");
            } else {
                EXPECT_EQ(SaveKeyToFile(key_, hive), "");
            }
            EXPECT_EQ(privilegeEnabled(name), before);
        }
    }
    EXPECT_TRUE(FileExists(hive));
}

#endif

TEST(RegistryErrorText, FormsTheOperatingSystemErrorText) {
    EXPECT_EQ(SystemErrorText(0, "anything"), "A call to an OS function failed");
    EXPECT_EQ(
        SystemErrorText(1300, "Not all privileges or groups referenced are assigned to the caller"),
        "System Error.  Code: 1300.\r\nNot all privileges or groups referenced are assigned to the caller");
}

#ifndef _WIN32

// A machine without the user's registry file has no key to save or restore: each is reported
// with the reason, never passed over as a key that is merely absent.
TEST_F(RegistryTest, WithoutNtuserDatNothingIsSavedOrLoadedAndEachKeySaysWhy) {
    const std::string hive = file("links.reg");
    EXPECT_NE(SaveKeyToFile(key_, hive).find("NTUSER.DAT\": the file does not exist"), std::string::npos);
    EXPECT_FALSE(fs::exists(hive));

    // A hive made elsewhere, loaded into a machine that has no registry file.
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    EXPECT_EQ(SaveKeyToFile(key_, hive), "");
    fs::remove(ntuser());
    EXPECT_NE(LoadKeyFromFile(key_, hive).find("Cannot open the registry of the user"), std::string::npos);
    EXPECT_FALSE(fs::exists(ntuser()));

    // A key the registry does not hold is no fault: nothing to save.
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    EXPECT_EQ(SaveKeyToFile("Software\\Nobody\\", file("none.reg")), "");
    EXPECT_FALSE(fs::exists(file("none.reg")));
}

TEST_F(RegistryTest, WindowsXpKeepsTheRegistryInDocumentsAndSettings) {
    fs::create_directories(tmp_ / "xp/Documents and Settings/tester");
    platform::setMachine({(tmp_ / "xp").string(), "tester", "5", {}});
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    EXPECT_TRUE(fs::exists(tmp_ / "xp/Documents and Settings/tester/NTUSER.DAT"));
    EXPECT_FALSE(fs::exists(tmp_ / "xp/Users"));
}

// Runs a command line; its standard output, or nullopt when it failed.
std::optional<std::string> run(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        out.append(buffer, n);
    const int status = ::pclose(pipe.release());
    if (status != 0)
        return std::nullopt;
    return out;
}

bool haveTool(const char* name) {
    return run(std::string("command -v ") + name).has_value();
}

TEST_F(RegistryTest, SavedHivesReadCorrectlyWithIndependentReaders) {
    if (!haveTool("hivexsh") || !haveTool("reged") || !haveTool("hivexregedit"))
        GTEST_SKIP() << "hivexsh (libhivex-bin), hivexregedit (libwin-hivex-perl) and reged (chntpw) are "
                        "needed; scripts/setup.sh installs them";
    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    const std::string hive = file("set.reg");
    SaveKeyToFile(key_, hive);

    const auto listing = run("printf 'ls\\nlsval\\ncd Window\\nlsval\\nls\\n' | hivexsh '" + hive + "'");
    ASSERT_TRUE(listing) << "hivexsh could not read the file";
    for (const char* expected :
         {"Big", "Window", "\"Start Page\"=\"http://example.org/\"", "\"Anchor Underline\"=dword:00000007",
          "\"@\"=\"default text\"", "\"Left\"=dword:0000000c", "Deep"}) {
        EXPECT_NE(listing->find(expected), std::string::npos) << expected << " in\n" << *listing;
    }

    const std::string exported = file("export.txt");
    const auto reged = run("reged -x '" + hive + "' HKEY_CURRENT_USER\\\\X \\\\ '" + exported + "'");
    ASSERT_TRUE(reged) << "reged could not export the file";
    const std::string text = readFile(exported);
    for (const char* expected :
         {"[HKEY_CURRENT_USER\\X\\Window\\Deep]", "\"Start Page\"=\"http://example.org/\"",
          "\"Anchor Underline\"=dword:00000007", "@=\"default text\""}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    }

    const auto regedit = run("hivexregedit --export '" + hive + "' '\\'");
    ASSERT_TRUE(regedit) << "hivexregedit could not export the file";
    for (const char* expected : {"[\\Big]", "[\\Window\\Deep]", "\"Left\"=dword:0000000c", "@=hex(1):"}) {
        EXPECT_NE(regedit->find(expected), std::string::npos) << expected << " in\n" << *regedit;
    }
}

TEST_F(RegistryTest, AnEmptyKeyStillMakesAValidHive) {
    ASSERT_TRUE(platform::writeRegistryTree(key_, RegistryTree{}));
    const std::string hive = file("rec.reg");
    SaveKeyToFile(key_, hive);
    ASSERT_TRUE(FileExists(hive));
    EXPECT_EQ(fs::file_size(hive), 8192u);
    if (haveTool("hivexsh")) {
        EXPECT_TRUE(run("printf 'ls\\nlsval\\n' | hivexsh '" + hive + "'")) << "hivexsh rejects the file";
    }

    ASSERT_TRUE(platform::writeRegistryTree(key_, sampleTree()));
    EXPECT_EQ(LoadKeyFromFile(key_, hive), "");
    EXPECT_EQ(readBack(key_), RegistryTree{});
}

#endif

}  // namespace
}  // namespace kelvora
