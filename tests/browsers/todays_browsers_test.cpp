// Today's browsers on today's layouts of the sample machine: discovery finds their profiles and
// defaults, and a selective backup of every item restored into a second machine brings back every
// file the items name, byte for byte.
#include <gtest/gtest.h>

#include <set>

#include "browsers/selective.h"
#include "selective_fixture.h"
#include "support/database_content.h"

namespace kelvora::test {
namespace {

using browsers::Task;

// Every file below the native folder `dir` that a row of `browser` names, relative to the folder
// the row reads from ("/" separators). Empty files are left out: the archive keeps no empty file.
std::set<std::string> itemFiles(const browsers::Browser& browser, browsers::ItemPlace place,
                                const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& row : browser.backupItems) {
        if (row.place != place)
            continue;
        for (std::string file : row.files) {
            std::replace(file.begin(), file.end(), '\\', '/');
            for (const std::string& name : {file, file + "-wal"}) {
                if (fs::is_regular_file(dir / name) && fs::file_size(dir / name) > 0)
                    out.insert(name);
            }
        }
        for (std::string folder : row.folders) {
            std::replace(folder.begin(), folder.end(), '\\', '/');
            for (const auto& [name, contents] : snapshot(dir / folder)) {
                if (!contents.empty())
                    out.insert(folder + "/" + name);
            }
        }
    }
    return out;
}

fs::path native(const std::string& path) {
    return platform::nativePath(path);
}

TEST(TodaysBrowsers, DiscoveryFindsProfilesNamesAndDefaults) {
    struct Case {
        const char* keyword;
        std::vector<std::string> profiles;  // in list order
        std::vector<std::string> labels;
        const char* byDefault;
    };
    const std::vector<std::string> chromium = {"Default", "Profile 1"};
    const std::vector<std::string> chromiumLabels = {"Default (Person 1)", "Profile 1 (Work)"};
    const Case cases[] = {
        // The install section's default wins over the old "Default=1"; a profile kept outside the
        // Firefox folder (IsRelative=0) is listed too.
        {"firefox",
         {"q1w2e3r4.default-release", "z9x8c7v6.default", "Profile"},
         {"q1w2e3r4.default-release", "z9x8c7v6.default", "Profile"},
         "q1w2e3r4.default-release"},
        {"flock", {"k3j4h5g6.default"}, {"k3j4h5g6.default"}, "k3j4h5g6.default"},
        // "Crashpad" and "CertificateRevocation" hold no "Preferences": they are no profiles.
        {"chrome", chromium, chromiumLabels, "Default"},
        {"edge", chromium, chromiumLabels, "Default"},
        {"brave", chromium, chromiumLabels, "Default"},
        {"vivaldi", chromium, chromiumLabels, "Default"},
        {"chromium", chromium, chromiumLabels, "Default"},
        // Opera of today keeps its one profile in its data folder itself.
        {"opera-chromium", {"Opera Stable"}, {"Opera Stable"}, "Opera Stable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        SelectiveFixture fx("6", true);
        const auto& browser = browsers::browser(c.keyword);
        const auto state = fx.discover(browser, Task::Backup);
        EXPECT_TRUE(fx.host.messages.empty());
        auto profiles = state.profiles;
        std::sort(profiles.begin(), profiles.end());
        EXPECT_EQ(profiles, sorted(c.profiles));
        for (std::size_t i = 0; i < state.profiles.size(); ++i) {
            const auto at =
                std::find(c.profiles.begin(), c.profiles.end(), state.profiles[i]) - c.profiles.begin();
            EXPECT_EQ(state.profileLabels[i], c.labels.at(static_cast<std::size_t>(at)));
        }
        const int marked = browsers::defaultProfileIndex(browser, state);
        ASSERT_GE(marked, 0);
        EXPECT_EQ(state.profiles[static_cast<std::size_t>(marked)], c.byDefault);
    }
}

// Backs up every item of each profile on one machine and restores it into a second machine whose
// item files are all stale: afterwards each file the items name is the first machine's, byte for
// byte, "Local State" included, and nothing else of the profile changed.
TEST(TodaysBrowsers, EveryItemRoundTripsIntoASecondMachine) {
    struct Case {
        const char* keyword;
        const char* profile;
        const char* archive;
    };
    const Case cases[] = {
        {"firefox", "q1w2e3r4.default-release", "default-release.dat"},
        {"firefox", "Profile", "Profile.dat"},
        {"flock", "k3j4h5g6.default", "default.dat"},
        {"chrome", "Profile 1", "Profile 1.dat"},
        {"edge", "Default", "Default.dat"},
        {"brave", "Default", "Default.dat"},
        {"vivaldi", "Profile 1", "Profile 1.dat"},
        {"chromium", "Default", "Default.dat"},
        {"opera-chromium", "Opera Stable", "Opera Stable.dat"},
    };
    for (const auto& c : cases) {
        for (const char* version : {"5", "6"}) {
            SCOPED_TRACE(std::string(c.keyword) + " " + c.profile + " on version " + version);
            const auto& browser = browsers::browser(c.keyword);
            SelectiveFixture from(version, true);
            const auto backup = from.backUp(browser, c.profile);
            ASSERT_EQ(from.result.outcome(), Outcome::Done) << from.result.message();
            EXPECT_TRUE(from.result.leftOut.empty());
            const fs::path source = native(backup.profileFolder);
            const auto wanted = itemFiles(browser, browsers::ItemPlace::Profile, source);
            ASSERT_GT(wanted.size(), 10u);

            SelectiveFixture to(version, true);
            fs::copy_file(from.savesDir() / c.archive, to.savesDir() / c.archive);
            auto state = to.restoreWindow(browser, c.archive);
            SelectiveFixture::choose(state, c.profile);
            // The second machine's own item files are stale; an item file it lacks is made.
            const auto chosen = static_cast<std::size_t>(state.profileIndex);
            const fs::path target = native(state.profileFolders[chosen]);
            for (const auto& name : wanted) {
                if (fs::exists(target / name))
                    writeFile(target / name, "stale");
            }
            fs::remove(target / *wanted.begin());
            const auto untouchedBefore = snapshot(target);

            const auto result = browsers::runSelectiveRestore(browser, state, to.host);
            ASSERT_EQ(result.outcome(), Outcome::Done) << result.message();
            EXPECT_TRUE(result.leftOut.empty());
            // A database comes back with what waited in its -wal file, and no stale log beside it.
            for (const auto& name : wanted) {
                if (isDatabaseCompanion(source, name))
                    EXPECT_FALSE(fs::exists(target / name)) << name;
                else
                    EXPECT_EQ(comparableContent(target / name), comparableContent(source / name)) << name;
            }
            for (const auto& [name, contents] : snapshot(target)) {
                if (!wanted.count(name)) {
                    EXPECT_EQ(contents, untouchedBefore.at(name)) << name;
                }
            }
            if (browser.listRule == browsers::ProfileListRule::ChromiumProfiles) {
                EXPECT_EQ(readFile(native(state.preferencesRoot) / "Local State"),
                          readFile(native(backup.preferencesRoot) / "Local State"));
            }
        }
    }
}

#ifdef KELVORA_REAL_PROFILES
// Profiles written by the real browsers (Debian's Firefox ESR and Chromium, run once headless; see
// the fixture's README), placed where Windows keeps them on two sample machines.
struct RealProfileCase {
    const char* keyword;
    const char* fixture;  // below the fixture folder
    const char* below;    // where it goes below the machine's roaming or local folder
    bool local;
    std::vector<std::string> profiles;
    const char* byDefault;
    const char* label;  // how the list shows the default
};

const RealProfileCase kRealProfiles[] = {
    // Firefox on Linux keeps its profiles beside profiles.ini; the install section names the one
    // in use while an older "Default=1" marks another. "Profile Groups" is no profile.
    {"firefox",
     "firefox",
     "Mozilla/Firefox",
     false,
     {"7zbmtyxw.default-esr", "tdzdtm7n.default"},
     "7zbmtyxw.default-esr",
     "7zbmtyxw.default-esr"},
    // "segmentation_platform" holds no Preferences: it is no profile.
    {"chromium",
     "chromium/User Data",
     "Chromium/User Data",
     true,
     {"Default", "Profile 1"},
     "Default",
     "Default (Person 1)"},
};

fs::path placeRealProfile(const SelectiveFixture& fx, const RealProfileCase& c) {
    const fs::path target = (c.local ? fx.machine.local() : fx.machine.roaming()) / c.below;
    fs::remove_all(target);
    fs::create_directories(target);
    fs::copy(fs::path(KELVORA_REAL_PROFILES) / c.fixture, target, fs::copy_options::recursive);
    return target;
}

TEST(RealProfiles, DiscoveryBackupAndRestoreIntoASecondMachine) {
    for (const auto& c : kRealProfiles) {
        SCOPED_TRACE(c.keyword);
        const auto& browser = browsers::browser(c.keyword);
        SelectiveFixture from("6");
        placeRealProfile(from, c);
        auto state = from.discover(browser, Task::Backup);
        EXPECT_TRUE(from.host.messages.empty());
        EXPECT_EQ(sorted(state.profiles), sorted(c.profiles));
        ASSERT_GE(state.profileIndex, 0);
        const auto index = static_cast<std::size_t>(state.profileIndex);
        EXPECT_EQ(state.profiles[index], c.byDefault);
        EXPECT_EQ(state.profileLabels[index], c.label);
        EXPECT_EQ(browsers::defaultProfileIndex(browser, state), state.profileIndex);

        state.backupLocationText = from.saves();
        const auto backup = browsers::runSelectiveBackup(browser, state, from.host);
        ASSERT_EQ(backup.outcome(), Outcome::Done) << backup.message();
        EXPECT_TRUE(backup.leftOut.empty());
        const fs::path source = native(state.profileFolder);
        const auto wanted = itemFiles(browser, browsers::ItemPlace::Profile, source);
        ASSERT_GT(wanted.size(), 8u);

        SelectiveFixture to("5");
        placeRealProfile(to, c);
        const std::string archive = fs::path(native(state.archivePath)).filename().string();
        fs::copy_file(from.savesDir() / archive, to.savesDir() / archive);
        auto restore = to.restoreWindow(browser, archive);
        SelectiveFixture::choose(restore, c.byDefault);
        const fs::path target =
            native(restore.profileFolders[static_cast<std::size_t>(restore.profileIndex)]);
        for (const auto& name : wanted)
            writeFile(target / name, "stale");
        const auto result = browsers::runSelectiveRestore(browser, restore, to.host);
        ASSERT_EQ(result.outcome(), Outcome::Done) << result.message();
        EXPECT_TRUE(result.leftOut.empty());
        for (const auto& name : wanted) {
            if (isDatabaseCompanion(source, name))
                EXPECT_FALSE(fs::exists(target / name)) << name;
            else
                EXPECT_TRUE(comparableContent(target / name) == comparableContent(source / name)) << name;
        }
    }
}
#endif

}  // namespace
}  // namespace kelvora::test
