// Discovery, selective backup and selective restore, shared by every browser with profiles in
// folders. The descriptor says where a browser differs; nothing here names a browser.
#include "browsers/selective.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>

#include "archive/worker_pool.h"
#include "archive/zlib_multiple.h"
#include "browsers/full.h"
#include "browsers/profile_files.h"
#include "browsers/task_support.h"
#include "browsers/undo.h"
#include "core/core.h"
#include "core/database_copy.h"
#include "core/error.h"
#include "core/staging.h"
#include "core/temp_names.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers {

namespace {

// Fallback folder names for profile and backup-file names that would leave the staging or the
// extraction folder without a name of its own (the backup location itself would be used).
constexpr const char* kFallbackStaging = "kelvora_backup";
constexpr const char* kFallbackExtraction = "kelvora_restore";

constexpr const char* kCouldNotCopy = "could not be copied";

// What SQLite keeps beside a database while it is written: copied with the database, so the copy
// holds what is still waiting there.
constexpr const char* kWalSuffix = "-wal";

// A name that, appended to a folder, still names a folder of its own inside it.
bool usableFolderName(const std::string& name) {
    return !name.empty() && name.find_first_not_of(". ") != std::string::npos &&
           name.find_first_of("\\/") == std::string::npos;
}

void emptyProfileList(SelectiveState& state) {
    state.profiles.clear();
    state.profileLabels.clear();
    state.profileFolders.clear();
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
    state.customFolder = state.customProfileText;
    if (customProfileGiven(state.customFolder)) {
        state.profileFolder = IncludeTrailingBackslash(state.customFolder);
        state.profileName = state.task == Task::Backup ? browser.backupCustomName : browser.restoreCustomName;
        // A Chromium profile's "Local State" is in the folder above it, when that is a data folder.
        if (browser.listRule == ProfileListRule::ChromiumProfiles) {
            const std::string parent = parentFolder(state.customFolder);
            state.preferencesRoot = !parent.empty() && FileExists(joinPath(parent, "Local State"))
                                        ? IncludeTrailingBackslash(parent)
                                        : "";
        }
        return;
    }
    if (state.profileIndex < 0 || state.profileIndex >= static_cast<int>(state.profiles.size()))
        listIndexError(state.profileIndex);
    const auto index = static_cast<std::size_t>(state.profileIndex);
    state.profileName = state.profiles[index];
    std::string folder = index < state.profileFolders.size() ? state.profileFolders[index]
                                                             : state.profileRoot + state.profileName + "\\";
    if (!browser.layoutTest.empty() &&
        FileExists(state.profileRoot +
                   ReplaceTextIgnoreCase(browser.layoutTest, "{name}", browser.installName)))
        folder += browser.layoutSubfolder;
    state.profileFolder = folder;
    if (browser.listRule == ProfileListRule::ChromiumProfiles)
        state.preferencesRoot = state.profileRoot;
}

std::string mailParent(const Browser& browser, const SelectiveState& state) {
    return state.facts.loc + browser.localMailParent + state.profileName + "\\";
}

// The browser-side folder of a row: the profile folder, or the preferences root.
const std::string* placeFolder(const ItemRow& row, const SelectiveState& state) {
    if (row.place == ItemPlace::PreferencesRoot)
        return state.preferencesRoot.empty() ? nullptr : &state.preferencesRoot;
    return &state.profileFolder;
}

// What copies made for a task left out and noted. Copies made side by side each keep their own;
// the task takes them in the order of its rows.
struct CopyReport {
    std::vector<LeftOut> leftOut;
    std::vector<std::string> notes;
};

// Copies one file of a row; one that exists but could not be copied is listed under its path on
// the browser's side (the source of a backup, the target of a restore). A file in a subfolder
// ("Network\Cookies") gets its folder on the target's side.
void copyOneOf(const ItemRow& row, const std::string& source, const std::string& target, Task task,
               std::vector<LeftOut>& leftOut) {
    if (!FileExists(source))
        return;
    std::string reason;
    const std::string folder = parentFolder(target);
    if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder))
        reason = "its folder could not be created";
    else if (CopyOneFile(source, target, &reason))
        return;
    leftOut.push_back(
        {row.caption, task == Task::Backup ? source : target, reason.empty() ? kCouldNotCopy : reason});
}

