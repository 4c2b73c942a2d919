// Discovery, selective backup and selective restore, shared by every browser with profiles in
// folders. The descriptor says where a browser differs; nothing here names a browser.
#include "browsers/selective.h"

#include <algorithm>

#include "archive/zlib_multiple.h"
#include "core/core.h"
#include "core/error.h"
#include "platform/platform.h"

namespace kelvora::browsers {

namespace {

// Fallback folder names for profile and backup-file names that would leave the staging or the
// extraction folder without a name of its own (the backup location itself would be used).
constexpr const char* kFallbackStaging = "kelvora_backup";
constexpr const char* kFallbackExtraction = "kelvora_restore";

constexpr const char* kCouldNotCopy = "could not be copied";

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && lower(text.substr(text.size() - suffix.size())) == lower(suffix);
}

// A name that, appended to a folder, still names a folder of its own inside it.
bool usableFolderName(const std::string& name) {
    return !name.empty() && name.find_first_not_of(". ") != std::string::npos &&
           name.find_first_of("\\/") == std::string::npos;
}

void emptyProfileList(SelectiveState& state) {
    state.profiles.clear();
    state.profileIndex = -1;
}

[[noreturn]] void listIndexError(int index) {
    throw Error(Format("List index out of bounds (%d)", index));
}

// The custom-profile edit counts as given when it holds anything but its prompt. An empty edit
// is taken as not given: its profile folder would be the drive's root.
bool customProfileGiven(const std::string& text) {
    return text != kCustomProfilePrompt && text.find_first_not_of(' ') != std::string::npos;
}

// Forms the profile folder and name for "Next >", always from the profile root, so a second
// "Next >" after a failed task finds the same folder.
void formProfileFolder(const Browser& browser, SelectiveState& state) {
    state.cdir = state.customProfileText;
    if (customProfileGiven(state.cdir)) {
        state.ffpath = state.cdir + "\\";
        state.profile =
            state.kind == WizardKind::Backup ? browser.backupCustomName : browser.restoreCustomName;
        return;
    }
    if (state.profileIndex < 0 || state.profileIndex >= static_cast<int>(state.profiles.size()))
        listIndexError(state.profileIndex);
    state.profile = state.profiles[static_cast<std::size_t>(state.profileIndex)];
    std::string folder = state.profileRoot;
    if (!browser.profilesFolder.empty())
        folder += browser.profilesFolder + "\\";
    folder += state.profile + "\\";
    if (!browser.layoutTest.empty() && FileExists(state.profileRoot + browser.layoutTest))
        folder += browser.layoutSubfolder;
    state.ffpath = folder;
}

std::string mailParent(const Browser& browser, const SelectiveState& state) {
    return state.loc + browser.localMailParent + state.profile + "\\";
}

// The browser-side folder of a row: the profile folder, or the preferences root.
const std::string* placeFolder(const ItemRow& row, const SelectiveState& state) {
    if (row.place == ItemPlace::PreferencesRoot)
        return state.prefRoot.empty() ? nullptr : &state.prefRoot;
    return &state.ffpath;
}

void copyFileOf(const ItemRow& row, const std::string& source, const std::string& target,
                SelectiveState& state) {
    if (!CopyOneFile(source, target) && FileExists(source))
        state.leftOut.push_back({row.caption, source, kCouldNotCopy});
}

void copyFolderOf(const ItemRow& row, const std::string& source, const std::string& targetParent,
                  SelectiveState& state) {
    if (DirectoryExists(source) && !CopyDir(source, targetParent))
        state.leftOut.push_back({row.caption, source, kCouldNotCopy});
}

// One row of a backup: profile side -> staging folder.
void backUpRow(const Browser& browser, const ItemRow& row, const std::string& staging,
               SelectiveState& state) {
    const std::string* from = placeFolder(row, state);
    if (!from) {
        state.leftOut.push_back({row.caption, "", "the " + browser.name + " data folder was not found"});
        return;
    }
    for (const auto& file : row.files)
        copyFileOf(row, *from + file, staging + "\\" + file, state);
    for (const auto& folder : row.folders)
        copyFolderOf(row, *from + folder, staging, state);
    if (row.localMail) {
        const std::string localMail = state.mdir + "mail";
        if (DirectoryExists(localMail)) {
            CreateDir(staging + "\\loc");
            copyFolderOf(row, localMail, staging + "\\loc", state);
        }
    }
}

// One row of a restore: extraction folder -> profile side.
void restoreRow(const Browser& browser, const ItemRow& row, SelectiveState& state) {
    const std::string& from = state.backuploc;
    const std::string* to = placeFolder(row, state);
    if (!to) {
        for (const auto& folder : row.folders) {
            if (DirectoryExists(from + folder))
                state.leftOut.push_back(
                    {row.caption, from + folder, "the " + browser.name + " data folder was not found"});
        }
        return;
    }
    for (const auto& file : row.files)
        copyFileOf(row, from + file, *to + file, state);
    for (const auto& folder : row.folders)
        copyFolderOf(row, from + folder, *to, state);
    if (row.localMail) {
        const std::string archived = from + "loc\\mail";
        if (DirectoryExists(archived)) {
            ForceDirectories(state.mdir);
            copyFolderOf(row, archived, state.mdir, state);
        }
    }
}

void reportLeftOut(const SelectiveState& state, Host& host) {
    if (!state.leftOut.empty())
        host.showMessage(leftOutMessage(state.leftOut));
}

}  // namespace

