// kelvora-cli check-update: reads the update page and reports the program's version and the one on
// offer; with --download DIR it also fetches the new setup program into DIR, where it appears only
// when it matches the page's SHA-256. Nothing is started.
// Exit codes: 0 an update is available (and downloaded), 1 the check or the download failed, or no
// update page is configured, 4 there is no update.
#include <ostream>

#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "core/result.h"
#include "platform/platform.h"
#include "update/update_settings.h"
#include "update/web_update.h"

namespace kelvora::cli {

namespace {

class CheckUpdateCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        const std::string configured = update::UpdatePageAddress();
        app.add_option("--url", url_,
                       "Address of the update page (default " +
                           (configured.empty() ? std::string("none configured") : configured) + ")");
        app.add_option("--download", folder_,
                       "Download the new setup program into this folder; it is not started");
    }

    int run(Context& ctx) override {
        using namespace update;
        CliHost host(ctx);
        const bool download = !folder_.empty();
        if (download && !platform::directoryExists(folder_))
            return reportResult(ctx, host, TaskResult::failed("folder not found: " + folder_), {});
        TWebUpdate web;
        web.ProductInfo.SetURL(url_.empty() ? UpdatePageAddress() : url_);
        web.ProductInfo.Version = ProgramVersion();
        web.Options = {uoOverwrite};
        web.TargetFolder = folder_;

        bool offered = false;
        bool downloading = false;
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

        TaskResult result = web.CheckForAnUpdate();
        ctx.out << "Current version: " << web.ProductInfo.Version << '\n';
        if (!web.Page().Version.empty())
            ctx.out << "Offered version: " << web.Page().Version << " (" << web.Page().ProductName << ")\n";
        // Without --download the check itself is the task: an offer is its result.
        if (offered && !download && result.outcome() == Outcome::NothingDone)
            result = TaskResult::done();
        if (result.outcome() != Outcome::Done || !download)
            return reportResult(ctx, host, result, {});
        const std::string file = platform::nativePath(web.DownloadFileName()).string();
        return reportResult(ctx, host, result, "Downloaded: " + file + "\nSHA-256: matches the update page");
    }

  private:
    std::string url_;
    std::string folder_;
};

}  // namespace

std::unique_ptr<Command> makeCheckUpdateCommand() {
    return std::make_unique<CheckUpdateCommand>();
}

}  // namespace kelvora::cli
