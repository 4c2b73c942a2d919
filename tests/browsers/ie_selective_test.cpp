// Internet Explorer's selective backup and restore: the item table's hive files and folders, the
// progress and pauses, unticked and missing items, the failures that stop a task, and a backup
// restored onto a second machine.
#include <gtest/gtest.h>

#include <set>

#include "core/core.h"
#include "core/error.h"
#include "ie_fixture.h"

namespace kelvora::test {
namespace {

namespace ie = browsers::ie;
using browsers::Task;

// One item's calls when its box is ticked: the step before its work and, for "Settings", the
// pauses and the second step inside it.
const std::vector<std::string> kAllItemsCalls = {
    "step:9",                                                      // Autocomplete
    "step:9",                                                      // Cookies
    "step:9",                                                      // Favorites
    "step:9",                                                      // History
    "step:9", "pause:1000",                                        // Search providers, then the pause
    "step:9",                                                      // Sessions
    "step:9", "pause:1000", "pause:1000", "step:9", "pause:1000",  // Settings
    "step:9",                                                      // Toolbar
    "step:9",                                                      // Links bar
};

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(IeLocations, FollowTheWindowsVersion) {
    struct Case {
        const char* version;
        std::vector<std::string> candidates;
        const char* cookiesParent;
        const char* favoritesParent;
    };
    const std::string xp = "C:\\Documents and Settings\\ann";
    const std::string vista = "C:\\Users\\ann";
    const std::vector<std::string> vistaCandidates = {
        "R\\Microsoft\\Internet Explorer", vista + "\\AppData\\Local\\Microsoft\\Internet Explorer",
        vista + "\\AppData\\Roaming\\Microsoft\\Internet Explorer"};
    const char* const vistaCookies = "C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows";
    const Case cases[] = {
        {"6", vistaCandidates, vistaCookies, "C:\\Users\\ann"},
        // Windows 8 to 11 keep the folders of Vista and 7 and report "6" or "10".
        {"10", vistaCandidates, vistaCookies, "C:\\Users\\ann"},
        {"11", vistaCandidates, vistaCookies, "C:\\Users\\ann"},
        {"5",
         {"R\\Microsoft\\Internet Explorer", xp + "\\Application Data\\Microsoft\\Internet Explorer",
          xp + "\\Local Settings\\Application Data\\Microsoft\\Internet Explorer"},
         "C:\\Documents and Settings\\ann",
         "C:\\Documents and Settings\\ann"},
        // A version the system could not tell: no first candidate, the folders of XP.
        {"",
         {"", xp + "\\Application Data\\Microsoft\\Internet Explorer",
          xp + "\\Local Settings\\Application Data\\Microsoft\\Internet Explorer"},
         "C:\\Documents and Settings\\ann",
         "C:\\Documents and Settings\\ann"},
    };
    for (const auto& c : cases) {
        const auto where = ie::findLocations({"ann", "C:", "R", "L", c.version});
        EXPECT_EQ(where.candidates, c.candidates) << c.version;
        EXPECT_EQ(where.cookiesParent, c.cookiesParent) << c.version;
        EXPECT_EQ(where.favoritesParent, c.favoritesParent) << c.version;
    }
}

TEST(IeLocations, DataFolderKeepsItsBackslashAndHoldsRecovery) {
    IeFixture f("5");
    const auto where = ie::findLocations(f.machine.facts());
    const std::string data = f.machine.windowsPath(f.dataFolder()) + "\\";
    EXPECT_EQ(where.dataFolder, data);
    EXPECT_EQ(where.recoveryFolder, data + "\\Recovery");
    EXPECT_TRUE(DirectoryExists(where.recoveryFolder));

    fs::remove(f.dataFolder() / ie::kMarker);
    const auto lost = ie::findLocations(f.machine.facts());
    EXPECT_EQ(lost.dataFolder, "");
    EXPECT_EQ(lost.recoveryFolder, "");
}

TEST(IeWindow, TenBoxesAndSelectAllLeavesDialupAlone) {
    auto state = ie::makeState(Task::Backup);
    ASSERT_EQ(state.tickBoxes.size(), 10u);
    EXPECT_EQ(state.profiles, std::vector<std::string>{"Default"});
    EXPECT_FALSE(state.profileListEnabled);
    EXPECT_FALSE(state.isTicked("Dialup"));
    ie::selectAll(state, false);
    for (const auto& box : state.tickBoxes)
        EXPECT_FALSE(box.checked) << box.caption;
    ie::selectAll(state, true);
    for (const auto& box : state.tickBoxes)
        EXPECT_EQ(box.checked, box.caption != "Dialup") << box.caption;
}

TEST(IeSelectiveBackup, EverythingTickedSavesThirteenHivesAndThreeFolders) {
    IeFixture f;
    const auto state = f.backUp();

    const auto list = f.entries(ie::kSelectiveArchive);
    EXPECT_EQ(topLevel(list), sorted(hiveNames()));
    EXPECT_EQ(inFolder(list, "Cookies").size(), 3u);
    EXPECT_EQ(inFolder(list, "Favorites").size(), 3u);
    EXPECT_EQ(inFolder(list, "Recovery").size(), 2u);
    EXPECT_EQ(list.size(), 13u + 3 + 3 + 2);

    EXPECT_EQ(
        f.host.calls,
        concat({{"show", "step:9"}, kAllItemsCalls, {"step:9", "busy:1", "busy:0", "set:100", "hide"}}));
    EXPECT_EQ(f.host.positionBeforeSet, 108);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(f.result.outcome(), Outcome::Done);
    EXPECT_TRUE(state.finishVisible);
    EXPECT_EQ(state.title, "Finished");
    EXPECT_EQ(f.savedNames(), std::vector<std::string>{ie::kSelectiveArchive});
}

TEST(IeSelectiveBackup, OnlyTheTickedItemsAndTheFixedPause) {
    IeFixture f;
    const std::vector<std::string> only = {"Cookies", "History", "Links bar"};
    f.backUp(&only);

    const auto list = f.entries(ie::kSelectiveArchive);
    EXPECT_EQ(topLevel(list), (std::vector<std::string>{"hist.reg", "links.reg"}));
    EXPECT_EQ(inFolder(list, "Cookies").size(), 3u);
    EXPECT_TRUE(inFolder(list, "Favorites").empty());
    EXPECT_TRUE(inFolder(list, "Recovery").empty());
    // The pause between "Search providers" and "Sessions" comes whether or not they are ticked.
    EXPECT_EQ(f.host.calls,
              (std::vector<std::string>{"show", "step:9", "step:9", "step:9", "pause:1000", "step:9",
                                        "step:9", "busy:1", "busy:0", "set:100", "hide"}));
}

// Nothing saved, no archive: an earlier one stays as it was.
TEST(IeSelectiveBackup, NothingTickedWritesNoArchive) {
    IeFixture f;
    writeFile(f.savesDir() / ie::kSelectiveArchive, "an earlier backup");
    const std::vector<std::string> none;
    f.backUp(&none);
    EXPECT_EQ(f.result.outcome(), Outcome::NothingDone);
    EXPECT_EQ(readFile(f.savesDir() / ie::kSelectiveArchive), "an earlier backup");
    EXPECT_EQ(f.savedNames(), std::vector<std::string>{ie::kSelectiveArchive});
}

TEST(IeSelectiveBackup, MissingFoldersUntickTheirItems) {
    IeFixture f;
    fs::remove_all(f.favorites());
    fs::remove(f.dataFolder() / ie::kMarker);  // the Recovery folder can't be found without it
    const auto state = f.backUp();

    EXPECT_FALSE(state.isTicked("Favorites"));
    EXPECT_FALSE(state.isTicked("Sessions"));
    EXPECT_TRUE(state.isTicked("Cookies"));
    const auto list = f.entries(ie::kSelectiveArchive);
    EXPECT_TRUE(inFolder(list, "Favorites").empty());
    EXPECT_TRUE(inFolder(list, "Recovery").empty());
    EXPECT_EQ(topLevel(list), sorted(hiveNames()));  // "Sessions" still saved its key
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(IeSelectiveBackup, StopsBeforeAnythingOnItsPreconditions) {
    IeFixture f;
    {
        auto state = f.window(Task::Backup);
        state.backupLocationText = browsers::kBackupLocationPrompt;
        ie::runBackup(state, f.host, f.machine.facts());
        EXPECT_EQ(f.host.calls, std::vector<std::string>{"message:Please Select Backup Location"});
    }
    {
        // A folder of the person's named like the old staging folder is neither packed nor removed.
        writeFile(f.savesDir() / "backup_ie/old.txt", "old");
        RecordingHost host;
        auto state = f.window(Task::Backup);
        EXPECT_EQ(ie::runBackup(state, host, f.machine.facts()).outcome(), Outcome::Done);
        EXPECT_EQ(readFile(f.savesDir() / "backup_ie/old.txt"), "old");
        const auto list = f.entries(ie::kSelectiveArchive);
        EXPECT_EQ(std::count(list.begin(), list.end(), "old.txt"), 0);
    }
    {
        // A backup location that does not exist ends the task before any work.
        RecordingHost host;
        auto state = f.window(Task::Backup);
        state.backupLocationText = (f.tmp / "no" / "such").string();
        const auto result = ie::runBackup(state, host, f.machine.facts());
        EXPECT_EQ(result.outcome(), Outcome::Failed);
        EXPECT_EQ(result.message().rfind("Cannot create file", 0), 0u) << result.message();
        EXPECT_TRUE(host.calls.empty());
    }
}

TEST(IeSelectiveBackup, ReplacesAnEarlierArchiveOnlyWhenTold) {
    IeFixture f;
    writeFile(f.savesDir() / ie::kSelectiveArchive, "not an archive");
    const std::vector<std::string> only = {"Toolbar"};
    f.host.replaceAnswer = false;
    f.backUp(&only);
    EXPECT_EQ(f.result.outcome(), Outcome::NothingDone);
    EXPECT_EQ(readFile(f.savesDir() / ie::kSelectiveArchive), "not an archive");
    ASSERT_EQ(f.host.questions.size(), 1u);
    EXPECT_EQ(f.host.questions[0].rfind("backup_ie.dat already exists (made ", 0), 0u) << f.host.questions[0];

    f.host.replaceAnswer = true;
    f.backUp(&only);
    EXPECT_EQ(f.result.outcome(), Outcome::Done);
    EXPECT_EQ(f.entries(ie::kSelectiveArchive), std::vector<std::string>{"toolbar.reg"});
}

TEST(IeSelectiveRestore, BringsBackEveryKeyAndTheFoldersOnASecondMachine) {
    IeFixture f;
    const auto original = ieKeys();
    const auto originalFavorites = snapshot(f.favorites());
    const auto originalRecovery = snapshot(f.recovery());
    f.backUp();

    f.moveToSecondMachine();
    fs::remove_all(f.favorites() / "Reading");
    RecordingHost& host = f.host;
    host.calls.clear();
    const auto state = f.restore();

    EXPECT_EQ(ieKeys(), original);
    EXPECT_EQ(snapshot(f.favorites()), originalFavorites);
    EXPECT_EQ(snapshot(f.recovery()), originalRecovery);
    // Merged: the second machine's own cookie stays beside the restored ones.
    const auto cookies = snapshot(f.cookies());
    EXPECT_EQ(cookies.size(), 4u);
    EXPECT_EQ(cookies.at("ann@later[1].txt"), "later cookie");

    EXPECT_EQ(
        host.calls,
        concat({{"show", "step:9", "busy:1", "busy:0", "step:9"}, kAllItemsCalls, {"set:100", "hide"}}));
    EXPECT_EQ(host.positionBeforeSet, 108);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(state.finishVisible);
    EXPECT_EQ(f.savedNames(), std::vector<std::string>{ie::kSelectiveArchive});
}

TEST(IeSelectiveRestore, AnArchiveWithSomeHivesRestoresThoseAndSkipsTheRest) {
    IeFixture f;
    const auto original = ieKeys();
    const std::vector<std::string> some = {"History", "Toolbar"};
    f.backUp(&some);

    f.moveToSecondMachine();
    const auto state = f.restore();  // every box ticked

    for (const auto& [file, tree] : ieKeys()) {
        if (file == "hist.reg" || file == "toolbar.reg")
            EXPECT_EQ(tree, original.at(file)) << file;
        else
            EXPECT_EQ(tree->values, changedKey().values) << file;
    }
    // The archive held no folders: nothing copied, boxes still ticked, the second machine's as it was.
    EXPECT_TRUE(state.isTicked("Cookies"));
    EXPECT_EQ(snapshot(f.cookies()).size(), 4u);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(IeSelectiveRestore, OnlyTheTickedKeysAreLoaded) {
    IeFixture f;
    const auto original = ieKeys();
    f.backUp();
    f.moveToSecondMachine();
    const std::vector<std::string> only = {"Autocomplete", "Settings"};
    f.restore(&only);

    const std::set<std::string> loaded = {"autocomplete.reg", "set.reg",  "set2.reg", "set3.reg",
                                          "set4.reg",         "set5.reg", "set6.reg", "set7.reg"};
    for (const auto& [file, tree] : ieKeys()) {
        if (loaded.count(file))
            EXPECT_EQ(tree, original.at(file)) << file;
        else
            EXPECT_EQ(tree->values, changedKey().values) << file;
    }
}

TEST(IeSelectiveRestore, WithoutTheMarkerSessionsRestoresOnlyItsKey) {
    IeFixture f;
    const auto original = ieKeys();
    f.backUp();
    f.moveToSecondMachine();
    fs::remove(f.dataFolder() / ie::kMarker);
    fs::remove_all(f.recovery() / "Active");

    const std::vector<std::string> only = {"Sessions"};
    const auto state = f.restore(&only);
    EXPECT_EQ(ieKeys().at("rec.reg"), original.at("rec.reg"));
    EXPECT_FALSE(fs::exists(f.recovery() / "Active"));
    EXPECT_FALSE(state.isTicked("Sessions"));
}

TEST(IeSelectiveRestore, ADamagedHiveIsReportedAndTheRestGoesOn) {
    IeFixture f;
    const auto original = ieKeys();
    const std::vector<std::string> some = {"History", "Toolbar"};
    f.backUp(&some);
    // Replace hist.reg inside the archive by a file that is not a hive.
    const fs::path repack = f.tmp / "repack";
    TZlibMultiple().DecompressFile((f.savesDir() / ie::kSelectiveArchive).string(), repack.string(), true,
                                   true);
    writeFile(repack / "hist.reg", std::string(9000, 'x'));
    TZlibMultiple().CompressDirectory(repack.string(), true, (f.savesDir() / ie::kSelectiveArchive).string());

    f.moveToSecondMachine();
    f.restore(&some);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_NE(f.host.messages[0].find("hist.reg"), std::string::npos) << f.host.messages[0];
    EXPECT_EQ(ieKeys().at("hist.reg")->values, changedKey().values);
    EXPECT_EQ(ieKeys().at("toolbar.reg"), original.at("toolbar.reg"));
}

TEST(IeSelectiveRestore, StopsWithoutTheArchiveOrALocation) {
    IeFixture f;
    writeFile(f.savesDir() / ie::kFullArchive, "the full archive is not the selective one");
    const auto state = f.restore();
    EXPECT_EQ(f.host.calls, std::vector<std::string>{"message:Backup File \"backup_ie.dat\" Not Found"});
    EXPECT_FALSE(state.finishVisible);

    RecordingHost host;
    auto unset = f.window(Task::Restore);
    unset.backupLocationText = browsers::kBackupLocationPrompt;
    ie::runRestore(unset, host, f.machine.facts());
    EXPECT_EQ(host.calls, std::vector<std::string>{"message:Please Select Backup Location"});
}

}  // namespace
}  // namespace kelvora::test
