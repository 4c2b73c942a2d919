#include "ui/convert_opera.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"
#include "ui/shell.h"
#include "ui/theme.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::ui {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// The preference file of an XP user who has moved.
std::string xpPrefs(const std::string& user) {
    return "Opera Preferences version 2.1\r\n"
           "[User Prefs]\r\n"
           "Opera Directory=C:\\Documents and Settings\\" +
           user +
           "\\Application Data\\Opera\\Opera\\profile\\\r\n"
           "Program Path=C:\\Program Files\\Opera\\opera.exe\r\n"
           "Download Directory=E:\\Downloads\\Анна\r\n";
}

// A Windows 7 machine of the user (ann; on Windows the one running the test, whose folder the
// machine's takes the place of), with or without Opera's preference file, and a window on it whose
// boxes and program end are recorded instead of shown.
class TfcOperaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(machine_.roaming());
        fs::create_directories(machine_.root / "Program Files (x86)");
        machine_.makeLive();
        previousBox_ = wizards::setBoxHandler([this](QWidget*, wizards::BoxKind kind, const QString& text) {
            boxes_.push_back({kind, text});
        });
        previousEnd_ = setEndProgramHandler([this] { ++programEnds_; });
    }
    void TearDown() override {
        tools::endLiveMachine();
        wizards::setBoxHandler(previousBox_);
        setEndProgramHandler(previousEnd_);
    }

    fs::path prefsFile() const { return machine_.roaming() / "Opera/Opera/profile/operaprefs.ini"; }
    void writePrefs() { writeFile(prefsFile(), prefs_); }

    void choose(Tfc_Opera& window, int method) { window.RadioGroup1Items.at(method - 1)->click(); }

    struct Box {
        wizards::BoxKind kind;
        QString text;
    };
    TempDir root_;
#ifdef _WIN32
    const std::string user_ = platform::userName();
#else
    const std::string user_ = "ann";
#endif
    const tools::SampleMachine machine_{fs::path(root_.str()), user_, "6"};
    const std::string prefs_ = xpPrefs(user_);
    std::vector<Box> boxes_;
    int programEnds_ = 0;
    wizards::BoxHandler previousBox_;
    EndProgramHandler previousEnd_;
};

TEST_F(TfcOperaTest, OpensWithItsTextsAndNoMethodChosen) {
    writePrefs();
    Tfc_Opera window;
    window.FormActivate();
    EXPECT_EQ(window.windowTitle(), "Convert Opera Profile");
    EXPECT_EQ(window.Label1->text(), "Welcome to Opera 10 Profile Conversion Wizard");
    EXPECT_EQ(window.RadioGroup1->title(), "Option");
    ASSERT_EQ(window.RadioGroup1Items.size(), 12u);
    EXPECT_EQ(window.RadioGroup1Items[0]->text(), "XP 32 bit -> 7/Vista 32 bit");
    EXPECT_EQ(window.RadioGroup1Items[11]->text(), "Username change");
    EXPECT_EQ(window.Edit1->text(), "Olduser");
    EXPECT_EQ(window.Edit2->text(), "D:\\");
    EXPECT_EQ(window.Label6->text(), "7/Vista");
    EXPECT_EQ(window.Label7->text(), "64 bit");
    EXPECT_EQ(window.Label8->text().toStdString(), user_);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(window.chosenMethod(), 0);
    EXPECT_TRUE(window.Button1->isHidden());

    // No method chosen: "Next >" stays disabled and does nothing.
    EXPECT_FALSE(window.Button2->isEnabled());
    window.Button2->click();
    EXPECT_TRUE(window.Button1->isHidden());
    EXPECT_EQ(readFile(prefsFile()), prefs_);

    // The first choice enables it for good.
    choose(window, 5);
    EXPECT_TRUE(window.Button2->isEnabled());
    choose(window, 6);
    EXPECT_TRUE(window.Button2->isEnabled());
    EXPECT_EQ(window.chosenMethod(), 6);
}

