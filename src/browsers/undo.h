// An undo for every restore. Before a restore replaces or creates any file, the files it will
// replace are packed into an undo set in Kelvora's own data folder (platform::dataFolder()\undo),
// with a manifest of the files and folders it will create and of the registry keys it will load
// (saved there as hive files). "Undo last restore" puts the replaced files back, removes the
// created ones and loads the saved keys, then removes the set. The last kKeptSets sets are kept.
//
// The stale companions of a database the restore replaces ("-wal", "-shm", "-journal" that the
// restore does not write itself and that are not empty) are saved into the set and moved out of
// the profile before the restore writes, so that SQLite never replays them into the restored file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"

namespace kelvora::browsers::undo {

inline constexpr std::size_t kKeptSets = 5;

// What a restore is about to change.
struct Plan {
    std::string description;                // "Firefox selective restore from default.dat"
    std::vector<std::string> files;         // every file the restore may write
    std::vector<std::string> registryKeys;  // keys below HKEY_CURRENT_USER it may replace

    // Every file below the folder `from` (links not followed), as it will land below `to`.
    void addTree(const std::string& from, const std::string& to);
};

// Makes the undo set of `plan` and moves the stale database companions away. Throws kelvora::Error
// naming the file and the reason when the set can't be made complete; the person's files are then
// as they were. Older sets beyond the last kKeptSets are removed.
void saveBeforeRestore(const Plan& plan);

struct SetInfo {
    std::string folder;
    std::string description;
    std::string made;  // "2026-12-10 16:33"
    std::size_t replaced = 0;
    std::size_t created = 0;
    std::size_t keys = 0;
    std::uint64_t bytes = 0;  // what the set takes on the disk
};

// The undo sets, newest first.
std::vector<SetInfo> listSets();

// One line for a set: "2026-12-10 16:33  Firefox selective restore from default.dat: 12 files
// replaced, 3 created (1.2 MB)".
std::string describe(const SetInfo& set);

// Undoes the newest set: every file is put back in one step (written beside its place and renamed
// over it), created files and then emptied created folders are removed, saved keys loaded back and
// keys the restore created deleted. The set is removed when everything went back; otherwise it
// stays (for another try) and the result lists what did not. Nothing done when there is no set.
TaskResult undoLast();

// "1.2 MB", "512 KB", "80 bytes".
std::string sizeText(std::uint64_t bytes);

}  // namespace kelvora::browsers::undo
