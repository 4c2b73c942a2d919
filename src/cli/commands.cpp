// The table of subcommands. Each module's commands live in their own file beside this one.
#include "cli/command.h"
#include "cli/commands_list.h"

namespace kelvora::cli {

std::vector<CommandInfo> allCommands() {
    return {
        {"facts", "Print the environment facts of the machine", makeFactsCommand},
        {"profiles", "List a browser's profiles as the wizards find them", makeProfilesCommand},
        {"items", "List the items a selective backup of a browser can hold", makeItemsCommand},
        {"backup", "Back up chosen items of a browser profile into <profile>.dat", makeBackupCommand},
        {"restore", "Restore chosen items of a selective backup into a profile", makeRestoreCommand},
        {"pack", "Pack a folder into a .dat backup archive", makePackCommand},
        {"unpack", "Extract a .dat backup archive into a folder", makeUnpackCommand},
        {"list", "List the files stored in a .dat backup archive", makeListCommand},
        {"verify", "Check every record of a .dat backup archive without writing", makeVerifyCommand},
        {"convert-opera", "Rewrite the paths in Opera's preference file by one of twelve methods",
         makeConvertOperaCommand},
        {"check-update", "Check the update page for a newer version; --download fetches it",
         makeCheckUpdateCommand},
        {"full-backup", "Pack a browser's whole data folder into its archive in a backup folder",
         makeFullBackupCommand},
        {"full-restore", "Unpack a browser's full backup archive over its data folder",
         makeFullRestoreCommand},
        {"undo",
         "Undo the last restore (files put back, files it created removed); --list shows the restores kept",
         makeUndoCommand},
    };
}

}  // namespace kelvora::cli