TEST_F(TfcOperaTest, ConvertsByTheChosenMethodWithTheEdits) {
    struct Case {
        int method;
        QString edit1, edit2;
        std::string from, to;
    };
    const std::vector<Case> cases = {
        {1, "Olduser", "D:\\", "C:\\Documents and Settings\\" + user_ + "\\Application Data\\Opera",
         "C:\\Users\\" + user_ + "\\AppData\\Roaming\\Opera"},
        {5, "Olduser", "D:\\", "C:\\Program Files\\", "C:\\Program Files (x86)\\"},
        {11, "Olduser", "e:\\", "E:\\Downloads", "C:\\Downloads"},
        {12, "Анна", "D:\\", "Downloads\\Анна", "Downloads\\" + user_},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        writePrefs();
        Tfc_Opera window;
        window.FormActivate();
        choose(window, c.method);
        window.Edit1->setText(c.edit1);
        window.Edit2->setText(c.edit2);
        window.Button2->click();

        std::string expected = prefs_;
        expected.replace(expected.find(c.from), c.from.size(), c.to);
        EXPECT_EQ(readFile(prefsFile()), expected);
        EXPECT_EQ(window.RichEdit1->toPlainText().toStdString(),
                  QString::fromStdString(expected).replace("\r\n", "\n").toStdString());
        EXPECT_TRUE(fs::exists(prefsFile().string() + ".bak"));
        EXPECT_FALSE(window.Button1->isHidden());
        EXPECT_TRUE(boxes_.empty()) << boxes_.front().text.toStdString();

        // The next activation hides "Finish" again.
        window.FormActivate();
        EXPECT_TRUE(window.Button1->isHidden());
    }
}

TEST_F(TfcOperaTest, WithoutAPreferenceFileSaysSoAndChangesNothing) {
    Tfc_Opera window;
    window.FormActivate();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, wizards::BoxKind::Message);
    EXPECT_EQ(boxes_[0].text, "Settings Files Not Found.");

    choose(window, 1);
    window.Button2->click();
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].kind, wizards::BoxKind::Message);
    EXPECT_EQ(boxes_[1].text,
              "No Opera preference file (operaprefs.ini) was found, so nothing was converted.");
    EXPECT_TRUE(window.Button1->isHidden());
    EXPECT_FALSE(fs::exists(prefsFile()));
}

TEST_F(TfcOperaTest, NothingToReplaceShowsTheFileWithoutAMessage) {
    writePrefs();
    Tfc_Opera window;
    window.FormActivate();
    choose(window, 6);  // no "Program Files (x86)" in the file
    window.Button2->click();
    EXPECT_TRUE(boxes_.empty()) << boxes_.front().text.toStdString();
    EXPECT_EQ(readFile(prefsFile()), prefs_);
    EXPECT_FALSE(fs::exists(prefsFile().string() + ".bak"));
    EXPECT_EQ(window.RichEdit1->toPlainText().toStdString(),
              QString::fromStdString(prefs_).replace("\r\n", "\n").toStdString());
    EXPECT_FALSE(window.Button1->isHidden());
}

TEST_F(TfcOperaTest, AFailedConversionShowsTheErrorAndKeepsTheFile) {
    writePrefs();
    Tfc_Opera window;
    window.FormActivate();
    choose(window, 11);
    window.Edit2->setText("E");
    window.Button2->click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, wizards::BoxKind::Error);
    EXPECT_EQ(boxes_[0].text, "The old drive \"E\" is not a drive letter such as \"D:\\\"");
    EXPECT_EQ(readFile(prefsFile()), prefs_);
    EXPECT_TRUE(window.Button1->isHidden());
}

TEST_F(TfcOperaTest, FinishAndCancelEndTheProgram) {
    writePrefs();
    Tfc_Opera window;
    window.FormActivate();
    window.Button3->click();
    EXPECT_EQ(programEnds_, 1);
    choose(window, 5);
    window.Button2->click();
    window.Button1->click();
    EXPECT_EQ(programEnds_, 2);
}

TEST_F(TfcOperaTest, OpensForTheCommand) {
    registerProductWindows();
    const WindowFactories::Entry* entry = WindowFactories::instance().find(QStringLiteral("c_Opera"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->placement, Placement::Child);
    std::unique_ptr<QWidget> made(entry->make());
    EXPECT_NE(qobject_cast<Tfc_Opera*>(made.get()), nullptr);
}

// Leaves screenshots/tfc_opera.png in the build folder: the window after a conversion by method 1.
TEST_F(TfcOperaTest, Screenshot) {
    ASSERT_TRUE(installApplicationFont());
    writePrefs();
    Tfc_Opera window;
    EXPECT_EQ(window.size(), QSize(599, 531));
    window.FormActivate();
    choose(window, 1);
    window.Button2->click();
    window.show();
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(599, 531));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(KELVORA_SCREENSHOT_DIR)));
    EXPECT_TRUE(shot.save(QStringLiteral(KELVORA_SCREENSHOT_DIR "/tfc_opera.png")));
}

}  // namespace
}  // namespace kelvora::ui
