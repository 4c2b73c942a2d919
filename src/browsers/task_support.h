// What every browser task does the same way at its edges: the checks before an archive is written
// or read, the question before an existing archive is replaced, and turning an error that ends a
// task into its result.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browsers/browser.h"
#include "browsers/host.h"
#include "core/result.h"

namespace kelvora {
class StagingFolder;
class TZlibMultiple;
}  // namespace kelvora

namespace kelvora::browsers {

// Runs a task's work; an error that ends it (kelvora::Error, a system error, any exception) becomes
// a failed result with the error's text.
TaskResult guarded(const std::function<TaskResult()>& work);

// Before a backup writes `archive`: an existing archive is replaced only when the person says so.
// Returns the result that ends the task when it is not to be replaced.
std::optional<TaskResult> confirmReplace(const std::string& archive, Host& host);

// A backup location must be an existing folder before any work: 'Cannot create file "<archive>".
// <reason>' otherwise, as the archive writer would say it.
std::optional<TaskResult> checkBackupFolder(const std::string& folder, const std::string& archive);

// True when the folder holds at least one file, at any depth (links are not followed).
bool holdsAnyFile(const std::string& folder);

// What an archive run left out (files it could not read or store, records it refused) and its
// size warnings, added to the task's result.
void takeArchiveReport(const TZlibMultiple& archive, TaskResult& result);

// Ends a task before any work: the message is shown, and the result says nothing was done.
TaskResult endedHere(Host& host, const std::string& message);

// Ends a task that cannot go on (no such browser data, no such backup file): the message is
// shown, and the result is a failure with that message.
TaskResult stoppedHere(Host& host, const std::string& message);

// The text shown after a task that had to leave files or keys out.
std::string leftOutMessage(const std::vector<LeftOutItem>& leftOut);

// What the window tells once a task is done: what was left out, then the records that came out of
// an archive at another size than recorded.
void reportDone(const TaskResult& result, Host& host);

// Removes a task's staging or extraction folder now that the task is done with it. It holds copies
// of passwords and cookies, so one that stays is reported with the system's reason.
void removeStaging(StagingFolder& staging, TaskResult& result);

// The note for a database a backup had to copy as a file: it stayed locked by the program using it
// (or could not be read as a database), so the copy may not be consistent.
std::string databaseCopiedAsFile(const std::string& path, const std::string& reason);

// Before a restore writes into `folder`: while the browser uses it, the host is asked to have it
// closed ("Close Firefox first", Retry or Cancel; the command line's --force goes on). Returns the
// result that ends the task when the person cancels; nothing has been written then.
std::optional<TaskResult> waitUntilClosed(const Browser& browser, const std::string& folder, Host& host);

// After a backup of `folder` while the browser used it: a note that its databases were copied live.
void noteLiveCopy(const Browser& browser, const std::string& folder, TaskResult& result);

// A path as the person sees it: the machine's "C:\..." form, or the host's own path, never a mix.
std::string shownPath(const std::string& path);

}  // namespace kelvora::browsers
