// Tf_Update and Tfrm_ShowInfoUpdate on the offscreen platform, checking a page served on 127.0.0.1.
#include "ui/update_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "local_server.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "ui/shell.h"
#include "ui/theme.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "update/sha256.h"
#include "update/update_settings.h"

namespace kelvora::ui {
namespace {

namespace fs = std::filesystem;

// Answers the boxes as the test says, records every box, takes a picture of the information
// window and records what would have been started.
struct Script {
    bool changelog = true;
    bool update = true;
    bool infoOk = true;
    std::vector<std::string> boxes;
    std::vector<std::pair<std::string, std::string>> started;
    QString infoPage;
    QRect okGeometry, cancelGeometry;
    QSize infoSize;
    QString infoTitle, okText, cancelText;
};

class ScriptedPrompts : public UpdatePrompts {
  public:
    explicit ScriptedPrompts(Script& script) : s_(script) {}
    bool Confirm(QWidget*, const QString& text) override {
        s_.boxes.push_back("Confirmation: " + text.toStdString());
        return s_.changelog;
    }
    bool Warn(QWidget*, const QString& text) override {
        s_.boxes.push_back("Warning: " + text.toStdString());
        return s_.update;
    }
    void Error(QWidget*, const QString& text) override { s_.boxes.push_back("Error: " + text.toStdString()); }
    void Notice(QWidget*, const QString& text) override {
        s_.boxes.push_back("Notice: " + text.toStdString());
    }
    bool ShowInfo(Tfrm_ShowInfoUpdate& window) override {
        window.show();
        QApplication::processEvents();
        window.grab().save(QStringLiteral(KELVORA_SCREENSHOT_DIR "/tfrm_showinfoupdate.png"));
        s_.infoPage = window.WebBrowser1->toPlainText();
        s_.okGeometry = window.Button1->geometry();
        s_.cancelGeometry = window.Button2->geometry();
        s_.infoSize = window.size();
        s_.infoTitle = window.windowTitle();
        s_.okText = window.Button1->text();
        s_.cancelText = window.Button2->text();
        (s_.infoOk ? window.Button1 : window.Button2)->click();
        return window.result() == QDialog::Accepted;
    }
    bool Start(const std::string& file, const std::string& parameters) override {
        s_.started.emplace_back(file, parameters);
        return true;
    }

