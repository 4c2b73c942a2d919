// The update page a release publishes (scripts/write-update-page.sh), read by the program's own update
// check from a folder served on 127.0.0.1: the newer version is offered, the installer downloads and
// matches its digest, and an installer changed after the page was written is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "core/result.h"
#include "local_server.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "update/sha256.h"
#include "update/update_settings.h"
#include "update/web_update.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// The version after the program's own: its last part plus one.
std::string nextVersion() {
    std::string version = update::ProgramVersion();
    const auto dot = version.rfind('.');
    const std::string last = version.substr(dot + 1);
    return version.substr(0, dot + 1) + std::to_string(std::stoi(last) + 1);
}

std::string sha256(const std::string& data) {
    update::Sha256 hash;
    hash.update(data);
    return hash.finishHex();
}

// Text in single quotes for the shell.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct WriterRun {
    int status;
    std::string err;
};

// Runs the page writer; its exit status and what it wrote to standard error.
WriterRun writePage(const std::vector<std::string>& args, const fs::path& scratch) {
    std::string command = quoted(KELVORA_WRITE_UPDATE_PAGE);
    for (const auto& a : args)
        command += " " + quoted(a);
    const fs::path err = scratch / "writer.err";
    command += " >/dev/null 2>" + quoted(err.string());
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(err)};
}

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun checkUpdate(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    cli::Context ctx{out, err, false};
    args.insert(args.begin(), "check-update");
    const int code = cli::runCli(args, ctx);
    return {code, out.str(), err.str()};
}

// The component as the window drives it, with the start of the setup program recorded.
class StartRecorder : public update::TWebUpdate {
  public:
    std::vector<std::pair<std::string, std::string>> started;

  protected:
    bool Execute(const std::string& fileName, const std::string& parameters) override {
        started.emplace_back(fileName, parameters);
        return true;
    }
};

class ReleasePage : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("NO_PROXY", "127.0.0.1", 1);
        // More than a few chunks of the transfer, with every byte value.
        for (int i = 0; i < 70000; ++i)
            installer_ += static_cast<char>((i * 7 + i / 256) & 0xff);
        writeFile(release_ / installerName_, installer_);
        server_ = std::make_unique<test::LocalServer>(www_);
    }

    std::string pageUrl() const { return server_->url("/kelvora/" + version_ + "/update.html"); }

    test::TempDir root_;
    fs::path www_ = root_.path() / "www";
    std::string version_ = nextVersion();
    // Published below a folder of its own: the page names the installer relative to itself.
    fs::path release_ = www_ / "kelvora" / version_;
    std::string installerName_ = "Kelvora-" + version_ + "-win64-setup.exe";
    std::string installer_;
    std::unique_ptr<test::LocalServer> server_;
};

TEST_F(ReleasePage, TheUpdateCheckOffersTheInstallerAndVerifiesIt) {
    // Notes can't pass for tags: the page holds them as text.
    const fs::path notes = root_.path() / "notes.txt";
    writeFile(notes, "Faster backups.\n<META NAME=\"wuVersion\" CONTENT=\"99.0\">\n");
    const WriterRun run = writePage(
        {"--run-parameters", "/S", "--notes", notes.string(), version_, (release_ / installerName_).string()},
        root_.path());
    ASSERT_EQ(run.status, 0) << run.err;

    const std::string page = readFile(release_ / "update.html");
    const update::TPageValues tags = update::ParseUpdatePage(page, update::TTagInfo{});
    EXPECT_EQ(tags.ProductName, "Kelvora");
    EXPECT_EQ(tags.Version, version_);
    EXPECT_EQ(tags.Download, installerName_);
    EXPECT_EQ(tags.ClientFileName, installerName_);
    EXPECT_EQ(tags.RunParameters, "/S");
    EXPECT_EQ(tags.SHA256, sha256(installer_));
    EXPECT_EQ(tags.Redirection, "");
    EXPECT_NE(page.find("Faster backups."), std::string::npos) << page;

    // Offered without --download, and nothing fetched but the page.
    const CliRun offer = checkUpdate({"--url", pageUrl()});
    EXPECT_EQ(offer.code, 0) << offer.err;
    EXPECT_EQ(offer.out, "Current version: " + update::ProgramVersion() + "\nOffered version: " + version_ +
                             " (Kelvora)\n");

    // Downloaded from beside the page, and kept because it matches.
    server_->clearRequests();
    test::TempDir target;
    const CliRun download = checkUpdate({"--url", pageUrl(), "--download", target.str()});
    EXPECT_EQ(download.code, 0) << download.err;
    EXPECT_NE(download.out.find("SHA-256: matches the update page"), std::string::npos) << download.out;
    EXPECT_EQ(readFile(target.path() / installerName_), installer_);
    const auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].rfind("GET /kelvora/" + version_ + "/" + installerName_ + " ", 0), 0u)
        << requests[1];

    // The window's way: the verified installer is started with the page's parameters.
    test::TempDir started;
    StartRecorder web;
    web.ProductInfo.SetURL(pageUrl());
    web.ProductInfo.Version = update::ProgramVersion();
    web.Options = {update::uoRunUpdate, update::uoOverwrite};
    web.TargetFolder = started.str();
    const TaskResult result = web.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::Done) << result.message();
    ASSERT_EQ(web.started.size(), 1u);
    EXPECT_EQ(platform::nativePath(web.started[0].first), started.path() / installerName_);
    EXPECT_EQ(web.started[0].second, "/S");
    EXPECT_EQ(readFile(started.path() / installerName_), installer_);
}

