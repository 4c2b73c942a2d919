// The full backup and restore wizards' work: discovery of the data root, packing and unpacking
// with the wizard's own bar and file label, and the completion display.
#include "browsers/full.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "archive/archive_io.h"
#include "archive/zlib_multiple.h"
#include "browsers/selective.h"
#include "browsers/task_support.h"
#include "browsers/undo.h"
#include "core/core.h"
#include "core/database_copy.h"
#include "core/error.h"
#include "core/staging.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers::full {

namespace {

// The wizard's bar and file label, kept in the state and shown through the host.
void setBar(State& state, Host& host, int position, int maximum) {
    state.barPosition = position;
    state.barMaximum = maximum;
    host.fullProgress(position, maximum);
}

void setLabel(State& state, Host& host, const std::string& text) {
    state.fileLabel = text;
    host.fullFileLabel(text);
}

// DoProgress: the bar runs from empty to full once per file.
void doProgress(State& state, Host& host, int position, int total) {
    setBar(state, host, position, total);
    host.repaint();
}

// DoCompressFile and DoDecompressFile: the file's full path under the bar.
void doFile(State& state, Host& host, const std::string& fileName) {
    setLabel(state, host, fileName);
    host.repaint();
}

// An archive of no records: a file of zero bytes, replacing an earlier archive of that name.
void writeEmptyArchive(const std::string& archive) {
    try {
        platform::File::create(archive, platform::Access::OwnerOnly).close();
    } catch (const std::exception& e) {
        throw Error(Format("Cannot create file \"%s\". %s", archive.c_str(), e.what()));
    }
}

// Reads every SQLite database of a tree as one consistent snapshot: a database is copied with
// CopyDatabase into a private staging folder the first time it is asked about, and the archive
// reads the copy (removed once read). Its companions are then left out, as the snapshot holds what
// waited in them. A database that can't be copied so is read as a file, with its companions, and
// noted.
class DatabaseSnapshots : public archive::FileSystem {
  public:
    explicit DatabaseSnapshots(const std::string& stagingParent)
        : staging_(StagingFolder::create(stagingParent)) {}

    std::unique_ptr<archive::InputFile> openRead(std::string_view path, platform::Share share) override {
        const std::string snapshot = snapshotOf(std::string(path));
        if (snapshot.empty())
            return archive::FileSystem::openRead(path, share);
        return std::make_unique<RemovedWhenRead>(archive::FileSystem::openRead(snapshot, share), snapshot);
    }

    // True for the companion of a database whose snapshot holds it.
    bool isHeldCompanion(const std::string& path) {
        for (const char* suffix : kDatabaseCompanions) {
            const std::string_view end(suffix);
            if (path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0)
                return !snapshotOf(path.substr(0, path.size() - end.size())).empty();
        }
        return false;
    }

    std::vector<std::string> takeNotes() {
        const std::lock_guard lock(mutex_);
        return std::exchange(notes_, {});
    }

  private:
    class RemovedWhenRead : public archive::InputFile {
      public:
        RemovedWhenRead(std::unique_ptr<archive::InputFile> in, std::string path)
            : in_(std::move(in)), path_(std::move(path)) {}
        ~RemovedWhenRead() override {
            in_.reset();
            platform::removeFile(path_);
        }
        std::size_t read(void* buffer, std::size_t size) override { return in_->read(buffer, size); }
        std::uint64_t size() const override { return in_->size(); }
        std::uint64_t position() const override { return in_->position(); }
        void seek(std::uint64_t offset) override { in_->seek(offset); }

      private:
        std::unique_ptr<archive::InputFile> in_;
        std::string path_;
    };

    std::string snapshotOf(const std::string& path) {
        const std::lock_guard lock(mutex_);
        if (const auto known = snapshots_.find(path); known != snapshots_.end())
            return known->second;
        std::string snapshot;
        if (IsSqliteDatabase(path)) {
            const std::string copy = joinPath(staging_.path(), std::to_string(snapshots_.size() + 1));
            const DatabaseCopyResult copied = CopyDatabase(path, copy);
            if (copied.status == DatabaseCopyStatus::Copied)
                snapshot = copy;
            else
                notes_.push_back(databaseCopiedAsFile(path, copied.reason));
        }
        snapshots_.emplace(path, snapshot);
        return snapshot;
    }

