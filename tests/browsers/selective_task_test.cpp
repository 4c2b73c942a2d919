// Selective backup and restore of the five browsers against the sample machine.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/core.h"
#include "core/error.h"
#include "core/result.h"
#include "selective_fixture.h"

namespace kelvora::test {
namespace {

using browsers::Task;
using Names = std::vector<std::string>;

const Names kFirefoxAll = {
    "addons.sqlite",
    "adblockplus\\patterns.ini",
    "bookmarks.html",
    "chrome\\userChrome.css",
    "chrome\\userContent.css",
    "content-prefs.sqlite",
    "cookies.sqlite",
    "downloads.sqlite",
    "extensions.ini",
    "extensions\\{972ce4c6-7e08-4474-a285-3208198ce6fd}\\install.rdf",
    "extensions\\{d10d0bf8-f5b5-c8b4-a8b2-2b9879e08c5d}\\chrome.manifest",
    "formhistory.sqlite",
    "hostperm.1",
    "key3.db",
    "lightweighttheme-footer",
    "lightweighttheme-header",
    "localstore.rdf",
    "mimeTypes.rdf",
    "permissions.sqlite",
    "persdict.dat",
    "places.sqlite",
    "prefs.js",
    "search.rdf",
    "search.sqlite",
    "searchplugins\\example-search.xml",
    "sessionstore.js",
    "signons.sqlite",
    "stylish.sqlite",
    "user.js",
};

const Names kFlockAll = {
    "bookmarks.html",
    "chrome\\userChrome.css",
    "chrome\\userContent.css",
    "content-prefs.sqlite",
    "cookies.sqlite",
    "downloads.sqlite",
    "extensions.ini",
    "extensions\\{972ce4c6-7e08-4474-a285-3208198ce6fd}\\install.rdf",
    "extensions\\{d10d0bf8-f5b5-c8b4-a8b2-2b9879e08c5d}\\chrome.manifest",
    "feedcontent.sqlite",
    "flock-data.sqlite",
    "formhistory.sqlite",
    "hostperm.1",
    "key3.db",
    "localstore.rdf",
    "mimeTypes.rdf",
    "permissions.sqlite",
    "persdict.dat",
    "places.sqlite",
    "prefs.js",
    "search.rdf",
    "search.sqlite",
    "searchplugins\\example-search.xml",
    "sessionstore.js",
    "signons.sqlite",
    "user.js",
    "webdetective.sqlite",
};

// The journals are empty, so the archive leaves them out.
const Names kChromeAll = {
    "Archived History",
    "Bookmarks",
    "Cookies",
    "Current Session",
    "Current Tabs",
    "Extension Cookies",
    "Extensions\\aapocclcgogkmnckokdopfmhonfmgoek\\0.0.0.7_0\\manifest.json",
    "History",
    "Last Session",
    "Last Tabs",
    "Local State",  // from User Data, with the preferences
    "Login Data",
    "Plugin Data\\Google Gears\\localhost\\http_80\\permissions.db",
    "Preferences",
    "QuotaManager",
    "Thumbnails",
    "Top Sites",
    "TransportSecurity",
    "Visited Links",
    "Web Data",
};

const Names kSafariAll = {
    "Bookmarks.plist",
    "Cookies\\Cookies.plist",
    "Downloads.plist",
    "Form Values.plist",
    "History.plist",
    "LastSession.plist",
    "Preferences\\com.apple.Safari.plist",
    "PubSub\\Database\\Database.sqlite3",
    "TopSites.plist",
};

const Names kOperaAll = {
    "bookmarks.adr",
    "contacts.adr",
    "cookies4.dat",
    "dictionaries\\en.dic",
    "download.dat",
    "global.dat",
    "global_history.dat",
    "keyboard\\standard_keyboard.ini",
    "loc\\mail\\index.ini",
    "loc\\mail\\store\\2010\\12\\01\\1.mbs",
    "mail\\accounts.ini",
    "menu\\standard_menu.ini",
    "mouse\\standard_mouse.ini",
    "notes.adr",
    "opcacrt6.dat",
    "opcert6.dat",
    "opera6.adr",
    "operaprefs.ini",
    "override_downloaded.ini",
    "search.ini",
    "sessions\\autosave.win",
    "skin\\standard_skin.zip",
    "speeddial.ini",
    "tasks.xml",
    "toolbar\\standard_toolbar.ini",
    "typed_history.xml",
    "urlfilter.ini",
    "vlink4.dat",
    "wand.dat",
    "widgets\\widgets.dat",
};

struct BrowserCase {
    const browsers::Browser& (*browser)();
    const char* profile;
    const char* archive;
    const Names* all;
    int backupAll, backupNone, restoreAll;
    Names untouched;  // files in the restored folders that no item carries
};

const BrowserCase kBrowsers[] = {
    {browsers::firefox, "abcd1234.default", "default.dat", &kFirefoxAll, 89, 14, 89, {"cert8.db"}},
    {browsers::flock,
     "k3j4h5g6.default",
     "default.dat",
     &kFlockAll,
     94,
     14,
     94,
     {"addons.sqlite", "adblockplus/patterns.ini", "cert8.db"}},
    {browsers::chrome,
     "Profile 1",
     "Profile 1.dat",
     &kChromeAll,
     84,
     14,
     84,
     {"Cache/data_0"}},  // the databases' journals, damaged, are stale: the restore moves them away
    {browsers::safari, "Safari", "Safari.dat", &kSafariAll, 72, 16, 70, {"WebpageIcons.db"}},
    {browsers::opera, "Opera", "Opera.dat", &kOperaAll, 90, 10, 94, {"cache/dcache4.url"}},
};

const char* const kVersions[] = {"5", "6"};

// A folder the product names ("...\\"), as a native path without a trailing separator.
fs::path nativeFolder(const std::string& windowsPath) {
    fs::path p = platform::nativePath(windowsPath);
    return p.has_filename() ? p : p.parent_path();
}

TEST(SelectiveBackup, AllTickedPacksEveryItemAndLeavesNoStagingFolder) {
    for (const auto& c : kBrowsers) {
        for (const char* version : kVersions) {
            const auto& browser = c.browser();
            SCOPED_TRACE(browser.name + " on version " + version);
            SelectiveFixture fx(version);
            const auto state = fx.backUp(browser, c.profile);
            ASSERT_EQ(fx.result.outcome(), Outcome::Done) << fx.result.message();

            EXPECT_EQ(fx.entries(c.archive), sorted(*c.all));
            EXPECT_EQ(fx.host.positionBeforeSet, c.backupAll);
            EXPECT_EQ(fx.host.calls.front(), "show");
            EXPECT_EQ(fx.host.calls[1], "step:" + std::to_string(browser.backupStartStep));
            EXPECT_EQ(Names(fx.host.calls.end() - 2, fx.host.calls.end()), (Names{"set:100", "hide"}));
            EXPECT_GT(fx.host.repaints, 0);
            EXPECT_TRUE(fx.host.messages.empty());  // missing legacy files are skipped silently
            EXPECT_TRUE(state.finishVisible);
            EXPECT_EQ(state.title, "Finished");
            EXPECT_TRUE(state.profiles.empty());
            EXPECT_EQ(state.profileIndex, -1);
            // Only the archive remains in the backup location.
            EXPECT_EQ(snapshot(fx.savesDir()).size(), 1u);
        }
    }
}

// A backup that found no file writes no archive, and an archive already there stays as it was.
TEST(SelectiveBackup, NothingFoundWritesNoArchive) {
    for (const auto& c : kBrowsers) {
        SCOPED_TRACE(c.browser().name);
        SelectiveFixture fx("6");
        writeFile(fx.savesDir() / c.archive, "an earlier backup");
        fx.host.replaceAnswer = true;
        const Names none;
        fx.backUp(c.browser(), c.profile, &none);
        EXPECT_EQ(fx.result.outcome(), Outcome::NothingDone);
        EXPECT_NE(fx.result.message().find("no backup was written"), std::string::npos)
            << fx.result.message();
        EXPECT_EQ(readFile(fx.savesDir() / c.archive), "an earlier backup");
        EXPECT_EQ(fx.host.position, c.backupNone);
        EXPECT_FALSE(fx.host.progressVisible);
        EXPECT_EQ(snapshot(fx.savesDir()).size(), 1u);
    }
}

TEST(SelectiveBackup, ChosenItemsOnly) {
    struct Case {
        const browsers::Browser& (*browser)();
        const char* profile;
        const char* archive;
        Names ticked;
        Names entries;
        int position;
    };
    const Case cases[] = {
        {browsers::firefox,
         "wxyz5678.work",
         "work.dat",
         {"Bookmarks", "History"},
         {"bookmarks.html", "places.sqlite"},
         24},
        {browsers::firefox,
         "abcd1234.default",
         "default.dat",
         {"User set preferences"},
         {"chrome\\userChrome.css", "chrome\\userContent.css"},
         14},
        {browsers::flock,
         "k3j4h5g6.default",
         "default.dat",
         {"Extensions"},
         {"extensions.ini", "extensions\\{972ce4c6-7e08-4474-a285-3208198ce6fd}\\install.rdf",
          "extensions\\{d10d0bf8-f5b5-c8b4-a8b2-2b9879e08c5d}\\chrome.manifest"},
         19},
        {browsers::chrome,
         "Default",
         "Default.dat",
         {"History", "Preferences", "Last tabs"},
         {"Archived History", "History", "Last Tabs", "Local State", "Preferences", "QuotaManager",
          "TransportSecurity"},
         28},
        {browsers::safari,
         "Safari",
         "Safari.dat",
         {"Cookies", "Preferences", "Downloads"},
         {"Cookies\\Cookies.plist", "Downloads.plist", "Preferences\\com.apple.Safari.plist"},
         32},
        {browsers::opera,
         "Opera",
         "Opera.dat",
         {"Mail and feeds"},
         {"loc\\mail\\index.ini", "loc\\mail\\store\\2010\\12\\01\\1.mbs", "mail\\accounts.ini"},
         15},
        {browsers::opera, "Opera", "Opera.dat", {"Widgets and extensions"}, {"widgets\\widgets.dat"}, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser().name + " " + c.ticked.front());
        SelectiveFixture fx("6");
        fx.backUp(c.browser(), c.profile, &c.ticked);
        EXPECT_EQ(fx.entries(c.archive), c.entries);
        EXPECT_EQ(fx.host.positionBeforeSet, c.position);
    }
}

TEST(SelectiveBackup, CustomProfileFolderNames) {
    struct Case {
        const browsers::Browser& (*browser)();
        const char* archive;
        const char* file;  // a file the custom folder holds
    };
    const Case cases[] = {
        {browsers::firefox, "ff_custom.dat", "prefs.js"},
        {browsers::flock, "ff_custom.dat", "prefs.js"},
        {browsers::chrome, "ch_custom.dat", "Bookmarks"},
        {browsers::safari, "ch_custom.dat", "Bookmarks.plist"},
        {browsers::opera, "op_custom.dat", "wand.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser().name);
        SelectiveFixture fx("6");
        writeFile(fx.tmp / "custom" / c.file, "custom contents");
        // Opera looks for local mail under the custom name.
        writeFile(fx.machine.local() / "Opera/op_custom/mail/index.ini", "custom mail");
        auto state = fx.discover(c.browser(), Task::Backup);
        state.customProfileText = (fx.tmp / "custom").string();
        browsers::customProfileChanged(state);
        state.backupLocationText = fx.saves();
        browsers::runSelectiveBackup(c.browser(), state, fx.host);

        Names expected = {c.file};
        if (c.browser().keyword == "safari")
            expected.push_back(
                "Preferences\\com.apple.Safari.plist");  // still from the Apple Computer folder
        if (c.browser().keyword == "opera")
            expected.push_back("loc\\mail\\index.ini");
        EXPECT_EQ(fx.entries(c.archive), sorted(expected));
        EXPECT_EQ(state.profileFolder, (fx.tmp / "custom").string() + "\\");
    }
}

TEST(SelectiveBackup, FixedMessagesAndTheListError) {
    SelectiveFixture fx("6");
    auto state = fx.discover(browsers::firefox(), Task::Backup);
    auto result = browsers::runSelectiveBackup(browsers::firefox(), state, fx.host);  // location never chosen
    EXPECT_EQ(fx.host.calls, Names{"message:Please Select Backup Location"});
    EXPECT_EQ(result.outcome(), Outcome::NothingDone);

    state.backupLocationText = fx.saves();
    browsers::customProfileChanged(state);
    result = browsers::runSelectiveBackup(browsers::firefox(), state, fx.host);
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_EQ(result.message(), "List index out of bounds (-1)");
    EXPECT_EQ(fx.host.messages.size(), 1u);  // nothing shown, nothing written
    EXPECT_TRUE(snapshot(fx.savesDir()).empty());
}

// A failed archive write leaves no staging folder (it holds copies of passwords and cookies) and
// the earlier archive whole.
TEST(SelectiveBackup, ArchiveErrorLeavesNoStagingFolder) {
    SelectiveFixture fx("6");
    writeFile(fx.savesDir() / "default.dat" / "x", "");  // the archive can't be created
    auto state = fx.discover(browsers::firefox(), Task::Backup);
    SelectiveFixture::choose(state, "abcd1234.default");
    state.backupLocationText = fx.saves();
    const auto result = browsers::runSelectiveBackup(browsers::firefox(), state, fx.host);
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_TRUE(state.profiles.empty());
    EXPECT_EQ(snapshot(fx.savesDir()), (std::map<std::string, std::string>{{"default.dat/x", ""}}));
    EXPECT_FALSE(fx.host.progressVisible);
    EXPECT_FALSE(state.finishVisible);
}

// The staging and extraction folders are Kelvora's own: never a folder of the person's that
// happens to carry the profile's or the archive's name, never the profile itself, never one a
// killed run left behind.
TEST(SelectiveStaging, NeverAnExistingFolder) {
    struct Case {
        const char* name;
        const browsers::Browser& (*browser)();
        const char* profile;
        const char* archive;
        const char* folder;  // the person's folder in the backup location
    };
    const Case cases[] = {
        {"a folder named like the Chrome profile", browsers::chrome, "Default", "Default.dat", "Default"},
        {"a folder named like the Firefox profile", browsers::firefox, "abcd1234.default", "default.dat",
         "default"},
        {"a folder named like the Safari profile", browsers::safari, "Safari", "Safari.dat", "Safari"},
        {"a folder named like the archive", browsers::opera, "Opera", "Opera.dat", "Opera"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SelectiveFixture fx("6");
        writeFile(fx.savesDir() / c.folder / "note.txt", "the person's own");
        fx.backUp(c.browser(), c.profile);
        EXPECT_EQ(fx.result.outcome(), Outcome::Done);
        const Names entries = fx.entries(c.archive);
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "note.txt"), 0);
        EXPECT_EQ(readFile(fx.savesDir() / c.folder / "note.txt"), "the person's own");

        auto state = fx.restoreWindow(c.browser(), c.archive);
        SelectiveFixture::choose(state, c.profile);
        EXPECT_EQ(browsers::runSelectiveRestore(c.browser(), state, fx.host).outcome(), Outcome::Done);
        EXPECT_EQ(readFile(fx.savesDir() / c.folder / "note.txt"), "the person's own");
        EXPECT_EQ(snapshot(fx.savesDir()).size(), 2u);  // the archive and the person's note
    }
}

// Backing up into Chrome's "User Data" folder would make the live profile the staging folder.
TEST(SelectiveStaging, BackupIntoUserDataLeavesTheProfileUntouched) {
    SelectiveFixture fx("6");
    auto state = fx.discover(browsers::chrome(), Task::Backup);
    SelectiveFixture::choose(state, "Default");
    const fs::path userData = fx.machine.local() / "Google/Chrome/User Data";
    const auto before = snapshot(userData / "Default");
    ASSERT_FALSE(before.empty());
    state.backupLocationText = userData.string();
    const auto result = browsers::runSelectiveBackup(browsers::chrome(), state, fx.host);
    EXPECT_EQ(result.outcome(), Outcome::Done) << result.message();
    EXPECT_EQ(snapshot(userData / "Default"), before);
    TZlibMultiple z;
    Names list;
    z.ListStoredFiles((userData / "Default.dat").string(), list);
    EXPECT_EQ(sorted(list), sorted(kChromeAll));

    auto restore = fx.discover(browsers::chrome(), Task::Restore);
    SelectiveFixture::choose(restore, "Default");
    restore.backupLocationText = userData.string();
    browsers::backupLocationChanged(restore);
    restore.backupFileIndex = 0;
    EXPECT_EQ(browsers::runSelectiveRestore(browsers::chrome(), restore, fx.host).outcome(), Outcome::Done);
    EXPECT_EQ(snapshot(userData / "Default"), before);

    // A backup location inside the profile is refused before anything is written.
    state = fx.discover(browsers::chrome(), Task::Backup);
    SelectiveFixture::choose(state, "Default");
    state.backupLocationText = (userData / "Default").string();
    EXPECT_EQ(browsers::runSelectiveBackup(browsers::chrome(), state, fx.host).outcome(), Outcome::Failed);
    EXPECT_EQ(snapshot(userData / "Default"), before);
}

// Once discovery knows where a browser keeps its profiles, that folder and every folder above it
// are never removed or copied over.
TEST(SelectiveStaging, DiscoveryProtectsTheFoldersAboveTheProfiles) {
    ClearProtectedFolders();
    SelectiveFixture fx("6");
    fx.discover(browsers::firefox(), Task::Backup);
    fx.discover(browsers::chrome(), Task::Backup);
    const fs::path firefox = fx.machine.roaming() / "Mozilla/Firefox";
    const fs::path userData = fx.machine.local() / "Google/Chrome/User Data";
    const struct {
        fs::path folder;
        bool kept;
    } cases[] = {
        {firefox / "Profiles", true},  {firefox, true},
        {fx.machine.roaming(), true},  {userData, true},
        {fx.machine.root, true},       {firefox / "Profiles/abcd1234.default/extensions", false},
        {userData / "Default", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.string());
        std::string reason;
        EXPECT_EQ(DelTree(c.folder.string(), &reason), !c.kept) << reason;
        EXPECT_EQ(fs::is_directory(c.folder), c.kept);
    }
    // A folder copy whose target would be the profiles' folder is refused as well.
    writeFile(fx.tmp / "Profiles/x.txt", "x");
    std::string reason;
    EXPECT_FALSE(CopyDir((fx.tmp / "Profiles").string(), firefox.string(), nullptr, &reason));
    EXPECT_NE(reason.find("protected"), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(firefox / "Profiles/x.txt"));
    ClearProtectedFolders();
}

// What a killed run left (a staging folder with a truncated copy, a temporary archive) is removed
// by the next run, and never packed.
TEST(SelectiveStaging, LeftoversOfAKilledRunAreRemovedNotPacked) {
    SelectiveFixture fx("6");
    const fs::path leftover = fx.savesDir() / "~kelvora-0123456789abcdef";
    writeFile(leftover / "places.sqlite", "a truncated piece");
    writeFile(fx.savesDir() / "~kv0123456789abcdef.tmp", "half an archive");
    const Names one = {"Bookmarks"};
    fx.backUp(browsers::firefox(), "abcd1234.default", &one);
    EXPECT_EQ(fx.result.outcome(), Outcome::Done);
    EXPECT_EQ(fx.entries("default.dat"), (Names{"bookmarks.html", "places.sqlite"}));
    const auto places = fx.machine.roaming() / "Mozilla/Firefox/Profiles/abcd1234.default/places.sqlite";
    auto state = fx.restoreWindow(browsers::firefox(), "default.dat");
    SelectiveFixture::choose(state, "abcd1234.default");
    const std::string good = readFile(places);
    EXPECT_EQ(browsers::runSelectiveRestore(browsers::firefox(), state, fx.host).outcome(), Outcome::Done);
    EXPECT_EQ(readFile(places), good);
    Names left;
    for (const auto& entry : fs::directory_iterator(fx.savesDir()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, Names{"default.dat"});
}

// Restores into a profile whose files were all damaged: every carried file comes back
// byte-identical, the files no item carries stay as they are.
TEST(SelectiveRestore, BringsBackByteIdenticalFiles) {
    for (const auto& c : kBrowsers) {
        for (const char* version : kVersions) {
            const auto& browser = c.browser();
            SCOPED_TRACE(browser.name + " on version " + version);
            SelectiveFixture fx(version);
            const auto before = snapshot(fx.machine.root);
            const auto backup = fx.backUp(browser, c.profile);

            // Damage everything the backup read from.
            std::vector<fs::path> damaged = {nativeFolder(backup.profileFolder)};
            if (!backup.preferencesRoot.empty())
                damaged.push_back(nativeFolder(backup.preferencesRoot + "Preferences"));
            if (!backup.mailFolder.empty())
                damaged.push_back(nativeFolder(backup.mailFolder + "mail"));
            for (const auto& dir : damaged) {
                for (const auto& [name, contents] : snapshot(dir))
                    writeFile(dir / name, "damaged");
            }

            RecordingHost restoreHost;
            auto state = fx.restoreWindow(browser, c.archive);
            SelectiveFixture::choose(state, c.profile);
            browsers::runSelectiveRestore(browser, state, restoreHost);

            EXPECT_EQ(restoreHost.positionBeforeSet, c.restoreAll);
            EXPECT_EQ(Names(restoreHost.calls.begin(), restoreHost.calls.begin() + 4),
                      (Names{"show", "step:5", "busy:1", "busy:0"}));
            EXPECT_TRUE(restoreHost.messages.empty());
            EXPECT_TRUE(state.finishVisible);
            EXPECT_TRUE(state.profiles.empty());
            EXPECT_EQ(snapshot(fx.savesDir()).size(), 1u);  // extraction folder gone, archive kept

            const fs::path profile = nativeFolder(backup.profileFolder);
            Names stillDamaged;
            for (const auto& [name, contents] : snapshot(fx.machine.root)) {
                const auto it = before.find(name);
                if (it == before.end() || it->second != contents)
                    stillDamaged.push_back(
                        (fx.machine.root / name).lexically_relative(profile).generic_string());
            }
            EXPECT_EQ(sorted(stillDamaged), sorted(c.untouched));
        }
    }
}

TEST(SelectiveRestore, IntoACustomFolder) {
    struct Case {
        const browsers::Browser& (*browser)();
        const char* profile;
        const char* archive;
    };
    const Case cases[] = {
        {browsers::firefox, "abcd1234.default", "default.dat"},
        {browsers::chrome, "Default", "Default.dat"},
        {browsers::safari, "Safari", "Safari.dat"},
        {browsers::opera, "Opera", "Opera.dat"},
    };
    for (const auto& c : cases) {
        const auto& browser = c.browser();
        SCOPED_TRACE(browser.name);
        SelectiveFixture fx("6");
        const auto backup = fx.backUp(browser, c.profile);
        const auto profileFiles = snapshot(nativeFolder(backup.profileFolder));

        auto state = fx.restoreWindow(browser, c.archive);
        state.customProfileText = (fx.tmp / "custom").string();
        browsers::customProfileChanged(state);
        fs::create_directories(fx.tmp / "custom");
        browsers::runSelectiveRestore(browser, state, fx.host);

        // Every profile-folder entry of the archive arrives in the custom folder unchanged.
        std::size_t restored = 0;
        for (const auto& entry : fx.entries(c.archive)) {
            std::string name = entry;
            std::replace(name.begin(), name.end(), '\\', '/');
            // Opera's local mail, Safari's preferences and Chrome's "Local State" are not profile files.
            if (name.rfind("loc/", 0) == 0 ||
                (name.rfind("Preferences/", 0) == 0 && browser.name == "Safari") || name == "Local State")
                continue;
            EXPECT_EQ(readFile(fx.tmp / "custom" / name), profileFiles.at(name)) << name;
            ++restored;
        }
        EXPECT_GT(restored, 0u);
        if (browser.keyword == "opera") {
            EXPECT_EQ(state.profileName, "ch_custom");
            EXPECT_TRUE(fs::exists(fx.machine.local() / "Opera/ch_custom/mail/index.ini"));
        }
    }
}

TEST(SelectiveRestore, FirefoxArchiveByTheFlockWizard) {
    SelectiveFixture fx("6");
    fx.backUp(browsers::firefox(), "abcd1234.default");
    auto state = fx.restoreWindow(browsers::flock(), "default.dat");
    state.customProfileText = (fx.tmp / "custom").string();
    fs::create_directories(fx.tmp / "custom");
    browsers::runSelectiveRestore(browsers::flock(), state, fx.host);

    Names restored;
    for (const auto& [name, contents] : snapshot(fx.tmp / "custom"))
        restored.push_back(name);
    // Flock knows neither the add-on database, Adblock Plus nor the themes.
    Names expected;
    for (std::string name : kFirefoxAll) {
        std::replace(name.begin(), name.end(), '\\', '/');
        if (name != "addons.sqlite" && name.rfind("adblockplus", 0) != 0 &&
            name.rfind("lightweight", 0) != 0 && name != "stylish.sqlite")
            expected.push_back(name);
    }
    EXPECT_EQ(sorted(restored), sorted(expected));
}

TEST(SelectiveRestore, ListErrorsAndTheMissingLocation) {
    SelectiveFixture fx("6");
    auto state = fx.discover(browsers::chrome(), Task::Restore);
    browsers::runSelectiveRestore(browsers::chrome(), state, fx.host);
    EXPECT_EQ(fx.host.messages, Names{"Please Select Backup Location"});

    // An empty backup-file list asks for a file before the progress window shows.
    state.backupLocationText = fx.saves();
    browsers::backupLocationChanged(state);
    EXPECT_EQ(state.backupFileIndex, -1);
    const auto result = browsers::runSelectiveRestore(browsers::chrome(), state, fx.host);
    EXPECT_EQ(result.outcome(), Outcome::NothingDone);
    EXPECT_EQ(fx.host.messages.back(), "Choose a backup file");
    EXPECT_FALSE(fx.host.progressVisible);

    // A second "Next >" forms the profile folder from the root again.
    fx.backUp(browsers::chrome(), "Default");
    browsers::backupLocationChanged(state);
    state.profileIndex = 0;
    const std::string chosen = state.profiles[0];
    browsers::runSelectiveRestore(browsers::chrome(), state, fx.host);
    EXPECT_EQ(state.profileFolder, fx.facts.loc + "\\Google\\Chrome\\User Data\\" + chosen + "\\");
}

TEST(SelectiveRestore, BackupFileListAndExtractionNames) {
    SelectiveFixture fx("6");
    for (const char* name : {"b.dat", "A.DAT", "my.data.dat", "notes.txt"})
        writeFile(fx.savesDir() / name, "");
    fs::create_directories(fx.savesDir() / "folder.dat");
    auto state = browsers::makeSelectiveState(browsers::firefox(), Task::Restore);
    state.backupLocationText = fx.saves();
    browsers::backupLocationChanged(state);
    EXPECT_EQ(state.backupFiles, (Names{"A.DAT", "b.dat", "my.data.dat"}));
    EXPECT_EQ(state.backupFileIndex, 0);

    EXPECT_EQ(browsers::extractionName("my.data.dat"), "mya");
    EXPECT_EQ(browsers::extractionName("Profile 1.dat"), "Profile 1");
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), "abcd1234.default"), "\\default");
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), "123456789ff_custom"), "\\ff_custom");
    EXPECT_EQ(browsers::stagingName(browsers::chrome(), "Profile 1"), "\\Profile 1");
}

