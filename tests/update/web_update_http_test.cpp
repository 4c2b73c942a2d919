// TWebUpdate against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/result.h"
#include "local_server.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "update/sha256.h"
#include "update/web_update.h"

namespace kelvora::update {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// A component whose windows, start and end are recorded instead of shown, run or ended.
class RecordingUpdate : public TWebUpdate {
  public:
    RecordingUpdate() {
        OnBeforeGetInfo = [this](TWebUpdate&) { events.push_back("BeforeGetInfo"); };
        OnAfterGetInfo = [this](TWebUpdate&) { events.push_back("AfterGetInfo"); };
        OnNoUpdateFound = [this](TWebUpdate&) { events.push_back("NoUpdateFound"); };
        OnUpdateAvailable = [this](TWebUpdate&, const std::string& actual, const std::string& offered,
                                   bool& can) {
            events.push_back("UpdateAvailable " + actual + " " + offered);
            can = canUpdate;
        };
        OnBeforeShowInfo = [this](TWebUpdate&, bool& show, bool&) {
            events.push_back("BeforeShowInfo");
            show = showInfo;
        };
        OnClientFileExists = [this](TWebUpdate&, std::string&, bool& overwrite) {
            events.push_back(overwrite ? "ClientFileExists overwrite" : "ClientFileExists keep");
        };
        OnBeforeDownload = [this](TWebUpdate&, const std::string&) { events.push_back("BeforeDownload"); };
        OnAfterDownload = [this](TWebUpdate&, const std::string&) { events.push_back("AfterDownload"); };
        OnDownload = [this](TWebUpdate&, std::uint64_t total, std::uint64_t downloaded) {
            progress.emplace_back(total, downloaded);
        };
        OnDownloadError = [this](TWebUpdate&) { events.push_back("DownloadError"); };
        OnCannotExecute = [this](TWebUpdate&) { events.push_back("CannotExecute"); };
        OnNotVerified = [this](TWebUpdate&, const std::string&) { events.push_back("NotVerified"); };
    }

    int count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    bool canUpdate = true;
    bool showInfo = true;
    bool infoAnswer = true;
    std::vector<std::string> events;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    std::vector<std::string> infoWindows;
    std::vector<std::pair<std::string, std::string>> started;
    int terminated = 0;

  protected:
    bool ShowInfoWindow(const std::string& address) override {
        infoWindows.push_back(address);
        return infoAnswer;
    }
    bool Execute(const std::string& fileName, const std::string& parameters) override {
        started.emplace_back(fileName, parameters);
        return true;
    }
    void Terminate() override { ++terminated; }
};

std::string page(const std::vector<std::pair<std::string, std::string>>& tags) {
    std::string text = "<html><head>\n";
    for (const auto& [name, value] : tags)
        text += "<META NAME=\"" + name + "\" CONTENT=\"" + value + "\">\n";
    return text + "</head><body><p>What is new</p></body></html>\n";
}

std::string sha256(const std::string& data) {
    Sha256 hash;
    hash.update(data);
    return hash.finishHex();
}

class UpdateHttp : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ::setenv("NO_PROXY", "127.0.0.1", 1);
        root_ = std::make_unique<test::TempDir>();
        server_ = std::make_unique<test::LocalServer>(root_->path() / "www");
        writeFile(root_->path() / "www" / "files" / "setup.exe", setupProgram());
    }
    static void TearDownTestSuite() {
        server_.reset();
        root_.reset();
    }
    void SetUp() override { server_->clearRequests(); }

    // 3000 bytes: three chunks and a bit.
    static std::string setupProgram() {
        std::string data;
        for (int i = 0; i < 3000; ++i)
            data += static_cast<char>('A' + i % 26);
        return data;
    }
    static std::string offeringPage(const std::string& version = "2.2",
                                    const std::string& download = "/files/setup.exe",
                                    const std::string& digest = sha256(setupProgram())) {
        return page({{"wuProduct", "Kelvora"},
                     {"wuVersion", version},
                     {"wuDownload", download},
                     {"wuClientSideName", "setup.exe"},
                     {"wuRunParameters", "/S"},
                     {"wuSHA256", digest}});
    }
    static void serve(const std::string& name, const std::string& contents) {
        writeFile(root_->path() / "www" / name, contents);
    }
    // A component on the page `name`, downloading into `target`.
    static void prepare(RecordingUpdate& update, const std::string& name, const test::TempDir& target) {
        update.ProductInfo.SetURL(server_->url("/" + name));
        update.ProductInfo.Version = "2.1.3";
        update.Options = {uoRunUpdate, uoTerminate, uoOverwrite};
        update.TargetFolder = target.str();
    }
    int requestsFor(const std::string& path) const {
        int n = 0;
        for (const auto& line : server_->requests())
            n += line.rfind("GET " + path + " ", 0) == 0;
        return n;
    }

    static std::unique_ptr<test::TempDir> root_;
    static std::unique_ptr<test::LocalServer> server_;
};

