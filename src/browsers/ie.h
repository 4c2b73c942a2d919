// Internet Explorer's selective and full backup and restore. Its data lies partly in folders of the
// user's profile (cookies, favorites, the session recovery folder) and partly in registry keys of
// the current user, which travel as hive files beside the folders inside the archive.
//
// The selective wizards keep a SelectiveState (selective.h) and the full wizards a full::State
// (full.h), as the other browsers' wizards do; the functions here fill and read the same fields.
// Errors that end a task are thrown as kelvora::Error with the text the error box shows.
#pragma once

#include <string>
#include <vector>

#include "browsers/browser.h"
#include "browsers/full.h"
#include "browsers/host.h"
#include "browsers/selective.h"

namespace kelvora::browsers::ie {

inline constexpr const char* kName = "Internet Explorer";
inline constexpr const char* kKeyword = "ie";
inline constexpr const char* kBackupCaption = "Backup Internet Explorer Web Browser";
inline constexpr const char* kRestoreCaption = "Restore Internet Explorer Web Browser";
inline constexpr const char* kBackupTitle = "Welcome to Internet Explorer Backup Wizard";
inline constexpr const char* kRestoreTitle = "Welcome to Internet Explorer Restore Wizard";
inline constexpr const char* kFullBackupTitle = "Welcome to Internet Explorer Full Backup Wizard";
inline constexpr const char* kFullRestoreTitle = "Welcome to Internet Explorer Full Restore Wizard";
inline constexpr const char* kProfileName = "Default";  // the one, disabled, profile list entry

inline constexpr const char* kMarker = "brndlog.txt";
inline constexpr const char* kSelectiveArchive = "backup_ie.dat";
inline constexpr const char* kFullArchive = "allsave_ie.dat";

inline constexpr int kStep = 9;
inline constexpr int kPauseMs = 1000;

// A registry key below HKEY_CURRENT_USER (as passed, with its trailing "\") and the hive file it
// is saved into inside the staging folder.
struct HiveFile {
    std::string key;
    std::string file;
};

enum class ItemFolder { None, Cookies, Favorites, Recovery };

// One row of the item table, in the order the tasks work through them.
struct Item {
    std::string caption;
    std::vector<HiveFile> hives;
    ItemFolder folder = ItemFolder::None;
};

// The nine items. "Settings" holds its seven keys in the order they are saved.
const std::vector<Item>& items();
// Every hive file of the table, in item order (thirteen).
std::vector<HiveFile> allHives();
// The ten tick boxes in window order; "Dialup" is unticked, disabled and never read.
const std::vector<TickBoxInfo>& tickBoxes();
// The folder's name inside the staging folder: "Cookies", "Favorites" or "Recovery".
std::string folderName(ItemFolder folder);

// Where Internet Explorer keeps its data on a machine with these facts.
struct Locations {
    std::vector<std::string> candidates;  // the three marker candidates (the first may be empty)
    std::string cookiesParent;            // holds "Cookies"
    std::string favoritesParent;          // holds "Favorites"
    std::string fullFilePath;             // "brndlog.txt" as found, or empty
    std::string dataFolder;               // the found path less "brndlog.txt", ending in "\"; or empty
    // dataFolder + "\Recovery"; empty when the marker was not found, so that no other folder of
    // that name (the system drive's own "\Recovery") is taken for Internet Explorer's.
    std::string recoveryFolder;

    // The folder on the machine that a folder item reads from and restores into, and its parent.
    std::string folderPath(ItemFolder folder) const;
    std::string folderParent(ItemFolder folder) const;
};

// The candidates and parent folders for the Windows major version (the Users folders from "6" on,
// Documents and Settings before), then the marker search.
Locations findLocations(const EnvironmentFacts& facts);

// ---- Selective wizards ----------------------------------------------------------------------

// A new window: ten tick boxes, "Default" as the only (disabled) profile, the edits at their prompts.
SelectiveState makeState(Task task);
// Activation: the title; the backup window also hides "Finish".
void activate(SelectiveState& state);
// "Select All" (true) and "Deselect" (false): the nine enabled boxes; "Dialup" stays as it is.
void selectAll(SelectiveState& state, bool checked);

// "Next >". The facts are read from the machine unless given. A folder item whose folder does not
// exist is unticked. Files and folders that existed but could not be copied, and keys that exist
// but could not be saved, are listed in state.leftOut and reported through the host at the end.
TaskResult runBackup(SelectiveState& state, Host& host);
TaskResult runBackup(SelectiveState& state, Host& host, const EnvironmentFacts& facts);
TaskResult runRestore(SelectiveState& state, Host& host);
TaskResult runRestore(SelectiveState& state, Host& host, const EnvironmentFacts& facts);

// ---- Full wizards ---------------------------------------------------------------------------

// A new window's state: caption and title of the task. The facts come from state.readFacts.
full::State makeFullState(Task task);
// Activation: the title, "Finish" hidden.
void activateFull(full::State& state);
// "Next >": every item, always; the window's own bar advances by 9 per group of items and stands
// at 0 when the task is done.
TaskResult runFullBackup(full::State& state, Host& host);
TaskResult runFullRestore(full::State& state, Host& host);

// The message for a missing archive: 'Backup File "backup_ie.dat" Not Found'.
std::string notFoundMessage(const std::string& archiveName);

}  // namespace kelvora::browsers::ie