// Names that would make the backup location itself the staging or extraction folder get a
// folder of their own.
TEST(SelectiveSafety, ShortNamesNeverUseTheBackupLocation) {
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), "default"), "\\default");
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), "123456789"), "\\123456789");
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), "abcdefgh.."), "\\abcdefgh..");
    EXPECT_EQ(browsers::stagingName(browsers::firefox(), ".."), "\\kelvora_backup");
    EXPECT_EQ(browsers::extractionName(".dat"), "kelvora_restore");
    EXPECT_EQ(browsers::extractionName(".dat.dat"), "kelvora_restore");
    EXPECT_EQ(browsers::extractionName("...dat"), "kelvora_restore");

    SelectiveFixture fx("6");
    writeFile(fx.savesDir() / "keep.txt", "the user's own file");
    const fs::path profiles = fx.machine.roaming() / "Mozilla/Firefox/Profiles";
    fs::copy(profiles / "abcd1234.default", profiles / "short", fs::copy_options::recursive);
    const Names one = {"Preferences"};
    fx.backUp(browsers::firefox(), "short", &one);
    EXPECT_EQ(fx.entries("short.dat"), (Names{"prefs.js", "user.js"}));
    EXPECT_EQ(readFile(fx.savesDir() / "keep.txt"), "the user's own file");

    fs::copy_file(fx.savesDir() / "short.dat", fx.savesDir() / ".dat");
    auto state = fx.restoreWindow(browsers::firefox(), "short.dat");
    state.backupFiles = {".dat"};  // a hidden file on POSIX, so set by hand
    state.backupFileIndex = 0;
    state.customProfileText = (fx.tmp / "custom").string();
    fs::create_directories(fx.tmp / "custom");
    browsers::runSelectiveRestore(browsers::firefox(), state, fx.host);
    EXPECT_EQ(readFile(fx.tmp / "custom/prefs.js"), readFile(profiles / "short/prefs.js"));
    EXPECT_EQ(readFile(fx.savesDir() / "keep.txt"), "the user's own file");
    EXPECT_FALSE(fs::exists(fx.savesDir() / "kelvora_restore"));
}

