// The sample machine: a Windows installation written into a folder, with realistic profiles of the
// browsers Kelvora backs up. Tests, the demo and anyone trying the program build one with
// buildSampleMachine() or the kelvora-sample-machine program.
//
// Layout by Windows major version ("5": XP, "6": Vista and 7):
//   5: ROOT\Documents and Settings\USER\Application Data (roaming)
//      ROOT\Documents and Settings\USER\Local Settings\Application Data (local)
//   6: ROOT\Users\USER\AppData\Roaming and ROOT\Users\USER\AppData\Local
//
// The browsers come as they were in 2010, or with `today` as they are now: Firefox with install sections and
// a profile outside its folder, Flock on the same files, Chrome, Edge, Brave, Vivaldi and Chromium with
// several profiles, Opera Stable and Opera GX; Safari, Opera 10 and Internet Explorer stay as in 2010.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "browsers/browser.h"

namespace kelvora::tools {

struct SampleMachine {
    std::filesystem::path root;  // the folder standing for the system drive
    std::string user;
    std::string version;  // "5" or "6"

    std::filesystem::path home() const;     // native folder of the user's profile
    std::filesystem::path roaming() const;  // native roaming application-data folder
    std::filesystem::path local() const;    // native local application-data folder

    // The environment facts a wizard reads on this machine. On POSIX the paths are "C:\..." and
    // need activate(); on Windows the root folder itself plays the drive.
    browsers::EnvironmentFacts facts() const;
    // Makes this machine the one the platform works on (POSIX); nothing on Windows.
    void activate() const;
    // Makes this machine the one the program finds by itself, as its window does: on POSIX
    // activate(); on Windows, only under Wine, the machine's user folder takes the place of the
    // user's own folder and its Internet Explorer keys are written into the user's registry (see
    // endLiveMachine()). The machine must be of the user running the program (user = the login
    // name, version "6"). Throws std::runtime_error saying why when it can't be done.
    void makeLive() const;
    // True while this machine is the live one (Windows): its folders are then the user's own.
    bool isLive() const;
    // A path on this machine in the form the facts use: "C:\Users\ann\..." on POSIX.
    std::string windowsPath(const std::filesystem::path& native) const;
};

struct SampleMachineOptions {
    std::string version = "6";
    std::string user = "ann";
    bool today = false;  // today's browser layouts instead of the 2010 ones
};

// Puts back the user's own folder that a live machine took the place of, moving that machine's
// folder back into its root (Windows; nothing elsewhere or when no machine is live).
void endLiveMachine();

// Writes the machine into `root` (created when missing) and returns it. Throws
// std::runtime_error naming the file when something can't be written.
SampleMachine buildSampleMachine(const std::filesystem::path& root, const SampleMachineOptions& options = {});

// Internet Explorer's part of the machine (cookies, favorites, recovery data, the registry hive).
// Called by buildSampleMachine after the other browsers; defined in sample_machine_ie.cpp.
void writeInternetExplorerData(const SampleMachine& machine);
// Internet Explorer's registry keys of the machine, written into the registry the platform works on.
void writeInternetExplorerKeys(const SampleMachine& machine);

// Today's Firefox, Flock, Chromium-family and Opera profiles, written by buildSampleMachine instead
// of the 2010 ones when options.today is set; defined in sample_machine_today.cpp.
void writeTodaysBrowsers(const SampleMachine& machine);

// ---- Building blocks, shared with the Internet Explorer part and with tests ----

// One table of a sample SQLite database: the first column is "id INTEGER PRIMARY KEY", the
// others are TEXT; each row gives the text columns' values.
struct SqliteTable {
    std::string name;
    std::vector<std::string> columns;  // the text columns
    std::vector<std::vector<std::string>> rows;
};
// A valid SQLite 3 database file (page size 4096, one leaf page per table) holding `tables`.
std::string sqliteDatabase(const std::vector<SqliteTable>& tables);

// Windows: the user's own folder, as the system names it (where a live machine's user folder goes).
// Empty elsewhere.
std::filesystem::path liveHome();

// Writes a file, creating missing folders; throws std::runtime_error naming the file.
void writeSampleFile(const std::filesystem::path& path, const std::string& contents);

}  // namespace kelvora::tools