    StagingFolder staging_;
    std::mutex mutex_;
    std::map<std::string, std::string> snapshots_;
    std::vector<std::string> notes_;
};

void packWithFeedback(const std::string& folder, const std::string& archive, State& state, Host& host,
                      TaskResult& result) {
    TZlibMultiple writer;
    BusyCursor busy(host);
    setLabel(state, host, "");
    setBar(state, host, 0, state.barMaximum);
    if (!DirectoryExists(folder)) {
        // Opera's local mail folder may be missing; its archive is then empty.
        writeEmptyArchive(archive);
        return;
    }
    writer.OnProgress = [&](TZlibMultiple&, std::int32_t position, std::int32_t total) {
        doProgress(state, host, position, total);
    };
    writer.OnCompressingFile = [&](TZlibMultiple&, const std::string& fileName) {
        doFile(state, host, fileName);
    };
    auto snapshots = std::make_shared<DatabaseSnapshots>(parentFolder(archive));
    writer.Files = snapshots;
    writer.SkipFile = [&snapshots](const std::string& fullPath, const std::string&) {
        return snapshots->isHeldCompanion(fullPath);
    };
    writer.CompressDirectory(folder, true, archive);
    takeArchiveReport(writer, result);
    for (auto& note : snapshots->takeNotes())
        result.notes.push_back(std::move(note));
}

// The archive component writes each file beside its target and moves it into place only once it
// is complete, so a full disk or a damaged archive never leaves a half-written browser file: the
// files unpacked before an error are whole, the others as they were.
// What the archive left out and its warnings go into the result, for the end of the task.
void unpackWithFeedback(const std::string& archive, const std::string& folder, State& state, Host& host,
                        TaskResult& result) {
    TZlibMultiple reader;
    BusyCursor busy(host);
    setLabel(state, host, "");
    setBar(state, host, 0, state.barMaximum);
    reader.OnProgress = [&](TZlibMultiple&, std::int32_t position, std::int32_t total) {
        doProgress(state, host, position, total);
    };
    reader.OnDecompressingFile = [&](TZlibMultiple&, const std::string& fileName, bool&) {
        doFile(state, host, fileName);
    };
    reader.DecompressFile(archive, folder, true, true);
    takeArchiveReport(reader, result);
}

// Adds where each record of `archive` lands below `folder` to the undo plan.
void planUnpack(const std::string& archive, const std::string& folder, undo::Plan& plan) {
    TZlibMultiple lister;
    std::vector<std::string> records;
    lister.ListStoredFiles(archive, records);
    for (const auto& record : records)
        plan.files.push_back(joinPath(folder, record));
}

void completionDisplay(State& state, Host& host) {
    setBar(state, host, 0, state.barMaximum);
    setLabel(state, host, kFinished);
    state.finishVisible = true;
}

// "Next >" works only on a data root that discovery found and that is still a folder. Without one
// the archive component would be handed an empty path, which it reads as the working folder; a
// marker found by its bare name in the working folder leaves no folder either.
bool hasDataRoot(const State& state) {
    return !state.dataRoot.empty() && DirectoryExists(state.dataRoot);
}

// The end of a task: the completion display, then what was left out and the archive's warnings.
TaskResult finished(State& state, Host& host, TaskResult result) {
    completionDisplay(state, host);
    reportDone(result, host);
    return result;
}

// Before a backup packs: the location exists, and archives already there are replaced only when
// the person says so.
std::optional<TaskResult> readyToWrite(const State& state, const std::vector<std::string>& archives,
                                       Host& host) {
    if (auto missing = checkBackupFolder(state.backupLocationText, archives.front()))
        return missing;
    for (const auto& archive : archives) {
        if (auto kept = confirmReplace(archive, host))
            return kept;
    }
    return std::nullopt;
}

// A data root with no file in it gives no archive.
std::optional<TaskResult> nothingToPack(const Browser& browser, const State& state) {
    if (holdsAnyFile(state.dataRoot))
        return std::nullopt;
    return TaskResult::nothingDone(Format("The %s data folder \"%s\" holds no file; no backup was written.",
                                          browser.name.c_str(), shownPath(state.dataRoot).c_str()));
}

std::string archivePath(const State& state, const std::string& name) {
    return joinPath(state.backupLocationText, name);
}

std::string mailFolderFor(const EnvironmentFacts& facts, const std::string& name) {
    return facts.loc + "\\Opera\\" + name + "\\mail";
}

// The marker search for the installation folder `name`; on a hit the data root follows it.
bool search(const Browser& browser, State& state, const std::string& name) {
    state.candidates = candidateFolders(browser, state.facts, state.candidates, name);
    const Found found = locate(browser, state.facts, state.candidates, name);
    if (found.marker.empty())
        return false;
    state.dataRoot = withoutTrailingSeparator(found.root);
    ProtectFolder(parentFolder(state.dataRoot));
    return !state.dataRoot.empty();
}

// Opera's "Next >" up to the data root: the one found on activation, or the one for a typed
// name. Returns the installation folder name, or nothing when the task ends here (the window then
// asks for the name).
std::optional<std::string> operaInstallation(const Browser& browser, State& state, Host& host) {
    if (state.operaNameText.empty()) {
        if (!hasDataRoot(state)) {
            host.showMessage(kOperaTypeName);
            state.operaNameVisible = true;
            return std::nullopt;
        }
        return browser.installName;
    }
    state.facts = state.readFacts();
    if (!search(browser, state, state.operaNameText) || !hasDataRoot(state)) {
        host.showMessage(kOperaRecheckName);
        state.operaNameVisible = true;
        return std::nullopt;
    }
    return state.operaNameText;
}

TaskResult operaBackup(const Browser& browser, State& state, Host& host) {
    const auto name = operaInstallation(browser, state, host);
    if (!name)
        return TaskResult::failed(state.operaNameText.empty() ? kOperaTypeName : kOperaRecheckName);
    state.mailFolder = mailFolderFor(state.facts, *name);
    const std::string archive = archivePath(state, browser.fullArchiveName);
    const std::string mailArchive = archivePath(state, browser.mailArchiveName);
    if (auto stop = readyToWrite(state, {archive, mailArchive}, host))
        return *stop;
    if (auto empty = nothingToPack(browser, state))
        return *empty;
    TaskResult result;
    packWithFeedback(state.dataRoot, archive, state, host, result);
    // Packed whether the mail folder exists or not: a missing one gives an empty archive, so a
    // later restore finds the pair it expects.
    packWithFeedback(state.mailFolder, mailArchive, state, host, result);
    return finished(state, host, std::move(result));
}

TaskResult operaRestore(const Browser& browser, State& state, Host& host) {
    const std::string archive = archivePath(state, browser.fullArchiveName);
    if (!FileExists(archive))
        return stoppedHere(host, Format("Backup File \"%s\" Not Found", browser.fullArchiveName.c_str()));
    const auto name = operaInstallation(browser, state, host);
    if (!name)
        return TaskResult::failed(state.operaNameText.empty() ? kOperaTypeName : kOperaRecheckName);
    state.mailFolder = mailFolderFor(state.facts, *name);
    const std::string mailArchive = archivePath(state, browser.mailArchiveName);
    undo::Plan plan{browser.name + " full restore", {}, {}};
    planUnpack(archive, state.dataRoot, plan);
    if (FileExists(mailArchive))
        planUnpack(mailArchive, state.mailFolder, plan);
    undo::saveBeforeRestore(plan);
    TaskResult result;
    unpackWithFeedback(archive, state.dataRoot, state, host, result);
    if (FileExists(mailArchive))
        unpackWithFeedback(mailArchive, state.mailFolder, state, host, result);
    return finished(state, host, std::move(result));
}

}  // namespace

