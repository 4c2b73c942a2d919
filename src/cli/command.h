// A kelvora-cli subcommand: it declares its options on its CLI11 subcommand and runs with the
// streams of its context, so a test can run it against string buffers.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace kelvora::cli {

// A command line that asks for something the command cannot do as given (exit code 2).
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The exit codes every command shares, for --help and the README.
inline constexpr const char* kExitCodes =
    "Exit codes: 0 done; 1 failed; 2 usage error; 3 done, with files or keys left out (listed);\n"
    "4 nothing done (nothing to back up, restore or convert, no newer version, or an archive not replaced\n"
    "without --overwrite).";

struct Context {
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // progress bars only on a terminal; plain lines otherwise
};

class Command {
  public:
    virtual ~Command() = default;
    virtual void configure(CLI::App& app) = 0;
    // The process exit code: 0 on success; on failure a one-line reason has gone to ctx.err.
    virtual int run(Context& ctx) = 0;
};

struct CommandInfo {
    std::string name;
    std::string description;
    std::function<std::unique_ptr<Command>()> make;
};

// Every subcommand of kelvora-cli, in the order --help lists them.
std::vector<CommandInfo> allCommands();

// Small text helpers the commands share.
std::string trim(const std::string& text);
// The browser keywords a command takes, in the program's order, Internet Explorer's last when
// asked; and the same as text for --help ("firefox, flock, ... or ie").
std::vector<std::string> browserKeywords(bool withInternetExplorer);
std::string keywordList(bool withInternetExplorer);

// Stops a command for a browser that does not exist on the machine in use (Internet Explorer,
// Safari, Flock and Opera 10 on this computer), naming it.
void requireBrowserHere(const std::string& browserName, bool existsHere);

// A path as the user of this machine writes it: native on POSIX, as it is on Windows.
std::string shownPath(const std::string& path);
// Text safe to print on a terminal: control characters (a newline, ESC, the C1 controls) in names
// taken from archives or folders are shown escaped ("\n", "\x1b", "\u009b"), never acted on.
std::string printable(std::string_view text);

// Parses `args` (without the program name), sets the machine, runs the chosen command.
int runCli(const std::vector<std::string>& args, Context& ctx);

}  // namespace kelvora::cli
