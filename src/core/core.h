// Environment facts and file-system helpers shared by every task. They keep no state: each call
// asks the platform afresh. Paths are Windows-form UTF-8 strings ("C:\a\b").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace kelvora {

// Special-folder numbers the tasks use.
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr int CSIDL_LOCAL_APPDATA = 28;

std::string GetLoginName();
// The drive part of the Windows folder ("C:", or "\\server\share"); throws platform::SystemError.
std::string GetSystemDrive();
std::string GetSpecialFolderPath(int folder);
std::string GetWindowsMajorVersion();

// Appends the names of the immediate, non-hidden subfolders of `directory` to `list`.
void GetSubDirectories(const std::string& directory, std::vector<std::string>& list);
// Copies folder `fromDir` (which may itself be a link) into `toDir` as its subfolder of the same
// last name, merging: missing folders are made, existing files replaced, files only in the target
// kept. Every file is written beside its target and renamed over it when complete (see
// CopyOneFile). Inside the tree no link is followed and none is written through: a link in the
// source, or a link in the target where a file or folder would go, is left out, as are read-only
// targets and files that could not be copied; each goes to `leftOut` with its reason (the path is
// the source's for what the source holds, the target's for what is in the way there).
//
// Refused before anything is written, with the reason: a source that is not a folder, a target
// that is the source, lies inside it or holds it (links resolved), a target that is protected or
// holds a protected folder (ProtectFolder), and a target that is a link or a file. A full disk
// stops the copy, with the system's reason; files copied until then are whole.
//
// True when the copy ran to its end. Without a `leftOut` list, anything left out makes it false,
// with the first entry as the reason.
bool CopyDir(const std::string& fromDir, const std::string& toDir,
             std::vector<LeftOutItem>* leftOut = nullptr, std::string* reason = nullptr);
// Removes the folder (or file) `DirName` with everything below it, to the Recycle Bin / trash.
// Refuses a protected folder and every folder that holds one, besides the platform's own refusals
// (roots, the home folder and what holds it). False with the reason when anything stays.
bool DelTree(const std::string& DirName, std::string* reason = nullptr);

// Folders that no DelTree may remove and no CopyDir may write over as its target, nor any folder
// that holds one: the browsers' data roots, profile parents and program folders, named by the tasks
// once they know them. Process-wide and safe to use from several threads; a folder need not
// exist yet.
void ProtectFolder(const std::string& path);
void ClearProtectedFolders();

// True when `folder` is `container` or lies inside it, links resolved as far as the paths exist and
// letter case disregarded (the comparison CopyDir's nesting check makes).
bool FolderIsWithin(const std::string& folder, const std::string& container);
// The folder that holds `path` ("C:\\a\\b\\" and "C:\\a\\b" give "C:\\a"); empty when there is none.
std::string parentFolder(const std::string& path);
// The first existing file called `name`: the bare name first (in the working folder, and only
// where that folder is part of the machine: never on a machine seen as a folder), then each folder
// of the ";"-separated list in order. A hit `accept` turns down falls through to the next place.
// Empty when there is none.
std::string SearchFileInFolders(const std::string& name, const std::string& folders,
                                const std::function<bool(const std::string&)>& accept = {});

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);         // one level
bool ForceDirectories(const std::string& path);  // every missing level
// Copies one file, replacing an existing target in one step: the copy is written beside the target
// under a Kelvora temporary name and renamed over it when complete, so a failure (a full disk, a
// read error, a killed process) leaves the old file whole, and no temporary file stays behind but
// a killed run's (cleaned by CleanLeftoverTemporaries). A replaced file keeps its permissions
// (Windows: attributes); a new one gets the source's. A source that is a link is read through it;
// a target that is a link, a folder or read-only ("the file is read-only") is left as it is.
// False with the reason, in the system's words where it has them. Callers that skip missing or
// locked files silently may ignore the result.
bool CopyOneFile(const std::string& source, const std::string& target, std::string* reason = nullptr);

// Every occurrence of `from` in `text` replaced by `to`, compared without regard to letter case
// (ASCII letters and the Latin-1 supplement). Matches are taken left to right without overlap; the
// search resumes after each match, never inside the inserted text. `replaced`, when given,
// receives the number of matches.
std::string ReplaceTextIgnoreCase(std::string_view text, std::string_view from, std::string_view to,
                                  std::size_t* replaced = nullptr);
// `path` with a trailing "\" added unless it is empty or already ends in "\" (or "/").
std::string IncludeTrailingBackslash(const std::string& path);

}  // namespace kelvora
