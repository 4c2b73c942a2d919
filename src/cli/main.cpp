#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "cli/command.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
    const bool terminal = false;
#else
    const bool terminal = isatty(STDERR_FILENO) != 0;
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    kelvora::cli::Context ctx{std::cout, std::cerr, terminal};
    return kelvora::cli::runCli(args, ctx);
}