// A file that exists but can't be copied is reported once the task is done; missing ones are not.
TEST(SelectiveSafety, FilesThatCouldNotBeCopiedAreReported) {
    SelectiveFixture fx("6");
    const Names two = {"Preferences", "Cookies"};
    fx.backUp(browsers::firefox(), "abcd1234.default", &two);
    ASSERT_EQ(fx.result.outcome(), Outcome::Done);

    auto state = fx.restoreWindow(browsers::firefox(), "default.dat");
    SelectiveFixture::choose(state, "wxyz5678.work");
    SelectiveFixture::tickOnly(state, two);
    const fs::path work = fx.machine.roaming() / "Mozilla/Firefox/Profiles/wxyz5678.work";
    fs::remove(work / "prefs.js");
    fs::create_directories(work / "prefs.js");  // the copy's target is a folder
    fx.host.messages.clear();
    const auto result = browsers::runSelectiveRestore(browsers::firefox(), state, fx.host);
    EXPECT_EQ(result.outcome(), Outcome::DoneLeftOut);
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(result.leftOut[0].item, "Preferences");
    EXPECT_EQ(result.leftOut[0].path, state.profileFolder + "prefs.js");
    EXPECT_EQ(state.leftOut, result.leftOut);
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.messages[0].rfind("Some files were left out:\nPreferences: ", 0), 0u)
        << fx.host.messages[0];
    EXPECT_EQ(fx.host.calls.back(), "message:" + fx.host.messages[0]);  // after the task finished
    EXPECT_TRUE(state.finishVisible);
    EXPECT_EQ(readFile(work / "user.js"),
              readFile(fx.machine.roaming() / "Mozilla/Firefox/Profiles/abcd1234.default/user.js"));
}