// A file of a row for a backup. A database is copied as one consistent snapshot, which holds what
// waits in its write-ahead log; any other file (and a database that stays locked) goes with its
// log when there is one.
void backUpFile(const ItemRow& row, const std::string& source, const std::string& target,
                CopyReport& report) {
    if (IsSqliteDatabase(source)) {
        const std::string folder = parentFolder(target);
        if (folder.empty() || DirectoryExists(folder) || ForceDirectories(folder)) {
            const DatabaseCopyResult copied = CopyDatabase(source, target);
            if (copied.status == DatabaseCopyStatus::Copied)
                return;
            report.notes.push_back(databaseCopiedAsFile(source, copied.reason));
        }
    }
    copyOneOf(row, source, target, Task::Backup, report.leftOut);
    copyOneOf(row, source + kWalSuffix, target + kWalSuffix, Task::Backup, report.leftOut);
}

void copyFolderOf(const ItemRow& row, const std::string& source, const std::string& targetParent,
                  std::vector<LeftOut>& leftOut) {
    if (!DirectoryExists(source))
        return;
    std::vector<LeftOutItem> inside;
    std::string reason;
    const bool copied = CopyDir(source, targetParent, &inside, &reason);
    for (auto& entry : inside)
        leftOut.push_back({row.caption, std::move(entry.path), std::move(entry.reason)});
    if (!copied)
        leftOut.push_back({row.caption, source, reason.empty() ? kCouldNotCopy : reason});
}

// The last part of a path written with either separator.
std::string lastPart(std::string path) {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One copy into the staging folder: a file, a folder or a note of one of the ticked rows.
struct StagingCopy {
    std::size_t row = 0;  // the ticked row it belongs to, counted from 0
    // A file no other copy reads or writes: it may be made on a second thread. Every other copy
    // is made in order, so what one writes over another's stays as it always was.
    bool aside = false;
    std::function<void(CopyReport&)> make;
    std::string source, target;  // a file's or folder's own paths (a folder's target: where it lands)
};

// The copies of a backup's ticked rows, in the order of the rows: files, then folders, then the
// local mail.
std::vector<StagingCopy> planBackup(const Browser& browser, const std::vector<const ItemRow*>& rows,
                                    const std::string& staging, const SelectiveState& state) {
    std::vector<StagingCopy> copies;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ItemRow& row = *rows[r];
        const std::string* from = placeFolder(row, state);
        if (!from) {
            // Missing files are skipped silently; a missing folder (Safari's preferences) is told.
            if (!row.folders.empty())
                copies.push_back(
                    {r, false,
                     [&browser, &row](CopyReport& report) {
                         report.leftOut.push_back(
                             {row.caption, "", "the " + browser.name + " data folder was not found"});
                     },
                     "", ""});
            continue;
        }
        for (const auto& file : row.files) {
            std::string source = *from + file;
            std::string target = joinPath(staging, file);
            copies.push_back(
                {r, true,
                 [&row, source, target](CopyReport& report) { backUpFile(row, source, target, report); },
                 source, target});
        }
        for (const auto& folder : row.folders) {
            const std::string source = *from + folder;
            copies.push_back({r, false,
                              [&row, source, staging](CopyReport& report) {
                                  copyFolderOf(row, source, staging, report.leftOut);
                              },
                              source, joinPath(staging, lastPart(source))});
        }
        if (row.localMail) {
            const std::string localMail = state.mailFolder + "mail";
            copies.push_back({r, false,
                              [&row, localMail, staging](CopyReport& report) {
                                  if (!DirectoryExists(localMail))
                                      return;
                                  CreateDir(joinPath(staging, "loc"));
                                  copyFolderOf(row, localMail, joinPath(staging, "loc"), report.leftOut);
                              },
                              localMail, joinPath(staging, "loc")});
        }
    }
    // A file inside a folder that is copied whole, or where one lands, stays in line (links
    // resolved: the same file may be reached by two names).
    for (auto& copy : copies) {
        copy.aside =
            copy.aside && std::none_of(copies.begin(), copies.end(), [&copy](const StagingCopy& other) {
                return !other.aside && (FolderIsWithin(copy.source, other.source) ||
                                        FolderIsWithin(copy.target, other.target));
            });
    }
    return copies;
}

