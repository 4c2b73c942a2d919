// kelvora-cli facts: the five environment facts every wizard reads, and the machine behind them.
#include <ostream>

#include "cli/command.h"
#include "cli/commands_list.h"
#include "core/core.h"
#include "platform/platform.h"

namespace kelvora::cli {

namespace {

class FactsCommand : public Command {
  public:
    void configure(CLI::App&) override {}

    int run(Context& ctx) override {
        if (platform::onThisComputer()) {
            ctx.out << "Machine: this computer (no Windows installation)\n";
            ctx.out << "Login name: " << GetLoginName() << '\n';
            ctx.out << "Home folder: " << platform::homeFolder() << '\n';
            return 0;
        }
        ctx.out << "Login name: " << GetLoginName() << '\n';
        std::string drive;
        try {
            drive = GetSystemDrive();
        } catch (const std::exception& e) {
            drive = std::string("(") + e.what() + ")";
        }
        ctx.out << "System drive: " << drive << '\n';
        ctx.out << "Roaming application data: " << GetSpecialFolderPath(CSIDL_APPDATA) << '\n';
        ctx.out << "Local application data: " << GetSpecialFolderPath(CSIDL_LOCAL_APPDATA) << '\n';
        ctx.out << "Windows major version: " << GetWindowsMajorVersion() << '\n';
        if (platform::usesMachineFolder()) {
            const auto machine = platform::currentMachine();
            ctx.out << "Machine root (C:): " << (machine.root.empty() ? "(none)" : machine.root) << '\n';
        }
        return 0;
    }
};

}  // namespace

std::unique_ptr<Command> makeFactsCommand() {
    return std::make_unique<FactsCommand>();
}

}  // namespace kelvora::cli