State makeState(const Browser& browser, Task task) {
    State state;
    state.task = task;
    state.caption = browser.caption(task);
    state.title = browser.fullTitle(task);
    return state;
}

void activate(const Browser& browser, State& state, Host& host) {
    state.title = browser.fullTitle(state.task);
    state.finishVisible = false;
    state.facts = state.readFacts();
    if (asksInstallName(browser)) {
        // Without a hit the data root stays as it was; the window asks for the folder name.
        if (!search(browser, state, browser.installName)) {
            host.showMessage(kOperaTypeName);
            state.operaNameVisible = true;
        }
        return;
    }
    if (!search(browser, state, {})) {
        state.dataRoot.clear();
        host.showMessage(kNotFound);
    }
}

TaskResult backup(const Browser& browser, State& state, Host& host) {
    return guarded([&]() -> TaskResult {
        if (state.backupLocationText == kLocationPrompt)
            return endedHere(host, kSelectLocation);
        if (asksInstallName(browser))
            return operaBackup(browser, state, host);
        if (!hasDataRoot(state))
            return stoppedHere(host, kNotFound);
        const std::string archive = archivePath(state, browser.fullArchiveName);
        if (auto stop = readyToWrite(state, {archive}, host))
            return *stop;
        if (auto empty = nothingToPack(browser, state))
            return *empty;
        TaskResult result;
        packWithFeedback(state.dataRoot, archive, state, host, result);
        noteLiveCopy(browser, state.dataRoot, result);
        return finished(state, host, std::move(result));
    });
}

TaskResult restore(const Browser& browser, State& state, Host& host) {
    return guarded([&]() -> TaskResult {
        if (state.backupLocationText == kLocationPrompt)
            return endedHere(host, kSelectLocation);
        if (asksInstallName(browser))
            return operaRestore(browser, state, host);
        const std::string archive = archivePath(state, browser.fullArchiveName);
        if (!FileExists(archive))
            return stoppedHere(host, Format("Backup File \"%s\" Not Found", browser.fullArchiveName.c_str()));
        if (!hasDataRoot(state))
            return stoppedHere(host, kNotFound);
        if (auto stop = waitUntilClosed(browser, state.dataRoot, host))
            return *stop;
        undo::Plan plan{browser.name + " full restore", {}, {}};
        planUnpack(archive, state.dataRoot, plan);
        undo::saveBeforeRestore(plan);
        TaskResult result;
        unpackWithFeedback(archive, state.dataRoot, state, host, result);
        return finished(state, host, std::move(result));
    });
}

}  // namespace kelvora::browsers::full
