// kelvora-cli check-update: reads the update page and reports the program's version and the one on
// offer; with --download DIR it also fetches the new setup program into DIR. Nothing is started.
// Exit codes: 0 an update is available (and downloaded), 1 there is none, 3 the check failed.
#include <ostream>

#include "cli/command.h"
#include "cli/commands_list.h"
#include "platform/platform.h"
#include "update/update_settings.h"
#include "update/web_update.h"

namespace kelvora::cli {

namespace {

constexpr int kNoUpdate = 1;
constexpr int kFailed = 3;

class CheckUpdateCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("--url", url_,
                       "Address of the update page (default " + update::UpdatePageAddress() + ")");
        app.add_option("--download", folder_,
                       "Download the new setup program into this folder; it is not started");
    }

    int run(Context& ctx) override {
        using namespace update;
        const bool download = !folder_.empty();
        if (download && !platform::directoryExists(folder_)) {
            ctx.err << "kelvora-cli: folder not found: " << folder_ << '\n';
            return kFailed;
        }
        TWebUpdate web;
        web.ProductInfo.SetURL(url_.empty() ? UpdatePageAddress() : url_);
        web.ProductInfo.Version = ProgramVersion();
        web.Options = {uoOverwrite};
        web.TargetFolder = folder_;

        bool noUpdate = false;
        bool offered = false;
        bool downloading = false;
        web.OnNoUpdateFound = [&](TWebUpdate&) { noUpdate = true; };
        web.OnUpdateAvailable = [&](TWebUpdate&, const std::string&, const std::string&, bool& canUpdate) {
            offered = true;
            canUpdate = download;
        };
        web.OnBeforeShowInfo = [](TWebUpdate&, bool& showInfo, bool&) { showInfo = false; };
        web.OnBeforeDownload = [&](TWebUpdate&, const std::string&) { downloading = true; };
        web.OnDownload = [&](TWebUpdate&, std::uint64_t total, std::uint64_t downloaded) {
            if (downloading && ctx.terminal)
                ctx.err << "\rDownloading: " << downloaded << " of " << total << " bytes" << std::flush;
        };
        web.OnAfterDownload = [&](TWebUpdate&, const std::string&) {
            if (ctx.terminal)
                ctx.err << '\n';
        };

        const bool downloaded = web.CheckForAnUpdate();
        ctx.out << "Current version: " << web.ProductInfo.Version << '\n';
        if (!web.Page().Version.empty())
            ctx.out << "Offered version: " << web.Page().Version << " (" << web.Page().ProductName << ")\n";
        if (noUpdate) {
            ctx.err << "There is no update available!\n";
            return kNoUpdate;
        }
        if (!offered || (download && !downloaded))
            return failed(ctx, web);
        if (!download)
            return 0;

        const std::string file = platform::nativePath(web.DownloadFileName()).string();
        ctx.out << "Downloaded: " << file << '\n';
        switch (web.Verification()) {
            case TVerification::Match:
                ctx.out << "SHA-256: matches the update page\n";
                return 0;
            case TVerification::Missing:
                ctx.err << "The update page gives no SHA-256: the download could not be verified\n";
                return 0;
            default:
                ctx.err << file << " does not match the SHA-256 of the update page\n";
                return kFailed;
        }
    }

  private:
    static int failed(Context& ctx, const update::TWebUpdate& web) {
        ctx.err << "Cannot download data from the web";
        if (!web.LastError().empty())
            ctx.err << ": " << web.LastError();
        ctx.err << '\n';
        return kFailed;
    }

    std::string url_;
    std::string folder_;
};

}  // namespace

std::unique_ptr<Command> makeCheckUpdateCommand() {
    return std::make_unique<CheckUpdateCommand>();
}

}  // namespace kelvora::cli