std::unique_ptr<test::TempDir> UpdateHttp::root_;
std::unique_ptr<test::LocalServer> UpdateHttp::server_;

TEST_F(UpdateHttp, DownloadsVerifiesAndStartsANewerVersion) {
    serve("offer.html", offeringPage());
    // The port inside the address, or the component's HTTP port for an address without one.
    for (const bool portInAddress : {true, false}) {
        SCOPED_TRACE(portInAddress ? "port in the address" : "HTTPPort");
        server_->clearRequests();
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, "offer.html", target);
        if (!portInAddress) {
            update.ProductInfo.SetURL("127.0.0.1/offer.html");
            update.HTTPPort = static_cast<std::uint16_t>(server_->port());
        }
        const TaskResult result = update.CheckForAnUpdate();
        ASSERT_EQ(result.outcome(), Outcome::Done) << result.message();

        EXPECT_EQ(update.events,
                  (std::vector<std::string>{"BeforeGetInfo", "AfterGetInfo", "UpdateAvailable 2.1.3 2.2",
                                            "BeforeShowInfo", "BeforeDownload", "AfterDownload"}));
        EXPECT_EQ(update.infoWindows, std::vector<std::string>{update.ProductInfo.URL()});
        const fs::path file = target.path() / "setup.exe";
        EXPECT_EQ(readFile(file), setupProgram());
        EXPECT_FALSE(fs::exists(target.path() / "setup.exe.part"));
        ASSERT_EQ(update.started.size(), 1u);
        EXPECT_EQ(platform::nativePath(update.started[0].first), file);
        EXPECT_EQ(update.started[0].second, "/S");
        EXPECT_EQ(update.terminated, 1);
        EXPECT_EQ(update.Verification(), TVerification::Match);

        // Every chunk of 1025 bytes at most is reported; the last report of the download is whole.
        ASSERT_GE(update.progress.size(), 4u);
        EXPECT_EQ(update.progress.back(), std::make_pair(std::uint64_t{3000}, std::uint64_t{3000}));
        for (std::size_t i = 1; i < update.progress.size(); ++i) {
            if (update.progress[i].second > update.progress[i - 1].second) {
                EXPECT_LE(update.progress[i].second - update.progress[i - 1].second, 1025u);
            }
        }
        // The download address had no host: it came from the update page's host.
        const auto requests = server_->requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0], "GET /offer.html HTTP/1.0 TWebUpdate");
        EXPECT_EQ(requests[1], "GET /files/setup.exe HTTP/1.0 TWebUpdate");
    }
}

