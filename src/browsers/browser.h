// A browser as data: where its profiles are found, how they are named, which files and folders
// each tick box carries, and the progress steps of its selective tasks. The shared procedures in
// selective.h (and the full and Internet Explorer tasks) read these descriptors; no procedure is
// written per browser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvora::browsers {

enum class BrowserId { Firefox, Flock, Chrome, Safari, Opera };

// The five environment facts a wizard reads when it is activated.
struct EnvironmentFacts {
    std::string uzer;     // login name
    std::string drv;      // system drive, "C:"
    std::string sfp;      // roaming application-data folder
    std::string loc;      // local application-data folder
    std::string windoze;  // Windows major version as text: "5", "6", "10", ...
};

// The facts of the machine the program works on (core's GetLoginName and friends).
EnvironmentFacts readEnvironmentFacts();

// One candidate folder of the marker search. The templates hold the placeholders {uzer}, {drv},
// {sfp} and {loc}. `onlyForFive`: the version-"5" column assigns this folder only when the
// version text is "5"; under any other version (but "6") it keeps its earlier value.
struct CandidateFolder {
    std::string versionFive;  // also used for every version other than "6"
    std::string versionSix;
    bool onlyForFive = false;
};

// Where an item's folders are read on backup and written on restore.
enum class ItemPlace {
    Profile,          // the profile folder
    PreferencesRoot,  // the folder discovery found (Safari's "Apple Computer" folder)
};

// One row of an item table: the tick box it belongs to, the files and folders it carries (names
// inside the profile folder; a folder may be a nested path such as "profile\widgets") and the
// amount the progress bar advances once the row is done (0: no step).
struct ItemRow {
    std::string caption;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    int step = 0;
    ItemPlace place = ItemPlace::Profile;
    bool localMail = false;  // also carries the local mail folder as "loc\mail" (Opera)
};

// A tick box of the selective windows, in screen order (columns top to bottom).
struct TickBoxInfo {
    std::string name;     // the control's name, "CheckBox1"
    std::string caption;  // "Bookmarks"
    bool enabled = true;  // false: shown ticked and disabled ("Cache")
};

// How the profile list is formed from the profile root.
enum class ProfileListRule {
    ProfilesFolder,       // subfolders of root + "Profiles" (Firefox, Flock)
    RootSubfolders,       // subfolders of the root itself (Chrome, Opera)
    RootLessPreferences,  // subfolders of the root less the first "Preferences" (Safari)
};

struct Browser {
    BrowserId id;
    std::string name;     // "Firefox"
    std::string keyword;  // "firefox", for the command line

    // Window texts.
    std::string backupCaption;   // "Backup Firefox Web Browser"
    std::string restoreCaption;  // "Restore Firefox Web Browser"
    std::string backupTitle;     // "Welcome to Firefox Backup Wizard"
    std::string restoreTitle;    // "Welcome to Firefox Restore Wizard"

    // Discovery.
    std::string marker;                       // "profiles.ini"
    std::vector<CandidateFolder> candidates;  // in search order
    std::vector<std::string> rootCut;         // removed from the hit, in order, ignoring case
    ProfileListRule listRule = ProfileListRule::ProfilesFolder;
    std::string profilesFolder;      // "Profiles" for ProfilesFolder, else empty
    std::string defaultProfileName;  // the profile the browser starts with when it names one ("Default")
    // Opera: when root + layoutTest exists, a profile's data lies in its subfolder layoutSubfolder.
    std::string layoutTest;
    std::string layoutSubfolder;

    // Profile and staging names.
    std::string backupCustomName;   // profile name for a custom folder: "123456789ff_custom"
    std::string restoreCustomName;  // Opera restores under "ch_custom"
    std::size_t stagingCut = 0;     // characters cut from the profile name (Firefox, Flock: 9)
    std::string localMailParent;    // Opera: below loc, "\Opera\" (+ profile name + "\")

    // Tick boxes and item tables.
    std::vector<TickBoxInfo> tickBoxes;
    std::vector<ItemRow> backupItems;   // in the order backup works through them
    std::vector<ItemRow> restoreItems;  // in the order restore works through them
    int backupStartStep = 5;
    int backupEndStep = 9;
    int restoreStartStep = 5;
    int restoreEndStep = 9;
};

const Browser& firefox();
const Browser& flock();
const Browser& chrome();
const Browser& safari();
const Browser& opera();

// All five, in the order above.
const std::vector<const Browser*>& selectiveBrowsers();
// The browser with this keyword or name (any letter case); nullptr when none.
const Browser* findBrowser(std::string_view keywordOrName);

// The candidate folders for these facts, in search order, starting from `previous` (the values
// the window kept from an earlier activation; empty strings in a new window).
std::vector<std::string> candidateFolders(const Browser& browser, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous = {});

}  // namespace kelvora::browsers
