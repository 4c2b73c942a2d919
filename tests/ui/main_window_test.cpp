// The main window: its ribbon, every command's window, shortcuts and key tips, the looks and the
// settings file, the removal of "Update.exe", and the program's end.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/machine_panel.h"
#include "app/ribbon.h"
#include "app/tform1.h"
#include "core/machine_options.h"
#include "gui_support.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "ui/child_form.h"
#include "ui/directory_edit.h"
#include "ui/tfb_ie.h"
#include "ui/window_factory.h"

namespace kelvora::app {
namespace {

using test::isA;
using test::ShellRecorder;
using test::TempDir;

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeText(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ini_ = QString::fromStdString((dir_ / "kelvora.ini").string());
        form_ = std::make_unique<TForm1>(ini_);
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        baseline_ = QApplication::topLevelWidgets();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!baseline_.contains(w) && w != form_.get())
                delete w;
        }
        form_.reset();
        ui::applyStyle(ui::Style::Luna);
    }

    QList<QMdiSubWindow*> children() const { return form_->mdiArea()->subWindowList(); }
    // Top-level windows that appeared since the window was made.
    QWidgetList newTopLevels() const {
        QWidgetList found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!baseline_.contains(w) && w != form_.get() && w->isVisible() && !qobject_cast<QMenu*>(w))
                found << w;
        }
        return found;
    }
    // The person types into the main window (a box a wizard showed may have taken the focus).
    void activate() {
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }
    void pressAltAlone() {
        activate();
        QTest::keyPress(form_.get(), Qt::Key_Alt);
        QTest::keyRelease(form_.get(), Qt::Key_Alt);
    }

    TempDir dir_;
    QString ini_;
    ShellRecorder shell_;
    std::unique_ptr<TForm1> form_;
    QWidgetList baseline_;
};

TEST_F(MainWindowTest, LooksAsDesigned) {
    EXPECT_EQ(form_->windowTitle(), "Kelvora " KELVORA_PROJECT_VERSION);
    EXPECT_EQ(form_->size(), QSize(619, 703));
    EXPECT_EQ(form_->ribbon()->height(), 143);
    Ribbon* ribbon = form_->ribbon();
    const QStringList tabs = {"Backup",  "Restore",     "Full Backup", "Full Restore",
                              "Convert", "Preferences", "Help"};
    const QStringList tips = {"B", "R", "A", "E", "C", "P", "H"};
    ASSERT_EQ(ribbon->tabCount(), tabs.size());
    for (int i = 0; i < ribbon->tabCount(); ++i) {
        EXPECT_EQ(ribbon->tabCaption(i), tabs[i]);
        EXPECT_EQ(ribbon->tabKeyTip(i), tips[i]);
    }
    EXPECT_EQ(ribbon->currentTab(), 6) << "the Help tab shows first";
    ASSERT_FALSE(ribbon->groups(0).empty());
    EXPECT_EQ(ribbon->groups(0).front()->caption(), "Web Browser");
    EXPECT_EQ(ribbon->groups(0).front()->toolTip(), "Select web browser you want to backup");
    ASSERT_EQ(ribbon->groups(6).size(), 2u);
    EXPECT_EQ(ribbon->groups(6)[0]->caption(), "Software");
    EXPECT_EQ(ribbon->groups(6)[1]->caption(), "Web");

    // Screen tips: the caption without its mark as header, the hint below.
    const QString updates = form_->action("Updates")->toolTip();
    EXPECT_TRUE(updates.contains("<b>Check for Updates</b>")) << updates.toStdString();
    EXPECT_TRUE(updates.contains("Checks for new program version.")) << updates.toStdString();
    EXPECT_TRUE(form_->action("B_Flock")->toolTip().contains("<b>Flock</b>"));

    // Six large buttons with their captions on the Backup tab; "Updates" and "WWW" on Help.
    QStringList captions;
    for (QToolButton* b : ribbon->groups(0).front()->findChildren<QToolButton*>())
        captions << b->text().simplified();
    EXPECT_EQ(captions, QStringList({"Internet Explorer", "Firefox", "Chrome", "Opera", "Safari", "Flock"}));
    for (QToolButton* b : ribbon->groups(0).front()->findChildren<QToolButton*>()) {
        EXPECT_EQ(b->iconSize(), QSize(32, 32));
        EXPECT_FALSE(b->text().contains('&')) << "a button must not take Alt+letter";
    }

    // The application menu holds only "Exit".
    ASSERT_NE(ribbon->applicationMenu(), nullptr);
    ASSERT_EQ(ribbon->applicationMenu()->actions().size(), 1);
    EXPECT_EQ(ribbon->applicationMenu()->actions().front()->text(), "&Exit");
}