TEST_F(UpdateHttp, APlainNameIsFetchedBesideThePageThatNamesIt) {
    // A release folder holds its page and its setup program, wherever it is published.
    for (const char* folder : {"releases/a", "releases/b"})
        serve(std::string(folder) + "/setup.exe", setupProgram());
    serve("releases/a/offer.html", offeringPage("2.2", "setup.exe"));
    serve("releases/b/next.html", offeringPage("2.2", "setup.exe"));
    serve("releases/b/start.html", page({{"wuProduct", "Kelvora"}, {"wuRedirection", "next.html"}}));
    serve("releases/b/elsewhere.html",
          page({{"wuProduct", "Kelvora"}, {"wuRedirection", server_->url("/releases/a/offer.html")}}));
    const struct {
        const char* page;
        std::vector<std::string> requests;
    } cases[] = {
        {"releases/a/offer.html", {"/releases/a/offer.html", "/releases/a/setup.exe"}},
        {"releases/b/start.html",
         {"/releases/b/start.html", "/releases/b/next.html", "/releases/b/setup.exe"}},
        {"releases/b/elsewhere.html",
         {"/releases/b/elsewhere.html", "/releases/a/offer.html", "/releases/a/setup.exe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        server_->clearRequests();
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, c.page, target);
        const TaskResult result = update.CheckForAnUpdate();
        EXPECT_EQ(result.outcome(), Outcome::Done) << result.message();
        EXPECT_EQ(readFile(target.path() / "setup.exe"), setupProgram());
        std::vector<std::string> requested;
        for (const auto& line : server_->requests())
            requested.push_back(line.substr(4, line.find(' ', 4) - 4));
        EXPECT_EQ(requested, c.requests);
    }
}

TEST_F(UpdateHttp, NoNewerVersionEndsTheCheck) {
    serve("same.html", offeringPage("2.1.3"));
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "same.html", target);
    const TaskResult result = update.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::NothingDone);
    EXPECT_EQ(result.message(), kNoUpdateMessage);
    EXPECT_EQ(update.events, (std::vector<std::string>{"BeforeGetInfo", "AfterGetInfo", "NoUpdateFound"}));
    EXPECT_EQ(requestsFor("/files/setup.exe"), 0);
}

TEST_F(UpdateHttp, AnswersNoOrCancelEndTheCheckWithoutMessages) {
    serve("offer.html", offeringPage());
    struct Case {
        bool canUpdate, showInfo, infoAnswer, downloads;
    };
    for (const Case c :
         {Case{false, true, true, false}, Case{true, true, false, false}, Case{true, false, false, true}}) {
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, "offer.html", target);
        update.canUpdate = c.canUpdate;
        update.showInfo = c.showInfo;
        update.infoAnswer = c.infoAnswer;
        const TaskResult result = update.CheckForAnUpdate();
        EXPECT_EQ(result.outcome(), c.downloads ? Outcome::Done : Outcome::NothingDone);
        if (!c.downloads) {
            EXPECT_EQ(result.message(), kDeclinedMessage);
        }
        EXPECT_EQ(fs::exists(target.path() / "setup.exe"), c.downloads);
        EXPECT_EQ(update.count("DownloadError"), 0);
        // Declining the changelog downloads at once, without the window.
        EXPECT_EQ(update.infoWindows.size(), c.canUpdate && c.showInfo ? 1u : 0u);
    }
}

TEST_F(UpdateHttp, FollowsRedirectionPagesToTheLastOne) {
    serve("chain3.html", offeringPage("2.5"));
    serve("chain2.html", page({{"wuProduct", "Middle"}, {"wuRedirection", server_->url("/chain3.html")}}));
    serve("chain1.html",
          page({{"wuProduct", "First"}, {"wuVersion", "9.9"}, {"wuRedirection", "/chain2.html"}}));
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "chain1.html", target);
    update.canUpdate = false;
    EXPECT_EQ(update.CheckForAnUpdate().outcome(), Outcome::NothingDone);
    EXPECT_EQ(update.Page().ProductName, "Kelvora");
    EXPECT_EQ(update.Page().Version, "2.5");
    EXPECT_EQ(update.Page().Redirection, "");
    EXPECT_EQ(update.count("UpdateAvailable 2.1.3 2.5"), 1);
    EXPECT_EQ(server_->requests().size(), 3u);
}

