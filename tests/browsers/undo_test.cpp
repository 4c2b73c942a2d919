// Restores taken back: a restore first saves what it will replace into an undo set, moves stale
// database companions out of the way, and "undo" gives the tree back as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "browsers/full.h"
#include "browsers/undo.h"
#include "cli/command.h"
#include "core/text.h"
#include "selective_fixture.h"
#ifndef _WIN32
#include "ie_fixture.h"
#endif

namespace kelvora::test {
namespace {

namespace undo = browsers::undo;
namespace full = browsers::full;

// A file name no ANSI code page holds.
const std::string kOutsideCodePage =
    "\xc3\x9c"
    "ber \xe6\x97\xa5\xe6\x9c\xac.txt";

fs::path utf8(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

// Every file (with its bytes) and folder below `dir`, named in UTF-8.
std::map<std::string, std::string> tree(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::u8string relative = entry.path().lexically_relative(dir).generic_u8string();
        const std::string name(relative.begin(), relative.end());
        entries[name] = entry.is_directory() ? std::string("<folder>") : readFile(entry.path());
    }
    return entries;
}

std::string nameOf(const std::string& archived) {
    std::string name = archived;
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// A restore over a profile that changed since its backup: a database rewritten with stale
// companions beside it, an archived file and an archived folder gone, a file of the person's own
// added. The restore moves the companions away and brings the archived files back; undo gives
// the tree of before the restore back, byte for byte, created files and folders gone.
TEST(Undo, RestoreThenUndoGivesTheTreeBack) {
    struct Case {
        const char* browser;
        bool today;
        const char* profile;        // empty: a full restore
        const char* profileFolder;  // below the machine root
        const char* database;
        const char* archive;
    };
    const Case cases[] = {
        {"firefox", false, "abcd1234.default",
         "Users/ann/AppData/Roaming/Mozilla/Firefox/Profiles/abcd1234.default", "places.sqlite",
         "default.dat"},
        {"chrome", true, "Default", "Users/ann/AppData/Local/Google/Chrome/User Data/Default", "History",
         "Default.dat"},
#ifndef _WIN32  // full tasks find their data root through the machine folder's drives
        {"firefox", false, "", "Users/ann/AppData/Roaming/Mozilla/Firefox",
         "Profiles/abcd1234.default/places.sqlite", "allsave_firefox.dat"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.browser) + (c.profile[0] ? " selective" : " full"));
        OwnDataFolder sets;
        SelectiveFixture fx("6", c.today);
        const auto& browser = browsers::browser(c.browser);
        const fs::path profile = fx.machine.root / c.profileFolder;
        const fs::path database = profile / c.database;
        ASSERT_TRUE(fs::exists(database));
        const std::string archivedDatabase = readFile(database);

        full::State fullState = full::makeState(browser, browsers::Task::Backup);
        fullState.readFacts = [&fx] { return fx.machine.facts(); };
        if (c.profile[0]) {
            fx.backUp(browser, c.profile);
        } else {
            full::activate(browser, fullState, fx.host);
            fullState.backupLocationText = fx.saves();
            fx.result = full::backup(browser, fullState, fx.host);
        }
        ASSERT_TRUE(fx.result.ok()) << fx.result.message();

        // Changes after the backup: one archived folder and one archived file gone.
        const auto archived = fx.entries(c.archive);
        std::string goneFolder, goneFile;
        const std::string db = c.database;
        for (const auto& entry : archived) {
            const std::string name = nameOf(entry);
            const std::string parent = fs::path(name).parent_path().generic_string();
            if (!parent.empty() && goneFolder.empty() && db.rfind(parent + "/", 0) != 0)
                goneFolder = parent;
            else if (parent.empty() && goneFile.empty() && name.rfind(db, 0) != 0 &&
                     c.profile[0])  // not the marker
                goneFile = name;
        }
        ASSERT_FALSE(goneFolder.empty());
        fs::remove_all(profile / goneFolder);
        if (!goneFile.empty())
            fs::remove(profile / goneFile);
        writeFile(database, "rewritten after the backup");
        writeFile(profile / (std::string(c.database) + "-wal"), "stale log");
        writeFile(profile / (std::string(c.database) + "-shm"), "stale index");
        writeFile(profile / "own notes.txt", "the person's own file");
        const auto before = tree(fx.machine.root);

        TaskResult restored;
        if (c.profile[0]) {
            auto state = fx.restoreWindow(browser, c.archive);
            SelectiveFixture::choose(state, c.profile);
            restored = browsers::runSelectiveRestore(browser, state, fx.host);
        } else {
            auto state = full::makeState(browser, browsers::Task::Restore);
            state.readFacts = fullState.readFacts;
            full::activate(browser, state, fx.host);
            state.backupLocationText = fx.saves();
            restored = full::restore(browser, state, fx.host);
        }
        ASSERT_TRUE(restored.ok()) << restored.message();
        EXPECT_EQ(readFile(database), archivedDatabase);
        EXPECT_FALSE(fs::exists(profile / (std::string(c.database) + "-wal")));
        EXPECT_FALSE(fs::exists(profile / (std::string(c.database) + "-shm")));
        EXPECT_TRUE(fs::exists(profile / goneFolder));

        const auto list = undo::listSets();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_NE(list[0].description.find(browser.name), std::string::npos) << list[0].description;
        EXPECT_GT(list[0].created, 0u);
        const TaskResult undone = undo::undoLast();
        EXPECT_EQ(undone.outcome(), Outcome::Done) << undone.message();
        EXPECT_TRUE(tree(fx.machine.root) == before);
        EXPECT_TRUE(undo::listSets().empty());
    }
}

#ifndef _WIN32  // full tasks find their data root through the machine folder's drives
// A full restore that stops half-way (a damaged record near the archive's end) has written part of
// the tree; undo takes that part back too.
TEST(Undo, RestoreThatFailedHalfwayIsUndone) {
    OwnDataFolder sets;
    SelectiveFixture fx("6");
    const auto& browser = browsers::browser("firefox");
    auto state = full::makeState(browser, browsers::Task::Backup);
    state.readFacts = [&fx] { return fx.machine.facts(); };
    full::activate(browser, state, fx.host);
    state.backupLocationText = fx.saves();
    ASSERT_TRUE(full::backup(browser, state, fx.host).ok());

    const fs::path archive = fx.savesDir() / "allsave_firefox.dat";
    {
        std::fstream bytes(archive, std::ios::in | std::ios::out | std::ios::binary);
        bytes.seekp(-6, std::ios::end);
        bytes.write("\xff\xff\xff\xff", 4);  // the last record's checksum
    }
    const fs::path data = fx.machine.root / "Users/ann/AppData/Roaming/Mozilla/Firefox";
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_regular_file())
            writeFile(entry.path(), "changed after the backup");
    }
    const auto before = tree(fx.machine.root);