// Makes a backup's copies into its staging folder. The files that stand aside go to a second
// thread when there is a second processor (their database snapshots are slow beside plain
// copies), the rest are made here in order. Each row's progress step is taken once all its
// copies are made; what they left out and noted joins the state in the order of the rows.
void makeStagingCopies(const std::vector<StagingCopy>& copies, const std::vector<const ItemRow*>& rows,
                       SelectiveState& state, Host& host) {
    std::vector<CopyReport> reports(copies.size());
    std::vector<std::exception_ptr> failures(copies.size());
    std::vector<char> made(copies.size(), 0);
    std::mutex mutex;
    std::condition_variable madeOne;
    const auto make = [&](std::size_t i) {
        try {
            copies[i].make(reports[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
        {
            std::lock_guard lock(mutex);
            made[i] = 1;
        }
        madeOne.notify_one();
    };
    std::size_t firstOpen = 0;  // the first copy not yet made
    std::size_t stepped = 0;    // the rows whose step has been taken
    const auto takeSteps = [&](bool waitForAll) {
        std::unique_lock lock(mutex);
        while (true) {
            while (firstOpen < copies.size() && made[firstOpen])
                ++firstOpen;
            const std::size_t rowsMade = firstOpen < copies.size() ? copies[firstOpen].row : rows.size();
            if (stepped < rowsMade) {
                lock.unlock();
                for (; stepped < rowsMade; ++stepped) {
                    if (rows[stepped]->step != 0)
                        host.progressStep(rows[stepped]->step);
                }
                lock.lock();
                continue;
            }
            if (!waitForAll || firstOpen == copies.size())
                return;
            madeOne.wait(lock);
        }
    };
    {
        archive::WorkerPool aside(platform::usableProcessors() > 1 ? 1 : 0);
        for (std::size_t i = 0; i < copies.size(); ++i) {
            if (copies[i].aside)
                aside.submit([&make, i] { make(i); });
        }
        bool failed = false;
        for (std::size_t i = 0; i < copies.size() && !failed; ++i) {
            if (!copies[i].aside) {
                make(i);
                failed = failures[i] != nullptr;
                if (!failed)
                    takeSteps(false);
            }
        }
        // After a failure here the copies not yet begun are dropped and the failure told.
        if (!failed)
            takeSteps(true);
    }
    for (std::size_t i = 0; i < copies.size(); ++i) {
        if (failures[i])
            std::rethrow_exception(failures[i]);
        auto& report = reports[i];
        std::move(report.leftOut.begin(), report.leftOut.end(), std::back_inserter(state.leftOut));
        std::move(report.notes.begin(), report.notes.end(), std::back_inserter(state.notes));
    }
}

// Where one row of a restore goes: each archived file and folder of the row with the place it is
// copied to. `file` gets a file's source and target, `folder` a folder's source and the parent it
// is copied into; both only for what the extraction holds.
struct RowTargets {
    std::function<void(const std::string& source, const std::string& target)> file;
    std::function<void(const std::string& source, const std::string& targetParent)> folder;
};

// False when the row has no place on this machine (its data folder was not found).
bool forEachRestored(const ItemRow& row, const SelectiveState& state, const RowTargets& targets) {
    const std::string& from = state.extractionFolder;
    const std::string* to = placeFolder(row, state);
    if (!to)
        return false;
    for (const auto& file : row.files) {
        for (const std::string& name : {file, file + kWalSuffix}) {
            if (FileExists(from + name))
                targets.file(from + name, *to + name);
        }
    }
    for (const auto& folder : row.folders) {
        if (DirectoryExists(from + folder))
            targets.folder(from + folder, *to);
    }
    if (row.localMail && DirectoryExists(from + "loc\\mail"))
        targets.folder(from + "loc\\mail", state.mailFolder);
    return true;
}

// One row of a restore: extraction folder -> profile side.
void restoreRow(const Browser& browser, const ItemRow& row, SelectiveState& state) {
    const RowTargets copies{[&](const std::string& source, const std::string& target) {
                                copyOneOf(row, source, target, Task::Restore, state.leftOut);
                            },
                            [&](const std::string& source, const std::string& targetParent) {
                                if (!DirectoryExists(targetParent))
                                    ForceDirectories(targetParent);
                                copyFolderOf(row, source, targetParent, state.leftOut);
                            }};
    if (forEachRestored(row, state, copies))
        return;
    const std::string& from = state.extractionFolder;
    for (const auto& file : row.files) {
        if (FileExists(from + file))
            state.leftOut.push_back(
                {row.caption, from + file, "the " + browser.name + " data folder was not found"});
    }
    for (const auto& folder : row.folders) {
        if (DirectoryExists(from + folder))
            state.leftOut.push_back(
                {row.caption, from + folder, "the " + browser.name + " data folder was not found"});
    }
}

// Saves what the ticked rows will replace into an undo set, before any of it is written.
void saveForUndo(const Browser& browser, const SelectiveState& state) {
    undo::Plan plan;
    plan.description = browser.name + " selective restore from " + state.backupFileName;
    const RowTargets planned{
        [&](const std::string&, const std::string& target) { plan.files.push_back(target); },
        [&](const std::string& source, const std::string& targetParent) {
            plan.addTree(source, joinPath(targetParent, source.substr(parentFolder(source).size() + 1)));
        }};
    for (const auto& row : browser.restoreItems) {
        if (state.isTicked(row.caption))
            forEachRestored(row, state, planned);
    }
    undo::saveBeforeRestore(plan);
}

// True when a record of the archive belongs to a ticked row of the restore table: a file the row
// names (or its database's log), or a file inside one of its folders.
bool recordMatches(const Browser& browser, const SelectiveState& state, const std::string& record) {
    // Letter case counts: the archive holds the names as the browser wrote them, and another
    // browser's archive differs from this one's often only there (Chrome's "Extensions" folder is
    // not Firefox's "extensions").
    for (const auto& row : browser.restoreItems) {
        if (!state.isTicked(row.caption))
            continue;
        for (const auto& file : row.files) {
            if (record == file || record == file + kWalSuffix)
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
    if (!FolderIsWithin(state.backupFolder, state.profileFolder))
        return std::nullopt;
    return TaskResult::failed(
        Format("The backup location \"%s\" is inside the profile folder \"%s\". Choose a "
               "folder outside the profile.",
               shownPath(state.backupFolder).c_str(), shownPath(state.profileFolder).c_str()));
}

// The text of a small file through the platform; empty when it can't be read.
std::string readSmallFile(const std::string& path) {
    std::string text;
    try {
        platform::File file = platform::File::openRead(path, platform::Share::DenyNone);
        char buffer[4096];
        while (text.size() < (4u << 20)) {
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

std::string windowsForm(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

// Adds a profile unless this activation listed its folder already (the list keeps the entries of
// earlier activations, as the window's list does).
void addProfile(SelectiveState& state, const std::string& name, const std::string& folder,
                const std::string& label = {}) {
    for (std::size_t i = state.listedFrom; i < state.profileFolders.size(); ++i) {
        if (equalsIgnoreCase(withoutTrailingSeparator(state.profileFolders[i]),
                             withoutTrailingSeparator(folder)))
            return;
    }
    state.profiles.push_back(name);
    state.profileFolders.push_back(IncludeTrailingBackslash(folder));
    state.profileLabels.push_back(label.empty() ? name : label);
}

// The profiles a profiles.ini names beside those in the profiles folder: relative to the root (where
// Firefox on Linux keeps them) or anywhere (IsRelative=0). Ones that are no folder are left out.
// The profile it marks as the default is kept: an install section's "Default=" first (what
// today's Firefox starts with), then the profile marked "Default=1".
void addIniProfiles(SelectiveState& state) {
    const ProfilesIni ini = parseProfilesIni(readSmallFile(state.markerFound));
    std::string marked = ini.installDefault;
    for (const auto& profile : ini.profiles) {
        if (marked.empty() && profile.markedDefault)
            marked = profile.path;
    }
    state.markedProfile = lastPart(marked);
    for (const auto& profile : ini.profiles) {
        const std::string folder = profile.isRelative ? joinPath(state.profileRoot, windowsForm(profile.path))
                                                      : windowsForm(profile.path);
        if (DirectoryExists(folder))
            addProfile(state, lastPart(profile.path), folder);
    }
}

// A Chromium data folder's profiles: the folders holding "Preferences", with the display names
// "Local State" gives ("Profile 1 (Work)").
void addChromiumProfiles(SelectiveState& state, const std::vector<std::string>& subfolders) {
    const auto names = chromiumProfileNames(readSmallFile(joinPath(state.profileRoot, "Local State")));
    const auto labelOf = [&](const std::string& folder) {
        const auto it = names.find(folder);
        return it == names.end() || it->second == folder ? folder : folder + " (" + it->second + ")";
    };
    if (FileExists(joinPath(state.profileRoot, "Preferences"))) {
        const std::string name = lastPart(state.profileRoot);
        addProfile(state, name, state.profileRoot, labelOf(name));
    }
    for (const auto& name : subfolders) {
        const std::string folder = joinPath(state.profileRoot, name);
        if (FileExists(joinPath(folder, "Preferences")))
            addProfile(state, name, folder, labelOf(name));
    }
}

TaskResult backUp(const Browser& browser, SelectiveState& state, Host& host) {
    state.backupFolder = state.backupLocationText;
    if (state.backupFolder == kBackupLocationPrompt)
        return endedHere(host, kSelectBackupLocation);
    formProfileFolder(browser, state);
    state.archivePath = state.backupFolder + stagingName(browser, state.profileName) + ".dat";
    const std::string& archive = state.archivePath;
    if (auto missing = checkBackupFolder(state.backupFolder, archive))
        return *missing;
    if (customProfileGiven(state.customFolder) && !DirectoryExists(state.profileFolder))
        return endedHere(
            host, Format("The profile folder \"%s\" does not exist.", shownPath(state.customFolder).c_str()));
    if (auto inside = checkOutsideProfile(state))
        return *inside;
    if (auto kept = confirmReplace(archive, host))
        return *kept;

    host.progressShow();
    host.progressStep(browser.backupStartStep);

    CleanLeftoverTemporaries(state.backupFolder);
    StagingFolder staging = StagingFolder::create(state.backupFolder);
    if (!browser.localMailParent.empty())
        state.mailFolder = mailParent(browser, state);

    std::vector<const ItemRow*> rows;
    for (const auto& row : browser.backupItems) {
        if (state.isTicked(row.caption))
            rows.push_back(&row);
    }
    makeStagingCopies(planBackup(browser, rows, staging.path(), state), rows, state, host);
    host.progressStep(browser.backupEndStep);

    TaskResult result;
    if (!holdsAnyFile(staging.path())) {
        result.leftOut = state.leftOut;
        emptyProfileList(state);
        host.progressHide();
        result.setNothingDone(
            Format("No %s file of the chosen items was found in \"%s\"; no backup was written.",
                   browser.name.c_str(), shownPath(state.profileFolder).c_str()));
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
    noteLiveCopy(browser, state.profileFolder, result);
    return selectiveFinished(state, host, std::move(result));
}

TaskResult restore(const Browser& browser, SelectiveState& state, Host& host) {
    state.backupFolder = state.backupLocationText;
    if (state.backupFolder == kBackupLocationPrompt)
        return endedHere(host, kSelectBackupLocation);
    if (state.backupFileIndex < 0 || state.backupFileIndex >= static_cast<int>(state.backupFiles.size()))
        return endedHere(host, kChooseBackupFile);
    formProfileFolder(browser, state);
    state.backupFileName = state.backupFiles[static_cast<std::size_t>(state.backupFileIndex)];
    state.archivePath = joinPath(state.backupFolder, state.backupFileName);
    const std::string& archive = state.archivePath;
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
                                          state.backupFileName.c_str(), browser.name.c_str()));
    }
    if (customProfileGiven(state.customFolder) && !ForceDirectories(state.customFolder))
        return TaskResult::failed(
            Format("The profile folder \"%s\" could not be created.", shownPath(state.customFolder).c_str()));

    if (auto stop = waitUntilClosed(browser, state.profileFolder, host))
        return *stop;
    host.progressShow();
    host.progressStep(browser.restoreStartStep);

    TaskResult result;
    CleanLeftoverTemporaries(state.backupFolder);
    StagingFolder extraction = StagingFolder::create(state.backupFolder);
    {
        TZlibMultiple z;
        BusyCursor busy(host);
        z.OnDecompressingFile = [&host](TZlibMultiple&, const std::string&, bool&) { host.repaint(); };
        z.DecompressFile(archive, extraction.path(), true, true);
        takeArchiveReport(z, result);
    }

    state.extractionFolder = IncludeTrailingBackslash(extraction.path());
    if (!browser.localMailParent.empty())
        state.mailFolder = mailParent(browser, state);

    saveForUndo(browser, state);
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

SelectiveState makeSelectiveState(const Browser& browser, Task task) {
    SelectiveState state;
    state.task = task;
    state.caption = browser.caption(task);
    state.title = browser.title(task);
    for (const auto& info : browser.tickBoxes)
        state.tickBoxes.push_back({info.caption, true, info.enabled});
    state.candidates = candidateFolders(browser, {}, {}, browser.installName);
    for (auto& folder : state.candidates)
        folder.clear();
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
    state.title = browser.title(state.task);
    state.finishVisible = false;
    state.focusOnNext = false;
    state.facts = facts;

    state.candidates = candidateFolders(browser, facts, state.candidates, browser.installName);
    const Found found = locate(browser, facts, state.candidates, browser.installName);
    state.markerFound = found.marker;
    if (found.marker.empty()) {
        host.showMessage(kSettingsNotFound);
        return;
    }

    const std::string& root = found.root;
    state.profileFolder = root;
    state.profileRoot = root;

    std::string listed = root;
    if (browser.listRule == ProfileListRule::ProfilesFolder)
        listed = root + browser.profilesFolder;
    if (browser.listRule == ProfileListRule::RootLessPreferences ||
        browser.listRule == ProfileListRule::ChromiumProfiles)
        state.preferencesRoot = root;

    // The folder holding the profiles is never removed or copied over, nor anything above it.
    // Safari's profiles sit beside the "Preferences" folder a restore writes into, so there the
    // folder above is the one kept.
    ProtectFolder(browser.listRule == ProfileListRule::RootLessPreferences ? parentFolder(root) : listed);

    std::vector<std::string> subfolders;
    GetSubDirectories(listed, subfolders);
    state.listedFrom = state.profiles.size();
    state.markedProfile = browser.defaultProfileName;  // profiles.ini's mark replaces it below
    // The list is added to, as the window's list is: entries of an earlier activation stay.
    switch (browser.listRule) {
        case ProfileListRule::ProfilesFolder:
            for (const auto& name : subfolders)
                addProfile(state, name, joinPath(listed, name));
            addIniProfiles(state);
            break;
        case ProfileListRule::RootLessPreferences: {
            const auto prefs =
                std::find_if(subfolders.begin(), subfolders.end(),
                             [](const std::string& name) { return equalsIgnoreCase(name, "preferences"); });
            if (prefs != subfolders.end())
                subfolders.erase(prefs);
            for (const auto& name : subfolders)
                addProfile(state, name, joinPath(listed, name));
            break;
        }
        case ProfileListRule::RootSubfolders:
            for (const auto& name : subfolders)
                addProfile(state, name, joinPath(listed, name));
            break;
        case ProfileListRule::ChromiumProfiles:
            addChromiumProfiles(state, subfolders);
            break;
    }
    // The list starts at the profile the browser starts with, else at its first entry.
    state.profileIndex = state.profiles.empty() ? -1 : std::max(0, defaultProfileIndex(browser, state));
    state.focusOnNext = true;
}

int profileIndexOf(const SelectiveState& state, const std::string& name) {
    for (std::size_t i = 0; i < state.profiles.size(); ++i) {
        if (!name.empty() && equalsIgnoreCase(state.profiles[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

int defaultProfileIndex(const Browser&, const SelectiveState& state) {
    int marked = profileIndexOf(state, state.markedProfile);
    if (marked < 0 && state.profiles.size() == 1)
        marked = 0;
    return marked;
}

void backupLocationChanged(SelectiveState& state) {
    state.backupFolder = state.backupLocationText;
    state.backupFiles.clear();
    std::vector<platform::DirEntry> entries;
    if (platform::listDirectory(state.backupFolder, false, entries)) {
        for (const auto& entry : entries) {
            if (!entry.isDirectory && endsWithIgnoreCase(entry.name, ".dat"))
                state.backupFiles.push_back(entry.name);
        }
    }
    // The list box keeps its entries sorted, as the Windows listing returns them on NTFS.
    std::sort(state.backupFiles.begin(), state.backupFiles.end(),
              [](const std::string& a, const std::string& b) { return lowerAscii(a) < lowerAscii(b); });
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
    result.notes.insert(result.notes.begin(), state.notes.begin(), state.notes.end());
    reportDone(result, host);
    return result;
}

TaskResult runSelectiveBackup(const Browser& browser, SelectiveState& state, Host& host) {
    state.leftOut.clear();
    state.notes.clear();
    TaskResult result = guarded([&] { return backUp(browser, state, host); });
    if (result.outcome() == Outcome::Failed) {
        emptyProfileList(state);
        host.progressHide();
    }
    return result;
}

TaskResult runSelectiveRestore(const Browser& browser, SelectiveState& state, Host& host) {
    state.leftOut.clear();
    state.notes.clear();
    TaskResult result = guarded([&] { return restore(browser, state, host); });
    if (result.outcome() == Outcome::Failed)
        host.progressHide();
    return result;
}

}  // namespace kelvora::browsers
