// The selective wizards of Firefox, Flock, Chrome, Safari and Opera, opened from their ribbon
// commands: a backup on one sample machine restored on a second one, the tick boxes, and the
// messages of a wizard that lacks its location or its archive.
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/tform1.h"
#include "browsers/selective.h"
#include "platform/platform.h"
#include "ui/directory_edit.h"
#include "ui/radio_list.h"
#include "ui/tf_pbar.h"
#include "ui/wizards/selective_wizards.h"
#include "wizard_fixture.h"

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;
using ui::SelectiveWizard;

struct SelectiveCase {
    std::string name;  // "Firefox", as in the commands "B_Firefox" and "R_Firefox"
    std::string file;  // a file of the profile folder that the wizards carry with every box ticked
    std::vector<std::string> entries;  // some of the names the backup archive must hold
    int backupPeak, restorePeak;       // the shared bar before it is set to 100, every box ticked
};

const std::vector<SelectiveCase>& selectiveCases() {
    static const std::vector<SelectiveCase> cases = {
        {"Firefox", "prefs.js", {"prefs.js", "places.sqlite", "sessionstore.js", "signons.sqlite"}, 89, 89},
        {"Flock",
         "prefs.js",
         {"prefs.js", "flock-data.sqlite", "feedcontent.sqlite", "places.sqlite"},
         94,
         94},
        {"Chrome", "Bookmarks", {"Bookmarks", "Cookies", "History", "Preferences"}, 84, 84},
        {"Safari",
         "Bookmarks.plist",
         {"Bookmarks.plist", "History.plist", "Cookies\\Cookies.plist",
          "Preferences\\com.apple.Safari.plist"},
         72,
         70},
        {"Opera",
         "bookmarks.adr",
         {"bookmarks.adr", "wand.dat", "speeddial.ini", "loc\\mail\\index.ini"},
         90,
         94},
    };
    return cases;
}

QString command(const char* prefix, const std::string& name) {
    return QString::fromLatin1(prefix) + QString::fromStdString(name);
}

// The selected profile's file `name`, on the machine in use, as the wizard's state names it.
fs::path profileFile(const SelectiveWizard& wizard, const std::string& name) {
    const auto& state = wizard.state();
    return platform::nativePath(state.profileFolders.at(static_cast<std::size_t>(state.profileIndex)) + name);
}

// The boxes shown, in screen order: columns left to right, each top to bottom.
std::vector<QCheckBox*> visibleBoxes(const ui::SelectiveFrame& wizard) {
    std::vector<QCheckBox*> boxes;
    for (QCheckBox* box : wizard.tickBoxes()) {
        if (!box->isHidden())
            boxes.push_back(box);
    }
    std::sort(boxes.begin(), boxes.end(), [](const QCheckBox* a, const QCheckBox* b) {
        return std::make_pair(a->x(), a->y()) < std::make_pair(b->x(), b->y());
    });
    return boxes;
}

// What the shared progress window shows while a task runs: the bar at each paint, and whether
// the busy cursor was on.
class ProgressWatcher : public QObject {
  public:
    explicit ProgressWatcher(ui::Tf_pBar& window) : bar_(window.ProgressBar1) {
        bar_->installEventFilter(this);
    }
    ~ProgressWatcher() override { bar_->removeEventFilter(this); }
    std::vector<int> shown;
    bool busy = false;

    // The position the bar stood at before it was set to 100.
    int peak() const {
        const auto full = std::find(shown.begin(), shown.end(), 100);
        return full == shown.begin() ? -1 : *std::prev(full);
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == bar_ && event->type() == QEvent::Paint) {
            shown.push_back(bar_->value());
            const QCursor* cursor = QApplication::overrideCursor();
            busy = busy || (cursor && cursor->shape() == Qt::WaitCursor);
        }
        return false;
    }

  private:
    QProgressBar* bar_;
};

class SelectiveWizardTest : public WizardTest {
  protected:
    // A Firefox backup of a sample machine's default profile into `saves`, finished; the backup
    // wizard, or nothing when it did not finish.
    SelectiveWizard* backUpFirefoxInto(const fs::path& saves) {
        useMachine("machine");
        fs::create_directories(saves);
        auto* backup = open<SelectiveWizard>(QStringLiteral("B_Firefox"));
        if (!backup)
            return nullptr;
        choose(backup->DirectoryEdit2, saves);
        clickNext(backup);
        return backup->Button1->isVisible() ? backup : nullptr;
    }
};

