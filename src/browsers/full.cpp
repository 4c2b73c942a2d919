// The full backup and restore wizards' work: discovery of the data root, packing and unpacking
// with the wizard's own bar and file label, and the completion display.
#include "browsers/full.h"

#include <optional>

#include "archive/zlib_multiple.h"
#include "browsers/selective.h"
#include "browsers/task_support.h"
#include "browsers/undo.h"
#include "core/core.h"
#include "core/error.h"
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
    writer.CompressDirectory(folder, true, archive);
    takeArchiveReport(writer, result);
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
        undo::Plan plan{browser.name + " full restore", {}, {}};
        planUnpack(archive, state.dataRoot, plan);
        undo::saveBeforeRestore(plan);
        TaskResult result;
        unpackWithFeedback(archive, state.dataRoot, state, host, result);
        return finished(state, host, std::move(result));
    });
}

}  // namespace kelvora::browsers::full
