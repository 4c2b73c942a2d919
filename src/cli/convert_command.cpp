// kelvora-cli convert-opera: converts the current user's Opera preference file by one of the
// twelve methods and prints what each replacement did. Exit codes: 0 converted, 1 failed, 4 nothing
// done (no preference file, or nothing in it to change).
#include <ostream>

#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "convert/opera_wizard.h"

namespace kelvora::cli {

namespace {

class ConvertOperaCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        std::string methods;
        for (int i = 0; i < convert::kMethodCount; ++i)
            methods +=
                "\n  " + std::to_string(i + 1) + ": " + convert::kMethodCaptions[static_cast<std::size_t>(i)];
        app.add_option("--method", method_, "Conversion method:" + methods)
            ->required()
            ->check(CLI::Range(1, convert::kMethodCount));
        app.add_option("--old-user", oldUser_, "Old user name, for method 12")->capture_default_str();
        app.add_option("--old-drive", oldDrive_, "Old drive, for method 11")->capture_default_str();
        app.add_option("--file", file_, "Preference file to convert instead of the one found for the user");
    }

    int run(Context& ctx) override {
        CliHost host(ctx);
        convert::OperaConversion conversion;
        if (file_.empty()) {
            conversion.Activate();
        } else {
            conversion.SetFile(file_);
        }
        if (conversion.hasFile()) {
            ctx.out << "Preference file: " << conversion.ffpath() << '\n';
            ctx.out << "Method " << method_ << ": "
                    << convert::kMethodCaptions[static_cast<std::size_t>(method_ - 1)] << '\n';
        }
        const TaskResult result = conversion.Convert(method_, oldUser_, oldDrive_);
        const convert::ConversionResult& details = conversion.details();
        if (details.byteOrderMarkDropped)
            ctx.out << "Dropped the byte-order mark at the start\n";
        for (const auto& outcome : details.pairs) {
            if (outcome.skipped) {
                ctx.out << "Skipped: the search text is empty\n";
                continue;
            }
            ctx.out << "Replaced " << outcome.count << (outcome.count == 1 ? " time" : " times") << ": \""
                    << outcome.pair.search << "\" -> \"" << outcome.pair.replace << '"'
                    << (outcome.pair.driveAtPathStart ? " where a path starts" : "") << '\n';
        }
        return reportResult(ctx, host, result,
                            "Saved; the previous version is kept as " + details.backupPath);
    }

  private:
    int method_ = 0;
    std::string oldUser_ = "Olduser";
    std::string oldDrive_ = "D:\\";
    std::string file_;
};

}  // namespace

std::unique_ptr<Command> makeConvertOperaCommand() {
    return std::make_unique<ConvertOperaCommand>();
}

}  // namespace kelvora::cli