TEST_F(SelectiveWizardTest, BackupOnOneMachineRestoresOnAnother) {
    const tools::SampleMachine first = useMachine("first");
    const tools::SampleMachine second = useMachine("second");
    for (const auto& c : selectiveCases()) {
        SCOPED_TRACE(c.name);
        const fs::path saves = tmp / "saves" / c.name;
        fs::create_directories(saves);
        const std::string marked = "kelvora wizard test: " + c.name + "\n";

        use(first);
        auto* backup = open<SelectiveWizard>(command("B_", c.name));
        ASSERT_NE(backup, nullptr);
        EXPECT_EQ(backup->windowTitle().toStdString(), backup->browser().backupCaption);
        EXPECT_EQ(backup->Label1->text().toStdString(), backup->browser().backupTitle);
        ASSERT_GT(backup->ListBox1->count(), 0);
        // The list starts at the browser's default profile.
        EXPECT_EQ(backup->ListBox1->currentRow(),
                  std::max(0, browsers::defaultProfileIndex(backup->browser(), backup->state())));
        EXPECT_TRUE(takeMessages().empty());
        const fs::path source = profileFile(*backup, c.file);
        ASSERT_TRUE(fs::exists(source)) << source;
        writeFile(source, marked);
        const std::string profile =
            backup->state().profiles.at(static_cast<std::size_t>(backup->ListBox1->currentRow()));
        screenshot(backup, command("B_", c.name) + QStringLiteral("_ready"));
        if (c.name == "Firefox")
            screenshot(form.get(), QStringLiteral("main_window_with_B_Firefox"));

        choose(backup->DirectoryEdit2, saves);
        EXPECT_EQ(backup->DirectoryEdit2->text().toStdString(), saves.string());
        ProgressWatcher backupBar(*progress);
        clickNext(backup);
        EXPECT_EQ(backupBar.peak(), c.backupPeak);
        EXPECT_TRUE(backupBar.busy);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_TRUE(backup->Button1->isVisible());
        EXPECT_EQ(backup->ListBox1->count(), 0);
        EXPECT_FALSE(progress->isVisible());
        EXPECT_EQ(progress->Position(), 100);
        const std::string staging = browsers::stagingName(backup->browser(), profile).substr(1);
        const fs::path archive = saves / (staging + ".dat");
        ASSERT_TRUE(fs::exists(archive));
        EXPECT_FALSE(fs::exists(saves / staging));
        const auto names = storedNames(archive);
        for (const auto& entry : c.entries)
            EXPECT_TRUE(contains(names, entry)) << entry;
        EXPECT_EQ(backup->Label1->text(), QStringLiteral("Finished"));
        screenshot(backup, command("B_", c.name));

        // A second backup into the same folder asks before the archive is replaced; "No" keeps it.
        auto* again = open<SelectiveWizard>(command("B_", c.name));
        ASSERT_NE(again, nullptr);
        takeMessages();
        choose(again->DirectoryEdit2, saves);
        const std::string before = readFile(archive);
        questions.clear();
        clickNext(again);
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].rfind(archive.filename().string() + " already exists (made ", 0), 0u)
            << questions[0];
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_FALSE(again->Button1->isVisible());
        EXPECT_EQ(readFile(archive), before);
        again->close();

        use(second);
        auto* restore = open<SelectiveWizard>(command("R_", c.name));
        ASSERT_NE(restore, nullptr);
        EXPECT_EQ(restore->windowTitle().toStdString(), restore->browser().restoreCaption);
        EXPECT_EQ(restore->Label1->text().toStdString(), restore->browser().restoreTitle);
        EXPECT_EQ(restore->Label18->text(), QStringLiteral("Restore the following:"));
        ASSERT_NE(restore->ListBox2, nullptr);
        EXPECT_EQ(restore->ListBox2->count(), 0);
        ASSERT_GT(restore->ListBox1->count(), 0);
        const fs::path target = profileFile(*restore, c.file);
        fs::remove(target);

        choose(restore->DirectoryEdit2, saves);
        ASSERT_EQ(restore->ListBox2->count(), 1);
        EXPECT_EQ(restore->ListBox2->item(0)->text().toStdString(), archive.filename().string());
        EXPECT_EQ(restore->ListBox2->currentRow(), 0);
        screenshot(restore, command("R_", c.name) + QStringLiteral("_ready"));
        ProgressWatcher restoreBar(*progress);
        clickNext(restore);
        EXPECT_EQ(restoreBar.peak(), c.restorePeak);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_TRUE(restore->Button1->isVisible());
        EXPECT_EQ(readFile(target), marked);
        EXPECT_FALSE(fs::exists(saves / staging)) << "the extraction folder is removed";
        EXPECT_TRUE(fs::exists(archive)) << "the backup file stays";
        screenshot(restore, command("R_", c.name));
    }
}