struct WindowCase {
    QString command;
    const char* windowClass;  // the window the command opens
    const char* frame;        // the frame it stands on (what a stand-in is made of)
    QString caption;
    bool child;
};

std::vector<WindowCase> windowCases() {
    std::vector<WindowCase> cases;
    const char* browsers[][2] = {{"InternetExplorer", "Internet Explorer"},
                                 {"Firefox", "Firefox"},
                                 {"Chrome", "Chrome"},
                                 {"Opera", "Opera"},
                                 {"Safari", "Safari"},
                                 {"Flock", "Flock"}};
    const struct {
        const char* prefix;
        const char* classPrefix;
        const char* frame;
        const char* verb;
    } tasks[] = {{"B_", "Tfb_", "Tfb_IE", "Backup"},
                 {"R_", "Tfr_", "Tfb_IE", "Restore"},
                 {"sB_", "Tffb_", "Tffb_IE", "Backup"},
                 {"sR_", "Tffr_", "Tffb_IE", "Restore"}};
    static std::vector<QByteArray> names;  // keeps the class names alive for the cases
    for (const auto& t : tasks) {
        for (const auto& b : browsers) {
            const QString id = QString::fromLatin1(b[0]);
            names.push_back(QByteArray(t.classPrefix) + (id == "InternetExplorer" ? "IE" : b[0]));
            cases.push_back(
                {QString::fromLatin1(t.prefix) + id, names.back().constData(), t.frame,
                 QStringLiteral("%1 %2 Web Browser").arg(QLatin1String(t.verb), QLatin1String(b[1])), true});
        }
    }
    cases.push_back({"c_Opera", "Tfc_Opera", "QWidget", "Convert Opera Profile", true});
    cases.push_back({"About", "Tf_About", "QDialog", "About Kelvora", false});
    return cases;
}

TEST_F(MainWindowTest, EveryWizardCommandOpensItsWindowAtTheTopLeft) {
    for (const WindowCase& c : windowCases()) {
        SCOPED_TRACE(c.command.toStdString());
        const qsizetype before = children().size();
        const QWidgetList topBefore = newTopLevels();
        form_->action(c.command)->trigger();
        QWidget* window = nullptr;
        if (c.child) {
            ASSERT_EQ(children().size(), before + 1);
            QMdiSubWindow* sub = children().last();
            EXPECT_EQ(sub->pos(), QPoint(0, 0));
            EXPECT_EQ(form_->mdiArea()->activeSubWindow(), sub);
            EXPECT_TRUE(sub->windowFlags() & Qt::FramelessWindowHint);
            window = sub->widget();
            EXPECT_EQ(window->size(), QSize(599, 531));
        } else {
            const QWidgetList now = newTopLevels();
            ASSERT_EQ(now.size(), topBefore.size() + 1);
            for (QWidget* w : now) {
                if (!topBefore.contains(w))
                    window = w;
            }
        }
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), c.caption);
        // Until a module brings the wizard, a frame of the right kind stands in for it.
        const bool standIn = window->property("kelvoraPlaceholder").toBool();
        if (standIn)
            EXPECT_TRUE(isA(window, c.frame)) << window->metaObject()->className();
        else
            EXPECT_TRUE(isA(window, c.windowClass)) << window->metaObject()->className();
        EXPECT_EQ(standIn, ui::WindowFactories::instance().find(c.command) == nullptr);
    }
    EXPECT_EQ(shell_.programEnds, 0);
}

