// Factories of the subcommands, one per command file.
#pragma once

#include <memory>

#include "cli/command.h"

namespace kelvora::cli {

std::unique_ptr<Command> makeFactsCommand();
std::unique_ptr<Command> makeProfilesCommand();
std::unique_ptr<Command> makeItemsCommand();
std::unique_ptr<Command> makeBackupCommand();
std::unique_ptr<Command> makeRestoreCommand();
std::unique_ptr<Command> makePackCommand();
std::unique_ptr<Command> makeUnpackCommand();
std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeVerifyCommand();
std::unique_ptr<Command> makeConvertOperaCommand();
std::unique_ptr<Command> makeCheckUpdateCommand();
std::unique_ptr<Command> makeFullBackupCommand();
std::unique_ptr<Command> makeFullRestoreCommand();
std::unique_ptr<Command> makeUndoCommand();

}  // namespace kelvora::cli