// The boxes of each browser's windows, in screen order (columns top to bottom, seven to a column),
// and the ones shown ticked and disabled.
struct BoxesCase {
    std::string name;
    std::vector<std::string> captions;
    std::string disabled;
};

TEST_F(SelectiveWizardTest, SelectAllAndDeselectSetEveryBoxOfTheBrowser) {
    useMachine("machine");
    const std::vector<BoxesCase> cases = {
        {"Firefox",
         {"Bookmarks", "Cookies", "Download history", "Extensions", "History", "Mime types", "Preferences",
          "Saved form data", "Saved passwords", "Site(s) preferences", "Search engines", "Sessions",
          "Spelling dictionary", "Toolbar size settings", "User set preferences", "Themes and personas"},
         ""},
        {"Flock",
         {"Bookmarks", "Cookies", "Download history", "Extensions", "Feed data", "Flock specific data",
          "History", "Mime types", "Preferences", "Saved form data", "Saved passwords", "Site(s) preferences",
          "Search engines", "Sessions", "Spelling dictionary", "Toolbar size settings",
          "User set preferences"},
         ""},
        {"Chrome",
         {"Bookmarks", "Cache", "Cookies", "Current session", "Current tabs", "Extensions",
          "Extension cookies", "History", "Last session", "Last tabs", "Plugin data", "Preferences",
          "Thumbnails", "Visited links", "Web data", "Login data", "Top sites"},
         "Cache"},
        {"Safari",
         {"Bookmarks", "Cache", "Cookies", "Downloads", "Feeds", "Form values", "History", "Last session",
          "Preferences", "Top sites"},
         "Cache"},
        {"Opera",
         {"Bookmarks", "Certificate data", "Contacts", "Cookies", "History", "Keyboard configuration",
          "Mail and feeds", "Menu configuration", "Mouse configuration", "Notes", "Preferences", "Sessions",
          "Skins", "Toolbar configuration", "Visited links", "Wand data (passwords)",
          "Widgets and extensions"},
         ""},
    };
    for (const auto& c : cases) {
        for (const char* prefix : {"B_", "R_"}) {
            SCOPED_TRACE(std::string(prefix) + c.name);
            auto* wizard = open<SelectiveWizard>(command(prefix, c.name));
            ASSERT_NE(wizard, nullptr);
            takeMessages();
            const auto boxes = visibleBoxes(*wizard);
            ASSERT_EQ(boxes.size(), c.captions.size());
            // The wizard holds its browser's boxes only: none of another browser's, hidden.
            EXPECT_EQ(wizard->tickBoxes().size(), boxes.size());
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                EXPECT_EQ(boxes[i]->text().toStdString(), c.captions[i]);
                EXPECT_EQ(boxes[i]->pos(),
                          QPoint(ui::SelectiveFrame::kTickColumns[i / 7], 109 + 23 * (i % 7)))
                    << c.captions[i];
                EXPECT_TRUE(boxes[i]->isChecked()) << c.captions[i];
                EXPECT_EQ(boxes[i]->isEnabled(), c.captions[i] != c.disabled) << c.captions[i];
            }
            click(wizard->Button6);
            for (QCheckBox* box : boxes)
                EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
            boxes.front()->setChecked(true);
            click(wizard->Button4);
            for (QCheckBox* box : boxes)
                EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
            wizard->close();
        }
    }
}

