// A browser as data: where its profiles are found, how they are named, which files and folders
// each tick box carries, the progress steps of its selective tasks and the archives of its full
// tasks. The shared procedures in selective.h and full.h read these descriptors; no procedure is
// written per browser, and the list below is the one place a browser is added. (Internet Explorer
// keeps its data in the registry and system folders; its tasks are in ie.h.)
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvora::browsers {

// What a wizard does: back up or restore.
enum class Task { Backup, Restore };

// The five environment facts a wizard reads when it is activated.
struct EnvironmentFacts {
    std::string uzer;     // login name
    std::string drv;      // system drive, "C:"
    std::string sfp;      // roaming application-data folder
    std::string loc;      // local application-data folder
    std::string windoze;  // Windows major version as text: "5", "6", "10", ...
    // This computer (POSIX): the user's home folder, where its browsers keep their profiles.
    bool thisComputer = false;
    std::string home{};  // {home}
};

// The facts of the machine the program works on (core's GetLoginName and friends).
EnvironmentFacts readEnvironmentFacts();

// One candidate folder of the marker search. The templates hold the placeholders {uzer}, {drv},
// {sfp}, {loc}, {home} (this computer's home folder) and {name} (the installation folder name,
// Opera 10's "Opera"). Versions with the Users folders (platform::usersLayout: "6" and later) take
// `versionSix`, the others `versionFive`. `onlyForFive`: the version-"5" column assigns this folder
// only when the version text is "5"; under a version that is neither "5" nor one with the Users
// folders it keeps its earlier value.
struct CandidateFolder {
    std::string versionFive;  // also used for every version without the Users folders
    std::string versionSix;   // "6" and later
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
    // Subfolders of root + "Profiles", and the profiles profiles.ini names elsewhere: relative to
    // the root or, with IsRelative=0, anywhere (Firefox, Flock).
    ProfilesFolder,
    RootSubfolders,       // subfolders of the root itself (Opera 10)
    RootLessPreferences,  // subfolders of the root less the first "Preferences" (Safari)
    // The root's subfolders that hold a "Preferences" file, and the root itself when it holds one
    // (Opera of today keeps its only profile there). Display names come from the root's
    // "Local State" (the Chromium family).
    ChromiumProfiles,
};

// What a running browser holds while it uses its data, so that a restore can tell it is running
// (in_use.h reads it).
enum class ProfileLock {
    None,      // nothing to check (Opera 10, Safari)
    Mozilla,   // in each profile folder: "parent.lock" (Windows); a "lock" link and ".parentlock" (Linux)
    Chromium,  // in the data root, beside "Local State": "lockfile" (Windows); a "SingletonLock" link (Linux)
};

// One way of finding the browser's data: the marker file, the folders searched for it in order,
// and the parts cut from a hit to leave the profile root ("Local State" leaves "...\User Data\").
struct Discovery {
    std::string marker;
    std::vector<CandidateFolder> candidates;
    std::vector<std::string> rootCut;  // removed from the hit, in order, ignoring case; {name} allowed
};

struct Browser {
    std::string keyword;  // "firefox": the command line's name, and the full archive's
    std::string name;     // "Firefox"

    // Window texts.
    std::string backupCaption;     // "Backup Firefox Web Browser"
    std::string restoreCaption;    // "Restore Firefox Web Browser"
    std::string backupTitle;       // "Welcome to Firefox Backup Wizard"
    std::string restoreTitle;      // "Welcome to Firefox Restore Wizard"
    std::string fullBackupTitle;   // "Welcome to Firefox Full Backup Wizard"
    std::string fullRestoreTitle;  // "Welcome to Firefox Full Restore Wizard"
    std::string note;              // said in the wizards and by the command line; may be empty

    // Discovery: the ways tried in order (today's layout first, then the older one) on Windows,
    // and on this computer (the Linux places, classic, snap and flatpak); none: the browser does
    // not exist there.
    std::vector<Discovery> discovery;
    std::vector<Discovery> homeDiscovery;
    ProfileLock lock = ProfileLock::None;  // what it holds while it runs
    ProfileListRule listRule = ProfileListRule::ProfilesFolder;
    std::string profilesFolder;      // "Profiles" for ProfilesFolder, else empty
    std::string defaultProfileName;  // the profile the browser starts with when it names one ("Default")
    // Opera 10: when root + layoutTest exists, a profile's data lies in its subfolder layoutSubfolder.
    std::string layoutTest;
    std::string layoutSubfolder;
    // Opera 10: the installation folder name that {name} stands for unless the full wizard is
    // given another; empty for the others.
    std::string installName;

    // Profile and staging names.
    std::string backupCustomName;   // profile name for a custom folder: "123456789ff_custom"
    std::string restoreCustomName;  // Opera restores under "ch_custom"
    std::size_t stagingCut = 0;     // characters cut from the profile name (Firefox, Flock: 9)
    std::string localMailParent;    // Opera 10: below loc, "\Opera\" (+ profile name + "\")

    // Tick boxes and item tables.
    std::vector<TickBoxInfo> tickBoxes;
    std::vector<ItemRow> backupItems;   // in the order backup works through them
    std::vector<ItemRow> restoreItems;  // in the order restore works through them
    int backupStartStep = 5;
    int backupEndStep = 9;
    int restoreStartStep = 5;
    int restoreEndStep = 9;

    // Full tasks: the whole data root (the profile root without its trailing "\") into one archive;
    // Opera 10 also its local mail folder into a second one.
    std::string fullArchiveName;  // "allsave_firefox.dat"
    std::string mailArchiveName;  // "allsave_opera2.dat"; empty for the others

    const std::string& caption(Task task) const {
        return task == Task::Backup ? backupCaption : restoreCaption;
    }
    const std::string& title(Task task) const { return task == Task::Backup ? backupTitle : restoreTitle; }
    const std::string& fullTitle(Task task) const {
        return task == Task::Backup ? fullBackupTitle : fullRestoreTitle;
    }
};

// The browsers with profiles in folders, in the order the program lists them.
const std::vector<const Browser*>& allBrowsers();
// The browser with this keyword or name (any letter case); nullptr when none.
const Browser* findBrowser(std::string_view keywordOrName);
// The descriptor of a keyword the program was built with; throws std::logic_error for another.
const Browser& browser(std::string_view keyword);
inline const Browser& firefox() {
    return browser("firefox");
}
inline const Browser& flock() {
    return browser("flock");
}
inline const Browser& chrome() {
    return browser("chrome");
}
inline const Browser& safari() {
    return browser("safari");
}
inline const Browser& opera() {
    return browser("opera");
}

// The ways of discovery for the machine the facts describe: Windows' or this computer's.
const std::vector<Discovery>& waysFor(const Browser& browser, const EnvironmentFacts& facts);
// True when the browser exists on the machine the facts describe.
bool existsOn(const Browser& browser, const EnvironmentFacts& facts);
// True when discovery finds any of the browsers on that machine.
bool anyBrowserFound(const EnvironmentFacts& facts);

// The candidate folders of one way of discovery for these facts, in search order, starting from
// `previous` (the values the window kept from an earlier activation; empty strings in a new
// window). {name} stands for `installName`.
std::vector<std::string> candidateFolders(const Discovery& way, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous = {},
                                          const std::string& installName = {});
// Every way's candidates, one after the other, as a wizard keeps them. An empty `installName`
// stands for the browser's own.
std::vector<std::string> candidateFolders(const Browser& browser, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous = {},
                                          const std::string& installName = {});

// Where discovery found the browser: the marker file and the profile root it gives (ending in
// "\"). Empty when none of the ways found it.
struct Found {
    std::string marker;
    std::string root;
};
// Searches every way of the machine in order through `candidates` (as candidateFolders gives
// them). A hit whose root is no folder (a stray marker in the working folder) falls through to the
// next place.
Found locate(const Browser& browser, const EnvironmentFacts& facts,
             const std::vector<std::string>& candidates, const std::string& installName = {});

}  // namespace kelvora::browsers
