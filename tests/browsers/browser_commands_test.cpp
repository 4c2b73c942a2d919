// kelvora-cli backup, restore, profiles and items on a sample machine (POSIX: the machine folder
// comes from --root).
#include <gtest/gtest.h>

#include <sstream>

#include "cli/command.h"
#include "selective_fixture.h"

namespace kelvora::test {
namespace {

struct Run {
    int code;
    std::string out, err;
};

Run cli(const SelectiveFixture& fx, std::vector<std::string> args) {
    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    args.insert(args.begin(), {"--root", fx.machine.root.string(), "--user", "ann"});
    const int code = cli::runCli(args, ctx);
    return {code, out.str(), err.str()};
}

TEST(BrowserCommands, BackupAndRestoreRoundTrip) {
    for (const char* version : {"5", "6"}) {
        SCOPED_TRACE(version);
        SelectiveFixture fx(version);
        const fs::path mail = fx.machine.local() / "Opera/Opera/mail/index.ini";
        const std::string original = readFile(mail);

        auto run = cli(fx, {"backup", "opera", "--to", fx.saves(), "--items", "mail and feeds, Notes"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(fx.entries("Opera.dat"),
                  (std::vector<std::string>{"loc\\mail\\index.ini", "loc\\mail\\store\\2010\\12\\01\\1.mbs",
                                            "mail\\accounts.ini", "notes.adr"}));
        writeFile(mail, "damaged");
        run = cli(fx, {"restore", "opera", "--from", fx.saves(), "--archive", "opera.DAT", "--items", "all"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(readFile(mail), original);
    }
}

TEST(BrowserCommands, ProfilesItemsAndRefusals) {
    SelectiveFixture fx("6");
    auto run = cli(fx, {"profiles", "Chrome"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("\nProfile 1\n"), std::string::npos) << run.out;

    run = cli(fx, {"items", "safari"});
    EXPECT_NE(run.out.find("Cache: (nothing)\n"), std::string::npos);
    EXPECT_NE(run.out.find("Feeds: PubSub\\\n"), std::string::npos);

    const struct {
        std::vector<std::string> args;
        const char* error;
    } refusals[] = {
        {{"backup", "firefox", "--to", fx.saves(), "--items", "Bookmarks,Tabs"}, "Unknown item \"Tabs\""},
        {{"backup", "firefox", "--to", fx.saves(), "--profile", "nobody"}, "No Firefox profile \"nobody\""},
        {{"backup", "firefox", "--to", (fx.tmp / "missing").string()}, "does not exist"},
        {{"restore", "chrome", "--from", fx.saves(), "--archive", "none.dat"}, "No backup file \"none.dat\""},
    };
    for (const auto& r : refusals) {
        run = cli(fx, r.args);
        EXPECT_EQ(run.code, 1) << r.error;
        EXPECT_NE(run.err.find(r.error), std::string::npos) << run.err;
    }
    EXPECT_TRUE(snapshot(fx.savesDir()).empty());
}

}  // namespace
}  // namespace kelvora::test
