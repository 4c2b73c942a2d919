// The update page's rules without a network: versions, tags, addresses and the SHA-256.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/result.h"
#include "support/temp_dir.h"
#include "update/sha256.h"
#include "update/update_settings.h"
#include "update/web_update.h"

namespace kelvora::update {
namespace {

struct VersionCase {
    TVersionFormat format;
    const char* current;
    const char* offered;
    bool newer;
};

TEST(UpdateVersions, ComparesByFormat) {
    const VersionCase cases[] = {
        {vfStandard, "2.1.3", "2.1.4", true},
        {vfStandard, "2.1.3", "2.2", true},
        {vfStandard, "2.1.3", "3", true},
        {vfStandard, "2.1.3", "2.1.3", false},
        {vfStandard, "2.1.3", "2.1.2", false},
        {vfStandard, "2.1.3", "2.0.9", false},
        {vfStandard, "2.1.3", "2.1.3.1", false},
        {vfStandard, "2.1.3", "2.x.5", false},  // a part that is no number counts as 0
        {vfStandard, "2.1.3", "10.0", true},    // numbers, not text
        {vfStandard, "2.1", "2.1.1", false},    // the current text runs out first
        {vfStandard, "2.1.0", "2.1", true},     // the offered "1" meets the current "0"
        {vfStandard, "2.1.3", "", false},
        {vfStandard, "", "1", true},
        {vfStandard, "2.1.3", "2.1.99999999999999999999", false},  // too large: 0
        {vfString, "2.1.3", "2.1.4", true},
        {vfString, "2.1.3", "10.0", false},  // text order
        {vfString, "abc", "abd", true},
        {vfString, "\xef\xbd\x81", "\xf0\x9f\x98\x80", false},  // U+FF41 after a surrogate pair
        {vfNumber, "2.5", "2.75", true},
        {vfNumber, "2.5", "2.5", false},
        {vfNumber, "2.5", "2.1.4", false},  // not a number
        {vfNumber, "x", "3", false},
        {vfNumber, " 1", "1e1", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNewerVersion(c.format, c.current, c.offered), c.newer)
            << "format " << c.format << ", current \"" << c.current << "\", offered \"" << c.offered << '"';
    }
}

TEST(UpdatePage, ReadsTagsByTheirRules) {
    const std::string name254(254, 'n');
    const std::string value254(254, 'v');
    const std::string value255(255, 'v');
    const std::string page =
        "<html><head>\r\n"
        "<META NAME=\"wuProduct\" CONTENT=\"Kelvora\">\r\n"
        "<META NAME=\"wuVersion\" content=\"2.0\">\n"               // CONTENT= in any case
        "<META NAME=\"wuVersion\" CoNtEnT=\"2.2\">\r"               // the last one wins
        "<meta name=\"wuDownload\" CONTENT=\"/lower-case.exe\">\n"  // no tag
        "<META NAME=\"wuDownload\" CONTENT=\"/files/setup.exe\">\n"
        "<META NAME=\"wuclientsidename\" CONTENT=\"wrong-case.exe\">\n"  // names match exactly
        "<META NAME=\"wuClientSideName\" CONTENT=\"setup.exe\"> <META NAME=\"wuEmail\" CONTENT=\"x\">\n"
        "<META NAME=\"wuAuthor\" CONTENT=\"" +
        value254 +
        "\">\n"
        "<META NAME=\"wuRunParameters\" CONTENT=\"" +
        value255 +
        "\">\n"
        "<META NAME=\"" +
        name254 +
        "\" CONTENT=\"unknown\">\n"
        "<META NAME=\"wuEmail\">\n"                  // no CONTENT=: empty
        "<META NAME=\"wuSHA256\" CONTENT=\"ABC\">";  // no line end at the end
    const TPageValues v = ParseUpdatePage(page, TTagInfo{});
    EXPECT_EQ(v.ProductName, "Kelvora");
    EXPECT_EQ(v.Version, "2.2");
    EXPECT_EQ(v.Download, "/files/setup.exe");
    EXPECT_EQ(v.ClientFileName, "setup.exe");
    EXPECT_EQ(v.Author, value254);
    EXPECT_EQ(v.RunParameters, "");  // 255 characters read as empty
    EXPECT_EQ(v.Email, "");
    EXPECT_EQ(v.SHA256, "ABC");
    EXPECT_EQ(v.Redirection, "");

    TTagInfo custom;
    custom.Author = name254;
    EXPECT_EQ(ParseUpdatePage(page, custom).Author, "unknown");
    custom.Author = name254 + "n";
    EXPECT_EQ(ParseUpdatePage("<META NAME=\"" + custom.Author + "\" CONTENT=\"x\">", custom).Author, "");
}

TEST(UpdatePage, SplitsLinesAtCrLfAndCrLf) {
    EXPECT_EQ(SplitLines("a\rb\nc\r\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(UpdateAddress, SplitsHostPortAndPath) {
    struct Case {
        const char* address;
        bool https;
        const char* host;
        int port;  // 0: none
        const char* path;
    };
    const Case cases[] = {
        {"http://www.example.invalid/update.html", false, "www.example.invalid", 0, "/update.html"},
        {"HTTP://Host/a/b?c=http://x", false, "Host", 0, "/a/b?c=http://x"},
        {"https://host:8443/u.html", true, "host", 8443, "/u.html"},
        {"HtTpS://host", true, "host", 0, "/"},
        {"host:81/setup.exe", false, "host", 81, "/setup.exe"},
        {"/files/setup.exe", false, "", 0, "/files/setup.exe"},
        {"setup.exe", false, "", 0, "setup.exe"},
        {"host:99999/x", false, "host:99999", 0, "/x"},
    };
    for (const auto& c : cases) {
        const TAddress a = SplitAddress(c.address);
        EXPECT_EQ(a.https, c.https) << c.address;
        EXPECT_EQ(a.host, c.host) << c.address;
        EXPECT_EQ(a.port.value_or(0), c.port) << c.address;
        EXPECT_EQ(a.path, c.path) << c.address;
    }
}

TEST(UpdateAddress, AnAddressWithoutAHostIsReadFromItsPage) {
    struct Case {
        const char* page;
        const char* address;
        bool https;
        const char* host;
        int port;  // 0: none
        const char* path;
    };
    const Case cases[] = {
        // A plain name sits beside its page, as a release folder holds its page and its setup.
        {"http://host:8080/kelvora/2.2/update.html", "Kelvora-2.2-win64-setup.exe", false, "host", 8080,
         "/kelvora/2.2/Kelvora-2.2-win64-setup.exe"},
        {"https://host/update.php?from=a/b#c/d", "setup.exe", true, "host", 0, "/setup.exe"},
        {"http://host", "setup.exe", false, "host", 0, "/setup.exe"},
        // A path from the root keeps it; an address with a host is not touched.
        {"http://host:8080/kelvora/update.html", "/files/setup.exe", false, "host", 8080, "/files/setup.exe"},
        {"http://host/kelvora/update.html", "https://mirror:444/s.exe", true, "mirror", 444, "/s.exe"},
    };
    for (const auto& c : cases) {
        const TAddress a = ResolveAddress(SplitAddress(c.page), SplitAddress(c.address));
        EXPECT_EQ(a.https, c.https) << c.address;
        EXPECT_EQ(a.host, c.host) << c.address;
        EXPECT_EQ(a.port.value_or(0), c.port) << c.address;
        EXPECT_EQ(a.path, c.path) << c.address;
    }
}

TEST(UpdateAddress, ProductUrlGetsHttpOnlyWithoutAScheme) {
    TProductInfo info;
    EXPECT_EQ(info.URL(), "http://");
    const std::pair<const char*, const char*> cases[] = {
        {"www.example.invalid/update.html", "http://www.example.invalid/update.html"},
        {"HTTP://Host/u.html", "HTTP://Host/u.html"},
        {"https://host/u.html", "https://host/u.html"},
        {"ftp://host/u.html", "http://ftp://host/u.html"},
    };
    for (const auto& [given, expected] : cases) {
        info.SetURL(given);
        EXPECT_EQ(info.URL(), expected);
    }
}

TEST(UpdateSha256, MatchesKnownDigestsInAnyPieces) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, digest] : cases) {
        Sha256 whole;
        whole.update(message);
        EXPECT_EQ(whole.finishHex(), digest) << message.size() << " bytes";
        for (const std::size_t piece : {1u, 63u, 64u, 65u, 1025u}) {
            Sha256 pieces;
            for (std::size_t i = 0; i < message.size(); i += piece)
                pieces.update(std::string_view(message).substr(i, piece));
            EXPECT_EQ(pieces.finishHex(), digest) << message.size() << " bytes in pieces of " << piece;
        }
    }
}

// The address of the update page comes from the environment first, even when it is set to nothing,
// and then from the build's setting.
class UpdatePageSetting : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* value = std::getenv("KELVORA_UPDATE_URL"))
            saved_ = value;
    }
    void TearDown() override { restore(); }
    void restore() {
        if (saved_) {
            test::setEnvironment("KELVORA_UPDATE_URL", *saved_);
        } else {
#ifdef _WIN32
            test::setEnvironment("KELVORA_UPDATE_URL", "");
#else
            ::unsetenv("KELVORA_UPDATE_URL");
#endif
        }
    }
    std::optional<std::string> saved_;
};