TEST_F(MainWindowTest, UpdatesOpensTheRegisteredUpdateWindow) {
    // The real update window checks the network while it is made; a stand-in is registered here.
    auto& factories = ui::WindowFactories::instance();
    const auto* registered = factories.find("Updates");
    const std::optional<ui::WindowFactories::Entry> saved =
        registered ? std::optional(*registered) : std::nullopt;
    int made = 0;
    factories.add(
        "Updates",
        [&made] {
            ++made;
            auto* w = new QWidget;
            w->setWindowTitle("Web Update");
            return w;
        },
        ui::Placement::TopLevel);
    const qsizetype children_before = children().size();
    QTest::keyClick(form_.get(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(children().size(), children_before) << "the update window is not a child window";
    ASSERT_EQ(newTopLevels().size(), 1);
    EXPECT_EQ(newTopLevels().front()->windowTitle(), "Web Update");
    if (saved)
        factories.add("Updates", saved->make, saved->placement);
    else
        factories.remove("Updates");
}

TEST_F(MainWindowTest, WebCommandsHandTheirAddressToTheDesktop) {
    const struct {
        const char* command;
        const char* prefix;
        const char* suffix;
    } cases[] = {{"Contact", "mailto:", "@tolvane.example"},
                 {"Homepage", "http://", "/backup/"},
                 {"Donate", "http://", "/donate/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        shell_.opened.clear();
        form_->action(c.command)->trigger();
        ASSERT_EQ(shell_.opened.size(), 1);
        EXPECT_TRUE(shell_.opened[0].startsWith(c.prefix)) << shell_.opened[0].toStdString();
        EXPECT_TRUE(shell_.opened[0].endsWith(c.suffix)) << shell_.opened[0].toStdString();
    }
    EXPECT_TRUE(children().isEmpty());
}

TEST_F(MainWindowTest, ExitEndsTheProgram) {
    form_->action("Close")->trigger();
    EXPECT_EQ(shell_.programEnds, 1);
    QTest::keyClick(form_.get(), Qt::Key_F4, Qt::AltModifier);
    EXPECT_EQ(shell_.programEnds, 2);
}

// The caption of the window a key press opened, or what else happened.
QString lastOpened(TForm1& form, int childrenBefore) {
    const auto list = form.mdiArea()->subWindowList();
    if (list.size() == childrenBefore)
        return QStringLiteral("(nothing)");
    QWidget* w = list.last()->widget();
    return QString::fromLatin1(w->metaObject()->className()).section("::", -1) + ": " + w->windowTitle();
}

TEST_F(MainWindowTest, ShortcutsReachTheirCommands) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* opens;  // caption of the window
        const char* frame;
    } cases[] = {
        {Qt::Key_I, Qt::ControlModifier, "Backup Internet Explorer Web Browser", "Tfb_IE"},
        {Qt::Key_F, Qt::ControlModifier, "Backup Firefox Web Browser", "SelectiveFrame"},
        {Qt::Key_L, Qt::ControlModifier, "Backup Flock Web Browser", "SelectiveFrame"},
        {Qt::Key_C, Qt::ControlModifier, "Backup Chrome Web Browser", "SelectiveFrame"},
        {Qt::Key_F, Qt::AltModifier, "Restore Firefox Web Browser", "SelectiveFrame"},
        {Qt::Key_L, Qt::AltModifier, "Restore Flock Web Browser", "SelectiveFrame"},
        {Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, "Backup Safari Web Browser", "Tffb_IE"},
        {Qt::Key_O, Qt::ShiftModifier | Qt::AltModifier, "Restore Opera Web Browser", "Tffb_IE"},
        {Qt::Key_L, Qt::ShiftModifier | Qt::AltModifier, "Restore Flock Web Browser", "Tffb_IE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opens);
        const int before = static_cast<int>(children().size());
        activate();
        QTest::keyClick(form_.get(), c.key, c.modifiers);
        ASSERT_EQ(children().size(), before + 1) << lastOpened(*form_, before).toStdString();
        QWidget* w = children().last()->widget();
        EXPECT_EQ(w->windowTitle(), c.opens);
        EXPECT_TRUE(isA(w, c.frame));
    }
}

TEST_F(MainWindowTest, KeyTipsWorkAsInARibbon) {
    Ribbon* ribbon = form_->ribbon();
    const struct {
        const char* keys;   // letters typed after Alt was pressed and released
        const char* opens;  // caption of the opened child window, or "" for none
        int tab;            // the tab shown afterwards
    } cases[] = {
        {"BF", "Backup Firefox Web Browser", 0},  // Firefox and Flock share "F" here: the first wins
        {"BI", "Backup Internet Explorer Web Browser", 0},
        {"RL", "Restore Flock Web Browser", 1},
        {"AL", "Backup Flock Web Browser", 2},
        {"EC", "Restore Chrome Web Browser", 3},
        {"RE", "Restore Edge Web Browser", 1},  // the "More browsers" group
        {"AP", "Backup Opera (Chromium) Web Browser", 2},
        {"CO", "Convert Opera Profile", 4},
        {"BX", "", 0},  // no such command: the key tips stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        ribbon->hideKeyTips();
        const qsizetype before = children().size();
        pressAltAlone();
        ASSERT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Tabs);
        EXPECT_TRUE(ribbon->visibleKeyTips().contains("B"));
        for (const char* k = c.keys; *k; ++k)
            QTest::keyClick(form_.get(), static_cast<Qt::Key>(*k));
        EXPECT_EQ(ribbon->currentTab(), c.tab);
        if (*c.opens) {
            ASSERT_EQ(children().size(), before + 1);
            EXPECT_EQ(children().last()->widget()->windowTitle(), c.opens);
            EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Off);
        } else {
            EXPECT_EQ(children().size(), before);
            EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Commands);
        }
    }

    // On the Backup tab Flock shows "F" like Firefox; on the others it shows "L". The Restore tab
    // ends with "Undo last restore".
    ribbon->setCurrentTab(0);
    ribbon->showCommandKeyTips();
    EXPECT_EQ(ribbon->visibleKeyTips(), QStringList({"I", "F", "C", "O", "S", "F", "E", "B", "V", "M", "P"}));
    ribbon->setCurrentTab(1);
    ribbon->showCommandKeyTips();
    EXPECT_EQ(ribbon->visibleKeyTips(),
              QStringList({"I", "F", "C", "O", "S", "L", "E", "B", "V", "M", "P", "U"}));

    // Esc steps back a level, then leaves; Alt alone also leaves.
    ribbon->hideKeyTips();
    pressAltAlone();
    QTest::keyClick(form_.get(), Qt::Key_H);
    EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Commands);
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Tabs);
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Off);
    pressAltAlone();
    pressAltAlone();
    EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Off);

    // Alt with a letter is a shortcut, not a key tip.
    const qsizetype before = children().size();
    activate();
    QTest::keyClick(form_.get(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(ribbon->keyTipLevel(), Ribbon::KeyTipLevel::Off);
    ASSERT_EQ(children().size(), before + 1);
    EXPECT_EQ(children().last()->widget()->windowTitle(), "Restore Chrome Web Browser");

    // "F" opens the application menu; Help, "A" opens About.
    pressAltAlone();
    QTest::keyClick(form_.get(), Qt::Key_F);
    EXPECT_TRUE(ribbon->applicationMenu()->isVisible());
    ribbon->applicationMenu()->hide();
    pressAltAlone();
    QTest::keyClick(form_.get(), Qt::Key_H);
    QTest::keyClick(form_.get(), Qt::Key_A);
    ASSERT_EQ(newTopLevels().size(), 1);
    EXPECT_EQ(newTopLevels().front()->windowTitle(), "About Kelvora");
}

TEST_F(MainWindowTest, StyleCommandsSwitchAtOnceAndAreStored) {
    const struct {
        const char* command;
        ui::Style style;
    } cases[] = {{"Obsidian", ui::Style::Obsidian}, {"Silver", ui::Style::Silver}, {"Luna", ui::Style::Luna}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        form_->action(c.command)->trigger();
        EXPECT_EQ(form_->ribbonStyle(), c.style);
        EXPECT_EQ(ui::currentStyle(), c.style);
        EXPECT_TRUE(form_->action(c.command)->isChecked());
        EXPECT_EQ(Settings(ini_).layout(), c.command);
        EXPECT_TRUE(readText(ini_).contains(QStringLiteral("Layout=%1").arg(c.command)))
            << readText(ini_).toStdString();

        // A new window reading the same file shows the stored look.
        TForm1 next(ini_);
        next.FormActivate();
        EXPECT_EQ(next.ribbonStyle(), c.style);
    }
}

TEST_F(MainWindowTest, ActivationReadsTheLayoutExactly) {
    const struct {
        const char* file;  // contents of the settings file; nullptr: no file
        ui::Style expected;
    } cases[] = {
        {"[Preferences]\nLayout=Obsidian\n", ui::Style::Obsidian},
        {"[Preferences]\nLayout=Silver\n", ui::Style::Silver},
        {"[Preferences]\nLayout=obsidian\n", ui::Style::Silver},  // letter case counts: unchanged
        {"[Preferences]\nLayout=Luna\n", ui::Style::Luna},
        {"[Preferences]\nLayout=SILVER\n", ui::Style::Luna},
        {"[Preferences]\nLayout=\n", ui::Style::Luna},
        {"[Other]\nLayout=Obsidian\n", ui::Style::Luna},
        {nullptr, ui::Style::Luna},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        QFile::remove(ini_);
        if (c.file)
            writeText(ini_, QString::fromLatin1(c.file));
        form_->FormActivate();
        EXPECT_EQ(form_->ribbonStyle(), c.expected);
    }
}

TEST_F(MainWindowTest, AFailedSettingsWriteStillSwitchesTheLook) {
    const QString unwritable = QString::fromStdString((dir_ / "missing-folder/file/kelvora.ini").string());
    writeText(QString::fromStdString((dir_ / "missing-folder").string()), "a file where a folder is wanted");
    TForm1 form(unwritable);
    form.action("Obsidian")->trigger();
    EXPECT_EQ(form.ribbonStyle(), ui::Style::Obsidian);
    EXPECT_FALSE(QFile::exists(unwritable));
}

// A program run from its own folder keeps its settings beside itself; an installed one, whose folder
// the user can't write, in the user's settings folder.
TEST_F(MainWindowTest, TheSettingsFileIsBesideTheProgramOnlyWhereItCanBeKept) {
    const auto path = [&](const char* relative) {
        return QString::fromStdString((dir_ / relative).string());
    };
    ASSERT_TRUE(QDir().mkpath(path("portable")) && QDir().mkpath(path("own")));
    writeText(path("installed"), "a file where a folder is wanted: nobody can write in it");
    writeText(path("own/kelvora.ini"), "[Preferences]\nLayout=Silver\n");
    const QString user = path("config");
    struct Case {
        const char* what;
        QString beside, userFolder, expected;
    };
    const Case cases[] = {
        {"a folder that can be written", path("portable/kelvora.ini"), user, path("portable/kelvora.ini")},
        {"a file already there", path("own/kelvora.ini"), user, path("own/kelvora.ini")},
        {"a folder nobody can write", path("installed/kelvora.ini"), user, user + "/kelvora.ini"},
        {"and no settings folder", path("installed/kelvora.ini"), QString(), path("installed/kelvora.ini")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Settings::choosePath(c.beside, c.userFolder).toStdString(), c.expected.toStdString());
    }
    // The settings folder is made when the file is first written.
    EXPECT_TRUE(Settings(user + "/kelvora.ini").setLayout(QStringLiteral("Obsidian")));
    EXPECT_EQ(Settings(user + "/kelvora.ini").layout(), QStringLiteral("Obsidian"));
}

TEST_F(MainWindowTest, ActivationDeletesUpdateExeInKelvorasDownloadFolder) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir_.path().string())));
#ifndef _WIN32
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((dir_ / "cache").string()));
#endif
    const QString downloads =
        QString::fromStdString(platform::nativePath(platform::downloadFolder()).string());
    ASSERT_FALSE(downloads.isEmpty());
    writeText(downloads + "/Update.exe", "old setup");
    writeText("Update.exe", "the person's own program");  // the current folder is not Kelvora's
    writeText(ini_, "[Preferences]\nLayout=Silver\n");

    // Another program was active, then this window is again.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    EXPECT_FALSE(QFile::exists(downloads + "/Update.exe"));
    EXPECT_EQ(readText("Update.exe"), "the person's own program");
    EXPECT_EQ(form_->ribbonStyle(), ui::Style::Silver);

    form_->FormActivate();  // nothing to delete: no complaint
    EXPECT_EQ(shell_.modalBoxesClosed, 0);
    QDir::setCurrent(previous);
