// Internet Explorer's tasks. One item table drives all four: the selective pair works through the
// ticked items with a step before each, the full pair through all of them with a step after each.
#include "browsers/ie.h"

#include <chrono>
#include <functional>
#include <optional>

#include "archive/zlib_multiple.h"
#include "browsers/task_support.h"
#include "browsers/undo.h"
#include "core/core.h"
#include "core/error.h"
#include "core/registry.h"
#include "core/staging.h"
#include "core/temp_names.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers::ie {

namespace {

constexpr const char* kKeyRoot = "Software\\Microsoft\\Internet Explorer\\";
constexpr const char* kCouldNotCopy = "could not be copied";

// The places in the item table where a task pauses on purpose, and the extra step of "Settings".
struct Beat {
    bool pause = false;
    bool step = false;
};

struct Row {
    Item item;
    std::vector<Beat> afterHive;  // one per hive
    bool pauseAfterItem = false;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = [] {
        auto hive = [](const char* key, const char* file) {
            return HiveFile{std::string(kKeyRoot) + key + "\\", file};
        };
        std::vector<Row> r;
        r.push_back(
            {{"Autocomplete", {hive("IntelliForms", "autocomplete.reg")}, ItemFolder::None}, {{}}, false});
        r.push_back({{"Cookies", {}, ItemFolder::Cookies}, {}, false});
        r.push_back({{"Favorites", {}, ItemFolder::Favorites}, {}, false});
        r.push_back({{"History", {hive("TypedURLs", "hist.reg")}, ItemFolder::None}, {{}}, false});
        r.push_back(
            {{"Search providers", {hive("SearchScopes", "search.reg")}, ItemFolder::None}, {{}}, true});
        r.push_back({{"Sessions", {hive("Recovery", "rec.reg")}, ItemFolder::Recovery}, {{}}, false});
        r.push_back({{"Settings",
                      {hive("Main", "set.reg"), hive("Settings", "set2.reg"), hive("Security", "set3.reg"),
                       hive("Download", "set4.reg"), hive("International", "set5.reg"),
                       hive("PhishingFilter", "set6.reg"), hive("User Preferences", "set7.reg")},
                      ItemFolder::None},
                     {{}, {true, false}, {}, {true, true}, {}, {true, false}, {}},
                     false});
        r.push_back({{"Toolbar", {hive("Toolbar", "toolbar.reg")}, ItemFolder::None}, {{}}, false});
        r.push_back({{"Links bar", {hive("LinksBar", "links.reg")}, ItemFolder::None}, {{}}, false});
        return r;
    }();
    return table;
}

// One run of a task over the item table.
struct Job {
    bool backup = true;
    bool full = false;
    std::string staging;
    Locations where;
    Host& host;
    std::function<void()> step;
    SelectiveState* boxes = nullptr;  // the selective window's tick boxes; none for a full task
    std::vector<LeftOut>& leftOut;
};

bool ticked(const Job& job, const Item& item) {
    return !job.boxes || job.boxes->isTicked(item.caption);
}

void untick(Job& job, const Item& item) {
    if (job.boxes)
        job.boxes->setTicked(item.caption, false);
}

void pause(Job& job) {
    job.host.pause(std::chrono::milliseconds(kPauseMs));
}

void doHive(Job& job, const Item& item, const HiveFile& hive) {
    const std::string file = joinPath(job.staging, hive.file);
    if (job.backup) {
        const std::string reason = SaveKeyToFile(hive.key, file);
        if (!reason.empty())
            job.leftOut.push_back({item.caption, "HKEY_CURRENT_USER\\" + hive.key, reason});
    } else {
        const std::string message = LoadKeyFromFile(hive.key, file);
        if (!message.empty())
            job.leftOut.push_back({item.caption, "HKEY_CURRENT_USER\\" + hive.key, message});
    }
}

void doFolder(Job& job, const Item& item) {
    if (item.folder == ItemFolder::None)
        return;
    const std::string place = job.where.folderPath(item.folder);
    if (place.empty() || !DirectoryExists(place)) {
        untick(job, item);
        return;
    }
    const auto copy = [&](const std::string& from, const std::string& to) {
        std::vector<LeftOutItem> inside;
        std::string reason;
        const bool copied = CopyDir(from, to, &inside, &reason);
        for (auto& entry : inside)
            job.leftOut.push_back({item.caption, std::move(entry.path), std::move(entry.reason)});
        if (!copied)
            job.leftOut.push_back({item.caption, from, reason.empty() ? kCouldNotCopy : reason});
    };
    if (job.backup) {
        copy(place, job.staging);
        return;
    }
    const std::string archived = joinPath(job.staging, folderName(item.folder));
    if (DirectoryExists(archived))
        copy(archived, job.where.folderParent(item.folder));
}

// Before a restore's items are processed: the keys it will load and the files it will write go
// into an undo set.
void saveForUndo(const Job& job, const std::string& description) {
    undo::Plan plan;
    plan.description = description;
    for (const Row& row : rows()) {
        if (!ticked(job, row.item))
            continue;
        for (const auto& hive : row.item.hives) {
            if (FileExists(joinPath(job.staging, hive.file)))
                plan.registryKeys.push_back(hive.key);
        }
        if (row.item.folder == ItemFolder::None)
            continue;
        const std::string place = job.where.folderPath(row.item.folder);
        const std::string archived = joinPath(job.staging, folderName(row.item.folder));
        if (!place.empty() && DirectoryExists(place) && DirectoryExists(archived))
            plan.addTree(archived,
                         joinPath(job.where.folderParent(row.item.folder), folderName(row.item.folder)));
    }
    undo::saveBeforeRestore(plan);
}

void processItems(Job& job) {
    const auto& table = rows();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Row& row = table[i];
        if (ticked(job, row.item)) {
            if (!job.full)
                job.step();
            for (std::size_t h = 0; h < row.item.hives.size(); ++h) {
                doHive(job, row.item, row.item.hives[h]);
                if (row.afterHive[h].pause)
                    pause(job);
                if (row.afterHive[h].step)
                    job.step();
            }
            doFolder(job, row.item);
        }
        if (row.pauseAfterItem)
            pause(job);
        // The full restore's last item has no step of its own.
        const bool last = i + 1 == table.size();
        if (job.full && !(last && !job.backup))
            job.step();
    }
}