// A record whose contents inflate to another size than its header states (a file that changed
// while it was packed) is restored, and the user is told after the task.
TEST(SelectiveSafety, SizeMismatchInTheArchiveIsReported) {
    SelectiveFixture fx("6");
    const Names preferences = {"Preferences"};
    fx.backUp(browsers::firefox(), "abcd1234.default", &preferences);
    std::string archive = readFile(fx.savesDir() / "default.dat");
    for (std::size_t at = 0; at < archive.size();) {
        const std::size_t pathLength = static_cast<unsigned char>(archive[at]);
        const std::size_t nameAt = at + 1 + pathLength + 1;
        const std::string name = archive.substr(nameAt, static_cast<unsigned char>(archive[nameAt - 1]));
        const std::size_t sizesAt = nameAt + name.size();
        if (name == "user.js")
            ++archive[sizesAt];  // the stated size, one byte more
        std::uint32_t packed = 0;
        for (int k = 3; k >= 0; --k)
            packed = (packed << 8) | static_cast<unsigned char>(archive[sizesAt + 4 + k]);
        at = sizesAt + 8 + packed;
    }
    writeFile(fx.savesDir() / "default.dat", archive);

    auto state = fx.restoreWindow(browsers::firefox(), "default.dat");
    SelectiveFixture::choose(state, "wxyz5678.work");
    SelectiveFixture::tickOnly(state, preferences);
    fx.host.messages.clear();
    browsers::runSelectiveRestore(browsers::firefox(), state, fx.host);

    EXPECT_TRUE(state.finishVisible);
    ASSERT_EQ(fx.host.messages.size(), 1u);
    EXPECT_EQ(fx.host.calls.back(), "message:" + fx.host.messages[0]);
    EXPECT_NE(fx.host.messages[0].find("Some restored files differ in size"), std::string::npos);
    EXPECT_NE(fx.host.messages[0].find("\"user.js\""), std::string::npos);
    EXPECT_EQ(fx.host.messages[0].find("prefs.js"), std::string::npos);
}

