#include "browsers/task_support.h"

#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/in_use.h"
#include "core/core.h"
#include "core/error.h"
#include "core/staging.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers {

TaskResult guarded(const std::function<TaskResult()>& work) {
    try {
        return work();
    } catch (const std::exception& e) {
        return TaskResult::failed(e.what());
    }
}

TaskResult endedHere(Host& host, const std::string& message) {
    host.showMessage(message);
    return TaskResult::nothingDone(message);
}

TaskResult stoppedHere(Host& host, const std::string& message) {
    host.showMessage(message);
    return TaskResult::failed(message);
}

std::string leftOutMessage(const std::vector<LeftOutItem>& leftOut) {
    std::string text = "Some files were left out:";
    for (const auto& entry : leftOut) {
        text += "\n";
        if (!entry.item.empty())
            text += entry.item + ": ";
        text += entry.path.empty() ? entry.reason : shownPath(entry.path) + " (" + entry.reason + ")";
    }
    return text;
}

void reportDone(const TaskResult& result, Host& host) {
    if (!result.leftOut.empty())
        host.showMessage(leftOutMessage(result.leftOut));
    if (!result.warnings.empty()) {
        std::string text = "Some restored files differ in size from what the backup recorded:";
        for (const auto& warning : result.warnings)
            text += "\n" + warning;
        host.showMessage(text);
    }
    if (!result.notes.empty()) {
        std::string text;
        for (const auto& note : result.notes)
            text += (text.empty() ? "" : "\n") + note;
        host.showMessage(text);
    }
}

std::optional<TaskResult> waitUntilClosed(const Browser& browser, const std::string& folder, Host& host) {
    while (true) {
        const std::string lock = heldLockIn(browser, folder);
        if (lock.empty())
            return std::nullopt;
        const std::string text = "Close " + browser.name + " first. It is using \"" + shownPath(folder) +
                                 "\" (it holds \"" + shownPath(lock) +
                                 "\"), and a restore into it now would mix "
                                 "its files with the backup's.";
        switch (host.browserInUse(text)) {
            case Host::InUseAnswer::Retry:
                continue;
            case Host::InUseAnswer::Proceed:
                return std::nullopt;
            case Host::InUseAnswer::Cancel:
                return TaskResult::failed("Close " + browser.name + " first: it is using \"" +
                                          shownPath(folder) + "\". Nothing was restored.");
        }
    }
}

void noteLiveCopy(const Browser& browser, const std::string& folder, TaskResult& result) {
    if (result.ok() && !heldLockIn(browser, folder).empty())
        result.notes.push_back(
            browser.name + " was running: its databases were copied live, each as one consistent snapshot.");
}

std::string databaseCopiedAsFile(const std::string& path, const std::string& reason) {
    return "The database \"" + shownPath(path) + "\" was copied as a file, not as a consistent snapshot (" +
           reason + "); if the browser was writing it, the copy may be incomplete.";
}

void removeStaging(StagingFolder& staging, TaskResult& result) {
    const std::string path = staging.path();
    std::string reason;
    if (!staging.remove(&reason))
        result.leaveOut("", path,
                        "this temporary folder holds copies of browser data and could not be removed (" +
                            reason + "); remove it yourself");
}

std::string shownPath(const std::string& path) {
    if (!platform::usesMachineFolder() || (path.size() >= 2 && path[1] == ':') || path.starts_with("HKEY_"))
        return path;
    return platform::nativePath(path).string();
}

std::optional<TaskResult> confirmReplace(const std::string& archive, Host& host) {
    if (!FileExists(archive))
        return std::nullopt;
    const std::size_t slash = archive.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? archive : archive.substr(slash + 1);
    const auto made = platform::modifiedTimeText(archive);
    const std::string question =
        name + " already exists" + (made ? " (made " + *made + ")" : std::string()) + ". Replace it?";
    if (host.confirmReplace(question))
        return std::nullopt;
    return TaskResult::nothingDone(
        Format("%s already exists in %s and was not replaced.", name.c_str(),
               shownPath(archive.substr(0, slash == std::string::npos ? 0 : slash)).c_str()));
}

std::optional<TaskResult> checkBackupFolder(const std::string& folder, const std::string& archive) {
    if (DirectoryExists(folder))
        return std::nullopt;
    const char* reason = FileExists(folder) ? "The backup location is a file, not a folder."
                                            : "The backup location does not exist.";
    return TaskResult::failed(Format("Cannot create file \"%s\". %s", shownPath(archive).c_str(), reason));
}

bool holdsAnyFile(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, true, entries))
        return false;
    for (const auto& entry : entries) {
        if (!entry.isDirectory && !entry.isLink)
            return true;
    }
    for (const auto& entry : entries) {
        if (entry.isDirectory && !entry.isLink && holdsAnyFile(joinPath(folder, entry.name)))
            return true;
    }
    return false;
}

void takeArchiveReport(const TZlibMultiple& archive, TaskResult& result) {
    result.warnings.insert(result.warnings.end(), archive.Warnings.begin(), archive.Warnings.end());
    result.leftOut.insert(result.leftOut.end(), archive.LeftOut.begin(), archive.LeftOut.end());
}

}  // namespace kelvora::browsers