bool SelectiveState::isTicked(const std::string& caption) const {
    return std::any_of(tickBoxes.begin(), tickBoxes.end(),
                       [&](const TickBox& box) { return box.caption == caption && box.checked; });
}

void SelectiveState::setTicked(const std::string& caption, bool checked) {
    for (auto& box : tickBoxes) {
        if (box.caption == caption)
            box.checked = checked;
    }
}

SelectiveState makeSelectiveState(const Browser& browser, WizardKind kind) {
    SelectiveState state;
    state.kind = kind;
    state.caption = kind == WizardKind::Backup ? browser.backupCaption : browser.restoreCaption;
    state.title = kind == WizardKind::Backup ? browser.backupTitle : browser.restoreTitle;
    for (const auto& info : browser.tickBoxes)
        state.tickBoxes.push_back({info.caption, true, info.enabled});
    state.dirs.resize(browser.candidates.size());
    return state;
}

void selectAll(SelectiveState& state, bool checked) {
    for (auto& box : state.tickBoxes)
        box.checked = checked;
}

void customProfileChanged(SelectiveState& state) {
    emptyProfileList(state);
    state.profileListEnabled = false;
}

void discoverProfiles(const Browser& browser, SelectiveState& state, Host& host) {
    discoverProfiles(browser, state, host, readEnvironmentFacts());
}

void discoverProfiles(const Browser& browser, SelectiveState& state, Host& host,
                      const EnvironmentFacts& facts) {
    state.title = state.kind == WizardKind::Backup ? browser.backupTitle : browser.restoreTitle;
    state.finishVisible = false;
    state.focusOnNext = false;

    state.uzer = facts.uzer;
    state.drv = facts.drv;
    state.sfp = facts.sfp;
    state.loc = facts.loc;
    state.windoze = facts.windoze;

    state.fileName = browser.marker;
    state.dirs = candidateFolders(browser, facts, state.dirs);
    std::string joined;
    for (std::size_t i = 0; i < state.dirs.size(); ++i) {
        if (i > 0)
            joined += ';';
        joined += state.dirs[i];
    }
    state.fullFilePath = SearchFileInFolders(state.fileName, joined);
    if (state.fullFilePath.empty()) {
        host.showMessage(kSettingsNotFound);
        return;
    }

    std::string root = state.fullFilePath;
    for (const auto& cut : browser.rootCut)
        root = ReplaceTextIgnoreCase(root, cut, "");
    state.ffpath = root;
    state.profileRoot = root;

    std::string listed = root;
    switch (browser.listRule) {
        case ProfileListRule::ProfilesFolder:
            state.ffpath2 = root + browser.profilesFolder;
            listed = state.ffpath2;
            break;
        case ProfileListRule::RootLessPreferences:
            state.prefRoot = root;
            break;
        case ProfileListRule::RootSubfolders:
            if (!browser.layoutTest.empty())
                state.ffpath2 = root + browser.layoutTest;
            break;
    }

    std::vector<std::string> found;
    GetSubDirectories(listed, found);
    if (browser.listRule == ProfileListRule::RootLessPreferences) {
        const auto prefs = std::find_if(found.begin(), found.end(),
                                        [](const std::string& name) { return lower(name) == "preferences"; });
        if (prefs != found.end())
            found.erase(prefs);
    }
    state.profiles.insert(state.profiles.end(), found.begin(), found.end());
    state.profileIndex = state.profiles.empty() ? -1 : 0;
    state.focusOnNext = true;
}

