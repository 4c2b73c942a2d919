// Discovery, selective backup and selective restore, shared by every browser with profiles in
// folders. The descriptor says where a browser differs; nothing here names a browser.
#include "browsers/selective.h"

#include <algorithm>
#include <optional>

#include "archive/zlib_multiple.h"
#include "browsers/full.h"
#include "browsers/task_support.h"
#include "core/core.h"
#include "core/error.h"
#include "core/staging.h"
#include "core/temp_names.h"
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

// Copies one file of a row; one that exists but could not be copied is listed under its path on
// the browser's side (the source of a backup, the target of a restore).
void copyFileOf(const ItemRow& row, const std::string& source, const std::string& target,
                SelectiveState& state) {
    std::string reason;
    if (!CopyOneFile(source, target, &reason) && FileExists(source))
        state.leftOut.push_back({row.caption, state.kind == WizardKind::Backup ? source : target,
                                 reason.empty() ? kCouldNotCopy : reason});
}

void copyFolderOf(const ItemRow& row, const std::string& source, const std::string& targetParent,
                  SelectiveState& state) {
    if (!DirectoryExists(source))
        return;
    std::vector<LeftOutItem> inside;
    std::string reason;
    const bool copied = CopyDir(source, targetParent, &inside, &reason);
    for (auto& entry : inside)
        state.leftOut.push_back({row.caption, std::move(entry.path), std::move(entry.reason)});
    if (!copied)
        state.leftOut.push_back({row.caption, source, reason.empty() ? kCouldNotCopy : reason});
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

// True when a record of the archive belongs to a ticked row of the restore table: a file the row
// names, or a file inside one of its folders.
bool recordMatches(const Browser& browser, const SelectiveState& state, const std::string& record) {
    // Letter case counts: the archive holds the names as the browser wrote them, and another
    // browser's archive differs from this one's often only there (Chrome's "Extensions" folder is
    // not Firefox's "extensions").
    for (const auto& row : browser.restoreItems) {
        if (!state.isTicked(row.caption))
            continue;
        for (const auto& file : row.files) {
            if (record == file)
                return true;
        }
        for (const auto& folder : row.folders) {
            if (record.starts_with(folder + "\\"))
                return true;
        }
        if (row.localMail && record.starts_with("loc\\mail\\"))
            return true;
    }
    return false;
}

// The staging or extraction folder lies in the backup location: never in the profile itself.
std::optional<TaskResult> checkOutsideProfile(const SelectiveState& state) {
    if (!FolderIsWithin(state.backups, state.ffpath))
        return std::nullopt;
    return TaskResult::failed(
        Format("The backup location \"%s\" is inside the profile folder \"%s\". Choose a "
               "folder outside the profile.",
               shownPath(state.backups).c_str(), shownPath(state.ffpath).c_str()));
}

// The profile root a marker found gives: the hit less the browser's cuts.
std::string profileRootOf(const Browser& browser, const std::string& hit) {
    std::string root = hit;
    for (const auto& cut : browser.rootCut)
        root = ReplaceTextIgnoreCase(root, cut, "");
    return root;
}

// The marker search: a hit that gives no profile root (a stray marker in the working folder) falls
// through to the next place.
std::string findMarker(const Browser& browser, const std::vector<std::string>& candidates) {
    std::string folders;
    for (const auto& folder : candidates) {
        if (!folder.empty())
            folders += folder + ";";
    }
    return SearchFileInFolders(browser.marker, folders, [&](const std::string& hit) {
        const std::string root = profileRootOf(browser, hit);
        return !root.empty() && DirectoryExists(root);
    });
}

// The text of a small file through the platform; empty when it can't be read.
std::string readSmallFile(const std::string& path) {
    std::string text;
    try {
        platform::File file = platform::File::openRead(path, platform::Share::DenyNone);
        char buffer[4096];
        while (text.size() < (1u << 20)) {
            const std::size_t got = file.read(buffer, sizeof buffer);
            if (got == 0)
                break;
            text.append(buffer, got);
        }
    } catch (const std::exception&) {
        return {};
    }
    return text;
}

// The profile folder name profiles.ini marks as the default: an install section's "Default=" first
// (what today's Firefox starts with), then the profile section with "Default=1".
std::string markedProfile(const std::string& ini) {
    std::string installDefault, markedPath, sectionPath, section;
    bool sectionDefault = false;
    const auto endSection = [&] {
        if (sectionDefault && markedPath.empty())
            markedPath = sectionPath;
        sectionPath.clear();
        sectionDefault = false;
    };
    std::size_t start = 0;
    while (start <= ini.size()) {
        std::size_t end = ini.find('\n', start);
        if (end == std::string::npos)
            end = ini.size();
        std::string line = ini.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.starts_with("[")) {
            endSection();
            section = lower(line);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = lower(line.substr(0, equals));
        const std::string value = line.substr(equals + 1);
        if (section.starts_with("[install") && key == "default" && installDefault.empty())
            installDefault = value;
        else if (section.starts_with("[profile") && key == "path")
            sectionPath = value;
        else if (section.starts_with("[profile") && key == "default" && value == "1")
            sectionDefault = true;
    }
    endSection();
    std::string path = installDefault.empty() ? markedPath : installDefault;
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TaskResult backUp(const Browser& browser, SelectiveState& state, Host& host) {
    state.backups = state.backupLocationText;
    if (state.backups == kBackupLocationPrompt)
        return endedHere(host, kSelectBackupLocation);
    formProfileFolder(browser, state);
    state.datfile = stagingName(browser, state.profile);
    const std::string archive = state.backups + state.datfile + ".dat";
    if (auto missing = checkBackupFolder(state.backups, archive))
        return *missing;
    if (customProfileGiven(state.cdir) && !DirectoryExists(state.ffpath))
        return endedHere(host,
                         Format("The profile folder \"%s\" does not exist.", shownPath(state.cdir).c_str()));
    if (auto inside = checkOutsideProfile(state))
        return *inside;
    if (auto kept = confirmReplace(archive, host))
        return *kept;

    host.progressShow();
    host.progressStep(browser.backupStartStep);

    CleanLeftoverTemporaries(state.backups);
    StagingFolder staging = StagingFolder::create(state.backups);
    if (!browser.localMailParent.empty())
        state.mdir = mailParent(browser, state);

    for (const auto& row : browser.backupItems) {
        if (!state.isTicked(row.caption))
            continue;
        backUpRow(browser, row, staging.path(), state);
        if (row.step != 0)
            host.progressStep(row.step);
    }
    host.progressStep(browser.backupEndStep);

    TaskResult result;
    if (!holdsAnyFile(staging.path())) {
        result.leftOut = state.leftOut;
        emptyProfileList(state);
        host.progressHide();
        result.setNothingDone(
            Format("No %s file of the chosen items was found in \"%s\"; no backup was written.",
                   browser.name.c_str(), shownPath(state.ffpath).c_str()));
        return result;
    }
    {
        TZlibMultiple z;
        state.title.clear();
        z.OnCompressingFile = [&host](TZlibMultiple&, const std::string&) { host.repaint(); };
        z.CompressDirectory(staging.path(), true, archive);
        takeArchiveReport(z, result);
    }
    emptyProfileList(state);
    removeStaging(staging, result);
    return selectiveFinished(state, host, std::move(result));
}

TaskResult restore(const Browser& browser, SelectiveState& state, Host& host) {
    state.backups = state.backupLocationText;
    if (state.backups == kBackupLocationPrompt)
        return endedHere(host, kSelectBackupLocation);
    if (state.backupFileIndex < 0 || state.backupFileIndex >= static_cast<int>(state.backupFiles.size()))
        return endedHere(host, kChooseBackupFile);
    formProfileFolder(browser, state);
    state.atspaudziam = state.backupFiles[static_cast<std::size_t>(state.backupFileIndex)];
    state.atspaudziam2 = extractionName(state.atspaudziam);
    const std::string archive = state.backups + "\\" + state.atspaudziam;
    if (auto inside = checkOutsideProfile(state))
        return *inside;

    // Nothing is touched unless the archive holds something of this browser's ticked items.
    {
        TZlibMultiple lister;
        std::vector<std::string> records;
        lister.ListStoredFiles(archive, records);
        if (std::none_of(records.begin(), records.end(),
                         [&](const std::string& record) { return recordMatches(browser, state, record); }))
            return endedHere(host, Format("%s holds no %s items of those chosen; nothing was restored.",
                                          state.atspaudziam.c_str(), browser.name.c_str()));
    }
    if (customProfileGiven(state.cdir) && !ForceDirectories(state.cdir))
        return TaskResult::failed(
            Format("The profile folder \"%s\" could not be created.", shownPath(state.cdir).c_str()));

    host.progressShow();
    host.progressStep(browser.restoreStartStep);

    TaskResult result;
    CleanLeftoverTemporaries(state.backups);
    StagingFolder extraction = StagingFolder::create(state.backups);
    {
        TZlibMultiple z;
        BusyCursor busy(host);
        z.OnDecompressingFile = [&host](TZlibMultiple&, const std::string&, bool&) { host.repaint(); };
        z.DecompressFile(archive, extraction.path(), true, true);
        takeArchiveReport(z, result);
    }

    state.backuploc = extraction.path() + "\\";
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
    removeStaging(extraction, result);
    emptyProfileList(state);
    return selectiveFinished(state, host, std::move(result));
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
    state.fullFilePath = findMarker(browser, state.dirs);
    if (state.fullFilePath.empty()) {
        host.showMessage(kSettingsNotFound);
        return;
    }

    const std::string root = profileRootOf(browser, state.fullFilePath);
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

    // The folder holding the profiles is never removed or copied over, nor anything above it.
    // Safari's profiles sit beside the "Preferences" folder a restore writes into, so there the
    // folder above is the one kept.
    ProtectFolder(browser.listRule == ProfileListRule::RootLessPreferences ? parentFolder(root) : listed);

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

int defaultProfileIndex(const Browser& browser, const SelectiveState& state) {
    const auto indexOf = [&](const std::string& name) {
        for (std::size_t i = 0; i < state.profiles.size(); ++i) {
            if (!name.empty() && lower(state.profiles[i]) == lower(name))
                return static_cast<int>(i);
        }
        return -1;
    };
    int marked = -1;
    if (browser.listRule == ProfileListRule::ProfilesFolder && !state.fullFilePath.empty())
        marked = indexOf(markedProfile(readSmallFile(state.fullFilePath)));
    else if (!browser.defaultProfileName.empty())
        marked = indexOf(browser.defaultProfileName);
    if (marked < 0 && state.profiles.size() == 1)
        marked = 0;
    return marked;
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

TaskResult selectiveFinished(SelectiveState& state, Host& host, TaskResult result) {
    host.progressSet(100);
    host.progressHide();
    state.finishVisible = true;
    state.title = full::kFinished;
    result.leftOut.insert(result.leftOut.begin(), state.leftOut.begin(), state.leftOut.end());
    state.leftOut = result.leftOut;
    reportDone(result, host);
    return result;
}

TaskResult runSelectiveBackup(const Browser& browser, SelectiveState& state, Host& host) {
    state.leftOut.clear();
    TaskResult result = guarded([&] { return backUp(browser, state, host); });
    if (result.outcome() == Outcome::Failed) {
        emptyProfileList(state);
        host.progressHide();
    }
    return result;
}

TaskResult runSelectiveRestore(const Browser& browser, SelectiveState& state, Host& host) {
    state.leftOut.clear();
    TaskResult result = guarded([&] { return restore(browser, state, host); });
    if (result.outcome() == Outcome::Failed)
        host.progressHide();
    return result;
}

}  // namespace kelvora::browsers
