#include <iostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    kelvora::platform::useUtf8Console();
    std::vector<std::string> args(argv + 1, argv + argc);
    kelvora::cli::Context ctx{std::cout, std::cerr, kelvora::platform::stderrIsTerminal()};
    return kelvora::cli::runCli(args, ctx);
}