TEST_F(UpdateHttp, ARedirectionLoopStopsAfterTenRedirections) {
    serve("loop.html",
          page({{"wuProduct", "Kelvora"}, {"wuVersion", "3.0"}, {"wuRedirection", "/loop.html"}}));
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "loop.html", target);
    const TaskResult result = update.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_EQ(requestsFor("/loop.html"), 1 + TWebUpdate::kMaxRedirections);
    EXPECT_GE(update.count("DownloadError"), 1);
    EXPECT_EQ(update.Page().Version, "");
    EXPECT_NE(result.message().find("redirects"), std::string::npos) << result.message();
}

TEST_F(UpdateHttp, HttpRedirectionsAreFollowedUpToTen) {
    serve("offer.html", offeringPage());
    // /redirect/N/ answers with N+1 redirections.
    for (const auto& [n, found] : {std::pair{0, true}, std::pair{9, true}, std::pair{10, false}}) {
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, "redirect/" + std::to_string(n) + "/offer.html", target);
        update.canUpdate = false;
        update.CheckForAnUpdate();
        EXPECT_EQ(update.count("UpdateAvailable 2.1.3 2.2"), found ? 1 : 0) << n + 1 << " redirections";
    }
}

TEST_F(UpdateHttp, APageWithoutProductOrVersionOrAtAllIsAnError) {
    serve("no-product.html", page({{"wuVersion", "3.0"}}));
    serve("no-version.html", page({{"wuProduct", "Kelvora"}}));
    serve("empty-version.html", page({{"wuProduct", "Kelvora"}, {"wuVersion", ""}}));
    serve("empty.html", "");
    // A page that can't be fetched reports twice: the transfer and the missing values.
    const std::pair<const char*, int> cases[] = {
        {"no-product.html", 1}, {"no-version.html", 1}, {"empty-version.html", 1},
        {"empty.html", 2},      {"missing.html", 2},
    };
    for (const auto& [name, errors] : cases) {
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, name, target);
        const TaskResult result = update.CheckForAnUpdate();
        EXPECT_EQ(result.outcome(), Outcome::Failed) << name;
        EXPECT_EQ(update.count("DownloadError"), errors) << name;
        EXPECT_EQ(update.count("NoUpdateFound"), 0) << name;
        EXPECT_FALSE(result.message().empty()) << name;
    }
}

TEST_F(UpdateHttp, APageWithoutContentLengthIsRead) {
    serve("offer.html", offeringPage());
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "nolength/offer.html", target);
    update.canUpdate = false;
    update.CheckForAnUpdate();
    EXPECT_EQ(update.count("UpdateAvailable 2.1.3 2.2"), 1);
}

TEST_F(UpdateHttp, AFailedDownloadLeavesNoFileAndAnEarlierOneWhole) {
    const char* downloads[] = {
        "/nolength/files/setup.exe",  // a download needs its length
        "/short/files/setup.exe",
        "/badlength/files/setup.exe",
        "/files/missing.exe",
        "http://127.0.0.1:1/files/setup.exe",  // nobody listens
    };
    for (const char* download : downloads) {
        for (const bool existing : {false, true}) {
            SCOPED_TRACE(std::string(download) + (existing ? " over an existing file" : ""));
            serve("failing.html", offeringPage("2.2", download));
            test::TempDir target;
            if (existing)
                writeFile(target.path() / "setup.exe", "old");
            RecordingUpdate update;
            prepare(update, "failing.html", target);
            const TaskResult result = update.CheckForAnUpdate();
            EXPECT_EQ(result.outcome(), Outcome::Failed);
            EXPECT_EQ(update.count("DownloadError"), 1);
            EXPECT_FALSE(result.message().empty());
            EXPECT_TRUE(update.started.empty());
            EXPECT_EQ(fs::exists(target.path() / "setup.exe"), existing);
            if (existing) {
                EXPECT_EQ(readFile(target.path() / "setup.exe"), "old");
            }
            EXPECT_FALSE(fs::exists(target.path() / "setup.exe.part"));
        }
    }
}