    auto restore = full::makeState(browser, browsers::Task::Restore);
    restore.readFacts = state.readFacts;
    full::activate(browser, restore, fx.host);
    restore.backupLocationText = fx.saves();
    const TaskResult failed = full::restore(browser, restore, fx.host);
    ASSERT_EQ(failed.outcome(), Outcome::Failed);
    EXPECT_FALSE(tree(fx.machine.root) == before) << "the restore wrote nothing before it failed";

    EXPECT_EQ(undo::undoLast().outcome(), Outcome::Done);
    EXPECT_TRUE(tree(fx.machine.root) == before);
}
#endif

#ifndef _WIN32  // the registry is a machine folder's NTUSER.DAT only on POSIX; Wine's RegRestoreKeyW restores
                // nothing
// Internet Explorer's keys: saved as hive files into the set before the restore loads the
// archive's, loaded back by undo; a key the restore created is deleted.
TEST(Undo, InternetExplorerKeysComeBack) {
    OwnDataFolder sets;
    IeFixture fx;
    fx.backUp();
    ASSERT_TRUE(fx.result.ok()) << fx.result.message();
    fx.moveToSecondMachine();
    const auto hives = browsers::ie::allHives();
    ASSERT_TRUE(platform::deleteRegistryTree(hives.front().key));  // created by the restore
    const auto keysBefore = ieKeys();
    // The files, less the registry's own file (its keys are compared as keys).
    const auto files = [&fx] {
        auto all = tree(fx.machine.root / "Users");
        std::erase_if(all,
                      [](const auto& entry) { return entry.first.find("NTUSER.DAT") != std::string::npos; });
        return all;
    };
    const auto filesBefore = files();
    fx.restore();
    ASSERT_NE(ieKeys(), keysBefore);

    EXPECT_EQ(undo::undoLast().outcome(), Outcome::Done);
    EXPECT_EQ(ieKeys(), keysBefore);
    EXPECT_TRUE(files() == filesBefore);
}
#endif