void pack(const std::string& staging, const std::string& archive, Host& host, std::string& title,
          TaskResult& result) {
    TZlibMultiple z;
    BusyCursor busy(host);
    title.clear();
    z.OnCompressingFile = [&host](TZlibMultiple&, const std::string&) { host.repaint(); };
    z.CompressDirectory(staging, true, archive);
    takeArchiveReport(z, result);
}

void unpack(const std::string& archive, const std::string& staging, Host& host, TaskResult& result) {
    TZlibMultiple z;
    BusyCursor busy(host);
    z.OnDecompressingFile = [&host](TZlibMultiple&, const std::string&, bool&) { host.repaint(); };
    z.DecompressFile(archive, staging, true, true);
    takeArchiveReport(z, result);
}

// Before a backup: the location exists and an archive already there may be replaced.
std::optional<TaskResult> readyToWrite(const std::string& location, const std::string& archive, Host& host) {
    if (auto missing = checkBackupFolder(location, archive))
        return missing;
    return confirmReplace(archive, host);
}

// After the items: no archive for a staging folder that received nothing.
std::optional<TaskResult> nothingSaved(const std::string& staging, const std::vector<LeftOut>& leftOut) {
    if (holdsAnyFile(staging))
        return std::nullopt;
    TaskResult result = TaskResult::nothingDone(
        "No Internet Explorer folder or registry key of the chosen items was found; no backup was written.");
    result.leftOut = leftOut;
    return result;
}

// The start of every selective "Next >": facts, locations, marker search, location check.
bool commonStart(SelectiveState& state, const EnvironmentFacts& facts, Locations& where) {
    state.facts = facts;
    where = findLocations(facts);
    state.candidates = where.candidates;
    state.markerFound = where.fullFilePath;
    state.profileFolder = where.dataFolder;
    state.backupFolder = state.backupLocationText;
    return state.backupFolder != kBackupLocationPrompt;
}

bool commonStart(full::State& state, Locations& where) {
    state.facts = state.readFacts ? state.readFacts() : readEnvironmentFacts();
    where = findLocations(state.facts);
    state.candidates = where.candidates;
    state.dataRoot = where.dataFolder;
    return state.backupLocationText != full::kLocationPrompt;
}

// The full wizards' own bar: steps of 9 that stop at its maximum.
std::function<void()> fullStepper(full::State& state, Host& host) {
    return [&state, &host] {
        state.barMaximum = 100;
        state.barPosition = std::min(state.barPosition + kStep, 100);
        host.fullProgress(state.barPosition, state.barMaximum);
    };
}

void fullCompletion(full::State& state, Host& host) {
    state.barPosition = 0;
    host.fullProgress(0, state.barMaximum);
    state.finishVisible = true;
}

}  // namespace

const std::vector<Item>& items() {
    static const std::vector<Item> list = [] {
        std::vector<Item> out;
        for (const Row& row : rows())
            out.push_back(row.item);
        return out;
    }();
    return list;
}

std::vector<HiveFile> allHives() {
    std::vector<HiveFile> out;
    for (const Item& item : items())
        out.insert(out.end(), item.hives.begin(), item.hives.end());
    return out;
}