// The windows' own texts and lists, beyond the frame's.
TEST_F(SelectiveWizardTest, RestoreWindowsPlaceTheirListsAndCaptions) {
    useMachine("machine");
    const struct {
        std::string name;
        QString fileListCaption;
        int listTop;
        bool deleteBox;
    } cases[] = {
        {"Firefox", QStringLiteral("Backup file:"), 393, true},
        {"Flock", QStringLiteral("Profile:"), 397, false},
        {"Chrome", QStringLiteral("Backup file:"), 393, false},
        {"Safari", QStringLiteral("Backup file:"), 397, false},
        {"Opera", QStringLiteral("Profile:"), 397, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* wizard = open<SelectiveWizard>(command("R_", c.name));
        ASSERT_NE(wizard, nullptr);
        EXPECT_EQ(wizard->Label3->text(), c.fileListCaption);
        ASSERT_NE(wizard->Label4, nullptr);
        EXPECT_EQ(wizard->Label4->text(), QStringLiteral("Restore to the following profile:"));
        EXPECT_EQ(wizard->Label4->pos(), QPoint(190, 369));
        EXPECT_EQ(wizard->ListBox2->geometry(), QRect(39, c.listTop, 138, 46));
        EXPECT_EQ(wizard->ListBox1->pos(), QPoint(183, c.listTop));
        EXPECT_TRUE(wizard->DirectoryEdit1->isVisible());
        EXPECT_EQ(wizard->DirectoryEdit1->text(), QStringLiteral("Custom profile location (optional):"));
        EXPECT_EQ(wizard->CheckBox19 != nullptr, c.deleteBox);
        // Typing a location lists its backup files as choosing one does: ordinary "*.dat" files.
        const fs::path saves = tmp / ("typed-" + c.name);
        writeFile(saves / "one.dat", "");
        writeFile(saves / "two.DAT", "");
        writeFile(saves / "notes.txt", "");
        fs::create_directories(saves / "folder.dat");
        wizard->DirectoryEdit2->clear();
        QTest::keyClicks(wizard->DirectoryEdit2, QString::fromStdString(saves.string()));
        ASSERT_EQ(wizard->ListBox2->count(), 2);
        EXPECT_EQ(wizard->ListBox2->item(0)->text(), QStringLiteral("one.dat"));
        EXPECT_EQ(wizard->ListBox2->item(1)->text(), QStringLiteral("two.DAT"));
        EXPECT_EQ(wizard->ListBox2->currentRow(), 0);
        if (wizard->CheckBox19) {
            EXPECT_EQ(wizard->CheckBox19->text(), QStringLiteral("Delete backup file when finished"));
            EXPECT_FALSE(wizard->CheckBox19->isChecked());
        }
        wizard->close();
    }
}

TEST_F(SelectiveWizardTest, FirefoxRestoreMovesTheBackupFileAwayOnlyWhenAsked) {
    const fs::path saves = tmp / "saves";
    auto* backup = backUpFirefoxInto(saves);
    ASSERT_NE(backup, nullptr);
    const std::string archive =
        fs::path(platform::nativePath(backup->state().archivePath)).filename().string();
    ASSERT_TRUE(fs::exists(saves / archive));

    auto* restore = open<SelectiveWizard>(QStringLiteral("R_Firefox"));
    ASSERT_NE(restore, nullptr);
    ASSERT_NE(restore->CheckBox19, nullptr);
    choose(restore->DirectoryEdit2, saves);
    click(restore->CheckBox19);
    EXPECT_TRUE(restore->CheckBox19->isChecked());
    clickNext(restore);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_TRUE(takeErrors().empty());
    EXPECT_TRUE(restore->Button1->isVisible());
    EXPECT_FALSE(fs::exists(saves / archive));
    EXPECT_EQ(restore->ListBox2->count(), 0);
}

#ifndef _WIN32  // Firefox's lock is the "lock" link on Linux
// A restore into a profile Firefox is using asks to close it first: Cancel ends the task in the error
// box with nothing written; once Firefox is closed, "Next >" restores.
TEST_F(SelectiveWizardTest, RestoreWhileTheBrowserRunsAsksToCloseItFirst) {
    const fs::path saves = tmp / "saves";
    auto* backup = backUpFirefoxInto(saves);
    ASSERT_NE(backup, nullptr);
    const fs::path profile = platform::nativePath(backup->state().profileFolder);
    const std::string archived = readFile(profile / "prefs.js");
    writeFile(profile / "prefs.js", "changed while Firefox runs");
    fs::create_symlink(platform::hostName() + ":+" + std::to_string(::getpid()), profile / "lock");

    auto* restore = open<SelectiveWizard>(QStringLiteral("R_Firefox"));
    ASSERT_NE(restore, nullptr);
    choose(restore->DirectoryEdit2, saves);
    answerYes = false;  // Cancel
    clickNext(restore);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].rfind("Close Firefox first.", 0), 0u) << questions[0];
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Close Firefox first: it is using", 0), 0u) << errors[0];
    EXPECT_EQ(readFile(profile / "prefs.js"), "changed while Firefox runs");
    EXPECT_FALSE(restore->Button1->isVisible());

    fs::remove(profile / "lock");
    restore = open<SelectiveWizard>(QStringLiteral("R_Firefox"));
    ASSERT_NE(restore, nullptr);
    choose(restore->DirectoryEdit2, saves);
    clickNext(restore);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_TRUE(takeErrors().empty());
    EXPECT_TRUE(restore->Button1->isVisible());
    EXPECT_EQ(readFile(profile / "prefs.js"), archived);
}
#endif

