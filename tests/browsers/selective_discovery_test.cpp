// Profile discovery of the five selective wizards on Windows 5, 6 and later, and on a version the
// system could not tell.
#include <gtest/gtest.h>
#include <map>

#include "selective_fixture.h"

namespace kelvora::test {
namespace {

using browsers::Task;

struct DiscoveryCase {
    const browsers::Browser& (*browser)();
    const char* tree;     // the sample machine's layout: "5" or "6"
    const char* version;  // the version the facts report
    std::size_t hit;      // index of the candidate that holds the marker
    std::vector<std::string> profiles;
};

const char* const kXpRoaming = "\\Documents and Settings\\ann\\Application Data";
const char* const kXpLocal = "\\Documents and Settings\\ann\\Local Settings\\Application Data";
const char* const kVistaRoaming = "\\Users\\ann\\AppData\\Roaming";
const char* const kVistaLocal = "\\Users\\ann\\AppData\\Local";

std::string join(const char* a, const char* b) {
    return std::string(a) + b;
}

TEST(SelectiveDiscovery, FindsTheProfileRootAndListsProfiles) {
    const std::string ff = "\\Mozilla\\Firefox\\";
    const std::string fl = "\\Flock\\Browser\\";
    const std::string ch = "\\Google\\Chrome\\User Data\\";
    const std::string sa = "\\Apple Computer\\";
    const std::string op = "\\Opera\\";
    const std::vector<std::string> ffProfiles = {"abcd1234.default", "wxyz5678.work"};
    const std::vector<std::string> flProfiles = {"k3j4h5g6.default", "p9q8r7s6.social"};
    const std::vector<std::string> chProfiles = {"Default", "Profile 1"};
    const DiscoveryCase cases[] = {
        {browsers::firefox, "6", "6", 0, ffProfiles},
        {browsers::firefox, "5", "5", 0, ffProfiles},
        {browsers::firefox, "5", "", 2, ffProfiles},  // no roaming candidate: the third
        {browsers::flock, "6", "6", 0, flProfiles},
        {browsers::flock, "5", "5", 0, flProfiles},
        {browsers::flock, "5", "", 2, flProfiles},
        {browsers::chrome, "6", "6", 1, chProfiles},  // AppData\Local comes second
        {browsers::chrome, "5", "5", 2, chProfiles},  // Local Settings comes third
        {browsers::chrome, "6", "", 3, chProfiles},   // found by the local folder alone
        {browsers::safari, "6", "6", 0, {"Safari"}},
        {browsers::safari, "5", "5", 0, {"Safari"}},
        {browsers::safari, "5", "", 1, {"Safari"}},  // Application Data comes second
        {browsers::opera, "6", "6", 0, {"Opera"}},   // flat layout, found directly
        {browsers::opera, "5", "5", 2, {"Opera"}},   // "profile" layout
        {browsers::opera, "5", "", 2, {"Opera"}},
        // Windows 8 to 11 keep the folders of Vista and 7 and report "6" or "10".
        {browsers::firefox, "6", "10", 0, ffProfiles},
        {browsers::flock, "6", "10", 0, flProfiles},
        {browsers::chrome, "6", "10", 1, chProfiles},
        {browsers::safari, "6", "10", 0, {"Safari"}},
        {browsers::opera, "6", "10", 0, {"Opera"}},
        {browsers::firefox, "6", "11", 0, ffProfiles},
    };
    for (const auto& c : cases) {
        const auto& browser = c.browser();
        SCOPED_TRACE(browser.name + " on a version " + c.tree + " machine reporting " + c.version);
        SelectiveFixture fx(c.tree);
        fx.facts.windoze = c.version;
        const auto state = fx.discover(browser, Task::Backup);
        const std::string& roaming = fx.facts.sfp;
        const std::string& local = fx.facts.loc;

        const std::map<std::string, std::string> roots = {{"firefox", roaming + ff},
                                                          {"flock", roaming + fl},
                                                          {"chrome", local + ch},
                                                          {"safari", roaming + sa},
                                                          {"opera", roaming + op}};
        const std::string root = roots.at(browser.keyword);
        EXPECT_TRUE(fx.host.messages.empty());
        // Chrome is found by today's "Local State" first; its 2010 way's four candidates follow.
        ASSERT_EQ(state.candidates.size(), browser.keyword == "opera"    ? 6u
                                           : browser.keyword == "chrome" ? 8u
                                                                         : 4u);
        EXPECT_EQ(state.markerFound, state.candidates[c.hit] + "\\" + browser.discovery.front().marker);
        EXPECT_EQ(state.profileFolder, root);
        EXPECT_EQ(sorted(state.profiles), c.profiles);
        // The list starts at the profile the browser starts with (profiles.ini's mark, Chrome's
        // "Default"), else at the first.
        EXPECT_EQ(state.profileIndex, std::max(0, browsers::defaultProfileIndex(browser, state)));
        if (browser.keyword == "firefox") {
            EXPECT_EQ(state.profiles.at(static_cast<std::size_t>(state.profileIndex)), "abcd1234.default");
        }
        EXPECT_TRUE(state.focusOnNext);
        EXPECT_EQ(state.title, browser.backupTitle);
        if (browser.keyword == "safari" || browser.keyword == "chrome") {
            EXPECT_EQ(state.preferencesRoot, root);
        }
        if (browser.keyword == "firefox" || browser.keyword == "flock") {
            EXPECT_EQ(state.profileFolders.front().substr(0, root.size() + 9), root + "Profiles\\");
        }
    }
}

// The candidate folders per version: the order differs between browsers, every version from "6" on
// takes the Users folders, and a version that is neither (here: one the system could not tell)
// leaves the first candidate as it was.
TEST(SelectiveDiscovery, CandidateFoldersFollowTheVersion) {
    browsers::EnvironmentFacts f{"ann", "C:", "R", "L", "6"};
    const std::string xpR = join("C:", kXpRoaming), xpL = join("C:", kXpLocal);
    const std::string viR = join("C:", kVistaRoaming), viL = join("C:", kVistaLocal);

    const std::string ff = "\\Mozilla\\Firefox";
    EXPECT_EQ(candidateFolders(browsers::firefox(), f),
              (std::vector<std::string>{"R" + ff, viL + ff, viR + ff, "L" + ff}));
    f.windoze = "5";
    EXPECT_EQ(candidateFolders(browsers::firefox(), f),
              (std::vector<std::string>{"R" + ff, xpL + ff, xpR + ff, "L" + ff}));
    for (const char* later : {"7", "10", "11"}) {
        f.windoze = later;
        EXPECT_EQ(candidateFolders(browsers::firefox(), f),
                  (std::vector<std::string>{"R" + ff, viL + ff, viR + ff, "L" + ff}))
            << later;
    }
    f.windoze = "";
    EXPECT_EQ(candidateFolders(browsers::firefox(), f),
              (std::vector<std::string>{"", xpL + ff, xpR + ff, "L" + ff}));
    EXPECT_EQ(candidateFolders(browsers::firefox(), f, {"kept", "x", "y", "z"})[0], "kept");

    const std::string sa = "\\Apple Computer\\Safari";
    f.windoze = "5";
    EXPECT_EQ(candidateFolders(browsers::safari(), f),
              (std::vector<std::string>{"R" + sa, xpR + sa, xpL + sa, "L" + sa}));
    f.windoze = "6";
    // Chrome: today's User Data folders, then those of 2010's default profile.
    EXPECT_EQ(candidateFolders(browsers::chrome(), f)[1], viL + "\\Google\\Chrome\\User Data");
    EXPECT_EQ(candidateFolders(browsers::chrome(), f)[5], viL + "\\Google\\Chrome\\User Data\\Default");

    const std::string oo = "\\Opera\\Opera";
    EXPECT_EQ(candidateFolders(browsers::opera(), f),
              (std::vector<std::string>{"R" + oo, viL + oo, "R" + oo + "\\profile", viL + oo + "\\profile",
                                        viR + oo + "\\profile", "L" + oo + "\\profile"}));
    f.windoze = "5";
    EXPECT_EQ(candidateFolders(browsers::opera(), f),
              (std::vector<std::string>{"R" + oo, xpR + oo, "R" + oo + "\\profile", xpR + oo + "\\profile",
                                        xpL + oo + "\\profile", "L" + oo + "\\profile"}));
}

TEST(SelectiveDiscovery, NothingFoundShowsTheMessageAndKeepsTheList) {
    SelectiveFixture fx("6");
    fx.facts.windoze = "";  // Firefox lives in the roaming folder, which an unknown version doesn't search
    auto state = browsers::makeSelectiveState(browsers::firefox(), Task::Restore);
    state.profiles = {"left over"};
    state.profileIndex = 0;
    browsers::discoverProfiles(browsers::firefox(), state, fx.host, fx.facts);
    EXPECT_EQ(fx.host.messages, std::vector<std::string>{"Settings Files Not Found. Select Custom Profile."});
    EXPECT_EQ(state.profiles, std::vector<std::string>{"left over"});
    EXPECT_TRUE(state.markerFound.empty());
    EXPECT_FALSE(state.focusOnNext);
    EXPECT_EQ(state.title, "Welcome to Firefox Restore Wizard");
}

TEST(SelectiveDiscovery, EveryActivationAppendsTheProfilesAgain) {
    SelectiveFixture fx("6");
    auto state = fx.discover(browsers::chrome(), Task::Backup);
    state.finishVisible = true;
    state.title.clear();
    browsers::discoverProfiles(browsers::chrome(), state, fx.host, fx.facts);
    EXPECT_EQ(sorted(state.profiles),
              (std::vector<std::string>{"Default", "Default", "Profile 1", "Profile 1"}));
    EXPECT_FALSE(state.finishVisible);
    EXPECT_EQ(state.title, "Welcome to Chrome Backup Wizard");
}

TEST(SelectiveDiscovery, SafariLeavesOutThePreferencesFolderOnly) {
    SelectiveFixture fx("6");
    fs::create_directories(fx.machine.roaming() / "Apple Computer/Logs");
    const auto state = fx.discover(browsers::safari(), Task::Backup);
    EXPECT_EQ(sorted(state.profiles), (std::vector<std::string>{"Logs", "Safari"}));
}

TEST(SelectiveDiscovery, OperaLayoutTestLooksAtTheOperaFolderOnly) {
    SelectiveFixture fx("5");  // Opera keeps its data in Opera\profile
    fs::create_directories(fx.machine.roaming() / "Opera/Opera 10");
    auto state = fx.discover(browsers::opera(), Task::Backup);
    SelectiveFixture::choose(state, "Opera 10");
    SelectiveFixture::tickOnly(state, {});
    state.backupLocationText = fx.saves();
    browsers::runSelectiveBackup(browsers::opera(), state, fx.host);
    EXPECT_EQ(state.profileFolder, fx.facts.sfp + "\\Opera\\Opera 10\\profile\\");
}

TEST(SelectiveWindow, NewStateAndTickBoxHandlers) {
    auto state = browsers::makeSelectiveState(browsers::chrome(), Task::Restore);
    EXPECT_EQ(state.caption, "Restore Chrome Web Browser");
    EXPECT_EQ(state.backupLocationText, "Backup location:");
    EXPECT_EQ(state.customProfileText, "Custom profile location (optional):");
    ASSERT_EQ(state.tickBoxes.size(), 17u);
    EXPECT_EQ(state.tickBoxes[1].caption, "Cache");
    EXPECT_FALSE(state.tickBoxes[1].enabled);
    browsers::selectAll(state, false);
    EXPECT_FALSE(state.isTicked("Cache"));
    browsers::selectAll(state, true);
    EXPECT_TRUE(state.isTicked("Cache"));

    state.profiles = {"Default"};
    state.profileIndex = 0;
    browsers::customProfileChanged(state);
    EXPECT_TRUE(state.profiles.empty());
    EXPECT_FALSE(state.profileListEnabled);

    const std::size_t boxes[] = {16, 17, 17, 10, 17};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(browsers::allBrowsers()[i]->tickBoxes.size(), boxes[i]);
}

}  // namespace
}  // namespace kelvora::test
