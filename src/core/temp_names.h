// The names of Kelvora's own temporary files and folders. Whatever Kelvora writes before it is
// complete carries one of these names, so a later run recognises it: the archive walk never packs
// one, and leftovers of a killed run are cleaned at the next run in that folder.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// Staging and extraction folders: "~kelvora-" followed by random hex digits.
inline constexpr std::string_view kTemporaryFolderPrefix = "~kelvora-";
// Files written beside their target and renamed over it when complete: "~kv<16 hex>.tmp".
inline constexpr std::string_view kTemporaryFilePrefix = "~kv";
inline constexpr std::string_view kTemporaryFileSuffix = ".tmp";

// A new name for a temporary file in the folder of `path` (Windows-form or native), beside it.
std::string TemporarySibling(const std::string& path);
// A new name for a staging folder inside `parent`.
std::string TemporaryFolderIn(const std::string& parent);

// True for a last path component that is one of Kelvora's temporary names.
bool IsTemporaryFileName(std::string_view name);
bool IsTemporaryFolderName(std::string_view name);

// Removes the temporary files and folders that runs killed or failed before left in `folder`
// (not below it); ones a running task still holds are left alone.
void CleanLeftoverTemporaries(const std::string& folder);

}  // namespace kelvora