#ifndef _WIN32
    if (cache.isNull())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", cache);
#endif
}

TEST_F(MainWindowTest, TwoWindowsOfOneCommandAreIndependent) {
    auto& factories = ui::WindowFactories::instance();
    const auto* registered = factories.find("B_InternetExplorer");
    ASSERT_NE(registered, nullptr);
    form_->action("B_InternetExplorer")->trigger();
    form_->action("B_InternetExplorer")->trigger();
    ASSERT_EQ(children().size(), 2);
    auto* first = qobject_cast<ui::Tfb_IE*>(children()[0]->widget());
    auto* second = qobject_cast<ui::Tfb_IE*>(children()[1]->widget());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(children()[0]->pos(), children()[1]->pos());
    EXPECT_EQ(form_->mdiArea()->activeSubWindow(), children()[1]) << "the later one covers the earlier";

    first->Button6Click();
    first->DirectoryEdit2->setText("/tmp/one");
    EXPECT_TRUE(second->tickBox("CheckBox1")->isChecked());
    EXPECT_EQ(second->DirectoryEdit2->text(), "Backup location:");

    form_->mdiArea()->setActiveSubWindow(children()[0]);
    activate();
    QTest::keyClick(form_.get(), Qt::Key_F4, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(children().size(), 1);
    EXPECT_EQ(children()[0]->widget(), second);
    EXPECT_EQ(shell_.programEnds, 0) << "closing a child window frees only that window";
}

// A child window that counts its activations.
class CountingForm : public ui::ChildForm {
  public:
    int activations = 0;
    void FormActivate() override { ++activations; }
};

TEST_F(MainWindowTest, ChildWindowsActivateEachTimeTheyBecomeActive) {
    auto* a = new CountingForm;
    auto* b = new CountingForm;
    QMdiSubWindow* subA = form_->addChildWindow(a);
    EXPECT_EQ(a->activations, 1);
    QMdiSubWindow* subB = form_->addChildWindow(b);
    EXPECT_EQ(b->activations, 1);
    form_->mdiArea()->setActiveSubWindow(subA);
    form_->mdiArea()->setActiveSubWindow(subB);
    form_->mdiArea()->setActiveSubWindow(subA);
    EXPECT_EQ(a->activations, 3);
    EXPECT_EQ(b->activations, 2);

    // Another program in between is no activation of the child window.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    EXPECT_EQ(a->activations, 3);

    // Closing the active window activates the other one.
    subA->close();
    EXPECT_EQ(b->activations, 3);
}

TEST_F(MainWindowTest, ClosingOrSteppingGoesBackToTheWindowUsedBefore) {
    // Three windows made in the order a, b, c; then used in the order a, c, b.
    std::vector<QMdiSubWindow*> subs;
    for (int i = 0; i < 3; ++i)
        subs.push_back(form_->addChildWindow(new CountingForm));
    QMdiSubWindow* a = subs[0];
    QMdiSubWindow* b = subs[1];
    QMdiSubWindow* c = subs[2];
    for (QMdiSubWindow* used : {a, c, b})
        form_->mdiArea()->setActiveSubWindow(used);

    // The next window is the one used before the active one, whatever the order they were made in.
    form_->mdiArea()->activatePreviousSubWindow();
    EXPECT_EQ(form_->mdiArea()->activeSubWindow(), c);
    form_->mdiArea()->setActiveSubWindow(b);

    // Ctrl+F4 closes b and goes back to c, then a.
    for (QMdiSubWindow* expected : {c, a}) {
        activate();
        QTest::keyClick(form_.get(), Qt::Key_F4, Qt::ControlModifier);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(form_->mdiArea()->activeSubWindow(), expected);
    }
}

}  // namespace
}  // namespace kelvora::app

