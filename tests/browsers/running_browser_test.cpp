// A browser that is running: a restore into its profile asks first and writes nothing while it is
// open; a backup goes on and says its databases were copied live.
#include <gtest/gtest.h>

#include <sstream>

#include "browsers/full.h"
#include "browsers/undo.h"
#include "cli/command.h"
#include "selective_fixture.h"
#include "support/sqlite_writer_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kelvora::test {
namespace {

using Answer = browsers::Host::InUseAnswer;

// Firefox's lock on a profile, as the running browser holds it: Windows, "parent.lock" open without
// sharing (Wine checks sharing between handles of one process too); POSIX, the "lock" link naming
// this computer and a running process (this one).
class RunningFirefox {
  public:
    explicit RunningFirefox(const fs::path& profile) {
#ifdef _WIN32
        handle_ = CreateFileW((profile / "parent.lock").wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
#else
        link_ = profile / "lock";
        fs::create_symlink(platform::hostName() + ":+" + std::to_string(::getpid()), link_);
#endif
    }
    ~RunningFirefox() {
        close();
    }
    RunningFirefox(const RunningFirefox&) = delete;
    RunningFirefox& operator=(const RunningFirefox&) = delete;

    void close() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        std::error_code ignored;
        fs::remove(link_, ignored);
#endif
    }

  private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    fs::path link_;
#endif
};

TEST(RunningBrowser, RestoreAsksAndWritesNothingWhileItRuns) {
    OwnDataFolder undoSets;
    SelectiveFixture fx("6");
    const auto& firefox = browsers::browser("firefox");
    const auto backup = fx.backUp(firefox, "abcd1234.default");
    ASSERT_TRUE(fx.result.ok()) << fx.result.message();
    const fs::path profile = platform::nativePath(backup.profileFolder);
    const std::string archived = readFile(profile / "prefs.js");
    RunningFirefox running(profile);

    // A backup while it runs goes on and says so.
    fx.host.replaceAnswer = true;
    fx.backUp(firefox, "abcd1234.default");
    EXPECT_TRUE(fx.result.ok()) << fx.result.message();
    ASSERT_FALSE(fx.result.notes.empty());
    EXPECT_EQ(fx.result.notes.back(),
              "Firefox was running: its databases were copied live, each as one consistent snapshot.");
    writeFile(profile / "prefs.js", "changed while running");
    const auto before = snapshot(profile);

    // The window: Retry looks again, Cancel ends the restore before anything is written.
    auto state = fx.restoreWindow(firefox, "default.dat");
    SelectiveFixture::choose(state, "abcd1234.default");
    fx.host.inUseAnswers = {Answer::Retry, Answer::Cancel};
    const TaskResult stopped = browsers::runSelectiveRestore(firefox, state, fx.host);
    EXPECT_EQ(stopped.outcome(), Outcome::Failed);
    EXPECT_EQ(stopped.message().rfind("Close Firefox first", 0), 0u) << stopped.message();
    const auto asked = std::count_if(fx.host.calls.begin(), fx.host.calls.end(), [](const std::string& call) {
        return call.rfind("in use:Close Firefox first.", 0) == 0;
    });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(snapshot(profile), before);
    EXPECT_TRUE(browsers::undo::listSets().empty());

    // The command line stops with exit code 1 and names --force; with it, the restore goes on.
    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    const std::vector<std::string> restore{
#ifndef _WIN32
        "--root",        fx.machine.root.string(),
        "--user",        "ann",
#endif
        "restore",       "firefox",
        "--from",        fx.saves(),
        "--archive",     "default.dat",
        "--profile-dir", profile.string()};
    EXPECT_EQ(cli::runCli(restore, ctx), 1);
    EXPECT_NE(err.str().find("Close Firefox first"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("--force"), std::string::npos) << err.str();
    EXPECT_EQ(snapshot(profile), before);

    auto forced = restore;
    forced.push_back("--force");
    EXPECT_EQ(cli::runCli(forced, ctx), 0) << err.str();
    EXPECT_EQ(readFile(profile / "prefs.js"), archived);

    // Once it is closed, the window's restore runs without asking.
    running.close();
    writeFile(profile / "prefs.js", "changed again");
    fx.host.calls.clear();
    state = fx.restoreWindow(firefox, "default.dat");
    SelectiveFixture::choose(state, "abcd1234.default");
    EXPECT_TRUE(browsers::runSelectiveRestore(firefox, state, fx.host).ok());
    EXPECT_EQ(readFile(profile / "prefs.js"), archived);
    EXPECT_EQ(std::count_if(fx.host.calls.begin(), fx.host.calls.end(),
                            [](const std::string& call) { return call.rfind("in use:", 0) == 0; }),
              0);
}

// A backup while the browser writes a database in WAL mode (another process holds it with rows
// committed only in the -wal and a transaction open): the archived database opens, passes its
// integrity check and holds every committed row and none of the open transaction; the archive
// holds no -wal or -shm. Selective and full.
TEST(RunningBrowser, LiveDatabaseIsArchivedWhole) {
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full ? "full" : "selective");
        SelectiveFixture fx("6");
        const auto& firefox = browsers::browser("firefox");
        const fs::path profile = fx.machine.roaming() / "Mozilla/Firefox/Profiles/abcd1234.default";
        fs::remove(profile / "places.sqlite");
        TempDir control;
        SqliteWriter writer("wal", profile / "places.sqlite", control.path());
        ASSERT_TRUE(writer.ready());
        ASSERT_TRUE(fs::exists(profile / "places.sqlite-wal"));

        std::string archive = "default.dat";
        std::string record = "places.sqlite";
        if (full) {
            auto state = browsers::full::makeState(firefox, browsers::Task::Backup);
            state.readFacts = [&fx] { return fx.machine.facts(); };
            browsers::full::activate(firefox, state, fx.host);
            state.backupLocationText = fx.saves();
            fx.result = browsers::full::backup(firefox, state, fx.host);
            archive = "allsave_firefox.dat";
            record = "Profiles\\abcd1234.default\\places.sqlite";
        } else {
            fx.backUp(firefox, "abcd1234.default");
        }
        ASSERT_TRUE(fx.result.ok()) << fx.result.message();
        EXPECT_TRUE(fx.result.notes.empty()) << fx.result.notes.front();
        const auto records = fx.entries(archive);
        EXPECT_TRUE(std::binary_search(records.begin(), records.end(), record));
        EXPECT_FALSE(std::binary_search(records.begin(), records.end(), record + "-wal"));
        EXPECT_FALSE(std::binary_search(records.begin(), records.end(), record + "-shm"));

        TempDir unpacked;
        TZlibMultiple reader;
        reader.DecompressFile((fx.savesDir() / archive).string(), unpacked.str(), true, true);
        std::string relative = record;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const Contents copied = contentsOf(unpacked / relative);
        EXPECT_EQ(copied.integrity, "ok");
        std::vector<int> committed;
        for (int id = 1; id <= 200; ++id)
            committed.push_back(id);
        EXPECT_EQ(copied.ids, committed);
    }
}

}  // namespace
}  // namespace kelvora::test
