// kelvora-cli pack, unpack, list and verify, run against string streams.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "archive_fixtures.h"
#include "cli/command.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result cli(std::vector<std::string> args, bool terminal = false) {
    std::ostringstream out, err;
    cli::Context ctx{out, err, terminal};
    const int code = cli::runCli(args, ctx);
    return {code, out.str(), err.str()};
}

TEST(ArchiveCli, PackListVerifyUnpack) {
    TempDir dir;
    writeFile(dir / "in/a/b/deep.txt", "deep");
    writeFile(dir / "in/top.txt", test::patterned(5000));
    const std::string archive = (dir / "a.dat").string();

    const Result pack = cli({"pack", (dir / "in").string(), archive});
    EXPECT_EQ(pack.code, 0) << pack.err;
    EXPECT_THAT(pack.out, HasSubstr("a\\b\\deep.txt\n"));
    EXPECT_THAT(pack.out, HasSubstr("Packed 2 files (5004 bytes) into " + archive));

    const Result list = cli({"list", archive});
    EXPECT_EQ(list.code, 0);
    std::vector<std::string> lines;
    std::istringstream in(list.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    EXPECT_THAT(lines, ::testing::UnorderedElementsAre("a\\b\\deep.txt", "top.txt"));

    const Result verify = cli({"verify", archive});
    EXPECT_EQ(verify.code, 0) << verify.err;
    EXPECT_THAT(verify.out, HasSubstr(archive + ": 2 records, 5004 bytes, all sound"));
    EXPECT_FALSE(std::filesystem::exists("a")) << "verify must not write";

    const Result unpack = cli({"unpack", archive, (dir / "out").string()});
    EXPECT_EQ(unpack.code, 0) << unpack.err;
    EXPECT_EQ(test::treeOf(dir / "out"), test::treeOf(dir / "in"));
}

TEST(ArchiveCli, FailuresExitNonZeroWithOneLine) {
    TempDir dir;
    const std::string body = test::patterned(3000);
    std::string packed = test::zlibCompress(body);
    packed[packed.size() / 2] = static_cast<char>(packed[packed.size() / 2] ^ 0x41);
    writeFile(dir / "damaged.dat", test::record("", "f.txt", 3000, packed));
    writeFile(dir / "cut.dat", test::record("", "f.txt", body).substr(0, 30));
    const auto path = [&](const char* name) { return (dir / name).string(); };
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"verify", path("damaged.dat")}, path("damaged.dat") + ": zlib returned: data error"},
        {{"unpack", path("damaged.dat"), path("out")}, path("damaged.dat") + ": zlib returned: data error"},
        {{"verify", path("cut.dat")}, path("cut.dat") + ": Stream read error"},
        {{"list", path("cut.dat")}, path("cut.dat") + ": Stream read error"},
        {{"list", path("missing.dat")}, "Cannot open file \"" + path("missing.dat") + "\". "},
        {{"pack", path("no-such-folder"), path("x.dat")}, "Cannot open folder"},
    };
    for (const Case& c : cases) {
        const Result r = cli(c.args);
        EXPECT_NE(r.code, 0) << c.args[0];
        EXPECT_THAT(r.err, StartsWith("kelvora-cli: ")) << c.args[0];
        EXPECT_THAT(r.err, HasSubstr(c.reason)) << c.args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(ArchiveCli, TerminalGetsAProgressBar) {
    TempDir dir;
    writeFile(dir / "in/f.txt", test::patterned(100000));
    const Result pack = cli({"pack", (dir / "in").string(), (dir / "a.dat").string()}, true);
    EXPECT_EQ(pack.code, 0);
    EXPECT_THAT(pack.err, HasSubstr("\r["));
    EXPECT_THAT(pack.err, HasSubstr("100%"));
    EXPECT_THAT(pack.out, ::testing::Not(HasSubstr("f.txt\n")));
}

}  // namespace
}  // namespace kelvora
