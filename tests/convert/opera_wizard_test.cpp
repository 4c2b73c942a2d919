#include "convert/opera_wizard.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace kelvora::convert {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(WindowsName, ByMajorVersion) {
    const std::pair<const char*, const char*> cases[] = {
        {"5", "XP/2000"}, {"6", "7/Vista"}, {"7", "8"}, {"10", "10/11"}, {"", ""}, {"4", ""},
    };
    for (const auto& [version, name] : cases)
        EXPECT_EQ(WindowsName(version), name) << "version \"" << version << '"';
}

#ifdef _WIN32
TEST(WindowsType, SixtyFourBitProgramIsNotUnderWow64YetSays64Bit) {
    static_assert(sizeof(void*) == 8, "the Windows build is a 64-bit program");
    EXPECT_FALSE(IsWow64());
    EXPECT_EQ(WindowsType(), "64 bit");
}
#endif

TEST(OperaPrefsFolders, SixCandidatesPerVersion) {
    const std::string sfp = "C:\\R";
    const std::string loc = "C:\\L";
    EXPECT_EQ(OperaPrefsFolders("5", "C:", "ann", sfp, loc),
              "C:\\R\\Opera\\Opera;"
              "C:\\Documents and Settings\\ann\\Application Data\\Opera\\Opera;"
              "C:\\R\\Opera\\Opera\\profile;"
              "C:\\Documents and Settings\\ann\\Application Data\\Opera\\Opera\\profile;"
              "C:\\Documents and Settings\\ann\\Local Settings\\Application Data\\Opera\\Opera\\profile;"
              "C:\\L\\Opera\\Opera\\profile");
    EXPECT_EQ(OperaPrefsFolders("6", "D:", "ann", sfp, loc),
              "C:\\R\\Opera\\Opera;"
              "D:\\Users\\ann\\AppData\\Local\\Opera\\Opera;"
              "C:\\R\\Opera\\Opera\\profile;"
              "D:\\Users\\ann\\AppData\\Local\\Opera\\Opera\\profile;"
              "D:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera\\profile;"
              "C:\\L\\Opera\\Opera\\profile");
    // Windows 8 to 11 (reporting "6" or "10") keep the folders of Vista and 7.
    EXPECT_EQ(OperaPrefsFolders("10", "D:", "ann", sfp, loc), OperaPrefsFolders("6", "D:", "ann", sfp, loc));
    // A version the system could not tell: the older layout without the first folder.
    EXPECT_EQ(OperaPrefsFolders("", "C:", "ann", sfp, loc),
              ";C:\\Documents and Settings\\ann\\Application Data\\Opera\\Opera;"
              "C:\\R\\Opera\\Opera\\profile;"
              "C:\\Documents and Settings\\ann\\Application Data\\Opera\\Opera\\profile;"
              "C:\\Documents and Settings\\ann\\Local Settings\\Application Data\\Opera\\Opera\\profile;"
              "C:\\L\\Opera\\Opera\\profile");
    // Without a known drive or special folder, those candidates stay empty.
    EXPECT_EQ(OperaPrefsFolders("6", "", "ann", "", loc), ";;;;;C:\\L\\Opera\\Opera\\profile");
}

TEST(OperaConversion, NextWithoutAFileChangesNothing) {
    OperaConversion conversion;
    EXPECT_FALSE(conversion.hasFile());
    const TaskResult result = conversion.Convert(1, "Olduser", "D:\\");
    EXPECT_EQ(result.outcome(), Outcome::NothingDone);
    EXPECT_EQ(result.message(), kNoFileMessage);
}

#ifndef _WIN32
// A Windows installation in a folder with Opera's preference file where that version keeps it.
struct Machine {
    TempDir root;
    Machine(const std::string& version, const std::string& prefsFolder, bool x64) {
        fs::create_directories(root / (version == "5" ? "Documents and Settings/ann" : "Users/ann"));
        if (x64)
            fs::create_directories(root / "Program Files (x86)");
        if (!prefsFolder.empty())
            writeFile(root / prefsFolder / "operaprefs.ini",
                      "Opera Preferences version 2.1\nP=C:\\Program Files\\x\n");
        platform::setMachine({root.str(), "ann", version, {}});
    }
};

