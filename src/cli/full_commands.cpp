// kelvora-cli full-backup and full-restore: a browser's whole data folder into its fixed archive in
// a backup folder, and back. They run the full wizards' own procedure: discovery as on activation,
// then "Next >" with the folder given. Each file is shown as it is packed or unpacked.
#include <ostream>

#include "browsers/full.h"
#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "cli/ie_commands.h"
#include "core/error.h"

namespace kelvora::cli {

namespace {

namespace full = browsers::full;

// The terminal host, with one plain line per file where no bar can be drawn. Its messages are
// held back (quiet) while discovery runs for a folder name given on the command line: the name
// edit's prompt would only confuse there.
class FullHost : public CliHost {
  public:
    explicit FullHost(Context& ctx) : CliHost(ctx), ctx_(ctx) {}

    int files = 0;

    // The completion display puts the bar back to 0; on a terminal the last file's full bar stays.
    void fullProgress(int position, int total) override {
        if (position > 0)
            CliHost::fullProgress(position, total);
    }

    void fullFileLabel(const std::string& text) override {
        CliHost::fullFileLabel(text);
        if (text.empty() || text == full::kFinished)
            return;
        ++files;
        if (!ctx_.terminal)
            ctx_.out << text << '\n';
    }

  private:
    Context& ctx_;
};

class FullCommand : public Command {
  public:
    explicit FullCommand(browsers::Task task) : task_(task) {}

    void configure(CLI::App& app) override {
        const bool backup = task_ == browsers::Task::Backup;
        app.add_option("BROWSER", browser_, keywordList(true))
            ->required()
            ->check(CLI::IsMember(browserKeywords(true), CLI::ignore_case));
        app.add_option(
               backup ? "--to" : "--from", folder_,
               backup ? "Backup folder the archive is written into" : "Backup folder holding the archive")
            ->required();
        app.add_option(
            "--opera-folder", operaFolder_,
            "Opera's installation folder name when it is not \"Opera\" (for example \"Opera 10\")");
        if (backup)
            app.add_flag("--overwrite", overwrite_,
                         "Replace archives of the same names that are already there");
        else
            app.add_flag("--force", force_, "Restore even while the browser is using its data folder");
    }

    int run(Context& ctx) override {
        if (ie::named(browser_))
            return task_ == browsers::Task::Backup ? ie::fullBackup(folder_, overwrite_, ctx)
                                                   : ie::fullRestore(folder_, ctx);
        const browsers::Browser* browser = browsers::findBrowser(browser_);
        if (!browser)
            throw Error(Format("Unknown browser \"%s\".", browser_.c_str()));
        requireBrowserHere(browser->name, browsers::existsOn(*browser, browsers::readEnvironmentFacts()));
        if (!operaFolder_.empty() && !full::asksInstallName(*browser))
            throw UsageError("--opera-folder applies to opera only");

        full::State state = full::makeState(*browser, task_);
        FullHost host(ctx);
        host.quiet = true;  // the window's texts ask for its name edit; the command line says its own
        full::activate(*browser, state, host);
        if (operaFolder_.empty() && state.dataRoot.empty()) {
            ctx.err << "kelvora-cli: " << browser->name << "'s data folder was not found"
                    << (full::asksInstallName(*browser)
                            ? "; give Opera's installation folder name with --opera-folder."
                            : ".")
                    << '\n';
            return exitCodeOf(Outcome::Failed);
        }

        state.backupLocationText = withoutTrailingSeparator(folder_);
        state.operaNameText = operaFolder_;
        host.overwrite = overwrite_;
        host.force = force_;
        const TaskResult result = task_ == browsers::Task::Backup ? full::backup(*browser, state, host)
                                                                  : full::restore(*browser, state, host);

        const std::string archives = browser->mailArchiveName.empty()
                                         ? browser->fullArchiveName
                                         : browser->fullArchiveName + " and " + browser->mailArchiveName;
        const std::string done =
            task_ == browsers::Task::Backup
                ? Format("Packed %d files of %s into %s in %s", host.files, shownPath(state.dataRoot).c_str(),
                         archives.c_str(), shownPath(state.backupLocationText).c_str())
                : Format("Restored %d files from %s in %s into %s", host.files, archives.c_str(),
                         shownPath(state.backupLocationText).c_str(), shownPath(state.dataRoot).c_str());
        return reportResult(ctx, host, result, done);
    }

  private:
    browsers::Task task_;
    std::string browser_;
    std::string folder_;
    std::string operaFolder_;
    bool overwrite_ = false;
    bool force_ = false;
};

}  // namespace

std::unique_ptr<Command> makeFullBackupCommand() {
    return std::make_unique<FullCommand>(browsers::Task::Backup);
}

std::unique_ptr<Command> makeFullRestoreCommand() {
    return std::make_unique<FullCommand>(browsers::Task::Restore);
}

}  // namespace kelvora::cli
