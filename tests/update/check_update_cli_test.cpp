// kelvora-cli check-update against a page served on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/command.h"
#include "local_server.h"
#include "support/temp_dir.h"
#include "update/sha256.h"
#include "update/update_settings.h"

namespace kelvora::cli {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun runCheckUpdate(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    Context ctx{out, err, false};
    args.insert(args.begin(), "check-update");
    const int code = runCli(args, ctx);
    return {code, out.str(), err.str()};
}

std::string page(const std::string& version, const std::string& digest) {
    return "<META NAME=\"wuProduct\" CONTENT=\"Kelvora\">\n"
           "<META NAME=\"wuVersion\" CONTENT=\"" +
           version +
           "\">\n"
           "<META NAME=\"wuDownload\" CONTENT=\"/setup.exe\">\n"
           "<META NAME=\"wuClientSideName\" CONTENT=\"kelvora-setup.exe\">\n"
           "<META NAME=\"wuSHA256\" CONTENT=\"" +
           digest + "\">\n";
}

class CheckUpdateCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("NO_PROXY", "127.0.0.1", 1);
        test::writeFile(www_ / "setup.exe", setup_);
        update::Sha256 hash;
        hash.update(setup_);
        digest_ = hash.finishHex();
        test::writeFile(www_ / "newer.html", page("99.0", digest_));
        test::writeFile(www_ / "same.html", page(update::ProgramVersion(), digest_));
        test::writeFile(www_ / "tampered.html", page("99.0", std::string(64, 'f')));
        test::writeFile(www_ / "blank.html", "<html></html>");
        server_ = std::make_unique<test::LocalServer>(www_);
    }

    test::TempDir root_;
    fs::path www_ = root_.path() / "www";
    std::string setup_ = std::string(5000, 'S');
    std::string digest_;
    std::unique_ptr<test::LocalServer> server_;
};

TEST_F(CheckUpdateCli, ReportsTheVersionsOrWhyNot) {
    const std::string current = "Current version: " + update::ProgramVersion() + "\n";
    struct Case {
        const char* page;
        int code;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"/newer.html", 0, current + "Offered version: 99.0 (Kelvora)\n", ""},
        {"/same.html", 1, current + "Offered version: " + update::ProgramVersion() + " (Kelvora)\n",
         "There is no update available!\n"},
        {"/blank.html", 3, current,
         "Cannot download data from the web: The update page names no product or version\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = runCheckUpdate({"--url", server_->url(c.page)});
        EXPECT_EQ(run.code, c.code) << c.page;
        EXPECT_EQ(run.out, c.out) << c.page;
        EXPECT_EQ(run.err, c.err) << c.page;
    }
    // Nothing was downloaded without --download.
    for (const auto& line : server_->requests())
        EXPECT_EQ(line.find("setup.exe"), std::string::npos) << line;

    const CliRun missing = runCheckUpdate({"--url", server_->url("/missing.html")});
    EXPECT_EQ(missing.code, 3);
    EXPECT_EQ(missing.err.rfind("Cannot download data from the web: ", 0), 0u) << missing.err;
}

TEST_F(CheckUpdateCli, DownloadsIntoAFolderAndChecksTheDigest) {
    test::TempDir target;
    const CliRun run = runCheckUpdate({"--url", server_->url("/newer.html"), "--download", target.str()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Downloaded: " + (target.path() / "kelvora-setup.exe").string()),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("SHA-256: matches the update page"), std::string::npos) << run.out;
    EXPECT_EQ(test::readFile(target.path() / "kelvora-setup.exe"), setup_);

    test::TempDir other;
    const CliRun tampered =
        runCheckUpdate({"--url", server_->url("/tampered.html"), "--download", other.str()});
    EXPECT_EQ(tampered.code, 3);
    EXPECT_NE(tampered.err.find("does not match the SHA-256"), std::string::npos) << tampered.err;
    EXPECT_TRUE(fs::exists(other.path() / "kelvora-setup.exe"));

    const CliRun nowhere = runCheckUpdate(
        {"--url", server_->url("/newer.html"), "--download", (target.path() / "missing").string()});
    EXPECT_EQ(nowhere.code, 3);
    EXPECT_NE(nowhere.err.find("folder not found"), std::string::npos);
}

}  // namespace
}  // namespace kelvora::cli