TEST_F(UpdatePageSetting, TheEnvironmentWinsOverTheBuildEvenWhenBlank) {
    const std::pair<const char*, const char*> cases[] = {
        {" http://127.0.0.1:8/u.html\t", "http://127.0.0.1:8/u.html"},
        {" ", ""},  // Windows can't hold an empty variable: blanks say "none" there
#ifndef _WIN32
        {"", ""},
#endif
    };
    for (const auto& [value, expected] : cases) {
        test::setEnvironment("KELVORA_UPDATE_URL", value);
        EXPECT_EQ(UpdatePageAddress(), expected) << '"' << value << '"';
    }
    saved_.reset();
    restore();
    EXPECT_EQ(UpdatePageAddress(), KELVORA_CONFIGURED_UPDATE_URL);
}

TEST(UpdateWithoutPage, SaysSoAndDoesNothingElse) {
    for (const char* address : {"", "http://", "https://"}) {
        TWebUpdate update;
        update.ProductInfo.SetURL(address);
        update.ProductInfo.Version = "2.1.3";
        std::vector<std::string> events;
        update.OnBeforeGetInfo = [&](TWebUpdate&) { events.push_back("BeforeGetInfo"); };
        update.OnAfterGetInfo = [&](TWebUpdate&) { events.push_back("AfterGetInfo"); };
        update.OnDownloadError = [&](TWebUpdate&) { events.push_back("DownloadError"); };
        update.OnNoUpdateFound = [&](TWebUpdate&) { events.push_back("NoUpdateFound"); };
        EXPECT_FALSE(update.HasUpdatePage()) << address;
        const TaskResult result = update.CheckForAnUpdate();
        EXPECT_EQ(result.outcome(), Outcome::Failed) << address;
        EXPECT_EQ(result.message(), kNoUpdatePageMessage) << address;
        EXPECT_TRUE(events.empty()) << address;
        EXPECT_FALSE(update.Active());
    }
    TWebUpdate configured;
    configured.ProductInfo.SetURL("127.0.0.1/update.html");
    EXPECT_TRUE(configured.HasUpdatePage());
}

}  // namespace
}  // namespace kelvora::update
