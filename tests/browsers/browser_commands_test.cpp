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

// Today's browsers from the command line: the profile list with the browsers' own names, and a
// backup of every item restored over stale files brings each back; Chromium browsers say what of
// theirs stays readable only for the same user.
TEST(BrowserCommands, TodaysBrowsersRoundTrip) {
    SelectiveFixture fx("6", true);
    auto run = cli(fx, {"profiles", "edge"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("\nDefault (Person 1) (default)\nProfile 1 (Work)\n"), std::string::npos)
        << run.out;
    run = cli(fx, {"profiles", "firefox"});
    EXPECT_NE(run.out.find("q1w2e3r4.default-release (default)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Profile in C:\\Users\\ann\\Documents\\FirefoxPortable\\Profile\n"),
              std::string::npos)
        << run.out;

    const struct {
        const char* browser;
        const char* profile;
        const char* archive;
        const char* file;  // below the local or roaming folder
        bool local;
    } cases[] = {
        {"firefox", "", "default-release.dat",
         "Mozilla/Firefox/Profiles/q1w2e3r4.default-release/logins.json", false},
        {"edge", "Profile 1", "Profile 1.dat", "Microsoft/Edge/User Data/Profile 1/Network/Cookies", true},
        {"opera-chromium", "", "Opera Stable.dat",
         "Opera Software/Opera Stable/Sessions/Tabs_13300000000000000", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser);
        const fs::path file = (c.local ? fx.machine.local() : fx.machine.roaming()) / c.file;
        const std::string before = readFile(file);
        std::vector<std::string> profile;
        if (*c.profile)
            profile = {"--profile", c.profile};
        auto args = std::vector<std::string>{"backup", c.browser, "--to", fx.saves()};
        args.insert(args.end(), profile.begin(), profile.end());
        run = cli(fx, args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out.find("Note: ") != std::string::npos, std::string(c.browser) != "firefox")
            << run.out;
        writeFile(file, "stale");
        args = {"restore", c.browser, "--from", fx.saves(), "--archive", c.archive};
        args.insert(args.end(), profile.begin(), profile.end());
        run = cli(fx, args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(readFile(file), before);
    }
}

// The committed profiles of the real browsers, from the command line: found with their defaults,
// backed up, and restored over stale files.
TEST(BrowserCommands, RealProfilesRoundTrip) {
    const struct {
        const char* browser;
        const char* fixture;
        const char* below;
        bool local;
        const char* shown;  // the default's line in 'profiles'
        const char* archive;
        const char* file;  // in the default profile
    } cases[] = {
        {"firefox", "firefox", "Mozilla/Firefox", false, "7zbmtyxw.default-esr (default)\n",
         "default-esr.dat", "7zbmtyxw.default-esr/logins.json"},
        {"chromium", "chromium/User Data", "Chromium/User Data", true, "Default (Person 1) (default)\n",
         "Default.dat", "Default/Bookmarks"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser);
        SelectiveFixture fx("6");
        const fs::path root = (c.local ? fx.machine.local() : fx.machine.roaming()) / c.below;
        fs::remove_all(root);
        fs::create_directories(root);
        fs::copy(fs::path(KELVORA_REAL_PROFILES) / c.fixture, root, fs::copy_options::recursive);
        auto run = cli(fx, {"profiles", c.browser});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;

        const std::string before = readFile(root / c.file);
        run = cli(fx, {"backup", c.browser, "--to", fx.saves()});
        ASSERT_EQ(run.code, 0) << run.err;
        writeFile(root / c.file, "stale");
        run = cli(fx, {"restore", c.browser, "--from", fx.saves(), "--archive", c.archive});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_TRUE(readFile(root / c.file) == before);
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
        int code;
        const char* error;
    } refusals[] = {
        {{"backup", "firefox", "--to", fx.saves(), "--items", "Bookmarks,Tabs"}, 2, "Unknown item \"Tabs\""},
        {{"backup", "firefox", "--to", fx.saves(), "--items", ""}, 2, "Bookmarks"},
        {{"backup", "firefox", "--to", fx.saves(), "--items", ","}, 2, "Bookmarks"},
        {{"backup", "firefox", "--to", fx.saves(), "--profile", "nobody"},
         1,
         "No Firefox profile \"nobody\""},
        {{"backup", "firefox", "--to", (fx.tmp / "missing").string()}, 1, "does not exist"},
        {{"backup", "firefox", "--to", fx.saves(), "--profile-dir", (fx.tmp / "missing").string()},
         4,
         "does not exist"},
        {{"backup", "ie", "--to", fx.saves(), "--profile-dir", fx.saves()}, 2, "do not apply to ie"},
        {{"profiles", "ie"}, 2, "ie"},
        {{"restore", "chrome", "--from", fx.saves(), "--archive", "none.dat"},
         1,
         "No backup file \"none.dat\""},
    };
    for (const auto& r : refusals) {
        run = cli(fx, r.args);
        EXPECT_EQ(run.code, r.code) << r.error;
        EXPECT_NE(run.err.find(r.error), std::string::npos) << run.err;
    }
    EXPECT_TRUE(snapshot(fx.savesDir()).empty());
}

// Every run says what it did: an archive is never replaced unasked, a restore that matched nothing
// and a backup that found nothing are "nothing done" (4), never "done" (0).
TEST(BrowserCommands, NothingDoneIsNeverReportedAsDone) {
    SelectiveFixture fx("6");
    auto run = cli(fx, {"backup", "chrome", "--to", fx.saves(), "--profile", "Default"});
    ASSERT_EQ(run.code, 0) << run.err;
    run = cli(fx, {"full-backup", "firefox", "--to", fx.saves()});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string chromeArchive = readFile(fx.savesDir() / "Default.dat");

    const struct {
        const char* name;
        std::vector<std::string> args;
        int code;
        const char* said;
    } cases[] = {
        {"an archive already there",
         {"backup", "chrome", "--to", fx.saves(), "--profile", "Default", "--items", "Bookmarks"},
         4,
         "Give --overwrite to replace it."},
        {"an empty item list over an archive",
         {"backup", "chrome", "--to", fx.saves(), "--profile", "Default", "--items", "none", "--overwrite"},
         4,
         "no backup was written"},
        {"Chrome's archive into Firefox",
         {"restore", "firefox", "--from", fx.saves(), "--archive", "Default.dat"},
         4,
         "holds no Firefox items"},
        {"a full backup into a selective restore",
         {"restore", "firefox", "--from", fx.saves(), "--archive", "allsave_firefox.dat"},
         4,
         "holds no Firefox items"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run = cli(fx, c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Restored"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Backed up"), std::string::npos) << run.out;
        EXPECT_EQ(readFile(fx.savesDir() / "Default.dat"), chromeArchive);
    }

    run = cli(fx, {"backup", "chrome", "--to", fx.saves(), "--profile", "Default", "--items", "Bookmarks",
                   "--overwrite"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(fx.entries("Default.dat"), std::vector<std::string>{"Bookmarks"});
}

// Without --profile the browser's own default is taken, never the first folder found.
TEST(BrowserCommands, TheDefaultProfile) {
    SelectiveFixture fx("6");
    const fs::path ini = fx.machine.roaming() / "Mozilla/Firefox/profiles.ini";
    const auto backUpDefault = [&] {
        fs::remove_all(fx.savesDir());
        fs::create_directories(fx.savesDir());
        return cli(fx, {"backup", "firefox", "--to", fx.saves(), "--items", "Preferences"});
    };
    const struct {
        const char* name;
        const char* ini;
        int code;
        const char* archive;
    } cases[] = {
        {"the profile marked Default=1",
         "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=work\nIsRelative=1\nPath=Profiles/"
         "wxyz5678.work\n\n[Profile1]\nName=default\nIsRelative=1\nPath=Profiles/"
         "abcd1234.default\nDefault=1\n",
         0, "default.dat"},
        {"the install section's default",
         "[Install308046B0AF4A39CB]\nDefault=Profiles/wxyz5678.work\n\n[Profile0]\nName=default\nIsRelative="
         "1\nPath=Profiles/abcd1234.default\nDefault=1\n\n[Profile1]\nName=work\nIsRelative=1\nPath=Profiles/"
         "wxyz5678.work\n",
         0, "work.dat"},
        {"none marked",
         "[Profile0]\nPath=Profiles/abcd1234.default\n\n[Profile1]\nPath=Profiles/wxyz5678.work\n", 2,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(ini, c.ini);
        const auto run = backUpDefault();
        EXPECT_EQ(run.code, c.code) << run.err;
        if (c.archive)
            EXPECT_TRUE(fs::exists(fx.savesDir() / c.archive)) << run.out << run.err;
        else
            EXPECT_NE(run.err.find("--profile"), std::string::npos) << run.err;
    }
}

// A marker file in the working folder is no part of the machine seen as a folder.
TEST(BrowserCommands, AMarkerInTheWorkingFolderIsIgnored) {
    SelectiveFixture fx("6");
    const fs::path here = fs::current_path();
    writeFile(fx.tmp / "cwd/profiles.ini", "[Profile0]\nPath=x\n");
    writeFile(fx.tmp / "cwd/Bookmarks", "{}");
    fs::current_path(fx.tmp / "cwd");
    const auto firefox = cli(fx, {"profiles", "firefox"});
    const auto chrome = cli(fx, {"profiles", "chrome"});
    fs::current_path(here);
    EXPECT_EQ(firefox.code, 0) << firefox.err;
    EXPECT_NE(firefox.out.find("abcd1234.default"), std::string::npos) << firefox.out;
    EXPECT_EQ(chrome.code, 0) << chrome.err;
    EXPECT_NE(chrome.out.find("Profile 1"), std::string::npos) << chrome.out;
}

}  // namespace
}  // namespace kelvora::test