namespace kelvora::app {
namespace {

TEST_F(MainWindowTest, MachineGroupChoosesTheWindowsFolderAndStoresIt) {
    if (!platform::usesMachineFolder())
        GTEST_SKIP() << "Windows is its own machine";
    const platform::MachineOptions previous = platform::currentMachine();
    for (const char* folder : {"Users/ann", "Users/bob", "Users/Public", "Users/Default"})
        std::filesystem::create_directories(dir_ / "win" / folder);
    MachinePanel* panel = form_->machinePanel();
    ASSERT_NE(panel, nullptr);

    shell_.folderAnswer = QString::fromStdString((dir_ / "win").string());
    panel->FolderButton->click();
    EXPECT_EQ(shell_.folderRequests, 1);
    EXPECT_EQ(platform::currentMachine().root, (dir_ / "win").string());
    EXPECT_EQ(platform::currentMachine().user, "ann");
    QStringList users;
    for (int i = 0; i < panel->UserBox->count(); ++i)
        users << panel->UserBox->itemText(i);
    EXPECT_EQ(users, QStringList({"ann", "bob"})) << "the system's own profiles are left out";

    panel->UserBox->setCurrentIndex(1);
    panel->VersionBox->setCurrentIndex(panel->VersionBox->findData("5"));
    EXPECT_EQ(platform::currentMachine().user, "bob");
    EXPECT_EQ(platform::currentMachine().windowsVersion, "5");

    // Stored beside the look, and taken up by the next start.
    const auto stored = Settings(ini_).machine();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->root, (dir_ / "win").string());
    EXPECT_EQ(stored->user, "bob");
    EXPECT_EQ(stored->windowsVersion, "5");
    platform::setMachine({});
    TForm1 next(ini_);
    EXPECT_EQ(platform::currentMachine().user, "bob");
    platform::setMachine(previous);
}

// "This computer": the browsers of the user's home folder. The wizards of browsers that never ran
// there are disabled and say why; choosing a Windows folder again enables them.
TEST_F(MainWindowTest, ThisComputerOffersOnlyItsOwnBrowsers) {
    if (!platform::usesMachineFolder())
        GTEST_SKIP() << "Windows is its own machine";
    const platform::MachineOptions previous = platform::currentMachine();
    MachinePanel* panel = form_->machinePanel();
    ASSERT_NE(panel, nullptr);
    // Internet Explorer's button on a tab made before the change, and on one made after it.
    const auto ieButton = [this](int tab) {
        return form_->ribbon()->groups(tab).front()->findChildren<QToolButton*>().value(0);
    };
    QToolButton* madeBefore = ieButton(0);
    ASSERT_NE(madeBefore, nullptr);
    panel->LocalButton->click();
    EXPECT_TRUE(platform::onThisComputer());
    for (QToolButton* button : {madeBefore, ieButton(1)}) {
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->isEnabled());
        EXPECT_TRUE(button->toolTip().contains("does not exist on this computer"))
            << button->toolTip().toStdString();
    }
    EXPECT_EQ(panel->FolderLabel->text(), QStringLiteral("This computer"));
    EXPECT_FALSE(panel->UserBox->isEnabled());
    for (const char* name : {"B_InternetExplorer", "R_Safari", "sB_Flock", "sR_Opera"}) {
        EXPECT_FALSE(form_->action(QString::fromLatin1(name))->isEnabled()) << name;
        EXPECT_TRUE(
            form_->action(QString::fromLatin1(name))->toolTip().contains("does not exist on this computer"))
            << name;
    }
    for (const char* name : {"B_Firefox", "R_Chrome", "sB_Edge", "B_OperaChromium"})
        EXPECT_TRUE(form_->action(QString::fromLatin1(name))->isEnabled()) << name;
    EXPECT_EQ(Settings(ini_).machine()->root, platform::kThisComputer);
    form_->ribbon()->setCurrentTab(5);
    test::saveScreenshot(form_.get(), QStringLiteral("main_this_computer"));

