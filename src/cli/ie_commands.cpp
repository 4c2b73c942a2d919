// Internet Explorer's four tasks and its item list for kelvora-cli.
#include "cli/ie_commands.h"

#include <ostream>

#include "browsers/ie.h"
#include "cli/cli_host.h"
#include "core/core.h"
#include "core/error.h"
#include "platform/platform.h"

namespace kelvora::cli::ie {

namespace {

namespace tasks = browsers::ie;
using browsers::SelectiveState;
using browsers::WizardKind;

std::string captions(const SelectiveState& state) {
    std::string out;
    for (const auto& box : state.tickBoxes) {
        if (box.enabled)
            out += (out.empty() ? "\"" : ", \"") + box.caption + "\"";
    }
    return out;
}

void tickItems(SelectiveState& state, const std::string& list) {
    const std::string wanted = lower(trim(list));
    if (wanted.empty() || wanted == "all") {
        tasks::selectAll(state, true);
        return;
    }
    tasks::selectAll(state, false);
    if (wanted == "none")
        return;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t comma = list.find(',', pos);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string item = trim(list.substr(pos, comma - pos));
        pos = comma + 1;
        if (item.empty())
            continue;
        bool found = false;
        for (auto& box : state.tickBoxes) {
            if (box.enabled && lower(box.caption) == lower(item)) {
                box.checked = true;
                found = true;
            }
        }
        if (!found)
            throw Error(
                Format("Unknown item \"%s\". The items are %s.", item.c_str(), captions(state).c_str()));
    }
}

std::string requireFolder(const std::string& given) {
    const std::string folder = withoutTrailingSeparator(given);
    if (!DirectoryExists(folder))
        throw Error(Format("Backup folder \"%s\" does not exist.", folder.c_str()));
    return folder;
}

// What the host was told besides the fixed not-found texts decides between 0 and 3.
int finished(bool done, const CliHost& host) {
    if (!done)
        return 1;
    return host.messages.empty() ? 0 : 3;
}

int selective(WizardKind kind, const std::string& folder, const std::string& items, Context& ctx) {
    SelectiveState state = tasks::makeState(kind);
    tasks::activate(state);
    tickItems(state, items);
    state.backupLocationText = requireFolder(folder);
    const std::vector<browsers::TickBox> before = state.tickBoxes;
    CliHost host(ctx);
    if (kind == WizardKind::Backup)
        tasks::runBackup(state, host);
    else
        tasks::runRestore(state, host);
    host.endLine();
    if (state.finishVisible) {
        const std::string archive =
            platform::nativePath(state.backups + "\\" + tasks::kSelectiveArchive).string();
        ctx.out << (kind == WizardKind::Backup ? "Backed up Internet Explorer into "
                                               : "Restored Internet Explorer from ")
                << archive << '\n';
        // The task unticks a folder item whose folder it did not find on this machine.
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i].checked && !state.tickBoxes[i].checked)
                ctx.out << "Skipped, its folder is not on this machine: " << before[i].caption << '\n';
        }
    }
    return finished(state.finishVisible, host);
}

int full(browsers::full::Task task, const std::string& folder, Context& ctx) {
    browsers::full::State state = tasks::makeFullState(task);
    tasks::activateFull(state);
    state.backupLocationText = requireFolder(folder);
    CliHost host(ctx);
    if (task == browsers::full::Task::Backup)
        tasks::runFullBackup(state, host);
    else
        tasks::runFullRestore(state, host);
    host.endLine();
    if (state.finishVisible) {
        const std::string archive =
            platform::nativePath(state.backupLocationText + "\\" + tasks::kFullArchive).string();
        ctx.out << (task == browsers::full::Task::Backup ? "Backed up Internet Explorer into "
                                                         : "Restored Internet Explorer from ")
                << archive << '\n';
    }
    return finished(state.finishVisible, host);
}

}  // namespace

bool named(const std::string& browser) {
    std::string name = lower(trim(browser));
    for (char& c : name) {
        if (c == '-' || c == '_')
            c = ' ';
    }
    return name == kKeyword || name == "internet explorer";
}

int backup(const std::string& folder, const std::string& items, Context& ctx) {
    return selective(WizardKind::Backup, folder, items, ctx);
}

int restore(const std::string& folder, const std::string& items, Context& ctx) {
    return selective(WizardKind::Restore, folder, items, ctx);
}

int fullBackup(const std::string& folder, Context& ctx) {
    return full(browsers::full::Task::Backup, folder, ctx);
}

int fullRestore(const std::string& folder, Context& ctx) {
    return full(browsers::full::Task::Restore, folder, ctx);
}

int listItems(Context& ctx) {
    for (const auto& item : tasks::items()) {
        std::string carried;
        for (const auto& hive : item.hives)
            carried += (carried.empty() ? "" : ", ") + hive.file + " (HKEY_CURRENT_USER\\" + hive.key + ")";
        if (item.folder != tasks::ItemFolder::None)
            carried += (carried.empty() ? "" : ", ") + tasks::folderName(item.folder) + "\\";
        ctx.out << item.caption << ": " << carried << '\n';
    }
    return 0;
}

}  // namespace kelvora::cli::ie
