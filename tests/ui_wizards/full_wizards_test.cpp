// The full wizards of Firefox, Chrome, Safari, Flock and Opera, opened from their ribbon commands:
// a full backup on one sample machine, with the file label and "Finished", unpacked over the data
// folder of a second one; the messages of a wizard that lacks its location or its archive.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "platform/platform.h"
#include "ui/directory_edit.h"
#include "ui/wizards/full_wizards.h"
#include "wizard_fixture.h"

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;
using ui::FullWizard;
using ui::Tffb_Firefox;

// Notes every text the file label shows while it is painted.
class LabelWatcher : public QObject {
  public:
    explicit LabelWatcher(QLabel* label) : label_(label) { label->installEventFilter(this); }
    std::vector<std::string> shown;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == label_ && event->type() == QEvent::Paint)
            shown.push_back(label_->text().toStdString());
        return false;
    }

  private:
    QLabel* label_;
};

struct FullCase {
    std::string name;     // as in "sB_Firefox"
    std::string archive;  // "allsave_firefox.dat"
    std::string file;     // a file below the data root, "\"-separated
};

const std::vector<FullCase>& fullCases() {
    static const std::vector<FullCase> cases = {
        {"Firefox", "allsave_firefox.dat", "profiles.ini"},
        {"Chrome", "allsave_chrome.dat", "Default\\Bookmarks"},
        {"Safari", "allsave_safari.dat", "Safari\\Bookmarks.plist"},
        {"Flock", "allsave_flock.dat", "profiles.ini"},
        {"Opera", "allsave_opera.dat", "Opera\\speeddial.ini"},
    };
    return cases;
}

QString command(const char* prefix, const std::string& name) {
    return QString::fromLatin1(prefix) + QString::fromStdString(name);
}

using FullWizardTest = WizardTest;

TEST_F(FullWizardTest, FullBackupShowsEachFileThenFinishedAndRestoresOnAnotherMachine) {
    const tools::SampleMachine first = useMachine("first");
    const tools::SampleMachine second = useMachine("second");
    for (const auto& c : fullCases()) {
        SCOPED_TRACE(c.name);
        const fs::path saves = tmp / "full" / c.name;
        fs::create_directories(saves);

        use(first);
        auto* backup = open<Tffb_Firefox>(command("sB_", c.name));
        ASSERT_NE(backup, nullptr);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_EQ(backup->Label1->text().toStdString(), "Welcome to " + c.name + " Full Backup Wizard");
        EXPECT_EQ(backup->windowTitle().toStdString(), "Backup " + c.name + " Web Browser");
        EXPECT_EQ(backup->lblFilename->pos(), QPoint(40, 189));
        EXPECT_TRUE(backup->lblFilename->text().isEmpty());
        const std::string marked = "kelvora full wizard test: " + c.name + "\n";
        writeFile(platform::nativePath(backup->state().dataRoot + "\\" + c.file), marked);
        screenshot(backup, command("sB_", c.name) + QStringLiteral("_ready"));

        LabelWatcher watcher(backup->lblFilename);
        choose(backup->DirectoryEdit2, saves);
        clickNext(backup);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_EQ(backup->lblFilename->text(), QStringLiteral("Finished"));
        EXPECT_TRUE(backup->Button1->isVisible());
        EXPECT_EQ(backup->ProgressBar1->value(), 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // While packing, the label named the files as they went (painted at most once per
        // WizardHost::kRepaintGap, so not necessarily each of them).
        const std::string root = backup->state().dataRoot + "\\";
        EXPECT_TRUE(std::any_of(watcher.shown.begin(), watcher.shown.end(),
                                [&](const std::string& text) { return text.rfind(root, 0) == 0; }))
            << "the label named no file below " << root << " while they were packed";
        ASSERT_TRUE(fs::exists(saves / c.archive));
        EXPECT_TRUE(contains(storedNames(saves / c.archive), c.file));
        screenshot(backup, command("sB_", c.name));

        use(second);
        auto* restore = open<Tffb_Firefox>(command("sR_", c.name));
        ASSERT_NE(restore, nullptr);
        EXPECT_EQ(restore->Label1->text().toStdString(), "Welcome to " + c.name + " Full Restore Wizard");
        const fs::path target = platform::nativePath(restore->state().dataRoot + "\\" + c.file);
        fs::remove(target);
        choose(restore->DirectoryEdit2, saves);
        clickNext(restore);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_EQ(restore->lblFilename->text(), QStringLiteral("Finished"));
        EXPECT_TRUE(restore->Button1->isVisible());
        EXPECT_EQ(readFile(target), marked);
        screenshot(restore, command("sR_", c.name));
    }
}

// The wizards made from a descriptor alone: today's Chromium browsers, found by their "Local State".
TEST_F(FullWizardTest, TodaysBrowsersRestoreOnAnotherMachine) {
    const tools::SampleMachine first = useMachine("first", "6", true);
    // An XP machine where the machine is a folder; on Windows the system's own version is the one seen.
    const tools::SampleMachine second = useMachine("second", platform::usesMachineFolder() ? "5" : "6", true);
    for (const char* name : {"Edge", "Brave", "Vivaldi", "Chromium", "OperaChromium"}) {
        SCOPED_TRACE(name);
        const fs::path saves = tmp / "full" / name;
        fs::create_directories(saves);
        const std::string file = "Default\\Network\\Cookies";

        use(first);
        auto* backup = open<FullWizard>(command("sB_", name));
        ASSERT_NE(backup, nullptr);
        EXPECT_TRUE(takeMessages().empty());
        ASSERT_NE(backup->NoteLabel, nullptr);
        const std::string marked = std::string("kelvora full wizard test: ") + name + "\n";
        const std::string dataFile = std::string(name) == "OperaChromium" ? "Network\\Cookies" : file;
        writeFile(platform::nativePath(backup->state().dataRoot + "\\" + dataFile), marked);
        choose(backup->DirectoryEdit2, saves);
        clickNext(backup);
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_TRUE(backup->Button1->isVisible());

        use(second);
        auto* restore = open<FullWizard>(command("sR_", name));
        ASSERT_NE(restore, nullptr);
        const fs::path target = platform::nativePath(restore->state().dataRoot + "\\" + dataFile);
        fs::remove(target);
        choose(restore->DirectoryEdit2, saves);
        clickNext(restore);
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_TRUE(restore->Button1->isVisible());
        EXPECT_EQ(readFile(target), marked);
        takeMessages();
    }
}

TEST_F(FullWizardTest, MissingLocationAndMissingArchiveAreReported) {
    useMachine("machine");
    const fs::path empty = tmp / "empty";
    fs::create_directories(empty);
    for (const auto& c : fullCases()) {
        for (const char* prefix : {"sB_", "sR_"}) {
            SCOPED_TRACE(std::string(prefix) + c.name);
            auto* wizard = open<Tffb_Firefox>(command(prefix, c.name));
            ASSERT_NE(wizard, nullptr);
            takeMessages();
            clickNext(wizard);
            EXPECT_EQ(takeMessages(), std::vector<std::string>{"Please Select Backup Location"});
            EXPECT_FALSE(wizard->Button1->isVisible());
            EXPECT_TRUE(wizard->lblFilename->text().isEmpty());
            wizard->close();
        }
        SCOPED_TRACE(c.name + " without an archive");
        auto* restore = open<Tffb_Firefox>(command("sR_", c.name));
        ASSERT_NE(restore, nullptr);
        choose(restore->DirectoryEdit2, empty);
        clickNext(restore);
        EXPECT_EQ(takeMessages(), std::vector<std::string>{"Backup File \"" + c.archive + "\" Not Found"});
        EXPECT_FALSE(restore->Button1->isVisible());
        restore->close();
    }
}

TEST_F(FullWizardTest, WithoutTheBrowserActivationSaysSoAndNothingIsPacked) {
    use(emptyMachine("bare"));
    const fs::path saves = tmp / "saves";
    fs::create_directories(saves);
    auto* wizard = open<Tffb_Firefox>(QStringLiteral("sB_Chrome"));
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"Settings Files Not Found."});
    choose(wizard->DirectoryEdit2, saves);
    clickNext(wizard);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"Settings Files Not Found."});
    EXPECT_FALSE(wizard->Button1->isVisible());
    EXPECT_FALSE(fs::exists(saves / "allsave_chrome.dat"));
}

