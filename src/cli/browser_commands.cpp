// kelvora-cli backup, restore, profiles and items: the selective wizards of Firefox, Flock,
// Chrome, Safari and Opera from the command line. Item names are the wizards' tick-box captions.
#include <ostream>

#include "browsers/selective.h"
#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "cli/ie_commands.h"
#include "core/core.h"
#include "core/error.h"

namespace kelvora::cli {

namespace {

using browsers::Browser;
using browsers::SelectiveState;
using browsers::WizardKind;

// Exit code of a task that finished but had to leave files out.
constexpr int kFinishedWithLeftOut = 3;

std::vector<std::string> browserKeywords() {
    std::vector<std::string> names;
    for (const auto* browser : browsers::selectiveBrowsers())
        names.push_back(browser->keyword);
    names.push_back(ie::kKeyword);  // handled by ie_commands.cpp
    return names;
}

const Browser& browserNamed(const std::string& name) {
    const Browser* browser = browsers::findBrowser(name);
    if (!browser)
        throw Error(Format("Unknown browser \"%s\".", name.c_str()));
    return *browser;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names)
        out += (out.empty() ? "\"" : ", \"") + name + "\"";
    return out;
}

// Ticks the boxes a comma-separated list names ("all" or nothing: every box; "none": no box).
void tickItems(SelectiveState& state, const std::string& list) {
    const std::string wanted = lower(trim(list));
    if (wanted.empty() || wanted == "all") {
        browsers::selectAll(state, true);
        return;
    }
    browsers::selectAll(state, false);
    if (wanted == "none")
        return;
    std::string rest = list;
    while (true) {
        const auto comma = rest.find(',');
        const std::string item = trim(rest.substr(0, comma));
        if (!item.empty()) {
            bool found = false;
            for (auto& box : state.tickBoxes) {
                if (lower(box.caption) == lower(item)) {
                    box.checked = true;
                    found = true;
                }
            }
            if (!found) {
                std::vector<std::string> captions;
                for (const auto& box : state.tickBoxes)
                    captions.push_back(box.caption);
                throw Error(
                    Format("Unknown item \"%s\". The items are %s.", item.c_str(), joined(captions).c_str()));
            }
        }
        if (comma == std::string::npos)
            break;
        rest = rest.substr(comma + 1);
    }
}

// The options and the steps backup and restore share.
class SelectiveCommand : public Command {
  protected:
    void configureCommon(CLI::App& app, bool backup) {
        app.add_option("BROWSER", browser_, "firefox, flock, chrome, safari, opera or ie")
            ->required()
            ->check(CLI::IsMember(browserKeywords(), CLI::ignore_case));
        auto* profile =
            app.add_option("--profile", profile_,
                           backup ? "Profile to back up, as 'profiles' lists it (default: the first)"
                                  : "Profile to restore into, as 'profiles' lists it (default: the first)");
        auto* dir = app.add_option("--profile-dir", profileDir_,
                                   backup ? "A profile folder of your own to back up instead"
                                          : "A profile folder of your own to restore into instead");
        profile->excludes(dir);
        app.add_option("--items", items_,
                       "Comma-separated item names as 'items' lists them, \"all\" (default) or \"none\"");
    }

    // Activation and the window's choices: profile, custom folder and ticked items.
    SelectiveState prepare(const Browser& browser, WizardKind kind, CliHost& host) {
        SelectiveState state = browsers::makeSelectiveState(browser, kind);
        host.quiet = true;  // the message's advice fits the window, not the command line
        browsers::discoverProfiles(browser, state, host);
        host.quiet = false;
        if (!profileDir_.empty()) {
            state.customProfileText = withoutTrailingSeparator(profileDir_);
            browsers::customProfileChanged(state);
        } else if (state.fullFilePath.empty()) {
            throw Error(Format("No %s profile found (no \"%s\" in the usual folders); give --profile-dir.",
                               browser.name.c_str(), browser.marker.c_str()));
        } else if (!profile_.empty()) {
            state.profileIndex = -1;
            for (std::size_t i = 0; i < state.profiles.size() && state.profileIndex < 0; ++i) {
                if (state.profiles[i] == profile_)
                    state.profileIndex = static_cast<int>(i);
            }
            for (std::size_t i = 0; i < state.profiles.size() && state.profileIndex < 0; ++i) {
                if (lower(state.profiles[i]) == lower(profile_))
                    state.profileIndex = static_cast<int>(i);
            }
            if (state.profileIndex < 0)
                throw Error(Format("No %s profile \"%s\". The profiles are %s.", browser.name.c_str(),
                                   profile_.c_str(), joined(state.profiles).c_str()));
        }
        tickItems(state, items_);
        return state;
    }

    // The host has listed what was left out; scripts learn of it from the exit code.
    static int finish(const SelectiveState& state) {
        return state.leftOut.empty() ? 0 : kFinishedWithLeftOut;
    }