// Today's browsers in the window: each one's wizards list the profiles with the browser's own
// names, say what stays encrypted, and a backup restored over a stale file brings it back.
TEST_F(SelectiveWizardTest, TodaysBrowsersBackUpAndRestoreInTheWindow) {
    const tools::SampleMachine machine = useMachine("machine", "6", true);
    const fs::path saves = tmp / "saves";
    fs::create_directories(saves);
    const struct {
        const char* command;
        const char* file;  // below the machine's local or roaming folder
        bool local;
        const char* shown;  // the first profile as the list shows it
    } cases[] = {
        {"Firefox", "Mozilla/Firefox/Profiles/q1w2e3r4.default-release/key4.db", false,
         "q1w2e3r4.default-release"},
        {"Chrome", "Google/Chrome/User Data/Default/Network/Cookies", true, "Default (Person 1)"},
        {"Edge", "Microsoft/Edge/User Data/Default/Login Data For Account", true, "Default (Person 1)"},
        {"Brave", "BraveSoftware/Brave-Browser/User Data/Default/Sessions/Session_13300000000000000", true,
         "Default (Person 1)"},
        {"Vivaldi", "Vivaldi/User Data/Default/Secure Preferences", true, "Default (Person 1)"},
        {"Chromium", "Chromium/User Data/Default/Favicons", true, "Default (Person 1)"},
        {"OperaChromium", "Opera Software/Opera Stable/Shortcuts", false, "Opera Stable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        fs::remove_all(saves);
        fs::create_directories(saves);
        const fs::path file = (c.local ? machine.local() : machine.roaming()) / c.file;
        const std::string before = readFile(file);

        auto* backup = open<SelectiveWizard>(QStringLiteral("B_") + QLatin1String(c.command));
        ASSERT_NE(backup, nullptr);
        ASSERT_GT(backup->ListBox1->count(), 0);
        const int chosen = backup->ListBox1->currentRow();
        ASSERT_GE(chosen, 0);
        EXPECT_EQ(backup->ListBox1->item(chosen)->text().toStdString(), c.shown);
        EXPECT_EQ(backup->NoteLabel != nullptr, std::string(c.command) != "Firefox");
        choose(backup->DirectoryEdit2, saves);
        clickNext(backup);
        EXPECT_TRUE(takeErrors().empty());
        ASSERT_TRUE(backup->Button1->isVisible());
        backup->close();

        writeFile(file, "stale");
        auto* restore = open<SelectiveWizard>(QStringLiteral("R_") + QLatin1String(c.command));
        ASSERT_NE(restore, nullptr);
        choose(restore->DirectoryEdit2, saves);
        ASSERT_EQ(restore->ListBox2->count(), 1);
        clickNext(restore);
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_TRUE(restore->Button1->isVisible());
        EXPECT_TRUE(readFile(file) == before) << "the restore brought back " << c.file;
        restore->close();
        takeMessages();
    }
}

TEST_F(SelectiveWizardTest, ActivationAppendsTheProfilesAgainAndTheCustomFolderEmptiesTheList) {
    useMachine("machine");
    auto* wizard = open<SelectiveWizard>(QStringLiteral("B_Firefox"));
    ASSERT_NE(wizard, nullptr);
    const int once = wizard->ListBox1->count();
    ASSERT_GT(once, 0);
    wizard->FormActivate();
    EXPECT_EQ(wizard->ListBox1->count(), 2 * once);

    wizard->DirectoryEdit1->setText(QString::fromStdString((tmp / "custom").string()));
    EXPECT_EQ(wizard->ListBox1->count(), 0);
    EXPECT_FALSE(wizard->ListBox1->isEnabled());
    wizard->FormActivate();
    EXPECT_EQ(wizard->ListBox1->count(), once);
    EXPECT_FALSE(wizard->ListBox1->isEnabled()) << "activation fills the list but leaves it disabled";
}

TEST_F(SelectiveWizardTest, MissingLocationAndMissingArchiveAreReported) {
    useMachine("machine");
    const fs::path empty = tmp / "empty";
    fs::create_directories(empty);
    for (const auto& c : selectiveCases()) {
        for (const char* prefix : {"B_", "R_"}) {
            SCOPED_TRACE(std::string(prefix) + c.name);
            auto* wizard = open<SelectiveWizard>(command(prefix, c.name));
            ASSERT_NE(wizard, nullptr);
            takeMessages();
            clickNext(wizard);
            EXPECT_EQ(takeMessages(), std::vector<std::string>{"Please Select Backup Location"});
            EXPECT_TRUE(takeErrors().empty());
            EXPECT_FALSE(wizard->Button1->isVisible());
            EXPECT_FALSE(progress->isVisible());
            wizard->close();
        }
        // A restore from a folder without archives has no backup file to take: the person is asked
        // for one before the progress window shows.
        SCOPED_TRACE(c.name + " without an archive");
        auto* restore = open<SelectiveWizard>(command("R_", c.name));
        ASSERT_NE(restore, nullptr);
        choose(restore->DirectoryEdit2, empty);
        EXPECT_EQ(restore->ListBox2->count(), 0);
        clickNext(restore);
        EXPECT_EQ(takeMessages(), std::vector<std::string>{"Choose a backup file"});
        EXPECT_TRUE(takeErrors().empty());
        EXPECT_FALSE(progress->isVisible());
        EXPECT_FALSE(restore->Button1->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        restore->close();
    }
}

TEST_F(SelectiveWizardTest, AnArchiveThatCannotBeWrittenEndsTheTaskInTheErrorBox) {
    useMachine("machine");
    auto* wizard = open<SelectiveWizard>(QStringLiteral("B_Safari"));
    ASSERT_NE(wizard, nullptr);
    // A file where the backup folder should be: no staging folder, nothing to pack.
    const fs::path blocker = tmp / "not a folder";
    writeFile(blocker, "x");
    choose(wizard->DirectoryEdit2, blocker);
    clickNext(wizard);
    const auto errors = takeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Cannot ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("Safari"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].back(), '.') << errors[0];
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_FALSE(wizard->Button1->isVisible());
    EXPECT_EQ(wizard->ListBox1->count(), 0) << "the profile list is emptied also when packing fails";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(readFile(blocker), "x");
    progress->hide();
}

TEST_F(SelectiveWizardTest, WithoutTheBrowserActivationSaysSoAndACustomFolderStillWorks) {
    // A machine without any browser data: no marker is found.
    use(emptyMachine("bare"));
    auto* wizard = open<SelectiveWizard>(QStringLiteral("B_Chrome"));
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(takeMessages(), std::vector<std::string>{"Settings Files Not Found. Select Custom Profile."});
    EXPECT_EQ(wizard->ListBox1->count(), 0);

    const fs::path custom = tmp / "custom";
    writeFile(custom / "Bookmarks", "{ \"roots\": {} }\n");
    const fs::path saves = tmp / "saves";
    fs::create_directories(saves);
    wizard->DirectoryEdit1->setText(QString::fromStdString(custom.string()));
    choose(wizard->DirectoryEdit2, saves);
    clickNext(wizard);
    EXPECT_TRUE(takeErrors().empty());
    EXPECT_TRUE(wizard->Button1->isVisible());
    EXPECT_EQ(storedNames(saves / "ch_custom.dat"), std::vector<std::string>{"Bookmarks"});
}

}  // namespace
}  // namespace kelvora::test
