// Internet Explorer on the command line. The selective and full commands (backup, restore, items,
// full-backup, full-restore) hand "ie" over to these: Internet Explorer has no profiles and fixed
// archive names ("backup_ie.dat", "allsave_ie.dat"), so only a folder and the items are needed.
#pragma once

#include <string>

#include "cli/command.h"

namespace kelvora::cli::ie {

// The browser's word on the command line.
inline constexpr const char* kKeyword = "ie";
// True for "ie" and "Internet Explorer" (any letter case, "-" or "_" for the space).
bool named(const std::string& browser);

// The tasks, with the backup folder as the wizard's location edit holds it. `items`: the tick
// boxes' captions separated by commas, "all" or empty for every box, "none" for none. The exit code:
// 0 done, 1 not done (the reason has gone to ctx.err), 3 done but something was left out or a
// key could not be restored (listed on ctx.err).
int backup(const std::string& folder, const std::string& items, bool overwrite, Context& ctx);
int restore(const std::string& folder, const std::string& items, Context& ctx);
int fullBackup(const std::string& folder, bool overwrite, Context& ctx);
int fullRestore(const std::string& folder, Context& ctx);
// The items with the keys and folders they carry.
int listItems(Context& ctx);

}  // namespace kelvora::cli::ie
