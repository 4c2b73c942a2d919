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

// Each browser on each version: back up a profile, damage one of its files, restore, and the
// whole machine is as it was.
TEST(BrowserCommands, BackupAndRestoreRoundTrip) {
    struct Case {
        const char* browser;
        const char* profile;
        const char* archive;
        bool local;           // the damaged file lies below the local application-data folder
        const char* damaged;  // below the roaming or local folder (Opera 9 on XP: "profile" inside)
    };
    const Case cases[] = {
        {"firefox", "abcd1234.default", "default.dat", false,
         "Mozilla/Firefox/Profiles/abcd1234.default/places.sqlite"},
        {"flock", "k3j4h5g6.default", "default.dat", false,
         "Flock/Browser/Profiles/k3j4h5g6.default/prefs.js"},
        {"chrome", "Profile 1", "Profile 1.dat", true, "Google/Chrome/User Data/Profile 1/History"},
        {"safari", "Safari", "Safari.dat", false, "Apple Computer/Preferences/com.apple.Safari.plist"},
        {"opera", "Opera", "Opera.dat", true, "Opera/Opera/mail/index.ini"},
    };
    for (const auto& c : cases) {
        for (const char* version : {"5", "6"}) {
            SCOPED_TRACE(std::string(c.browser) + " on version " + version);
            SelectiveFixture fx(version);
            const auto before = snapshot(fx.machine.root);

            auto run = cli(fx, {"backup", c.browser, "--to", fx.saves(), "--profile", c.profile});
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_FALSE(fx.entries(c.archive).empty());
            writeFile((c.local ? fx.machine.local() : fx.machine.roaming()) / c.damaged, "damaged");

            run = cli(fx, {"restore", c.browser, "--from", fx.saves(), "--archive", c.archive, "--profile",
                           c.profile});
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_TRUE(snapshot(fx.machine.root) == before);
        }
    }
}

TEST(BrowserCommands, ChosenItemsByCaption) {
    SelectiveFixture fx("5");
    const auto run = cli(fx, {"backup", "opera", "--to", fx.saves(), "--items", "mail and feeds, Notes"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(fx.entries("Opera.dat"),
              (std::vector<std::string>{"loc\\mail\\index.ini", "loc\\mail\\store\\2010\\12\\01\\1.mbs",
                                        "mail\\accounts.ini", "notes.adr"}));
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
