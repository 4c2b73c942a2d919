// The machine a program works on, as both programs take it: the options --root, --user and
// --windows-version, then the environment variables KELVORA_ROOT, KELVORA_USER and
// KELVORA_WINDOWS_VERSION, then (the window only) the machine stored in the settings file, then
// the platform's defaults. Only where the platform works on a machine folder (POSIX); Windows is
// its own machine and takes none of them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace CLI {
class App;
}

namespace kelvora {

// Declares the three options on `app`, filling `given`.
void AddMachineOptions(CLI::App& app, platform::MachineOptions& given);

// The machine options among a program's arguments (without the program's name); other arguments
// are left to their owner. Nothing, with `error` set, when an option is malformed (a missing
// value).
std::optional<platform::MachineOptions> MachineOptionsFromArguments(const std::vector<std::string>& args,
                                                                    std::string& error);

// True when no option named anything.
bool IsEmpty(const platform::MachineOptions& given);

// What the options and the environment give, completed by `stored` when neither names the folder
// (the stored user and version belong to the stored folder). The rest is the platform's default.
platform::MachineOptions ChooseMachine(const platform::MachineOptions& given,
                                       const std::optional<platform::MachineOptions>& stored = std::nullopt);
// Makes the chosen machine the one every later call works on (nothing on Windows).
void UseMachine(const platform::MachineOptions& given,
                const std::optional<platform::MachineOptions>& stored = std::nullopt);

// The Windows version the option or the environment forces; empty when the version is left to
// the person (or to detection).
std::string ForcedWindowsVersion(const platform::MachineOptions& given);

}  // namespace kelvora
