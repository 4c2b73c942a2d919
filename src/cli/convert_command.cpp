// kelvora-cli convert-opera: converts the current user's Opera preference file by one of the
// twelve methods and prints what each replacement did.
#include <ostream>

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
        convert::OperaConversion conversion;
        if (file_.empty()) {
            conversion.Activate();
        } else {
            conversion.SetFile(file_);
        }
        if (!conversion.hasFile()) {
            ctx.err << "kelvora-cli: " << convert::kNoFileMessage << '\n';
            return 1;
        }
        ctx.out << "Preference file: " << conversion.ffpath() << '\n';
        ctx.out << "Method " << method_ << ": "
                << convert::kMethodCaptions[static_cast<std::size_t>(method_ - 1)] << '\n';
        const auto result = conversion.Convert(method_, oldUser_, oldDrive_);
        if (result.byteOrderMarkDropped)
            ctx.out << "Dropped the byte-order mark at the start\n";
        for (const auto& outcome : result.pairs) {
            if (outcome.skipped) {
                ctx.out << "Skipped: the search text is empty\n";
                continue;
            }
            ctx.out << "Replaced " << outcome.count << (outcome.count == 1 ? " time" : " times") << ": \""
                    << outcome.pair.search << "\" -> \"" << outcome.pair.replace << "\"\n";
        }
        if (result.written) {
            ctx.out << "Saved; the previous version is kept as " << result.backupPath << '\n';
        } else {
            ctx.out << "Nothing to change; the file was left as it was\n";
        }
        return 0;
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