TEST(OperaConversion, ActivationShowsTheSystemAndFindsThePreferenceFile) {
    struct Case {
        const char* what;
        std::string version;
        std::string folder;
        bool x64;
        std::string windowsName, windowsType, found;
    };
    const std::vector<Case> cases = {
        {"Vista, 64 bit, roaming profile", "6", "Users/ann/AppData/Roaming/Opera/Opera/profile", true,
         "7/Vista", "64 bit", "C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera\\profile\\operaprefs.ini"},
        {"Vista, Opera folder itself", "6", "Users/ann/AppData/Roaming/Opera/Opera", false, "7/Vista",
         "32 bit", "C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera\\operaprefs.ini"},
        {"XP, local profile", "5",
         "Documents and Settings/ann/Local Settings/Application Data/Opera/Opera/profile", false, "XP/2000",
         "32 bit",
         "C:\\Documents and Settings\\ann\\Local Settings\\Application "
         "Data\\Opera\\Opera\\profile\\operaprefs.ini"},
        {"nothing to find", "6", "", true, "7/Vista", "64 bit", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine(c.version, c.folder, c.x64);
        OperaConversion conversion;
        EXPECT_EQ(conversion.Activate(), !c.found.empty());
        EXPECT_EQ(conversion.systemInformation().windowsName, c.windowsName);
        EXPECT_EQ(conversion.systemInformation().windowsType, c.windowsType);
        EXPECT_EQ(conversion.systemInformation().user, "ann");
        EXPECT_EQ(conversion.ffpath(), c.found);
    }
}

TEST(OperaConversion, ConvertsTheFoundFileAndKeepsItAcrossAFailedSearch) {
    Machine machine("6", "Users/ann/AppData/Local/Opera/Opera", false);
    const fs::path file = machine.root / "Users/ann/AppData/Local/Opera/Opera/operaprefs.ini";
    OperaConversion conversion;
    ASSERT_TRUE(conversion.Activate());

    EXPECT_EQ(conversion.Convert(5, "Olduser", "D:\\").outcome(), Outcome::Done);
    EXPECT_TRUE(conversion.details().written);
    EXPECT_EQ(readFile(file), "Opera Preferences version 2.1\nP=C:\\Program Files (x86)\\x\n");

    // The file vanishes; a later activation keeps the earlier hit, and "Next >" names the file.
    fs::remove(file);
    EXPECT_FALSE(conversion.Activate());
    EXPECT_TRUE(conversion.hasFile());
    const TaskResult missing = conversion.Convert(6, "", "");
    EXPECT_EQ(missing.outcome(), Outcome::Failed);
    EXPECT_NE(missing.message().find("Can't read the preference file"), std::string::npos)
        << missing.message();
}

TEST(OperaConversion, DriveAndUserChangeTakeTheEditsAndTheMachine) {
    Machine machine("6", "Users/ann/AppData/Roaming/Opera/Opera", false);
    const fs::path file = machine.root / "Users/ann/AppData/Roaming/Opera/Opera/operaprefs.ini";
    writeFile(file, "a=E:\\Music\\olduser\n");
    OperaConversion conversion;
    ASSERT_TRUE(conversion.Activate());
    EXPECT_EQ(conversion.Convert(kDriveLetterChange, "ignored", "E:\\").outcome(), Outcome::Done);
    EXPECT_EQ(readFile(file), "a=C:\\Music\\olduser\n");
    EXPECT_EQ(conversion.Convert(kUsernameChange, "Olduser", "ignored").outcome(), Outcome::Done);
    EXPECT_EQ(readFile(file), "a=C:\\Music\\ann\n");
}
#endif

}  // namespace
}  // namespace kelvora::convert