// The undo set on its own: what a plan names is replaced, created and moved away as a restore
// would, and undo reverses each kind, names outside any code page included.
TEST(Undo, EachKindOfChangeIsReversed) {
    OwnDataFolder sets;
    TempDir tmp;
    const fs::path place = tmp / "profile";
    writeFile(place / "replaced.txt", "old");
    writeFile(place / "empty.txt", "");
    writeFile(place / utf8(kOutsideCodePage), "named outside the code page");
    writeFile(place / "db.sqlite", "old database");
    writeFile(place / "db.sqlite-wal", "stale log");
    writeFile(place / "db.sqlite-journal", "stale journal");
    writeFile(place / "kept/other.txt", "not the restore's");
    const auto before = tree(place);

    undo::Plan plan;
    plan.description = "A restore";
    const std::vector<std::string> written{
        "replaced.txt", "empty.txt", kOutsideCodePage, "db.sqlite", "new/deeper/created.txt", "kept/new.txt"};
    for (std::string name : written) {
        std::replace(name.begin(), name.end(), '/', '\\');
        plan.files.push_back(joinPath(joinPath(tmp.str(), "profile"), name));
    }
    undo::saveBeforeRestore(plan);
    EXPECT_FALSE(fs::exists(place / "db.sqlite-wal"));
    EXPECT_FALSE(fs::exists(place / "db.sqlite-journal"));

    // What the restore then does: it replaces and creates; a file of the person's own lands in a
    // folder the restore made.
    for (const auto& name : written)
        writeFile(place / utf8(name), "restored");
    writeFile(place / "new/mine.txt", "made since");

    const auto list = undo::listSets();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].replaced, 6u);  // four files and the two companions
    EXPECT_EQ(list[0].created, 2u);
    EXPECT_NE(undo::describe(list[0]).find("A restore: 6 files replaced, 2 created ("), std::string::npos)
        << undo::describe(list[0]);

    EXPECT_EQ(undo::undoLast().outcome(), Outcome::Done);
    auto expected = before;
    expected["new"] = "<folder>";  // not empty: the person's file keeps it
    expected["new/mine.txt"] = "made since";
    EXPECT_EQ(tree(place), expected);
    EXPECT_EQ(undo::undoLast().outcome(), Outcome::NothingDone);

    // A restore that will change nothing leaves no set to undo.
    undo::saveBeforeRestore({"Nothing", {}, {}});
    EXPECT_TRUE(undo::listSets().empty());
}

// The last five sets are kept, newest first, and the command line lists and undoes them.
TEST(Undo, KeepsTheLastFiveAndTheCommandLineOffersThem) {
    OwnDataFolder sets;
    TempDir tmp;
    for (int i = 1; i <= 7; ++i) {
        writeFile(tmp / "file.txt", "version " + std::to_string(i));
        undo::Plan plan{"Restore " + std::to_string(i), {joinPath(tmp.str(), "file.txt")}, {}};
        undo::saveBeforeRestore(plan);
    }
    const auto list = undo::listSets();
    ASSERT_EQ(list.size(), undo::kKeptSets);
    EXPECT_EQ(list.front().description, "Restore 7");
    EXPECT_EQ(list.back().description, "Restore 3");

    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    EXPECT_EQ(cli::runCli({"undo", "--list"}, ctx), 0) << err.str();
    EXPECT_EQ(out.str().find("Restore 7: 1 file replaced, 0 created ("), 18u) << out.str();
    EXPECT_EQ(cli::runCli({"undo"}, ctx), 0) << err.str();
    EXPECT_EQ(readFile(tmp / "file.txt"), "version 7");
    EXPECT_EQ(undo::listSets().size(), undo::kKeptSets - 1);
}

}  // namespace
}  // namespace kelvora::test
