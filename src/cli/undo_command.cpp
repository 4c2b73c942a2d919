// kelvora-cli undo: takes the last restore back, or lists the restores that can be taken back.
#include <ostream>

#include "browsers/undo.h"
#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"

namespace kelvora::cli {

namespace {

class UndoCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_flag("--list", list_, "List the restores that can be undone, newest first, with their size");
    }

    int run(Context& ctx) override {
        namespace undo = browsers::undo;
        const auto sets = undo::listSets();
        if (list_) {
            if (sets.empty())
                ctx.out << "No restore to undo.\n";
            for (const auto& set : sets)
                ctx.out << printable(undo::describe(set)) << '\n';
            return 0;
        }
        CliHost host(ctx);
        const std::string what = sets.empty() ? std::string() : undo::describe(sets.front());
        const TaskResult result = undo::undoLast();
        return reportResult(ctx, host, result, "Undone: " + what);
    }

  private:
    bool list_ = false;
};

}  // namespace

std::unique_ptr<Command> makeUndoCommand() {
    return std::make_unique<UndoCommand>();
}

}  // namespace kelvora::cli