const std::vector<TickBoxInfo>& tickBoxes() {
    static const std::vector<TickBoxInfo> boxes = {
        {"CheckBox1", "Autocomplete"},     {"CheckBox2", "Cookies"},  {"CheckBox3", "Dialup", false},
        {"CheckBox4", "Favorites"},        {"CheckBox5", "History"},  {"CheckBox6", "Links bar"},
        {"CheckBox7", "Search providers"}, {"CheckBox8", "Sessions"}, {"CheckBox9", "Settings"},
        {"CheckBox10", "Toolbar"},
    };
    return boxes;
}

std::string folderName(ItemFolder folder) {
    switch (folder) {
        case ItemFolder::Cookies:
            return "Cookies";
        case ItemFolder::Favorites:
            return "Favorites";
        case ItemFolder::Recovery:
            return "Recovery";
        default:
            return {};
    }
}

std::string Locations::folderPath(ItemFolder folder) const {
    switch (folder) {
        case ItemFolder::Cookies:
            return cookiesParent + "\\Cookies";
        case ItemFolder::Favorites:
            return favoritesParent + "\\Favorites";
        case ItemFolder::Recovery:
            return recoveryFolder;
        default:
            return {};
    }
}

std::string Locations::folderParent(ItemFolder folder) const {
    switch (folder) {
        case ItemFolder::Cookies:
            return cookiesParent;
        case ItemFolder::Favorites:
            return favoritesParent;
        case ItemFolder::Recovery:
            return dataFolder;
        default:
            return {};
    }
}

Locations findLocations(const EnvironmentFacts& facts) {
    Locations where;
    const std::string& drv = facts.drv;
    const std::string& user = facts.uzer;
    std::string first;
    const bool users = platform::usersLayout(facts.windoze);
    if (facts.windoze == "5" || users)
        first = facts.sfp + "\\Microsoft\\Internet Explorer";
    if (users) {
        const std::string home = drv + "\\Users\\" + user;
        where.candidates = {first, home + "\\AppData\\Local\\Microsoft\\Internet Explorer",
                            home + "\\AppData\\Roaming\\Microsoft\\Internet Explorer"};
        where.cookiesParent = home + "\\AppData\\Roaming\\Microsoft\\Windows";
        where.favoritesParent = home;
    } else {
        const std::string home = drv + "\\Documents and Settings\\" + user;
        where.candidates = {first, home + "\\Application Data\\Microsoft\\Internet Explorer",
                            home + "\\Local Settings\\Application Data\\Microsoft\\Internet Explorer"};
        where.cookiesParent = home;
        where.favoritesParent = home;
    }
    // The list ends with an empty fourth entry, which adds nothing to the search.
    const std::string list =
        where.candidates[0] + ";" + where.candidates[1] + ";" + where.candidates[2] + ";";
    where.fullFilePath = SearchFileInFolders(kMarker, list);
    where.dataFolder = ReplaceTextIgnoreCase(where.fullFilePath, kMarker, "");
    if (!where.dataFolder.empty())
        where.recoveryFolder = where.dataFolder + "\\Recovery";
    return where;
}

std::string notFoundMessage(const std::string& archiveName) {
    return "Backup File \"" + archiveName + "\" Not Found";
}

// ---- Selective ----------------------------------------------------------------------------------

SelectiveState makeState(Task task) {
    SelectiveState state;
    state.task = task;
    state.caption = task == Task::Backup ? kBackupCaption : kRestoreCaption;
    state.title = task == Task::Backup ? kBackupTitle : kRestoreTitle;
    for (const TickBoxInfo& info : tickBoxes())
        state.tickBoxes.push_back({info.caption, info.enabled, info.enabled});
    state.profiles = {kProfileName};
    state.profileIndex = 0;
    state.profileListEnabled = false;
    return state;
}

void activate(SelectiveState& state) {
    if (state.task == Task::Backup) {
        state.title = kBackupTitle;
        state.finishVisible = false;
    } else {
        state.title = kRestoreTitle;
    }
}

void selectAll(SelectiveState& state, bool checked) {
    for (TickBox& box : state.tickBoxes) {
        if (box.enabled)
            box.checked = checked;
    }
}

TaskResult runBackup(SelectiveState& state, Host& host) {
    return runBackup(state, host, readEnvironmentFacts());
}

