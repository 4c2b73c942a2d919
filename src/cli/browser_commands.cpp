// kelvora-cli backup, restore, profiles and items: the selective wizards of every browser from the
// command line. Item names are the wizards' tick-box captions.
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
using browsers::Task;

std::string notFoundText(const Browser& browser) {
    return Format(
        "No %s profile found (no \"%s\" in its usual folders); give the profile folder with --profile-dir.",
        browser.name.c_str(), browser.discovery.front().marker.c_str());
}

// What the browser's descriptor asks to be said after its task (Chromium's encrypted passwords).
void tellNote(Context& ctx, const Browser& browser, const TaskResult& result) {
    if (!browser.note.empty() && result.outcome() == Outcome::Done)
        ctx.out << "Note: " << browser.note << '\n';
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

std::string itemCaptions(const SelectiveState& state) {
    std::vector<std::string> captions;
    for (const auto& box : state.tickBoxes)
        captions.push_back(box.caption);
    return joined(captions);
}

// Ticks the boxes a comma-separated list names ("all": every box; "none": no box). A list that
// names nothing is a usage error, as is an unknown name.
void tickItems(SelectiveState& state, const std::string& list) {
    const std::string wanted = lowerAscii(trim(list));
    if (wanted == "all") {
        browsers::selectAll(state, true);
        return;
    }
    browsers::selectAll(state, false);
    if (wanted == "none")
        return;
    if (wanted.find_first_not_of(", ") == std::string::npos)
        throw UsageError(Format("--items names no item. The items are %s, or \"all\" or \"none\".",
                                itemCaptions(state).c_str()));
    std::string rest = list;
    while (true) {
        const auto comma = rest.find(',');
        const std::string item = trim(rest.substr(0, comma));
        if (!item.empty()) {
            bool found = false;
            for (auto& box : state.tickBoxes) {
                if (lowerAscii(box.caption) == lowerAscii(item)) {
                    box.checked = true;
                    found = true;
                }
            }
            if (!found)
                throw UsageError(Format("Unknown item \"%s\". The items are %s.", item.c_str(),
                                        itemCaptions(state).c_str()));
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
        app.add_option("BROWSER", browser_, keywordList(true))
            ->required()
            ->check(CLI::IsMember(browserKeywords(true), CLI::ignore_case));
        auto* profile = app.add_option(
            "--profile", profile_,
            std::string(backup ? "Profile to back up" : "Profile to restore into") +
                ", as 'profiles' lists it (default: the browser's default profile, or the only one)");
        auto* dir = app.add_option("--profile-dir", profileDir_,
                                   backup ? "A profile folder of your own to back up instead"
                                          : "A profile folder of your own to restore into instead");
        profile->excludes(dir);
        app.add_option("--items", items_,
                       "Comma-separated item names as 'items' lists them, \"all\" (default) or \"none\"");
    }

    // Internet Explorer has one profile, its own folders: the profile options do not apply.
    void refuseProfileOptionsForIe() const {
        if (!profile_.empty() || !profileDir_.empty())
            throw UsageError("--profile and --profile-dir do not apply to ie (it has one profile).");
    }

    // Activation and the window's choices: profile, custom folder and ticked items.
    SelectiveState prepare(const Browser& browser, Task task, CliHost& host) {
        requireBrowserHere(browser.name, browsers::existsOn(browser, browsers::readEnvironmentFacts()));
        SelectiveState state = browsers::makeSelectiveState(browser, task);
        host.quiet = true;  // the message's advice fits the window, not the command line
        browsers::discoverProfiles(browser, state, host);
        if (!profileDir_.empty()) {
            state.customProfileText = withoutTrailingSeparator(profileDir_);
            browsers::customProfileChanged(state);
        } else if (state.markerFound.empty()) {
            throw Error(notFoundText(browser));
        } else if (profile_.empty()) {
            state.profileIndex = browsers::defaultProfileIndex(browser, state);
            if (state.profileIndex < 0 && state.profiles.empty())
                throw Error(Format("No %s profile in %s; give --profile-dir.", browser.name.c_str(),
                                   shownPath(state.profileRoot).c_str()));
            if (state.profileIndex < 0)
                throw UsageError(
                    Format("%s has several profiles and none is marked as the default: %s. Choose "
                           "one with --profile.",
                           browser.name.c_str(), joined(state.profiles).c_str()));
        } else {
            state.profileIndex = -1;
            for (std::size_t i = 0; i < state.profiles.size() && state.profileIndex < 0; ++i) {
                if (state.profiles[i] == profile_)
                    state.profileIndex = static_cast<int>(i);
            }
            if (state.profileIndex < 0)
                state.profileIndex = browsers::profileIndexOf(state, profile_);
            if (state.profileIndex < 0)
                throw Error(Format("No %s profile \"%s\". The profiles are %s.", browser.name.c_str(),
                                   profile_.c_str(), joined(state.profiles).c_str()));
        }
        tickItems(state, items_);
        return state;
    }

    std::string browser_;
    std::string profile_;
    std::string profileDir_;
    std::string items_ = "all";
};

class BackupCommand : public SelectiveCommand {
  public:
    void configure(CLI::App& app) override {
        configureCommon(app, true);
        app.add_option("--to", folder_, "Backup folder the archive is written into")->required();
        app.add_flag("--overwrite", overwrite_, "Replace an archive of the same name that is already there");
    }

    int run(Context& ctx) override {
        if (ie::named(browser_)) {
            refuseProfileOptionsForIe();
            return ie::backup(folder_, items_, overwrite_, ctx);
        }
        const Browser& browser = browserNamed(browser_);
        CliHost host(ctx);
        SelectiveState state = prepare(browser, Task::Backup, host);
        state.backupLocationText = withoutTrailingSeparator(folder_);
        host.overwrite = overwrite_;
        const TaskResult result = browsers::runSelectiveBackup(browser, state, host);
        const int code = reportResult(
            ctx, host, result,
            "Backed up " + shownPath(state.profileFolder) + " into " + shownPath(state.archivePath));
        tellNote(ctx, browser, result);
        return code;
    }

  private:
    std::string folder_;
    bool overwrite_ = false;
};

class RestoreCommand : public SelectiveCommand {
  public:
    void configure(CLI::App& app) override {
        configureCommon(app, false);
        app.add_option("--from", folder_, "Backup folder holding the archive")->required();
        app.add_option("--archive", archive_,
                       "The archive's file name, for example default.dat (not for ie)");
        app.add_flag("--force", force_, "Restore even while the browser is using the profile");
    }

    int run(Context& ctx) override {
        if (ie::named(browser_)) {
            refuseProfileOptionsForIe();
            return ie::restore(folder_, items_, ctx);
        }
        if (archive_.empty())
            throw UsageError("--archive is required");
        const Browser& browser = browserNamed(browser_);
        CliHost host(ctx);
        host.force = force_;
        SelectiveState state = prepare(browser, Task::Restore, host);
        state.backupLocationText = withoutTrailingSeparator(folder_);
        browsers::backupLocationChanged(state);
        state.backupFileIndex = -1;
        for (std::size_t i = 0; i < state.backupFiles.size(); ++i) {
            if (lowerAscii(state.backupFiles[i]) == lowerAscii(archive_))
                state.backupFileIndex = static_cast<int>(i);
        }
        if (state.backupFileIndex < 0)
            throw Error(Format("No backup file \"%s\" in \"%s\".", archive_.c_str(),
                               shownPath(state.backupFolder).c_str()));
        const TaskResult result = browsers::runSelectiveRestore(browser, state, host);
        const int code = reportResult(
            ctx, host, result,
            "Restored " + shownPath(state.archivePath) + " into " + shownPath(state.profileFolder));
        tellNote(ctx, browser, result);
        return code;
    }

  private:
    std::string folder_;
    std::string archive_;
    bool force_ = false;
};

class ProfilesCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        // Internet Explorer keeps no profiles of its own.
        app.add_option("BROWSER", browser_, keywordList(false))
            ->required()
            ->check(CLI::IsMember(browserKeywords(false), CLI::ignore_case));
    }

    int run(Context& ctx) override {
        const Browser& browser = browserNamed(browser_);
        CliHost host(ctx);
        host.quiet = true;  // the window's advice names its own edit; the command line has its own
        requireBrowserHere(browser.name, browsers::existsOn(browser, browsers::readEnvironmentFacts()));
        SelectiveState state = browsers::makeSelectiveState(browser, Task::Backup);
        browsers::discoverProfiles(browser, state, host);
        if (state.markerFound.empty()) {
            ctx.err << "kelvora-cli: " << notFoundText(browser) << '\n';
            return exitCodeOf(Outcome::Failed);
        }
        ctx.out << "Found: " << shownPath(state.markerFound) << '\n';
        ctx.out << "Profile root: " << shownPath(state.profileRoot) << '\n';
        const int marked = browsers::defaultProfileIndex(browser, state);
        // The name --profile takes, then the browser's own name for it and the folder where that is
        // not in the profile root.
        const std::string usual =
            withoutTrailingSeparator(joinPath(state.profileRoot, browser.profilesFolder));
        for (std::size_t i = 0; i < state.profiles.size(); ++i) {
            const std::string folder = withoutTrailingSeparator(state.profileFolders[i]);
            ctx.out << printable(state.profileLabels[i])
                    << (static_cast<int>(i) == marked ? " (default)" : "");
            const std::string parent = parentFolder(folder);
            if (!equalsIgnoreCase(parent, usual) && !equalsIgnoreCase(folder, usual) &&
                !equalsIgnoreCase(parent, withoutTrailingSeparator(state.profileRoot)))
                ctx.out << " in " << shownPath(folder);
            ctx.out << '\n';
        }
        return 0;
    }

  private:
    std::string browser_;
};

class ItemsCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("BROWSER", browser_, keywordList(true))
            ->required()
            ->check(CLI::IsMember(browserKeywords(true), CLI::ignore_case));
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
