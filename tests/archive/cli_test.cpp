// kelvora-cli pack, unpack, list and verify, run against string streams.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "archive_fixtures.h"
#include "cli/command.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
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

TEST(ArchiveCli, ExitCodeFollowsTheOutcome) {
    TempDir dir;
    const auto path = [&](const std::string& name) { return (dir / name).string(); };
    writeFile(dir / "full/a.txt", "a");
    fs::create_directories(dir / "empty/sub");
    writeFile(dir / "empty/zero.txt", "");
    writeFile(dir / "earlier.dat", test::record("", "old.txt", "the earlier backup"));
    writeFile(dir / "no-records.dat", "");
    writeFile(dir / "sound.dat", test::record("", "a.txt", "a"));
    writeFile(dir / "refusing.dat",
              test::record("..\\", "evil.txt", "evil") + test::record("", "good.txt", "good"));
    // A record claiming 100 bytes that inflates to 3 MB.
    writeFile(dir / "bomb.dat",
              test::record("", "bomb.bin", 100, test::zlibCompress(std::string(3u << 20, 'x'))));
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;  // a part of the error stream
    };
    const std::vector<Case> cases = {
        {{"pack", path("full"), path("full.dat")}, 0, ""},
        {{"pack", path("empty"), path("earlier.dat")},
         4,
         "kelvora-cli: nothing done: There are no files to pack"},
        {{"unpack", path("sound.dat"), path("out1")}, 0, ""},
        {{"unpack", path("no-records.dat"), path("out2")}, 4, "holds no files"},
        {{"unpack", path("refusing.dat"), path("out3")},
         3,
         "evil.txt (the name leads out of its folder (\"..\"))\n"},
        {{"verify", path("refusing.dat")}, 3, "Left out:\n"},
        {{"unpack", path("bomb.dat"), path("out4")},
         1,
         "inflates to more than the 100 bytes its header states"},
        {{"verify", path("bomb.dat")}, 1, "inflates to more than the 100 bytes its header states"},
        {{"list", path("sound.dat")}, 0, ""},
        {{"list", path("no-records.dat")}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const Result r = cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.err.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_THAT(r.err, HasSubstr(c.err));
        }
    }
    // An empty folder never replaces an earlier archive with an empty one.
    EXPECT_EQ(readFile(dir / "earlier.dat"), test::record("", "old.txt", "the earlier backup"));
    EXPECT_EQ(test::treeOf(dir / "out3"), (std::map<std::string, std::string>{{"good.txt", "good"}}));
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir / "out4/bomb.bin"));
}

#ifndef _WIN32
// Reading as another user for a while: root reads every file whatever its mode, so a test that
// needs an unreadable file runs its command as "nobody" when it runs as root.
class AsUnprivilegedUser {
  public:
    AsUnprivilegedUser() {
        if (::geteuid() == 0 && ::seteuid(65534) == 0)
            switched_ = true;
    }
    ~AsUnprivilegedUser() {
        if (switched_ && ::seteuid(0) != 0)
            std::abort();
    }
    bool unprivileged() const { return ::geteuid() != 0; }

  private:
    bool switched_ = false;
};

TEST(ArchiveCli, PackListsUnreadableFilesAndExits3) {
    TempDir dir;
    writeFile(dir / "in/readable.txt", "fine");
    writeFile(dir / "in/locked.db", "private");
    fs::permissions(dir / "in/locked.db", fs::perms::none);
    fs::create_directories(dir / "backups");
    fs::permissions(dir / "backups", fs::perms::all);  // writable by the user the test runs as
    fs::permissions(dir.path(), fs::perms::all);
    const std::string archive = (dir / "backups/a.dat").string();
    Result r;
    {
        AsUnprivilegedUser user;
        if (!user.unprivileged())
            GTEST_SKIP() << "running as root without a way to drop privileges: every file is readable";
        r = cli({"pack", (dir / "in").string(), archive});
    }
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_THAT(r.out, HasSubstr("readable.txt\n"));
    EXPECT_THAT(r.out, HasSubstr("Packed 1 files (4 bytes)"));
    EXPECT_EQ(r.err, "Left out:\n  " + (dir / "in/locked.db").string() + " (Permission denied)\n");
    const Result list = cli({"list", archive});
    EXPECT_EQ(list.out, "readable.txt\n");
}

TEST(ArchiveCli, PackListsLinksAndExits3) {
    TempDir dir;
    writeFile(dir / "in/a.txt", "a");
    fs::create_directory_symlink(dir / "in", dir / "in/loop");
    const Result r = cli({"pack", (dir / "in").string(), (dir / "a.dat").string()});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(r.err, "Left out:\n  " + (dir / "in/loop").string() + " (a link, which is not followed)\n");
    EXPECT_EQ(cli({"list", (dir / "a.dat").string()}).out, "a.txt\n");
}
#endif

TEST(ArchiveCli, ListShowsTheSoundRecordsBeforeTheDamagedOne) {
    TempDir dir;
    const std::string body = test::patterned(3000);
    writeFile(dir / "a.dat", test::record("", "one.txt", "1") + test::record("sub\\", "two.txt", "2") +
                                 test::record("", "three.txt", body).substr(0, 30));
    const Result r = cli({"list", (dir / "a.dat").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "one.txt\nsub\\two.txt\n");
    EXPECT_EQ(r.err, "kelvora-cli: " + (dir / "a.dat").string() + ": Stream read error\n");
}

TEST(ArchiveCli, NamesFromArchivesArePrintedWithTheirControlCharactersEscaped) {
    TempDir dir;
    writeFile(dir / "a.dat", test::record("", "ok.txt", "ok") + test::record("", "red\x1b[31m.txt", "x") +
                                 test::record("new\nline\\", "f.txt", "y") +
                                 test::record("", "c1\x9d.txt", "z"));
    const Result list = cli({"list", (dir / "a.dat").string()});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "ok.txt\nred\\x1b[31m.txt\nnew\\nline\\f.txt\nc1\\u009d.txt\n");

    const Result unpack = cli({"unpack", (dir / "a.dat").string(), (dir / "out").string()});
    EXPECT_EQ(unpack.code, 3);
    EXPECT_EQ(unpack.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(unpack.err.find('\x1b'), std::string::npos);
    EXPECT_THAT(unpack.err, HasSubstr("red\\x1b[31m.txt (the name holds a control character)"));
    EXPECT_THAT(unpack.err, HasSubstr("line"));
    EXPECT_EQ(std::count(unpack.err.begin(), unpack.err.end(), '\n'), 4) << unpack.err;
    EXPECT_EQ(test::treeOf(dir / "out"), (std::map<std::string, std::string>{{"ok.txt", "ok"}}));
}

}  // namespace
}  // namespace kelvora