    for (const char* folder : {"Users/ann"})
        std::filesystem::create_directories(dir_ / "win" / folder);
    shell_.folderAnswer = QString::fromStdString((dir_ / "win").string());
    panel->FolderButton->click();
    EXPECT_FALSE(platform::onThisComputer());
    EXPECT_TRUE(form_->action(QStringLiteral("B_InternetExplorer"))->isEnabled());
    platform::setMachine(previous);
}

}  // namespace
}  // namespace kelvora::app

namespace kelvora::app {
namespace {

// Sets (or, with nullopt, removes) an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : name_(name), saved_(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        set(value);
    }
    ~ScopedEnv() { set(saved_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const std::optional<QByteArray>& value) {
        if (value)
            qputenv(name_, *value);
        else
            qunsetenv(name_);
    }
    const char* name_;
    std::optional<QByteArray> saved_;
};

TEST_F(MainWindowTest, CommandLineAndEnvironmentNameTheMachineAsForTheCli) {
    if (!platform::usesMachineFolder())
        GTEST_SKIP() << "Windows is its own machine";
    const platform::MachineOptions previous = platform::currentMachine();
    const ScopedEnv root("KELVORA_ROOT", std::nullopt);
    const ScopedEnv user("KELVORA_USER", std::nullopt);
    const std::string stored = (dir_ / "stored").string();
    const std::string given = (dir_ / "given").string();
    std::filesystem::create_directories(dir_ / "stored/Documents and Settings/sam");
    for (const char* folder : {"given/Users/ann", "given/Users/bob"})
        std::filesystem::create_directories(dir_ / folder);

    struct Case {
        const char* what;
        std::vector<std::string> args;           // the program's command line
        std::optional<QByteArray> versionInEnv;  // KELVORA_WINDOWS_VERSION
        std::string root, user, version;         // the machine in use; an empty user is not checked
        QString versionShown;
    };
    const std::vector<Case> cases = {
        {"the stored machine", {}, std::nullopt, stored, "sam", "5", "Windows 2000 or XP"},
        {"options win over the stored machine",
         {"--root", given, "--user", "bob"},
         std::nullopt,
         given,
         "bob",
         "6",
         "Detect from the folder"},
        {"a version forced by the option",
         {"-style", "fusion", "--root=" + given, "--windows-version", "5"},
         std::nullopt,
         given,
         "",
         "5",
         "Windows 2000 or XP (forced)"},
        {"a version forced by the environment", {}, "6", stored, "sam", "6", "Windows Vista or 7 (forced)"},
        {"the option wins over the environment",
         {"--windows-version", "5"},
         "6",
         stored,
         "sam",
         "5",
         "Windows 2000 or XP (forced)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Settings(ini_).setMachine({stored, "sam", "5", {}});
        const ScopedEnv version("KELVORA_WINDOWS_VERSION", c.versionInEnv);
        std::string error;
        const auto options = MachineOptionsFromArguments(c.args, error);
        ASSERT_TRUE(options.has_value()) << error;
        platform::setMachine({});
        TForm1 next(ini_, *options);

        const platform::MachineOptions machine = platform::currentMachine();
        EXPECT_EQ(machine.root, c.root);
        if (!c.user.empty()) {
            EXPECT_EQ(machine.user, c.user);
        }
        EXPECT_EQ(machine.windowsVersion, c.version);
        MachinePanel* panel = next.machinePanel();
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->FolderLabel->toolTip().toStdString(), c.root);
        EXPECT_EQ(panel->VersionBox->currentText(), c.versionShown);
        const bool forced = c.versionShown.endsWith("(forced)");
        EXPECT_EQ(panel->VersionBox->isEnabled(), !forced);
        if (forced) {
            EXPECT_EQ(panel->VersionBox->count(), 1) << "nothing else to choose";
            // Another folder chosen in the window keeps the forced version; the settings file keeps
            // the person's own choice.
            shell_.folderAnswer = QString::fromStdString(given);
            panel->FolderButton->click();
            EXPECT_EQ(platform::currentMachine().root, given);
            EXPECT_EQ(platform::currentMachine().windowsVersion, c.version);
            EXPECT_EQ(panel->VersionBox->currentText(), c.versionShown);
            ASSERT_TRUE(Settings(ini_).machine().has_value());
            EXPECT_EQ(Settings(ini_).machine()->root, given);
            EXPECT_EQ(Settings(ini_).machine()->windowsVersion, "5");
        }
    }
    platform::setMachine(previous);
}

TEST_F(MainWindowTest, FirstStartWithoutAMachineOffersTheSampleMachine) {
    if (!platform::usesMachineFolder())
        GTEST_SKIP() << "Windows is its own machine";
    const platform::MachineOptions previous = platform::currentMachine();
    const QByteArray home = qgetenv("HOME");
    const QByteArray root = qgetenv("KELVORA_ROOT");
    qputenv("HOME", QByteArray::fromStdString(dir_.path().string()));  // no ~/.wine here
    qunsetenv("KELVORA_ROOT");
    platform::setMachine({});
    ASSERT_TRUE(platform::onThisComputer()) << "no Windows folder anywhere: this computer";

    form_->offerSampleMachine();
    EXPECT_EQ(shell_.modalBoxesClosed, 1) << "the offer is made";
    EXPECT_FALSE(Settings(ini_).machine().has_value()) << "declined: nothing stored";

    std::filesystem::create_directories(dir_ / "win/Users/ann");
    Settings(ini_).setMachine({(dir_ / "win").string(), "ann", "", {}});
    form_->offerSampleMachine();
    EXPECT_EQ(shell_.modalBoxesClosed, 1) << "a stored machine: no offer";

    qputenv("HOME", home);
    if (!root.isEmpty())
        qputenv("KELVORA_ROOT", root);
    platform::setMachine(previous);
}

}  // namespace
}  // namespace kelvora::app
