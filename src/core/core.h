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
// Copies folder `fromDir` into `toDir` as its subfolder of the same last name, merging.
bool CopyDir(const std::string& fromDir, const std::string& toDir,
             std::vector<LeftOutItem>* leftOut = nullptr, std::string* reason = nullptr);
// Removes `DirName` with everything below it, to the Recycle Bin / trash.
bool DelTree(const std::string& DirName);
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
// Copies one file, replacing an existing target. Callers that skip missing or locked files
// silently may ignore the result.
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
