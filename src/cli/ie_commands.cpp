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
using browsers::Task;

std::string captions(const SelectiveState& state) {
    std::string out;
    for (const auto& box : state.tickBoxes) {
        if (box.enabled)
            out += (out.empty() ? "\"" : ", \"") + box.caption + "\"";
    }
    return out;
}

void tickItems(SelectiveState& state, const std::string& list) {
    const std::string wanted = lowerAscii(trim(list));
    if (wanted == "all") {
        tasks::selectAll(state, true);
        return;
    }
    tasks::selectAll(state, false);
    if (wanted == "none")
        return;
    if (wanted.find_first_not_of(", ") == std::string::npos)
        throw UsageError(Format("--items names no item. The items are %s, or \"all\" or \"none\".",
                                captions(state).c_str()));
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
            if (box.enabled && lowerAscii(box.caption) == lowerAscii(item)) {
                box.checked = true;
                found = true;
            }
        }
        if (!found)
            throw UsageError(
                Format("Unknown item \"%s\". The items are %s.", item.c_str(), captions(state).c_str()));
    }
}

int selective(Task kind, const std::string& folder, const std::string& items, bool overwrite, Context& ctx) {
    requireBrowserHere("Internet Explorer", !platform::onThisComputer());
    SelectiveState state = tasks::makeState(kind);
    tasks::activate(state);
    tickItems(state, items);
    state.backupLocationText = withoutTrailingSeparator(folder);
    const std::vector<browsers::TickBox> before = state.tickBoxes;
    CliHost host(ctx);
    host.quiet = true;
    host.overwrite = overwrite;
    const TaskResult result =
        kind == Task::Backup ? tasks::runBackup(state, host) : tasks::runRestore(state, host);
    const std::string archive = shownPath(joinPath(state.backupFolder, tasks::kSelectiveArchive));
    const int code = reportResult(
        ctx, host, result,
        (kind == Task::Backup ? "Backed up Internet Explorer into " : "Restored Internet Explorer from ") +
            archive);
    // The task unticks a folder item whose folder it did not find on this machine.
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].checked && !state.tickBoxes[i].checked)
            ctx.out << "Skipped, its folder is not on this machine: " << before[i].caption << '\n';
    }
    return code;
}

int full(Task task, const std::string& folder, bool overwrite, Context& ctx) {
    requireBrowserHere("Internet Explorer", !platform::onThisComputer());
    browsers::full::State state = tasks::makeFullState(task);
    tasks::activateFull(state);
    state.backupLocationText = withoutTrailingSeparator(folder);
    CliHost host(ctx);
    host.quiet = true;
    host.overwrite = overwrite;
    const TaskResult result =
        task == Task::Backup ? tasks::runFullBackup(state, host) : tasks::runFullRestore(state, host);
    const std::string archive = shownPath(joinPath(state.backupLocationText, tasks::kFullArchive));
    return reportResult(
        ctx, host, result,
        (task == Task::Backup ? "Backed up Internet Explorer into " : "Restored Internet Explorer from ") +
            archive);
}

}  // namespace

bool named(const std::string& browser) {
    std::string name = lowerAscii(trim(browser));
    for (char& c : name) {
        if (c == '-' || c == '_')
            c = ' ';
    }
    return name == kKeyword || name == "internet explorer";
}

int backup(const std::string& folder, const std::string& items, bool overwrite, Context& ctx) {
    return selective(Task::Backup, folder, items, overwrite, ctx);
}

int restore(const std::string& folder, const std::string& items, Context& ctx) {
    return selective(Task::Restore, folder, items, false, ctx);
}

int fullBackup(const std::string& folder, bool overwrite, Context& ctx) {
    return full(Task::Backup, folder, overwrite, ctx);
}

int fullRestore(const std::string& folder, Context& ctx) {
    return full(Task::Restore, folder, false, ctx);
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
