#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/command.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::cli {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct CliRun {
    int code;
    std::string out, err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Context ctx{out, err};
    const int code = runCli(args, ctx);
    return {code, out.str(), err.str()};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ConvertOperaCommand, RejectsAMissingOrUnknownMethod) {
    TempDir tmp;
    writeFile(tmp / "operaprefs.ini", "x=Program Files\n");
    const std::string path = tmp.str() + "/operaprefs.ini";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"convert-opera", "--file", path},
             {"convert-opera", "--method", "0", "--file", path},
             {"convert-opera", "--method", "13", "--file", path},
         }) {
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(contains(r.err, "--method")) << r.err;
    }
    EXPECT_EQ(readFile(tmp / "operaprefs.ini"), "x=Program Files\n");
}

TEST(ConvertOperaCommand, ReportsAFailureNamingTheFile) {
    TempDir tmp;
    const std::string path = tmp.str() + "/missing/operaprefs.ini";
    const CliRun r = run({"convert-opera", "--method", "5", "--file", path});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(contains(r.err, "Can't read the preference file \"" + path + "\"")) << r.err;
}

TEST(ConvertOperaCommand, ExitCodesFollowTheResult) {
    struct Case {
        const char* what;
        std::vector<std::string> options;
        std::string before, after;
        int code;
        std::string out, err;  // parts of the output
    };
    const std::vector<Case> cases = {
        {"converted",
         {"--method", "5"},
         "P=C:\\Program Files\\x\n",
         "P=C:\\Program Files (x86)\\x\n",
         0,
         "Saved; the previous version is kept as ",
         ""},
        {"drive changed where a path starts",
         {"--method", "11", "--old-drive", "d:"},
         "U=http://h/?id:4\nP=D:\\x\n",
         "U=http://h/?id:4\nP=C:\\x\n",
         0,
         "Replaced 1 time: \"d:\" -> \"C:\" where a path starts\n",
         ""},
        {"nothing to change",
         {"--method", "6"},
         "P=C:\\Program Files\\x\n",
         "P=C:\\Program Files\\x\n",
         4,
         "Replaced 0 times: \"Program Files (x86)\" -> \"Program Files\"\n",
         "kelvora-cli: nothing done: Nothing to change; the file was left as it was.\n"},
        {"an old drive that is no drive",
         {"--method", "11", "--old-drive", "D"},
         "P=D:\\x\n",
         "P=D:\\x\n",
         1,
         "",
         "kelvora-cli: The old drive \"D\" is not a drive letter"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        writeFile(tmp / "operaprefs.ini", c.before);
        std::vector<std::string> args = {"convert-opera", "--file", tmp.str() + "/operaprefs.ini"};
#ifndef _WIN32
        // The system drive comes from the machine.
        args.insert(args.begin(), {"--root", tmp.str(), "--user", "ann"});
#endif
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = run(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_TRUE(contains(r.out, c.out)) << r.out;
        EXPECT_TRUE(contains(r.err, c.err)) << r.err;
        EXPECT_EQ(readFile(tmp / "operaprefs.ini"), c.after);
        EXPECT_EQ(fs::exists(tmp / "operaprefs.ini.bak"), c.code == 0);
    }
}

#ifndef _WIN32
TEST(ConvertOperaCommand, ConvertsTheUsersFileAndPrintsWhatItReplaced) {
    TempDir root;
    const fs::path file = root / "Users/bob/AppData/Roaming/Opera/Opera/profile/operaprefs.ini";
    writeFile(file, "\xEF\xBB\xBFOpera Preferences version 2.1\nA=joanna\nB=Ann\n");
    const std::vector<std::string> machine = {"--root", root.str(),          "--user",
                                              "bob",    "--windows-version", "6"};

    auto args = machine;
    args.insert(args.end(), {"convert-opera", "--method", "12", "--old-user", "ann"});
    const CliRun r = run(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(file), "Opera Preferences version 2.1\nA=joboba\nB=bob\n");
    EXPECT_EQ(r.out,
              "Preference file: C:\\Users\\bob\\AppData\\Roaming\\Opera\\Opera\\profile\\operaprefs.ini\n"
              "Method 12: Username change\n"
              "Dropped the byte-order mark at the start\n"
              "Replaced 2 times: \"ann\" -> \"bob\"\n"
              "Replaced 0 times: \"o;?Opera Preferences\" -> \"Opera Preferences\"\n"
              "Saved; the previous version is kept as "
              "C:\\Users\\bob\\AppData\\Roaming\\Opera\\Opera\\profile\\operaprefs.ini.bak\n");

    // The same again: nothing left to replace, so the file and its backup stay as they are.
    const std::string backup =
        readFile(root / "Users/bob/AppData/Roaming/Opera/Opera/profile/operaprefs.ini.bak");
    const CliRun again = run(args);
    EXPECT_EQ(again.code, 4) << again.err;
    EXPECT_TRUE(contains(again.out, "Replaced 0 times: \"ann\" -> \"bob\"\n")) << again.out;
    EXPECT_EQ(again.err, "kelvora-cli: nothing done: Nothing to change; the file was left as it was.\n");
    EXPECT_EQ(readFile(root / "Users/bob/AppData/Roaming/Opera/Opera/profile/operaprefs.ini.bak"), backup);

    // An empty old user name skips its pair.
    args = machine;
    args.insert(args.end(), {"convert-opera", "--method", "12", "--old-user", ""});
    EXPECT_TRUE(contains(run(args).out, "Skipped: the search text is empty\n"));
}

TEST(ConvertOperaCommand, ConvertsTheSampleMachines) {
    const std::string xpHotList =
        "Hot List File Ver2=C:\\Documents and Settings\\ann\\Application Data\\Opera\\Opera";
    const std::string newHotList = "Hot List File Ver2=C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera";
    const std::string language = "Language File=C:\\Program Files\\Opera\\locale\\en\\en.lng\n";
    const std::string language64 = "Language File=C:\\Program Files (x86)\\Opera\\locale\\en\\en.lng\n";
    struct Case {
        std::string version, method;
        std::string prefsFolder;  // below the roaming folder
        std::string expected;     // the file's last two lines
    };
    const std::vector<Case> cases = {
        {"5", "1", "Opera/Opera/profile", newHotList + "\\profile\\bookmarks.adr\n" + language},
        {"5", "2", "Opera/Opera/profile", newHotList + "\\profile\\bookmarks.adr\n" + language64},
        {"5", "5", "Opera/Opera/profile", xpHotList + "\\profile\\bookmarks.adr\n" + language64},
        {"6", "7", "Opera/Opera", xpHotList + "\\bookmarks.adr\n" + language},
        {"6", "9", "Opera/Opera", xpHotList + "\\bookmarks.adr\n" + language64},
        {"6", "6", "Opera/Opera", newHotList + "\\bookmarks.adr\n" + language},
    };
    // One machine per Windows version; each case starts from the file as the machine has it.
    TempDir tmp;
    std::map<std::string, tools::SampleMachine> machines;
    for (const char* version : {"5", "6"})
        machines[version] = tools::buildSampleMachine(tmp / version, {version, "ann"});
    std::map<std::string, std::string> originals;
    for (const auto& c : cases) {
        SCOPED_TRACE("Windows " + c.version + ", method " + c.method);
        const auto& machine = machines.at(c.version);
        const fs::path file = machine.roaming() / c.prefsFolder / "operaprefs.ini";
        if (!originals.count(c.version))
            originals[c.version] = readFile(file);
        writeFile(file, originals[c.version]);
        fs::remove(file.string() + ".bak");
        const std::string before = readFile(file);
        ASSERT_FALSE(before.empty());

        const CliRun r = run({"--root", machine.root.string(), "--user", "ann", "--windows-version",
                              c.version, "convert-opera", "--method", c.method});
        const std::string after = readFile(file);
        EXPECT_EQ(r.code, after != before ? 0 : 4) << r.err;
        const std::size_t hotList = after.find("Hot List File Ver2=");
        ASSERT_NE(hotList, std::string::npos) << after;
        EXPECT_EQ(after.substr(hotList), c.expected);
        EXPECT_EQ(after.substr(0, hotList), before.substr(0, before.find("Hot List File Ver2=")));
        EXPECT_EQ(fs::exists(file.string() + ".bak"), after != before);
    }
}

TEST(ConvertOperaCommand, SaysSoWhenNoPreferenceFileIsFound) {
    TempDir root;
    fs::create_directories(root / "Users/bob");
    const CliRun r = run({"--root", root.str(), "--user", "bob", "convert-opera", "--method", "1"});
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(
        r.err,
        "kelvora-cli: nothing done: No Opera preference file (operaprefs.ini) was found, so nothing was "
        "converted.\n");
    EXPECT_EQ(r.out, "");
}
#endif

}  // namespace
}  // namespace kelvora::cli