TEST_F(ReleasePage, AnInstallerChangedAfterThePageIsRefused) {
    ASSERT_EQ(writePage({version_, (release_ / installerName_).string()}, root_.path()).status, 0);
    struct Case {
        const char* what;
        std::string contents;
    };
    std::string flipped = installer_;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 1);
    const Case cases[] = {
        {"one bit changed", flipped},
        {"one byte more", installer_ + "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(release_ / installerName_, c.contents);
        test::TempDir target;
        writeFile(target.path() / installerName_, "an earlier download");
        const CliRun run = checkUpdate({"--url", pageUrl(), "--download", target.str()});
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find("does not match the SHA-256 the update page gives"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.out.find("Downloaded"), std::string::npos) << run.out;
        EXPECT_EQ(readFile(target.path() / installerName_), "an earlier download");
        EXPECT_FALSE(fs::exists(target.path() / (installerName_ + ".part")));
    }
}

TEST_F(ReleasePage, ThePageOfTheRunningVersionOffersNothing) {
    const std::string name = "Kelvora-" + update::ProgramVersion() + "-win64-setup.exe";
    writeFile(www_ / "current" / name, installer_);
    ASSERT_EQ(writePage({update::ProgramVersion(), (www_ / "current" / name).string()}, root_.path()).status,
              0);
    const CliRun run = checkUpdate({"--url", server_->url("/current/update.html")});
    EXPECT_EQ(run.code, 4);
    EXPECT_EQ(run.err, std::string("kelvora-cli: nothing done: ") + update::kNoUpdateMessage + "\n");
}

TEST_F(ReleasePage, TheWriterRefusesWhatTheUpdateCheckCouldNotUse) {
    const std::string installer = (release_ / installerName_).string();
    writeFile(release_ / "empty-setup.exe", "");
    writeFile(release_ / "Kelvora setup.exe", installer_);
    writeFile(root_.path() / "elsewhere" / "keep.txt", "");
    struct Case {
        std::vector<std::string> args;
        std::string message;  // a part of the writer's complaint
    };
    const Case cases[] = {
        {{"2.1.x", installer}, "is not numbers joined by dots"},
        {{"", installer}, "is not numbers joined by dots"},
        {{version_, (release_ / "missing.exe").string()}, "is not a file"},
        {{version_, (release_ / "empty-setup.exe").string()}, "is empty"},
        {{version_, (release_ / "Kelvora setup.exe").string()}, "holds characters other than"},
        {{version_, installer, (root_.path() / "elsewhere" / "update.html").string()},
         "must lie in the installer's folder"},
        {{"--run-parameters", "/D=\"C:\\x\"", version_, installer}, "holds a double quote"},
        {{"--product", "", version_, installer}, "the product name is empty"},
        {{"--notes", (root_.path() / "no-notes.txt").string(), version_, installer}, "are not a file"},
    };
    // An earlier page stays as it was.
    writeFile(release_ / "update.html", "the earlier page");
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += "[" + a + "] ";
        SCOPED_TRACE(line);
        const WriterRun run = writePage(c.args, root_.path());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(readFile(release_ / "update.html"), "the earlier page");
        EXPECT_FALSE(fs::exists(root_.path() / "elsewhere" / "update.html"));
    }
    for (const auto& entry : fs::directory_iterator(release_))
        EXPECT_NE(entry.path().filename().string().rfind(".update-page.", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace kelvora