  private:
    Script& s_;
};

std::string setupProgram() {
    return std::string(3000, 'S');
}

std::string page(const std::string& version, const std::string& digest) {
    return "<html><head>\n"
           "<META NAME=\"wuProduct\" CONTENT=\"Kelvora\">\n"
           "<META NAME=\"wuVersion\" CONTENT=\"" +
           version +
           "\">\n"
           "<META NAME=\"wuDownload\" CONTENT=\"/Update.exe\">\n"
           "<META NAME=\"wuClientSideName\" CONTENT=\"Update.exe\">\n"
           "<META NAME=\"wuRunParameters\" CONTENT=\"/silent\">\n"
           "<META NAME=\"wuSHA256\" CONTENT=\"" +
           digest +
           "\">\n"
           "</head><body><h3>Kelvora " +
           version + "</h3><ul><li>Faster backups</li><li>Safari 5 profiles</li></ul></body></html>\n";
}

class UpdateWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("NO_PROXY", "127.0.0.1", 1);
        update::Sha256 hash;
        hash.update(setupProgram());
        test::writeFile(www_ / "Update.exe", setupProgram());
        test::writeFile(www_ / "newer.html", page("99.0", hash.finishHex()));
        test::writeFile(www_ / "unsigned.html", page("99.0", ""));
        test::writeFile(www_ / "same.html", page(update::ProgramVersion(), hash.finishHex()));
        server_ = std::make_unique<test::LocalServer>(www_);
        previousPrompts_ = setUpdatePrompts(std::make_unique<ScriptedPrompts>(script_));
        previousEnd_ = setEndProgramHandler([this] { ++programEnds_; });
        previousFolder_ = fs::current_path();
        fs::current_path(work_.path());
        if (const char* cache = std::getenv("XDG_CACHE_HOME"))
            previousCache_ = cache;
        ::setenv("XDG_CACHE_HOME", cache_.str().c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(previousFolder_);
        if (previousCache_)
            ::setenv("XDG_CACHE_HOME", previousCache_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
        setUpdatePrompts(std::move(previousPrompts_));
        setEndProgramHandler(previousEnd_);
        ::unsetenv("KELVORA_UPDATE_URL");
    }
    // The "Updates" command's window on the page `name`; on no page at all when it is empty.
    std::unique_ptr<QWidget> open(const std::string& name) {
        ::setenv("KELVORA_UPDATE_URL", name.empty() ? "" : server_->url("/" + name).c_str(), 1);
        const auto* entry = WindowFactories::instance().find(QStringLiteral("Updates"));
        EXPECT_NE(entry, nullptr);
        if (!entry)
            return nullptr;
        EXPECT_EQ(entry->placement, Placement::TopLevel);
        return std::unique_ptr<QWidget>(entry->make());
    }

    // Kelvora's download folder, below the cache folder of the test's own.
    fs::path downloads() const { return cache_.path() / "kelvora" / "downloads"; }

    test::TempDir root_;
    fs::path www_ = root_.path() / "www";
    test::TempDir work_;   // the current folder
    test::TempDir cache_;  // $XDG_CACHE_HOME
    std::optional<std::string> previousCache_;
    std::unique_ptr<test::LocalServer> server_;
    Script script_;
    int programEnds_ = 0;
    std::unique_ptr<UpdatePrompts> previousPrompts_;
    EndProgramHandler previousEnd_;
    fs::path previousFolder_;
};

TEST_F(UpdateWindow, DownloadsStartsTheSetupAndEndsTheProgram) {
    // A file of the setup's name in the current folder is the person's, not Kelvora's.
    test::writeFile(work_.path() / "Update.exe", "the person's own program");
    auto window = open("newer.html");
    ASSERT_TRUE(window);
    const std::string offer =
        "Warning: You are using version " + update::ProgramVersion() +
        ", but version 99.0 is available.\r\n\r\nDo you want to update your application now?";
    EXPECT_EQ(script_.boxes,
              (std::vector<std::string>{offer, "Confirmation: Would you like to read the changelog?"}));
    // The information window showed the page, its buttons centred in the strip.
    EXPECT_EQ(script_.infoTitle, "Web Update");
    EXPECT_EQ(script_.infoSize, QSize(491, 387));
    EXPECT_NE(script_.infoPage.indexOf("Faster backups"), -1) << script_.infoPage.toStdString();
    EXPECT_EQ(script_.okText, "&OK");
    EXPECT_EQ(script_.cancelText, "&Cancel");
    EXPECT_EQ(script_.okGeometry, QRect((491 - 75 - 75 - 6) / 2, 6, 75, 25));
    EXPECT_EQ(script_.cancelGeometry, QRect((491 - 75 - 75 - 6) / 2 + 78, 6, 75, 25));

    const fs::path file = downloads() / "Update.exe";
    EXPECT_EQ(test::readFile(file), setupProgram());
    EXPECT_EQ(test::readFile(work_.path() / "Update.exe"), "the person's own program");
    ASSERT_EQ(script_.started.size(), 1u);
    EXPECT_EQ(fs::path(platform::nativePath(script_.started[0].first)), file);
    EXPECT_EQ(script_.started[0].second, "/silent");
    EXPECT_EQ(programEnds_, 1);

    auto* update = static_cast<Tf_Update*>(window.get());
    EXPECT_EQ(f_Update(), update);
    EXPECT_EQ(update->windowTitle(), "Web Update");
    EXPECT_EQ(update->size(), QSize(232, 24));
    EXPECT_EQ(update->ProgressBar1->geometry(), QRect(3, 4, 225, 17));
    EXPECT_EQ(update->ProgressBar1->maximum(), 3000);
    EXPECT_EQ(update->ProgressBar1->value(), 3000);
    update->show();
    QApplication::processEvents();
    update->grab().save(QStringLiteral(KELVORA_SCREENSHOT_DIR "/tf_update.png"));
}

TEST_F(UpdateWindow, AnswersAndFailuresShowTheirMessages) {
    const std::string offer =
        "Warning: You are using version " + update::ProgramVersion() +
        ", but version 99.0 is available.\r\n\r\nDo you want to update your application now?";
    const std::string changelog = "Confirmation: Would you like to read the changelog?";
    const std::string cannot = "Error: Cannot download data from the web";
    const std::string noPage = std::string("Notice: ") + update::kNoUpdatePageMessage;
    struct Case {
        const char* page;
        bool update, changelog, infoOk;
        std::vector<std::string> boxes;
        bool infoWindow, downloads;
    };
    const Case cases[] = {
        {"same.html", true, true, true, {"Error: There is no update available!"}, false, false},
        {"missing.html", true, true, true, {cannot, cannot}, false, false},
        {"", true, true, true, {noPage}, false, false},                      // no update page configured
        {"newer.html", false, true, true, {offer}, false, false},            // No to the update
        {"newer.html", true, true, false, {offer, changelog}, true, false},  // Cancel in the window
        {"newer.html", true, false, true, {offer, changelog}, false, true},  // no changelog: at once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.page) + (c.update ? "" : " no") + (c.changelog ? "" : " no changelog") +
                     (c.infoOk ? "" : " cancel"));
        script_ = Script{};
        script_.update = c.update;
        script_.changelog = c.changelog;
        script_.infoOk = c.infoOk;
        fs::remove(downloads() / "Update.exe");
        server_->clearRequests();
        auto window = open(c.page);
        EXPECT_EQ(script_.boxes, c.boxes);
        EXPECT_EQ(server_->requests().empty(), *c.page == '\0');
        EXPECT_EQ(!script_.infoTitle.isEmpty(), c.infoWindow);
        EXPECT_EQ(fs::exists(downloads() / "Update.exe"), c.downloads);
        EXPECT_FALSE(fs::exists(work_.path() / "Update.exe"));
        EXPECT_EQ(script_.started.size(), c.downloads ? 1u : 0u);
    }
}

TEST_F(UpdateWindow, AnUnverifiedSetupIsRemovedAndNotStarted) {
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "over an earlier download" : "nothing there before");
        script_ = Script{};
        fs::remove_all(downloads());
        if (earlier)
            test::writeFile(downloads() / "Update.exe", "an earlier download");
        auto window = open("unsigned.html");
        const std::string file = (downloads() / "Update.exe").string();
        ASSERT_FALSE(script_.boxes.empty());
        EXPECT_EQ(script_.boxes.back(), "Notice: The downloaded file " + file +
                                            " could not be verified against the update page's SHA-256, so it "
                                            "was removed and not started.");
        EXPECT_EQ(fs::exists(file), earlier);
        if (earlier) {
            EXPECT_EQ(test::readFile(file), "an earlier download");
        }
        EXPECT_FALSE(fs::exists(file + ".part"));
        EXPECT_TRUE(script_.started.empty());
        EXPECT_EQ(programEnds_, 0);
    }
}

TEST(UpdateInfoWindow, CentresItsButtonsWheneverTheStripChanges) {
    Tfrm_ShowInfoUpdate window;
    window.show();
    for (const int width : {491, 300, 157, 601}) {
        window.resize(width, 387);
        QApplication::processEvents();
        const int okLeft = (width - 75 - 75 - 6) / 2;
        EXPECT_EQ(window.Button1->geometry(), QRect(okLeft, 6, 75, 25)) << width;
        EXPECT_EQ(window.Button2->geometry(), QRect(okLeft + 78, 6, 75, 25)) << width;
        EXPECT_EQ(window.Panel1->height(), 41);
    }
}

}  // namespace
}  // namespace kelvora::ui

int main(int argc, char** argv) {
    // Test discovery runs the program without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    kelvora::ui::installApplicationFont();
    kelvora::ui::applyStyle(kelvora::ui::Style::Luna);
    kelvora::ui::registerUpdateWindows(kelvora::ui::WindowFactories::instance());
    return RUN_ALL_TESTS();
}