TEST_F(UpdateHttp, ADownloadFileThatCannotBeCreatedEndsTheCheckQuietly) {
    serve("offer.html", offeringPage());
    test::TempDir target;
    fs::create_directories(target.path() / "setup.exe.part");  // in the way of the temporary file
    RecordingUpdate update;
    prepare(update, "offer.html", target);
    const TaskResult result = update.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_EQ(update.count("DownloadError"), 0);
    EXPECT_NE(result.message().find("setup.exe"), std::string::npos) << result.message();
    EXPECT_FALSE(fs::exists(target.path() / "setup.exe"));
}

TEST_F(UpdateHttp, AnExistingClientFileIsReplacedOnlyWhenAllowed) {
    serve("offer.html", offeringPage());
    for (const bool overwrite : {true, false}) {
        server_->clearRequests();
        test::TempDir target;
        writeFile(target.path() / "setup.exe", "old");
        RecordingUpdate update;
        prepare(update, "offer.html", target);
        if (!overwrite)
            update.Options = {uoRunUpdate, uoTerminate};
        EXPECT_EQ(update.CheckForAnUpdate().outcome(), overwrite ? Outcome::Done : Outcome::Failed);
        EXPECT_EQ(update.count(overwrite ? "ClientFileExists overwrite" : "ClientFileExists keep"), 1);
        EXPECT_EQ(update.count("DownloadError"), overwrite ? 0 : 1);
        EXPECT_EQ(readFile(target.path() / "setup.exe"), overwrite ? setupProgram() : "old");
        EXPECT_EQ(requestsFor("/files/setup.exe"), overwrite ? 1 : 0);
    }
}

TEST_F(UpdateHttp, AnUnverifiedDownloadIsRemovedBeforeItTakesTheName) {
    const struct {
        const char* digest;
        TVerification verification;
        const char* message;
    } cases[] = {
        {"", TVerification::Missing, "The update page gives no SHA-256 for "},
        {"0000000000000000000000000000000000000000000000000000000000000000", TVerification::Mismatch,
         "The download does not match the SHA-256 the update page gives for "},
    };
    for (const auto& c : cases) {
        for (const bool existing : {false, true}) {
            SCOPED_TRACE(std::string(c.message) + (existing ? " over an existing file" : ""));
            serve("unverified.html", offeringPage("2.2", "/files/setup.exe", c.digest));
            server_->clearRequests();
            test::TempDir target;
            if (existing)
                writeFile(target.path() / "setup.exe", "old");
            RecordingUpdate update;
            prepare(update, "unverified.html", target);
            // Without starting it, too: an unverified file is never kept.
            update.Options = {uoOverwrite};
            const TaskResult result = update.CheckForAnUpdate();
            EXPECT_EQ(result.outcome(), Outcome::Failed);
            EXPECT_NE(result.message().find(c.message), std::string::npos) << result.message();
            EXPECT_NE(result.message().find("setup.exe, so"), std::string::npos) << result.message();
            EXPECT_EQ(update.Verification(), c.verification);
            EXPECT_EQ(update.count("NotVerified"), 1);
            EXPECT_EQ(update.count("DownloadError"), 0);
            EXPECT_EQ(requestsFor("/files/setup.exe"), 1);
            EXPECT_FALSE(fs::exists(target.path() / "setup.exe.part"));
            EXPECT_EQ(fs::exists(target.path() / "setup.exe"), existing);
            if (existing) {
                EXPECT_EQ(readFile(target.path() / "setup.exe"), "old");
            }
            EXPECT_TRUE(update.started.empty());
            EXPECT_EQ(update.terminated, 0);
        }
    }
    // The digest may be written in capitals.
    std::string upper = sha256(setupProgram());
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    serve("upper.html", offeringPage("2.2", "/files/setup.exe", upper));
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "upper.html", target);
    EXPECT_EQ(update.CheckForAnUpdate().outcome(), Outcome::Done);
    EXPECT_EQ(update.started.size(), 1u);
}