void backupLocationChanged(SelectiveState& state) {
    state.backups = state.backupLocationText;
    state.backupFiles.clear();
    state.dfailas = state.backups + "\\*.dat";
    std::vector<platform::DirEntry> entries;
    if (platform::listDirectory(state.backups, false, entries)) {
        for (const auto& entry : entries) {
            if (!entry.isDirectory && endsWithIgnoreCase(entry.name, ".dat"))
                state.backupFiles.push_back(entry.name);
        }
    }
    // The list box keeps its entries sorted, as the Windows listing returns them on NTFS.
    std::sort(state.backupFiles.begin(), state.backupFiles.end(),
              [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    state.backupFileIndex = state.backupFiles.empty() ? -1 : 0;
}

std::string stagingName(const Browser& browser, const std::string& profileName) {
    std::string name = profileName.size() > browser.stagingCut ? profileName.substr(browser.stagingCut) : "";
    if (!usableFolderName(name))
        name = usableFolderName(profileName) ? profileName : kFallbackStaging;
    return "\\" + name;
}

std::string extractionName(const std::string& backupFileName) {
    std::string name = ReplaceTextIgnoreCase(backupFileName, ".dat", "");
    return usableFolderName(name) ? name : kFallbackExtraction;
}

std::string leftOutMessage(const std::vector<LeftOut>& leftOut) {
    std::string text = "Some files were left out:";
    for (const auto& entry : leftOut)
        text += "\n" + entry.item + ": " +
                (entry.path.empty() ? entry.reason : entry.path + " (" + entry.reason + ")");
    return text;
}

void runSelectiveBackup(const Browser& browser, SelectiveState& state, Host& host) {
    state.backups = state.backupLocationText;
    if (state.backups == kBackupLocationPrompt) {
        host.showMessage(kSelectBackupLocation);
        return;
    }
    state.leftOut.clear();
    formProfileFolder(browser, state);

    host.progressShow();
    host.progressStep(browser.backupStartStep);

    state.datfile = stagingName(browser, state.profile);
    const std::string staging = state.backups + state.datfile;
    CreateDir(staging);  // an existing folder is reused
    if (!browser.localMailParent.empty())
        state.mdir = mailParent(browser, state);

    for (const auto& row : browser.backupItems) {
        if (!state.isTicked(row.caption))
            continue;
        backUpRow(browser, row, staging, state);
        if (row.step != 0)
            host.progressStep(row.step);
    }
    host.progressStep(browser.backupEndStep);

    {
        TZlibMultiple z;
        state.title.clear();
        z.OnCompressingFile = [&host](TZlibMultiple&, const std::string&) { host.repaint(); };
        try {
            z.CompressDirectory(staging, true, staging + ".dat");
        } catch (...) {
            emptyProfileList(state);
            throw;
        }
    }
    emptyProfileList(state);
    DelTree(staging);

    host.progressSet(100);
    host.progressHide();
    state.finishVisible = true;
    reportLeftOut(state, host);
}

void runSelectiveRestore(const Browser& browser, SelectiveState& state, Host& host) {
    state.backups = state.backupLocationText;
    if (state.backups == kBackupLocationPrompt) {
        host.showMessage(kSelectBackupLocation);
        return;
    }
    state.leftOut.clear();
    formProfileFolder(browser, state);

    host.progressShow();
    host.progressStep(browser.restoreStartStep);

    if (state.backupFileIndex < 0 || state.backupFileIndex >= static_cast<int>(state.backupFiles.size()))
        listIndexError(state.backupFileIndex);
    state.atspaudziam = state.backupFiles[static_cast<std::size_t>(state.backupFileIndex)];
    state.atspaudziam2 = extractionName(state.atspaudziam);
    const std::string extraction = state.backups + "\\" + state.atspaudziam2;

    std::vector<std::string> warnings;
    {
        TZlibMultiple z;
        BusyCursor busy(host);
        z.OnDecompressingFile = [&host](TZlibMultiple&, const std::string&, bool&) { host.repaint(); };
        z.DecompressFile(state.backups + "\\" + state.atspaudziam, extraction, true, true);
        warnings = z.Warnings;
    }

    state.backuploc = extraction + "\\";
    if (!browser.localMailParent.empty())
        state.mdir = mailParent(browser, state);

    for (const auto& row : browser.restoreItems) {
        if (!state.isTicked(row.caption))
            continue;
        restoreRow(browser, row, state);
        if (row.step != 0)
            host.progressStep(row.step);
    }
    host.progressStep(browser.restoreEndStep);
    DelTree(extraction);

    emptyProfileList(state);
    host.progressSet(100);
    host.progressHide();
    state.finishVisible = true;
    reportLeftOut(state, host);
    reportArchiveWarnings(warnings, host);
}

}  // namespace kelvora::browsers
