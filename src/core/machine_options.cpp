#include "core/machine_options.h"

#include <CLI/CLI.hpp>

namespace kelvora {

void AddMachineOptions(CLI::App& app, platform::MachineOptions& given) {
    if (!platform::usesMachineFolder())
        return;
    app.add_option("--root", given.root,
                   "Folder holding the Windows installation's system drive (C:) [env KELVORA_ROOT]");
    app.add_option("--user", given.user, "Windows login name [env KELVORA_USER]");
    app.add_option("--windows-version", given.windowsVersion,
                   "Windows major version: 5 (XP), 6 (Vista/7), ... [env KELVORA_WINDOWS_VERSION]");
    app.add_flag_callback(
           "--local", [&given] { given.root = platform::kThisComputer; },
           "This computer: the browser profiles in your own home folder [env KELVORA_ROOT=local]")
        ->excludes("--root");
}

std::optional<platform::MachineOptions> MachineOptionsFromArguments(const std::vector<std::string>& args,
                                                                    std::string& error) {
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    platform::MachineOptions given;
    AddMachineOptions(app, given);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    return given;
}

bool IsEmpty(const platform::MachineOptions& given) {
    return given.root.empty() && given.user.empty() && given.windowsVersion.empty() && given.drives.empty();
}

platform::MachineOptions ChooseMachine(const platform::MachineOptions& given,
                                       const std::optional<platform::MachineOptions>& stored) {
    platform::MachineOptions chosen = platform::machineFromEnvironment(given);
    if (stored && chosen.root.empty()) {
        chosen.root = stored->root;
        if (chosen.user.empty())
            chosen.user = stored->user;
        if (chosen.windowsVersion.empty())
            chosen.windowsVersion = stored->windowsVersion;
        if (chosen.drives.empty())
            chosen.drives = stored->drives;
    }
    return chosen;
}

void UseMachine(const platform::MachineOptions& given,
                const std::optional<platform::MachineOptions>& stored) {
    if (platform::usesMachineFolder())
        platform::setMachine(ChooseMachine(given, stored));
}

std::string ForcedWindowsVersion(const platform::MachineOptions& given) {
    if (!platform::usesMachineFolder())
        return {};
    return platform::machineFromEnvironment(given).windowsVersion;
}

}  // namespace kelvora