TaskResult runBackup(SelectiveState& state, Host& host, const EnvironmentFacts& facts) {
    state.leftOut.clear();
    return guarded([&]() -> TaskResult {
        Locations where;
        if (!commonStart(state, facts, where))
            return endedHere(host, kSelectBackupLocation);
        const std::string archive = joinPath(state.backupFolder, kSelectiveArchive);
        if (auto stop = readyToWrite(state.backupFolder, archive, host))
            return *stop;
        host.progressShow();
        host.progressStep(kStep);

        CleanLeftoverTemporaries(state.backupFolder);
        StagingFolder staging = StagingFolder::create(state.backupFolder);
        Job job{true,   false,        staging.path(), where, host, [&host] { host.progressStep(kStep); },
                &state, state.leftOut};
        processItems(job);
        host.progressStep(kStep);
        if (auto empty = nothingSaved(staging.path(), state.leftOut)) {
            host.progressHide();
            return *empty;
        }

        TaskResult result;
        pack(staging.path(), archive, host, state.title, result);
        removeStaging(staging, result);
        return selectiveFinished(state, host, std::move(result));
    });
}

TaskResult runRestore(SelectiveState& state, Host& host) {
    return runRestore(state, host, readEnvironmentFacts());
}

TaskResult runRestore(SelectiveState& state, Host& host, const EnvironmentFacts& facts) {
    state.leftOut.clear();
    return guarded([&]() -> TaskResult {
        Locations where;
        if (!commonStart(state, facts, where))
            return endedHere(host, kSelectBackupLocation);
        const std::string archive = joinPath(state.backupFolder, kSelectiveArchive);
        if (!FileExists(archive))
            return stoppedHere(host, notFoundMessage(kSelectiveArchive));
        host.progressShow();
        host.progressStep(kStep);

        TaskResult result;
        CleanLeftoverTemporaries(state.backupFolder);
        StagingFolder staging = StagingFolder::create(state.backupFolder);
        unpack(archive, staging.path(), host, result);
        host.progressStep(kStep);
        Job job{false,  false,        staging.path(), where, host, [&host] { host.progressStep(kStep); },
                &state, state.leftOut};
        saveForUndo(job, std::string(kName) + " selective restore");
        processItems(job);
        removeStaging(staging, result);
        return selectiveFinished(state, host, std::move(result));
    });
}

// ---- Full ---------------------------------------------------------------------------------------

full::State makeFullState(Task task) {
    full::State state;
    state.task = task;
    state.caption = task == Task::Backup ? kBackupCaption : kRestoreCaption;
    state.title = task == Task::Backup ? kFullBackupTitle : kFullRestoreTitle;
    return state;
}

void activateFull(full::State& state) {
    state.title = state.task == Task::Backup ? kFullBackupTitle : kFullRestoreTitle;
    state.finishVisible = false;
}

TaskResult runFullBackup(full::State& state, Host& host) {
    return guarded([&]() -> TaskResult {
        Locations where;
        if (!commonStart(state, where))
            return endedHere(host, full::kSelectLocation);
        const std::string location = state.backupLocationText;
        const std::string archive = joinPath(location, kFullArchive);
        if (auto stop = readyToWrite(location, archive, host))
            return *stop;
        std::vector<LeftOut> leftOut;
        const auto step = fullStepper(state, host);
        state.barPosition = 0;
        step();
        CleanLeftoverTemporaries(location);
        StagingFolder staging = StagingFolder::create(location);
        step();
        Job job{true, true, staging.path(), where, host, step, nullptr, leftOut};
        processItems(job);
        if (auto empty = nothingSaved(staging.path(), leftOut))
            return *empty;

        TaskResult result;
        result.leftOut = leftOut;
        pack(staging.path(), archive, host, state.title, result);
        removeStaging(staging, result);
        fullCompletion(state, host);
        reportDone(result, host);
        return result;
    });
}

TaskResult runFullRestore(full::State& state, Host& host) {
    return guarded([&]() -> TaskResult {
        Locations where;
        if (!commonStart(state, where))
            return endedHere(host, full::kSelectLocation);
        const std::string location = state.backupLocationText;
        const std::string archive = joinPath(location, kFullArchive);
        if (!FileExists(archive))
            return stoppedHere(host, notFoundMessage(kFullArchive));
        std::vector<LeftOut> leftOut;
        const auto step = fullStepper(state, host);
        state.barPosition = 0;
        step();
        TaskResult result;
        CleanLeftoverTemporaries(location);
        StagingFolder staging = StagingFolder::create(location);
        unpack(archive, staging.path(), host, result);
        step();
        Job job{false, true, staging.path(), where, host, step, nullptr, leftOut};
        saveForUndo(job, std::string(kName) + " full restore");
        processItems(job);
        removeStaging(staging, result);
        fullCompletion(state, host);
        result.leftOut.insert(result.leftOut.begin(), leftOut.begin(), leftOut.end());
        reportDone(result, host);
        return result;
    });
}

}  // namespace kelvora::browsers::ie