TEST_F(UpdateHttp, AFailedRenameRemovesTheDownload) {
    serve("offer.html", offeringPage());
    test::TempDir target;
    writeFile(target.path() / "setup.exe" / "inside.txt", "a folder holds the download's name");
    RecordingUpdate update;
    prepare(update, "offer.html", target);
    const TaskResult result = update.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_NE(result.message().find("Cannot replace"), std::string::npos) << result.message();
    EXPECT_FALSE(fs::exists(target.path() / "setup.exe.part"));
    EXPECT_EQ(readFile(target.path() / "setup.exe" / "inside.txt"), "a folder holds the download's name");
    EXPECT_TRUE(update.started.empty());
}

TEST_F(UpdateHttp, AClientFileNameMustStayInTheTargetFolder) {
    for (const char* name : {"..\\setup.exe", "../setup.exe", "C:setup.exe", ""}) {
        serve("escape.html", page({{"wuProduct", "Kelvora"},
                                   {"wuVersion", "3.0"},
                                   {"wuDownload", "/files/setup.exe"},
                                   {"wuClientSideName", name}}));
        server_->clearRequests();
        test::TempDir target;
        RecordingUpdate update;
        prepare(update, "escape.html", target);
        EXPECT_EQ(update.CheckForAnUpdate().outcome(), Outcome::Failed) << name;
        EXPECT_EQ(update.count("DownloadError"), 1) << name;
        EXPECT_EQ(requestsFor("/files/setup.exe"), 0) << name;
    }
}

TEST_F(UpdateHttp, AbortStopsTheDownloadWithoutAnErrorMessage) {
    serve("offer.html", offeringPage());
    test::TempDir target;
    writeFile(target.path() / "setup.exe", "old");
    RecordingUpdate update;
    prepare(update, "offer.html", target);
    bool downloading = false;
    update.OnBeforeDownload = [&](TWebUpdate&, const std::string&) { downloading = true; };
    update.OnDownload = [&](TWebUpdate& self, std::uint64_t, std::uint64_t downloaded) {
        if (downloading && downloaded > 0)
            self.Abort();
    };
    EXPECT_EQ(update.CheckForAnUpdate().outcome(), Outcome::Failed);
    EXPECT_EQ(update.count("DownloadError"), 0);
    EXPECT_TRUE(update.started.empty());
    EXPECT_EQ(readFile(target.path() / "setup.exe"), "old");
    EXPECT_FALSE(fs::exists(target.path() / "setup.exe.part"));
}

TEST_F(UpdateHttp, ACheckDuringACheckReturnsAtOnce) {
    serve("offer.html", offeringPage());
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "offer.html", target);
    update.canUpdate = false;
    TaskResult nested;
    update.OnBeforeGetInfo = [&](TWebUpdate& self) { nested = self.CheckForAnUpdate(); };
    update.CheckForAnUpdate();
    EXPECT_EQ(nested.outcome(), Outcome::NothingDone);
    EXPECT_EQ(nested.message(), kBusyMessage);
    EXPECT_FALSE(update.Active());
    EXPECT_EQ(server_->requests().size(), 1u);
}

TEST_F(UpdateHttp, HttpsIsVerified) {
    // A server with a certificate nobody vouches for is refused.
    test::TempDir keys;
    const std::string cert = (keys.path() / "cert.pem").string();
    const std::string key = (keys.path() / "key.pem").string();
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 -keyout " + key + " -out " +
        cert + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "openssl is not available";
    test::LocalServer tls(root_->path() / "www", cert, key);
    serve("offer.html", offeringPage());
    test::TempDir target;
    RecordingUpdate update;
    prepare(update, "offer.html", target);
    update.ProductInfo.SetURL("https://127.0.0.1:" + std::to_string(tls.port()) + "/offer.html");
    EXPECT_EQ(update.ProductInfo.URL().rfind("https://", 0), 0u);
    const TaskResult result = update.CheckForAnUpdate();
    EXPECT_EQ(result.outcome(), Outcome::Failed);
    EXPECT_NE(result.message().find("certificate"), std::string::npos) << result.message();
    EXPECT_TRUE(tls.requests().empty());
}

}  // namespace
}  // namespace kelvora::update
