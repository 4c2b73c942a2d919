// Internet Explorer's full backup and restore: every item always, the window's own bar by nines,
// the archives' layout, partial archives, the failures that stop a task, and a round trip.
#include <gtest/gtest.h>

#include "core/error.h"
#include "ie_fixture.h"

namespace kelvora::test {
namespace {

namespace ie = browsers::ie;
using browsers::Task;

// The bar after each step of 9, stopping at 100, then 0 when the task is done.
std::vector<std::string> barCalls(int steps) {
    std::vector<std::string> out;
    int position = 0;
    for (int i = 0; i < steps; ++i) {
        position = std::min(position + 9, 100);
        out.push_back("full:" + std::to_string(position) + "/100");
    }
    return out;
}

std::vector<std::string> withoutBar(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const auto& call : calls) {
        if (call.rfind("full:", 0) != 0)
            out.push_back(call);
    }
    return out;
}

std::vector<std::string> onlyBar(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const auto& call : calls) {
        if (call.rfind("full:", 0) == 0)
            out.push_back(call);
    }
    return out;
}

TEST(IeFullBackup, ArchiveHoldsThirteenHivesAndThreeFolders) {
    IeFixture f;
    auto state = f.fullWindow(Task::Backup);
    ie::runFullBackup(state, f.host);

    const auto list = f.entries(ie::kFullArchive);
    EXPECT_EQ(topLevel(list), sorted(hiveNames()));
    EXPECT_EQ(inFolder(list, "Cookies").size(), 3u);
    EXPECT_EQ(inFolder(list, "Favorites").size(), 3u);
    EXPECT_EQ(inFolder(list, "Recovery").size(), 2u);
    EXPECT_EQ(list.size(), 13u + 3 + 3 + 2);

    // Twelve steps add up to 108; the bar stops at 100 and stands at 0 afterwards.
    auto bar = barCalls(12);
    bar.push_back("full:0/100");
    EXPECT_EQ(onlyBar(f.host.calls), bar);
    EXPECT_EQ(withoutBar(f.host.calls), (std::vector<std::string>{"pause:1000", "pause:1000", "pause:1000",
                                                                  "pause:1000", "busy:1", "busy:0"}));
    EXPECT_EQ(state.barPosition, 0);
    EXPECT_TRUE(state.finishVisible);
    EXPECT_EQ(f.savedNames(), std::vector<std::string>{ie::kFullArchive});
}

TEST(IeFullBackup, MissingFoldersAreSkippedSilently) {
    IeFixture f("5");
    fs::remove_all(f.cookies());
    auto state = f.fullWindow(Task::Backup);
    ie::runFullBackup(state, f.host);

    const auto list = f.entries(ie::kFullArchive);
    EXPECT_EQ(topLevel(list), sorted(hiveNames()));
    EXPECT_TRUE(inFolder(list, "Cookies").empty());
    EXPECT_EQ(inFolder(list, "Favorites").size(), 3u);
    EXPECT_EQ(inFolder(list, "Recovery").size(), 2u);
    EXPECT_TRUE(f.host.messages.empty());
}

// A folder of the person's named like the old staging folder is neither packed nor removed.
TEST(IeFullBackup, AFolderNamedLikeTheStagingFolderIsLeftAlone) {
    IeFixture f;
    writeFile(f.savesDir() / "allsave_ie" / "old.txt", "old");
    auto state = f.fullWindow(Task::Backup);
    EXPECT_EQ(ie::runFullBackup(state, f.host).outcome(), Outcome::Done);
    EXPECT_EQ(readFile(f.savesDir() / "allsave_ie" / "old.txt"), "old");
    const auto list = f.entries(ie::kFullArchive);
    EXPECT_EQ(std::count(list.begin(), list.end(), "old.txt"), 0);
    EXPECT_TRUE(state.finishVisible);
}

TEST(IeFullBackup, AMissingLocationStopsBeforeAnyWork) {
    IeFixture f;
    auto state = f.fullWindow(Task::Backup);
    state.backupLocationText = (f.tmp / "no" / "such").string();
    const auto result = ie::runFullBackup(state, f.host);
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_EQ(result.message().rfind("Cannot create file", 0), 0u) << result.message();
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(IeFullRestore, RoundTripOntoASecondMachine) {
    IeFixture f;
    const auto original = ieKeys();
    const auto favorites = snapshot(f.favorites());
    const auto recovery = snapshot(f.recovery());
    auto backup = f.fullWindow(Task::Backup);
    ie::runFullBackup(backup, f.host);

    f.moveToSecondMachine();
    RecordingHost host;
    auto state = f.fullWindow(Task::Restore);
    ie::runFullRestore(state, host);

    EXPECT_EQ(ieKeys(), original);
    EXPECT_EQ(snapshot(f.favorites()), favorites);
    EXPECT_EQ(snapshot(f.recovery()), recovery);
    EXPECT_EQ(snapshot(f.cookies()).at("ann@later[1].txt"), "later cookie");

    // Eleven steps add up to 99.
    auto bar = barCalls(11);
    bar.push_back("full:0/100");
    EXPECT_EQ(onlyBar(host.calls), bar);
    EXPECT_EQ(host.paused, std::chrono::milliseconds(4000));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(state.finishVisible);
    EXPECT_EQ(f.savedNames(), std::vector<std::string>{ie::kFullArchive});
}

TEST(IeFullRestore, AnArchiveWithSomeHivesLoadsThoseAndSkipsTheOthers) {
    IeFixture f;
    const auto original = ieKeys();
    // An archive made of two hive files and no folders.
    const fs::path made = f.tmp / "made";
    fs::create_directories(made);
    SaveKeyToFile(ie::allHives()[1].key, (made / "hist.reg").string());
    SaveKeyToFile(ie::allHives()[4].key, (made / "set.reg").string());
    TZlibMultiple().CompressDirectory(made.string(), true, (f.savesDir() / ie::kFullArchive).string());

    f.moveToSecondMachine();
    auto state = f.fullWindow(Task::Restore);
    ie::runFullRestore(state, f.host);

    for (const auto& [file, tree] : ieKeys()) {
        if (file == "hist.reg" || file == "set.reg")
            EXPECT_EQ(tree, original.at(file)) << file;
        else
            EXPECT_EQ(tree->values, changedKey().values) << file;
    }
    EXPECT_EQ(snapshot(f.cookies()).size(), 4u);
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_TRUE(state.finishVisible);
}

TEST(IeFullRestore, LooksOnlyForItsOwnArchive) {
    IeFixture f;
    auto selective = f.window(browsers::Task::Backup);
    ie::runBackup(selective, f.host, f.machine.facts());

    RecordingHost host;
    auto state = f.fullWindow(Task::Restore);
    ie::runFullRestore(state, host);
    EXPECT_EQ(host.calls, std::vector<std::string>{"message:Backup File \"allsave_ie.dat\" Not Found"});

    RecordingHost unset;
    state.backupLocationText = browsers::full::kLocationPrompt;
    ie::runFullRestore(state, unset);
    EXPECT_EQ(unset.calls, std::vector<std::string>{"message:Please Select Backup Location"});
}

}  // namespace
}  // namespace kelvora::test