    std::string browser_;
    std::string profile_;
    std::string profileDir_;
    std::string items_;
};

class BackupCommand : public SelectiveCommand {
  public:
    void configure(CLI::App& app) override {
        configureCommon(app, true);
        app.add_option("--to", folder_, "Backup folder the archive is written into")->required();
    }

    int run(Context& ctx) override {
        if (ie::named(browser_))
            return ie::backup(folder_, items_, ctx);
        const Browser& browser = browserNamed(browser_);
        const std::string folder = withoutTrailingSeparator(folder_);
        if (!DirectoryExists(folder))
            throw Error(Format("Backup folder \"%s\" does not exist.", folder.c_str()));
        CliHost host(ctx);
        SelectiveState state = prepare(browser, WizardKind::Backup, host);
        state.backupLocationText = folder;
        browsers::runSelectiveBackup(browser, state, host);
        host.endLine();
        ctx.out << "Backed up " << state.ffpath << " into "
                << shownPath(state.backups + state.datfile + ".dat") << '\n';
        return finish(state);
    }

  private:
    std::string folder_;
};

class RestoreCommand : public SelectiveCommand {
  public:
    void configure(CLI::App& app) override {
        configureCommon(app, false);
        app.add_option("--from", folder_, "Backup folder holding the archive")->required();
        app.add_option("--archive", archive_,
                       "The archive's file name, for example default.dat (not for ie)");
    }

    int run(Context& ctx) override {
        if (ie::named(browser_))
            return ie::restore(folder_, items_, ctx);
        if (archive_.empty())
            throw Error("--archive is required");
        const Browser& browser = browserNamed(browser_);
        CliHost host(ctx);
        SelectiveState state = prepare(browser, WizardKind::Restore, host);
        state.backupLocationText = withoutTrailingSeparator(folder_);
        browsers::backupLocationChanged(state);
        state.backupFileIndex = -1;
        for (std::size_t i = 0; i < state.backupFiles.size(); ++i) {
            if (lower(state.backupFiles[i]) == lower(archive_))
                state.backupFileIndex = static_cast<int>(i);
        }
        if (state.backupFileIndex < 0)
            throw Error(Format("No backup file \"%s\" in \"%s\".", archive_.c_str(), state.backups.c_str()));
        browsers::runSelectiveRestore(browser, state, host);
        host.endLine();
        ctx.out << "Restored " << shownPath(state.backups + "\\" + state.atspaudziam) << " into "
                << state.ffpath << '\n';
        return finish(state);
    }

  private:
    std::string folder_;
    std::string archive_;
};

class ProfilesCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("BROWSER", browser_, "firefox, flock, chrome, safari or opera")
            ->required()
            ->check(CLI::IsMember(browserKeywords(), CLI::ignore_case));
    }

    int run(Context& ctx) override {
        const Browser& browser = browserNamed(browser_);
        CliHost host(ctx);
        SelectiveState state = browsers::makeSelectiveState(browser, WizardKind::Backup);
        browsers::discoverProfiles(browser, state, host);
        if (state.fullFilePath.empty())
            return 1;  // the message has been shown
        ctx.out << "Found: " << state.fullFilePath << '\n';
        ctx.out << "Profile root: " << state.ffpath << '\n';
        for (const auto& profile : state.profiles)
            ctx.out << profile << '\n';
        return 0;
    }

  private:
    std::string browser_;
};

class ItemsCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("BROWSER", browser_, "firefox, flock, chrome, safari or opera")
            ->required()
            ->check(CLI::IsMember(browserKeywords(), CLI::ignore_case));
    }

    int run(Context& ctx) override {
        if (ie::named(browser_))
            return ie::listItems(ctx);
        const Browser& browser = browserNamed(browser_);
        for (const auto& box : browser.tickBoxes) {
            ctx.out << box.caption;
            std::string carried;
            for (const auto& row : browser.backupItems) {
                if (row.caption != box.caption)
                    continue;
                for (const auto& file : row.files)
                    carried += (carried.empty() ? "" : ", ") + file;
                for (const auto& folder : row.folders)
                    carried += (carried.empty() ? "" : ", ") + folder + "\\";
                if (row.localMail)
                    carried += ", local mail\\";
            }
            ctx.out << ": " << (carried.empty() ? "(nothing)" : carried) << '\n';
        }
        return 0;
    }

  private:
    std::string browser_;
};

}  // namespace

std::unique_ptr<Command> makeBackupCommand() {
    return std::make_unique<BackupCommand>();
}
std::unique_ptr<Command> makeRestoreCommand() {
    return std::make_unique<RestoreCommand>();
}
std::unique_ptr<Command> makeProfilesCommand() {
    return std::make_unique<ProfilesCommand>();
}
std::unique_ptr<Command> makeItemsCommand() {
    return std::make_unique<ItemsCommand>();
}

}  // namespace kelvora::cli
