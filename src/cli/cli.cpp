#include <algorithm>
#include <ostream>

#include "browsers/browser.h"
#include "browsers/task_support.h"
#include "cli/command.h"
#include "cli/ie_commands.h"
#include "core/error.h"
#include "core/machine_options.h"
#include "core/result.h"
#include "platform/platform.h"
#include "update/update_settings.h"

namespace kelvora::cli {

std::vector<std::string> browserKeywords(bool withInternetExplorer) {
    std::vector<std::string> names;
    for (const auto* browser : browsers::allBrowsers())
        names.push_back(browser->keyword);
    if (withInternetExplorer)
        names.push_back(ie::kKeyword);  // handled by ie_commands.cpp
    return names;
}

std::string keywordList(bool withInternetExplorer) {
    const auto names = browserKeywords(withInternetExplorer);
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return out;
}

void requireBrowserHere(const std::string& browserName, bool existsHere) {
    if (!existsHere)
        throw Error(Format("%s does not exist on this computer; name a Windows installation with --root.",
                           browserName.c_str()));
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string shownPath(const std::string& path) {
    return browsers::shownPath(path);
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += Format("\\x%02x", c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += Format("\\u%04x", next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int runCli(const std::vector<std::string>& args, Context& ctx) {
    CLI::App app{"Kelvora: back up and restore the data and settings of web browsers", "kelvora-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "kelvora-cli " + update::ProgramVersion());
    app.footer(kExitCodes);
    app.fallthrough();

    platform::MachineOptions machine;
    AddMachineOptions(app, machine);

    std::vector<std::unique_ptr<Command>> commands;
    std::vector<std::pair<CLI::App*, Command*>> subcommands;
    for (const auto& info : allCommands()) {
        commands.push_back(info.make());
        CLI::App* sub = app.add_subcommand(info.name, info.description);
        commands.back()->configure(*sub);
        subcommands.emplace_back(sub, commands.back().get());
    }

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        ctx.out << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp& e) {
        ctx.out << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            ctx.out << e.what() << '\n';
            return 0;
        }
        ctx.err << "kelvora-cli: " << e.what() << "\n";
        return 2;
    }

    UseMachine(machine);

    for (auto& [sub, command] : subcommands) {
        if (!sub->parsed())
            continue;
        try {
            return command->run(ctx);
        } catch (const UsageError& e) {
            ctx.err << "kelvora-cli: " << printable(e.what()) << '\n';
            return kExitUsage;
        } catch (const std::exception& e) {
            ctx.err << "kelvora-cli: " << printable(e.what()) << '\n';
            return 1;
        }
    }
    return 2;
}

}  // namespace kelvora::cli
