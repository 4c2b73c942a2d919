// The table of subcommands. Each module's commands live in their own file beside this one.
#include "cli/command.h"
#include "cli/commands_list.h"

namespace kelvora::cli {

std::vector<CommandInfo> allCommands() {
    return {
        {"facts", "Print the environment facts of the machine", makeFactsCommand},
        {"convert-opera", "Rewrite the paths in Opera's preference file by one of twelve methods",
         makeConvertOperaCommand},
    };
}

}  // namespace kelvora::cli
