// A sample machine in a temporary folder, a recording host and a backup folder, for the tests of
// the selective tasks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/selective.h"
#include "platform/platform.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::test {

namespace fs = std::filesystem;

class SelectiveFixture {
  public:
    // A machine of 2010's browsers, or with `today` of today's.
    explicit SelectiveFixture(const std::string& version, bool today = false) {
        machine = tools::buildSampleMachine(tmp / "machine", {version, "ann", today});
        machine.activate();
        facts = machine.facts();
        fs::create_directories(savesDir());
    }

    fs::path savesDir() const { return tmp / "saves"; }
    // The backup location as the wizard's edit holds it.
    std::string saves() const { return savesDir().string(); }

    browsers::SelectiveState discover(const browsers::Browser& browser, browsers::Task kind) {
        auto state = browsers::makeSelectiveState(browser, kind);
        browsers::discoverProfiles(browser, state, host, facts);
        return state;
    }

    static void choose(browsers::SelectiveState& state, const std::string& profile) {
        const auto it = std::find(state.profiles.begin(), state.profiles.end(), profile);
        ASSERT_NE(it, state.profiles.end()) << profile;
        state.profileIndex = static_cast<int>(it - state.profiles.begin());
    }

    static void tickOnly(browsers::SelectiveState& state, const std::vector<std::string>& captions) {
        browsers::selectAll(state, false);
        for (const auto& caption : captions)
            state.setTicked(caption, true);
    }

    // Backs up `profile` (empty: the custom folder in the state) and returns the state after.
    browsers::SelectiveState backUp(const browsers::Browser& browser, const std::string& profile,
                                    const std::vector<std::string>* only = nullptr) {
        auto state = discover(browser, browsers::Task::Backup);
        if (!profile.empty())
            choose(state, profile);
        if (only)
            tickOnly(state, *only);
        state.backupLocationText = saves();
        result = browsers::runSelectiveBackup(browser, state, host);
        return state;
    }

    // A restore window with the backup location set (which lists its archives) and `archive` chosen.
    browsers::SelectiveState restoreWindow(const browsers::Browser& browser, const std::string& archive) {
        auto state = discover(browser, browsers::Task::Restore);
        state.backupLocationText = saves();
        browsers::backupLocationChanged(state);
        const auto it = std::find(state.backupFiles.begin(), state.backupFiles.end(), archive);
        EXPECT_NE(it, state.backupFiles.end()) << archive;
        state.backupFileIndex = static_cast<int>(it - state.backupFiles.begin());
        return state;
    }

    // The archive's entries, sorted, with "\" between folders.
    std::vector<std::string> entries(const std::string& archiveName) const {
        std::vector<std::string> list;
        TZlibMultiple z;
        z.ListStoredFiles((savesDir() / archiveName).string(), list);
        std::sort(list.begin(), list.end());
        return list;
    }

    TempDir tmp;
    tools::SampleMachine machine;
    browsers::EnvironmentFacts facts;
    RecordingHost host;
    TaskResult result;  // of the last backUp()
};

// Every file below `dir`: relative path ("/" separators) -> contents.
inline std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    if (!fs::exists(dir))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(dir).generic_string()] = readFile(entry.path());
    }
    return files;
}

inline std::vector<std::string> sorted(std::vector<std::string> list) {
    std::sort(list.begin(), list.end());
    return list;
}

}  // namespace kelvora::test
