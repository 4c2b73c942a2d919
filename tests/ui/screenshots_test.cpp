// Pictures of the windows for a person to look at: the main window in each look, the frames, the
// welcome, About and progress windows. Each test also checks that the picture has content.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QTest>
#include <filesystem>
#include <set>

#include "app/commands.h"
#include "app/ribbon.h"
#include "app/tform1.h"
#include "gui_support.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "ui/directory_edit.h"
#include "ui/radio_list.h"
#include "ui/tf_about.h"
#include "ui/tf_pbar.h"
#include "ui/tfb_ie.h"
#include "ui/tffb_ie.h"
#include "ui/tfstart.h"

namespace kelvora::ui {
namespace {

using test::saveScreenshot;

// A picture with a handful of distinct colours is drawn; one with a single colour is not.
int distinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    }
    return static_cast<int>(colours.size());
}

TEST(ScreenshotTest, ApplicationFontResolves) {
    EXPECT_FALSE(QFontDatabase::families().isEmpty()) << "no font installed: every glyph would be a box";
    const QFontInfo info(controlFont());
    EXPECT_FALSE(info.family().isEmpty());
    EXPECT_GT(QFontMetrics(controlFont()).horizontalAdvance("Backup location:"), 40);
}

TEST(ScreenshotTest, MainWindowInEachLook) {
    test::ShellRecorder shell;
    test::TempDir dir;
    app::TForm1 form(QString::fromStdString((dir / "kelvora.ini").string()));
    form.show();
    form.addChildWindow(new TFStart);
    for (const char* look : {"Luna", "Obsidian", "Silver"}) {
        SCOPED_TRACE(look);
        form.action(look)->trigger();
        const QString path =
            saveScreenshot(&form, QStringLiteral("main_%1").arg(QString::fromLatin1(look).toLower()));
        EXPECT_GT(distinctColours(QImage(path)), 50);
    }
    form.action("Luna")->trigger();
    form.ribbon()->setCurrentTab(0);
    form.action("B_InternetExplorer")->trigger();
    saveScreenshot(&form, QStringLiteral("main_wizard"));
    form.ribbon()->showTabKeyTips();
    saveScreenshot(&form, QStringLiteral("main_keytips_tabs"));
    form.ribbon()->pressKeyTip("B");
    saveScreenshot(&form, QStringLiteral("main_keytips_backup"));
    form.ribbon()->hideKeyTips();
    form.ribbon()->setCurrentTab(1);
    saveScreenshot(&form, QStringLiteral("main_restore"));
    form.ribbon()->setCurrentTab(5);
    saveScreenshot(&form, QStringLiteral("main_preferences"));
}

TEST(ScreenshotTest, MachineGroupWithAForcedVersion) {
    if (!platform::usesMachineFolder())
        GTEST_SKIP() << "Windows is its own machine";
    test::ShellRecorder shell;
    test::TempDir dir;
    std::filesystem::create_directories(dir / "win/Users/ann");
    const platform::MachineOptions previous = platform::currentMachine();
    app::TForm1 form(QString::fromStdString((dir / "kelvora.ini").string()),
                     {(dir / "win").string(), "ann", "6", {}});
    form.show();
    form.ribbon()->setCurrentTab(5);
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&form, QStringLiteral("main_preferences_forced")))), 50);
    platform::setMachine(previous);
}

TEST(ScreenshotTest, EveryCommandsChildWindow) {
    test::ShellRecorder shell;
    test::TempDir dir;
    app::TForm1 form(QString::fromStdString((dir / "kelvora.ini").string()));
    form.show();
    for (const app::Command& c : app::commandTable()) {
        if (c.kind != app::CommandKind::SelectiveWizard && c.kind != app::CommandKind::FullWizard &&
            c.kind != app::CommandKind::ConversionWizard)
            continue;
        SCOPED_TRACE(c.name.toStdString());
        form.action(c.name)->trigger();
        QMdiSubWindow* sub = form.mdiArea()->activeSubWindow();
        ASSERT_NE(sub, nullptr);
        EXPECT_GT(distinctColours(QImage(saveScreenshot(sub->widget(), QStringLiteral("window_") + c.name))),
                  30);
        sub->close();
    }
}

TEST(ScreenshotTest, Frames) {
    Tfb_IE selective;
    selective.FormActivate();
    selective.ListBox1->clear();
    selective.ListBox1->addItems({"abcd1234.default", "efgh5678.work"});
    selective.ListBox1->setCurrentRow(0);
    selective.DirectoryEdit1->show();
    selective.show();
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&selective, "frame_selective"))), 50);

    Tffb_IE full;
    full.FormActivate();
    full.ProgressBar1->setValue(40);
    full.show();
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&full, "frame_full"))), 30);

    TFStart welcome;
    welcome.show();
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&welcome, "welcome"))), 50);

    Tf_About about;
    about.show();
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&about, "about"))), 30);

    Tf_pBar bar;
    bar.show();
    bar.StepBy(60);
    EXPECT_GT(distinctColours(QImage(saveScreenshot(&bar, "progress"))), 3);
}

}  // namespace
}  // namespace kelvora::ui
