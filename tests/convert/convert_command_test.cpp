#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/command.h"
#include "support/temp_dir.h"

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
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_TRUE(contains(again.out, "Replaced 0 times: \"ann\" -> \"bob\"\n")) << again.out;
    EXPECT_TRUE(contains(again.out, "Nothing to change; the file was left as it was\n")) << again.out;
    EXPECT_EQ(readFile(root / "Users/bob/AppData/Roaming/Opera/Opera/profile/operaprefs.ini.bak"), backup);

    // An empty old user name skips its pair.
    args = machine;
    args.insert(args.end(), {"convert-opera", "--method", "12", "--old-user", ""});
    EXPECT_TRUE(contains(run(args).out, "Skipped: the search text is empty\n"));
}

TEST(ConvertOperaCommand, SaysSoWhenNoPreferenceFileIsFound) {
    TempDir root;
    fs::create_directories(root / "Users/bob");
    const CliRun r = run({"--root", root.str(), "--user", "bob", "convert-opera", "--method", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.err,
        "kelvora-cli: No Opera preference file (operaprefs.ini) was found, so nothing was converted.\n");
    EXPECT_EQ(r.out, "");
}
#endif

}  // namespace
}  // namespace kelvora::cli