// Without a discovered "Apple Computer" folder the "Preferences" item has nowhere to come from:
// the task says so instead of reading a "Preferences" folder relative to the working folder.
TEST(SelectiveSafety, SafariPreferencesWithoutTheAppleFolderAreReported) {
    SelectiveFixture fx("6");
    fs::remove_all(fx.machine.roaming() / "Apple Computer");
    writeFile(fx.tmp / "custom/Bookmarks.plist", "bookmarks");
    auto state = fx.discover(browsers::safari(), Task::Backup);
    EXPECT_EQ(fx.host.messages, std::vector<std::string>{"Settings Files Not Found. Select Custom Profile."});
    state.customProfileText = (fx.tmp / "custom").string();
    state.backupLocationText = fx.saves();
    browsers::runSelectiveBackup(browsers::safari(), state, fx.host);
    EXPECT_EQ(fx.entries("ch_custom.dat"), std::vector<std::string>{"Bookmarks.plist"});
    ASSERT_EQ(state.leftOut.size(), 1u);
    EXPECT_EQ(fx.host.messages.back(),
              "Some files were left out:\nPreferences: the Safari data folder was not found");
}

#ifndef _WIN32
// Files and folders of a backup are copied side by side; what could not be copied and what was
// copied as a plain file are told in the order of the rows all the same, each row's progress step
// taken once. A pipe where a file should be is left out, not waited on.
TEST(SelectiveSafety, CopiesMadeSideBySideAreToldInRowOrder) {
    SelectiveFixture fx("6");
    fs::remove_all(fx.machine.roaming() / "Apple Computer");
    const fs::path custom = fx.tmp / "custom";
    const auto pipe = [](const fs::path& path) {
        fs::create_directories(path.parent_path());
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    };
    pipe(custom / "Bookmarks.plist");
    writeFile(custom / "Cookies/Cookies.binarycookies", "cookies");
    pipe(custom / "Cookies/jar");
    writeFile(custom / "Downloads.plist", "downloads");
    pipe(custom / "PubSub/Database.mysqlitedb");
    writeFile(custom / "History.plist", std::string("SQLite format 3\0", 16) + std::string(2048, 'x'));
    pipe(custom / "TopSites.plist");

    auto state = fx.discover(browsers::safari(), Task::Backup);
    state.customProfileText = custom.string();
    state.backupLocationText = fx.saves();
    const auto result = browsers::runSelectiveBackup(browsers::safari(), state, fx.host);

    EXPECT_EQ(fx.entries("ch_custom.dat"),
              (Names{"Cookies\\Cookies.binarycookies", "Downloads.plist", "History.plist"}));
    const std::string from = IncludeTrailingBackslash(custom.string());
    const std::vector<LeftOutItem> expected = {
        {"Bookmarks", from + "Bookmarks.plist", "it is not a regular file"},
        {"Cookies", from + "Cookies\\jar", "it is not a regular file"},
        {"Feeds", from + "PubSub\\Database.mysqlitedb", "it is not a regular file"},
        {"Preferences", "", "the Safari data folder was not found"},
        {"Top sites", from + "TopSites.plist", "it is not a regular file"},
    };
    EXPECT_EQ(result.leftOut, expected);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("History.plist\" was copied as a file"), std::string::npos)
        << result.notes[0];

    std::vector<int> steps = {browsers::safari().backupStartStep};
    for (const auto& row : browsers::safari().backupItems) {
        if (row.step != 0)
            steps.push_back(row.step);
    }
    steps.push_back(browsers::safari().backupEndStep);
    EXPECT_EQ(fx.host.steps, steps);
}
#endif

}  // namespace
}  // namespace kelvora::test
