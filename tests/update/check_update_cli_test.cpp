// kelvora-cli check-update against a page served on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

#include "cli/command.h"
#include "local_server.h"
#include "support/temp_dir.h"
#include "update/sha256.h"
#include "update/update_settings.h"
#include "update/web_update.h"

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

TEST_F(CheckUpdateCli, ExitCodesFollowTheResult) {
    const std::string current = "Current version: " + update::ProgramVersion() + "\n";
    struct Case {
        const char* what;
        const char* page;
        std::vector<std::string> options;  // after --url
        int code;
        std::string out;
        std::string err;  // the start of the error output
    };
    const Case cases[] = {
        {"an offer", "/newer.html", {}, 0, current + "Offered version: 99.0 (Kelvora)\n", ""},
        {"no newer version",
         "/same.html",
         {},
         4,
         current + "Offered version: " + update::ProgramVersion() + " (Kelvora)\n",
         "kelvora-cli: nothing done: There is no update available!\n"},
        {"a page without product or version",
         "/blank.html",
         {},
         1,
         current,
         "kelvora-cli: The update page names no product or version\n"},
        {"no page at all", "/missing.html", {}, 1, current, "kelvora-cli: Cannot download "},
        {"a download folder that is missing",
         "/newer.html",
         {"--download", (root_.path() / "missing").string()},
         1,
         "",
         "kelvora-cli: folder not found: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"--url", server_->url(c.page)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun run = runCheckUpdate(args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
    }
    // Nothing was downloaded without --download.
    for (const auto& line : server_->requests())
        EXPECT_EQ(line.find("setup.exe"), std::string::npos) << line;
}

TEST_F(CheckUpdateCli, WithoutAnUpdatePageItSaysSoAndAsksNobody) {
    const char* previous = std::getenv("KELVORA_UPDATE_URL");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    for (const char* blank : {"", "  "}) {
        ::setenv("KELVORA_UPDATE_URL", blank, 1);
        for (const bool download : {false, true}) {
            test::TempDir target;
            std::vector<std::string> args;
            if (download)
                args = {"--download", target.str()};
            const CliRun run = runCheckUpdate(args);
            EXPECT_EQ(run.code, 1);
            EXPECT_EQ(run.out, "Current version: " + update::ProgramVersion() + "\n");
            EXPECT_EQ(run.err, std::string("kelvora-cli: ") + update::kNoUpdatePageMessage + "\n");
            EXPECT_TRUE(fs::is_empty(target.path()));
        }
    }
    if (saved)
        ::setenv("KELVORA_UPDATE_URL", saved->c_str(), 1);
    else
        ::unsetenv("KELVORA_UPDATE_URL");
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(CheckUpdateCli, DownloadsIntoAFolderOnlyWhatMatchesTheDigest) {
    test::TempDir target;
    const CliRun run = runCheckUpdate({"--url", server_->url("/newer.html"), "--download", target.str()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("Downloaded: " + (target.path() / "kelvora-setup.exe").string()),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("SHA-256: matches the update page"), std::string::npos) << run.out;
    EXPECT_EQ(test::readFile(target.path() / "kelvora-setup.exe"), setup_);

    // A download that differs from the page's digest is removed; the earlier file stays.
    test::TempDir other;
    test::writeFile(other.path() / "kelvora-setup.exe", "the previous setup");
    const CliRun tampered =
        runCheckUpdate({"--url", server_->url("/tampered.html"), "--download", other.str()});
    EXPECT_EQ(tampered.code, 1);
    EXPECT_NE(tampered.err.find("does not match the SHA-256"), std::string::npos) << tampered.err;
    EXPECT_EQ(tampered.out.find("Downloaded"), std::string::npos) << tampered.out;
    EXPECT_EQ(test::readFile(other.path() / "kelvora-setup.exe"), "the previous setup");
    EXPECT_FALSE(fs::exists(other.path() / "kelvora-setup.exe.part"));
}

}  // namespace
}  // namespace kelvora::cli