TEST_F(FullWizardTest, OperaAsksForItsInstallationFolderWhenNothingIsFound) {
    // Opera installed as "Opera 10": the search for "Opera" finds nothing.
    const tools::SampleMachine machine = useMachine("machine");
    fs::rename(machine.roaming() / "Opera" / "Opera", machine.roaming() / "Opera" / "Opera 10");
    auto* wizard = open<ui::Tffb_Opera>(QStringLiteral("sB_Opera"));
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"Settings Files Not Found. Please Type Folder Name."});
    EXPECT_TRUE(wizard->Label2->isVisible());
    EXPECT_TRUE(wizard->Edit1->isVisible());
    EXPECT_TRUE(wizard->Label2->text().startsWith(QStringLiteral("Please enter Opera browser installation")));
    screenshot(wizard, QStringLiteral("sB_Opera_name"));

    const fs::path saves = tmp / "saves";
    fs::create_directories(saves);
    choose(wizard->DirectoryEdit2, saves);
    wizard->Edit1->setText(QStringLiteral("Opera 9"));
    clickNext(wizard);
    EXPECT_EQ(takeMessages(),
              std::vector<std::string>{"Settings Files Not Found. Please Re-Check Folder Name."});
    EXPECT_FALSE(fs::exists(saves / "allsave_opera.dat"));

    wizard->Edit1->setText(QStringLiteral("Opera 10"));
    clickNext(wizard);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_TRUE(takeErrors().empty());
    EXPECT_EQ(wizard->lblFilename->text(), QStringLiteral("Finished"));
    EXPECT_TRUE(contains(storedNames(saves / "allsave_opera.dat"), "Opera 10\\speeddial.ini"));
    EXPECT_TRUE(fs::exists(saves / "allsave_opera2.dat"));
}

}  // namespace
}  // namespace kelvora::test
