// kelvora-cli full-backup and full-restore: a browser's whole data folder into its fixed archive in
// a backup folder, and back. They run the full wizards' own procedure: discovery as on activation,
// then "Next >" with the folder given. Each file is shown as it is packed or unpacked.
#include <algorithm>
#include <chrono>
#include <ostream>

#include "browsers/full.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "core/error.h"

namespace kelvora::cli {

namespace {

namespace full = browsers::full;

// The full wizards' bar and file label on a terminal line, or one plain line per file elsewhere.
// The wizards' messages go to the error stream.
class FullHost : public browsers::Host {
  public:
    explicit FullHost(Context& ctx) : ctx_(ctx) {}
    ~FullHost() override { endLine(); }

    // Messages are held back while discovery runs for a folder name given on the command line:
    // the name edit's prompt would only confuse there.
    bool quiet = false;
    int files = 0;

    void showMessage(const std::string& text) override {
        if (quiet)
            return;
        endLine();
        ctx_.err << text << '\n';
    }
    void progressShow() override {}
    void progressStep(int) override {}
    void progressSet(int) override {}
    void progressHide() override {}

    void fullProgress(int position, int total) override {
        if (!ctx_.terminal || label_.empty())
            return;
        const double fraction = total > 0 ? static_cast<double>(position) / total : 0.0;
        constexpr int kWidth = 20;
        const int filled = std::clamp(static_cast<int>(fraction * kWidth), 0, kWidth);
        std::string shown = label_;
        if (shown.size() > 50)
            shown = "..." + shown.substr(shown.size() - 47);
        std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " + shown;
        if (line.size() < width_)
            line += std::string(width_ - line.size(), ' ');
        width_ = line.size();
        ctx_.err << line << std::flush;
    }

    void fullFileLabel(const std::string& text) override {
        label_ = text;
        if (text.empty() || text == full::kFinished)
            return;
        ++files;
        if (!ctx_.terminal)
            ctx_.out << text << '\n';
    }

    void repaint() override {}
    void setBusyCursor(bool) override {}
    void pause(std::chrono::milliseconds) override {}

    void endLine() {
        if (width_ > 0)
            ctx_.err << '\n' << std::flush;
        width_ = 0;
    }

  private:
    Context& ctx_;
    std::string label_;
    std::size_t width_ = 0;
};

std::vector<std::string> browserKeywords() {
    std::vector<std::string> names;
    for (const auto* browser : full::descriptors())
        names.push_back(browser->browser->keyword);
    return names;
}

// A folder as the wizards take it from the folder picker: without a trailing separator.
std::string withoutTrailingSeparator(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/') &&
           folder[folder.size() - 2] != ':')
        folder.pop_back();
    return folder;
}

class FullCommand : public Command {
  public:
    explicit FullCommand(full::Task task) : task_(task) {}

    void configure(CLI::App& app) override {
        const bool backup = task_ == full::Task::Backup;
        app.add_option("BROWSER", browser_, "firefox, chrome, safari, flock or opera")
            ->required()
            ->check(CLI::IsMember(browserKeywords(), CLI::ignore_case));
        app.add_option(
               backup ? "--to" : "--from", folder_,
               backup ? "Backup folder the archive is written into" : "Backup folder holding the archive")
            ->required();
        app.add_option(
            "--opera-folder", operaFolder_,
            "Opera's installation folder name when it is not \"Opera\" (for example \"Opera 10\")");
    }

    int run(Context& ctx) override {
        const full::Descriptor* browser = full::find(browser_);
        if (!browser)
            throw Error(Format("Unknown browser \"%s\".", browser_.c_str()));
        if (!operaFolder_.empty() && !browser->opera) {
            ctx.err << "kelvora-cli: --opera-folder applies to opera only\n";
            return 2;
        }

        full::State state = full::makeState(*browser, task_);
        FullHost host(ctx);
        host.quiet = !operaFolder_.empty();
        full::activate(*browser, state, host);
        host.quiet = false;
        if (operaFolder_.empty() && state.dataRoot.empty()) {
            if (browser->opera)
                ctx.err << "Give Opera's installation folder name with --opera-folder.\n";
            return 1;
        }

        state.backupLocationText = withoutTrailingSeparator(folder_);
        state.operaNameText = operaFolder_;
        if (task_ == full::Task::Backup)
            full::backup(*browser, state, host);
        else
            full::restore(*browser, state, host);
        host.endLine();
        if (!state.finishVisible)
            return 1;

        const std::string archives =
            browser->opera ? browser->archiveName + " and " + browser->mailArchiveName : browser->archiveName;
        if (task_ == full::Task::Backup)
            ctx.out << Format("Packed %d files of %s into %s in %s", host.files, state.dataRoot.c_str(),
                              archives.c_str(), state.backupLocationText.c_str())
                    << '\n';
        else
            ctx.out << Format("Restored %d files from %s in %s into %s", host.files, archives.c_str(),
                              state.backupLocationText.c_str(), state.dataRoot.c_str())
                    << '\n';
        return 0;
    }

  private:
    full::Task task_;
    std::string browser_;
    std::string folder_;
    std::string operaFolder_;
};

}  // namespace

std::unique_ptr<Command> makeFullBackupCommand() {
    return std::make_unique<FullCommand>(full::Task::Backup);
}

std::unique_ptr<Command> makeFullRestoreCommand() {
    return std::make_unique<FullCommand>(full::Task::Restore);
}

}  // namespace kelvora::cli
