// Sample machines with Internet Explorer data, a recording host and a backup folder, for the tests of
// the Internet Explorer tasks. The registry is the machine's NTUSER.DAT, so these run on POSIX.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/ie.h"
#include "core/registry.h"
#include "platform/platform.h"
#include "selective_fixture.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::test {

using platform::RegistryTree;

// Every Internet Explorer key of the machine in use, by hive file name; nullopt for a missing key.
inline std::map<std::string, std::optional<RegistryTree>> ieKeys() {
    std::map<std::string, std::optional<RegistryTree>> keys;
    for (const auto& hive : browsers::ie::allHives())
        keys[hive.file] = platform::readRegistryTree(hive.key);
    return keys;
}

// What a key holds on the second machine before anything is restored into it.
inline RegistryTree changedKey() {
    return RegistryTree{"", {RegistryString("Changed", "after the backup")}, {RegistryTree{"Later", {}, {}}}};
}

class IeFixture {
  public:
    explicit IeFixture(const std::string& version = "6") {
        machine = tools::buildSampleMachine(tmp / "machine", {version, "ann"});
        machine.activate();
        fs::create_directories(savesDir());
    }

    fs::path savesDir() const { return tmp / "saves"; }
    std::string saves() const { return savesDir().string(); }

    // The archive's entries, sorted, with "\" between folders.
    std::vector<std::string> entries(const std::string& archiveName) const {
        std::vector<std::string> list;
        TZlibMultiple z;
        z.ListStoredFiles((savesDir() / archiveName).string(), list);
        std::sort(list.begin(), list.end());
        return list;
    }

    // A selective window with the backup location set and only `only` ticked (all when null).
    browsers::SelectiveState window(browsers::Task kind, const std::vector<std::string>* only = nullptr) {
        auto state = browsers::ie::makeState(kind);
        browsers::ie::activate(state);
        if (only) {
            browsers::ie::selectAll(state, false);
            for (const auto& caption : *only)
                state.setTicked(caption, true);
        }
        state.backupLocationText = saves();
        return state;
    }

    browsers::SelectiveState backUp(const std::vector<std::string>* only = nullptr) {
        auto state = window(browsers::Task::Backup, only);
        result = browsers::ie::runBackup(state, host, machine.facts());
        return state;
    }

    // The names in the backup location: after any task only archives, never a staging folder.
    std::vector<std::string> savedNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(savesDir()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    browsers::SelectiveState restore(const std::vector<std::string>* only = nullptr) {
        auto state = window(browsers::Task::Restore, only);
        browsers::ie::runRestore(state, host, machine.facts());
        return state;
    }

    browsers::full::State fullWindow(browsers::Task task) {
        auto state = browsers::ie::makeFullState(task);
        state.readFacts = [this] { return machine.facts(); };
        state.backupLocationText = saves();
        return state;
    }

    // Switches to a second machine of the same user whose Internet Explorer keys all hold
    // changedKey() and whose cookies folder has a cookie of its own.
    void moveToSecondMachine(const std::string& version = "6") {
        machine = tools::buildSampleMachine(tmp / "second", {version, "ann"});
        machine.activate();
        for (const auto& hive : browsers::ie::allHives())
            ASSERT_TRUE(platform::writeRegistryTree(hive.key, changedKey())) << hive.key;
        writeFile(cookies() / "ann@later[1].txt", "later cookie");
    }

    fs::path home() const {
        return machine.root / (machine.version == "5" ? "Documents and Settings" : "Users") / "ann";
    }
    fs::path cookies() const {
        return machine.version == "5" ? home() / "Cookies" : machine.roaming() / "Microsoft/Windows/Cookies";
    }
    fs::path favorites() const { return home() / "Favorites"; }
    fs::path dataFolder() const { return machine.roaming() / "Microsoft/Internet Explorer"; }
    fs::path recovery() const { return dataFolder() / "Recovery"; }

    TempDir tmp;
    tools::SampleMachine machine;
    RecordingHost host;
    TaskResult result;  // of the last backUp()
};

// The thirteen hive file names and the entries of the three folders of a sample machine, as an
// archive of everything lists them.
inline std::vector<std::string> hiveNames() {
    std::vector<std::string> names;
    for (const auto& hive : browsers::ie::allHives())
        names.push_back(hive.file);
    return names;
}

// The entries of `list` that lie in `folder` ("Cookies\...").
inline std::vector<std::string> inFolder(const std::vector<std::string>& list, const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& entry : list) {
        if (entry.rfind(folder + "\\", 0) == 0)
            out.push_back(entry);
    }
    return out;
}

// The entries of `list` at the top level (hive files).
inline std::vector<std::string> topLevel(const std::vector<std::string>& list) {
    std::vector<std::string> out;
    for (const auto& entry : list) {
        if (entry.find('\\') == std::string::npos)
            out.push_back(entry);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace kelvora::test
