// The selective backup and restore of one browser profile, written once for every browser that
// keeps profiles in folders (every descriptor of browser.h).
//
// A front end keeps one SelectiveState per wizard window. It copies its widgets into the state,
// calls one of the functions below with the browser's descriptor and its Host, and copies the
// state back into its widgets: every text, list and flag the window shows and a task changes is
// here. Errors that end a task are thrown as kelvora::Error with the text the error box shows.
#pragma once

#include <string>
#include <vector>

#include "browsers/browser.h"
#include "browsers/host.h"
#include "core/result.h"

namespace kelvora::browsers {

// Initial texts of the two edits; they mean "nothing chosen".
inline constexpr const char* kBackupLocationPrompt = "Backup location:";
inline constexpr const char* kCustomProfilePrompt = "Custom profile location (optional):";

// The wizards' fixed messages.
inline constexpr const char* kSelectBackupLocation = "Please Select Backup Location";
inline constexpr const char* kSettingsNotFound = "Settings Files Not Found. Select Custom Profile.";
inline constexpr const char* kChooseBackupFile = "Choose a backup file";

struct TickBox {
    std::string caption;
    bool checked = true;
    bool enabled = true;
};

// A file or folder that exists but could not be copied, with the item (tick box caption) it belongs to.
using LeftOut = LeftOutItem;

// The wizard's own fields keep readable names; the names the window's design gives them follow in
// the comments.
struct SelectiveState {
    Task task = Task::Backup;

    // ---- What the window shows ----
    std::string caption;  // window caption, "Backup Firefox Web Browser"
    std::string title;    // title label; set on activation, emptied while packing
    bool finishVisible = false;
    bool focusOnNext = false;                // discovery asks the window to focus "Next >"
    std::vector<TickBox> tickBoxes;          // in screen order
    std::vector<std::string> profiles;       // the profile list: folder names
    std::vector<std::string> profileLabels;  // what the list shows: the name, with the browser's own
                                             // display name beside it where it has one
    int profileIndex = -1;
    bool profileListEnabled = true;
    std::vector<std::string> backupFiles;  // restore: the "*.dat" files of the location
    int backupFileIndex = -1;
    std::string backupLocationText = kBackupLocationPrompt;
    std::string customProfileText = kCustomProfilePrompt;

    // ---- The wizard's fields ----
    std::string backupFolder;                 // backups: the backup location
    std::string customFolder;                 // cdir: the custom profile folder
    EnvironmentFacts facts;                   // uzer, drv, sfp, loc, windoze
    std::vector<std::string> candidates;      // dir1..dir4 (Opera: v101, v102, dir1..dir4), every way's
    std::string markerFound;                  // fullFilePath: the marker found, or empty
    std::string profileRoot;                  // the profile root discovery found, ending in "\"
    std::vector<std::string> profileFolders;  // the folder of each entry of `profiles`
    std::size_t listedFrom = 0;               // the first entry the last activation listed
    std::string markedProfile;                // the profile the browser marks as its default
    std::string profileFolder;                // ffpath: the profile folder "Next >" works on, ending in "\"
    std::string profileName;                  // profile
    std::string archivePath;                  // the archive written (datfile: "\" + its name) or read
    std::string backupFileName;               // atspaudziam: restore's chosen backup file name
    std::string extractionFolder;             // backuploc: where restore unpacked, ending in "\"
    std::string mailFolder;                   // mdir: Opera 10's local mail parent folder
    std::string preferencesRoot;              // Safari's preferences root, Chromium's User Data folder

    // ---- After a task ----
    // Files and folders that existed but could not be copied. Reported to the user through the
    // host when the task has finished; missing ones are skipped silently and are not listed.
    std::vector<LeftOut> leftOut;
    // What the person should know about files that were copied (a database that stayed locked).
    std::vector<std::string> notes;

    bool isTicked(const std::string& caption) const;
    void setTicked(const std::string& caption, bool checked);
};

// A new window's state: tick boxes all ticked, edits at their prompts, captions and title set.
SelectiveState makeSelectiveState(const Browser& browser, Task task);

// "Select All" (true) and "Deselect" (false): every tick box, disabled ones included.
void selectAll(SelectiveState& state, bool checked);
// The custom-profile edit changed: the profile list is emptied and disabled.
void customProfileChanged(SelectiveState& state);

// Activation: finds the profile root and appends the profiles to the list. Reads the machine's
// facts, or takes them given.
void discoverProfiles(const Browser& browser, SelectiveState& state, Host& host);
void discoverProfiles(const Browser& browser, SelectiveState& state, Host& host,
                      const EnvironmentFacts& facts);

// The profile a task takes when none is chosen: the one the browser marks as its default, as
// discovery read it (profiles.ini for Firefox and Flock, "Default" for Chrome), else the only one;
// -1 when there are several and none is marked.
int defaultProfileIndex(const Browser& browser, const SelectiveState& state);

// The entry of the profile list named `name` (the folder name, any letter case); -1 when none.
int profileIndexOf(const SelectiveState& state, const std::string& name);

// Restore: the backup-location edit changed to state.backupLocationText; lists its "*.dat" files.
void backupLocationChanged(SelectiveState& state);

// "Next >" of the backup and of the restore window. What the task did is the result; the host has
// been shown the wizards' own messages on the way, never the result's failure message.
//
// Backup: the items are copied into a new private staging folder beside the archive, packed into
// "<profile>.dat" and the staging folder removed outright. An existing archive is replaced only
// when the host confirms; no archive is written when no file of the ticked items was found.
// Restore: nothing is touched unless the archive holds a record of a ticked item; the archive is
// unpacked into a new private folder beside it and copied into the profile file by file.
TaskResult runSelectiveBackup(const Browser& browser, SelectiveState& state, Host& host);

// The end of a selective task that did its work: the progress window at 100 and gone, "Finished"
// with the Finish button, and what the task's rows left out (before what `result` already holds)
// kept in the state and told.
TaskResult selectiveFinished(SelectiveState& state, Host& host, TaskResult result);
TaskResult runSelectiveRestore(const Browser& browser, SelectiveState& state, Host& host);

// The staging name for a profile name ("\default" for "abcd1234.default"), and the extraction
// name for a backup file name ("mya" for "my.data.dat"). Names that would leave an empty or
// dots-only folder name fall back so that the backup location itself is never used.
std::string stagingName(const Browser& browser, const std::string& profileName);
std::string extractionName(const std::string& backupFileName);

}  // namespace kelvora::browsers
