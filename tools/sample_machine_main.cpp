// kelvora-sample-machine ROOT [--version 5|6] [--user NAME] [--today]: writes a sample Windows machine with
// browser profiles into ROOT and prints how to point kelvora-cli at it.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/sample_machine.h"

int main(int argc, char** argv) {
    CLI::App app{"Write a sample Windows machine with browser profiles into a folder",
                 "kelvora-sample-machine"};
    std::string root;
    kelvora::tools::SampleMachineOptions options;
    app.add_option("ROOT", root, "Folder that stands for the system drive C:")->required();
    app.add_option("--version", options.version, "Windows major version: 5 (XP) or 6 (Vista/7)")
        ->check(CLI::IsMember({"5", "6"}));
    app.add_option("--user", options.user, "Windows login name");
    app.add_flag(
        "--today", options.today,
        "Write today's browsers (Firefox, Flock, Chrome, Edge, Brave, Vivaldi, Chromium, Opera Stable "
        "and Opera GX) instead of their 2010 layouts; Safari, Opera 10 and Internet Explorer as in 2010");
    CLI11_PARSE(app, argc, argv);

    try {
        const auto machine = kelvora::tools::buildSampleMachine(root, options);
        std::cout << "Wrote a Windows " << machine.version << " machine with "
                  << (options.today ? "today's" : "2010's") << " browsers for user " << machine.user
                  << " into " << machine.root.string() << "\n"
                  << "Try: kelvora-cli --root \"" << machine.root.string() << "\" --user " << machine.user
                  << " profiles firefox\n";
    } catch (const std::exception& e) {
        std::cerr << "kelvora-sample-machine: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
