// The wizard frames, the radio-style lists, the progress window, the welcome and About windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "gui_support.h"
#include "ui/directory_edit.h"
#include "ui/radio_list.h"
#include "ui/tf_about.h"
#include "ui/tf_pbar.h"
#include "ui/tfb_ie.h"
#include "ui/tffb_ie.h"
#include "ui/tfstart.h"

namespace kelvora::ui {
namespace {

using test::ShellRecorder;

TEST(FrameTest, SelectiveFrameHasItsControlsInPlace) {
    Tfb_IE w;
    EXPECT_EQ(w.size(), QSize(599, 531));
    EXPECT_EQ(w.Label18->text(), "Backup the following:");
    EXPECT_EQ(w.Label18->pos(), QPoint(33, 80));
    EXPECT_EQ(w.Label2->text(), "Backup location:");
    EXPECT_EQ(w.Label3->text(), "Profile:");
    EXPECT_EQ(w.DirectoryEdit2->text(), "Backup location:");
    EXPECT_EQ(w.DirectoryEdit2->geometry().topLeft(), QPoint(39, 336));
    EXPECT_EQ(w.DirectoryEdit1->text(), "Custom profile location (optional):");
    EXPECT_TRUE(w.DirectoryEdit1->isHidden()) << "not in the Internet Explorer wizard";
    EXPECT_EQ(w.ListBox1->geometry(), QRect(39, 397, 283, 46));
    EXPECT_EQ(w.Button2->text(), "Next >");
    EXPECT_EQ(w.Button2->geometry(), QRect(395, 494, 98, 25));
    EXPECT_EQ(w.Button3->text(), "Cancel");
    EXPECT_EQ(w.Button1->text(), "Finish");
    EXPECT_EQ(w.Button1->geometry(), w.Button2->geometry());
    EXPECT_TRUE(w.Button1->font().bold());
    EXPECT_TRUE(w.backupLocationMissing());
    w.DirectoryEdit2->setText("/backups");
    EXPECT_FALSE(w.backupLocationMissing());

    w.Button1->show();
    w.FormActivate();
    EXPECT_EQ(w.Label1->text(), "Welcome to Internet Explorer Backup Wizard");
    EXPECT_TRUE(w.Button1->isHidden()) << "\"Finish\" hides at every activation";
}

TEST(FrameTest, TickBoxesSitOnTheGrid) {
    Tfb_IE w;
    const struct {
        const char* name;
        int column, row;
        QPoint at;
    } cases[] = {{"CheckBox1", 0, 0, {39, 109}},
                 {"CheckBox7", 0, 6, {39, 247}},
                 {"CheckBox8", 1, 0, {221, 109}},
                 {"CheckBox20", 2, 3, {413, 178}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QCheckBox* box = w.placeTickBox(c.name, c.column, c.row, "Item");
        EXPECT_EQ(box->geometry().topLeft(), c.at);
        EXPECT_EQ(box->height(), 17);
        EXPECT_EQ(w.tickBox(c.name), box);
    }
    // Placing an existing box moves and recaptions it; no second box appears.
    const auto count = w.tickBoxes().size();
    QCheckBox* moved = w.placeTickBox("CheckBox1", 2, 6, "Bookmarks", false);
    EXPECT_EQ(w.tickBoxes().size(), count);
    EXPECT_EQ(moved->text(), "Bookmarks");
    EXPECT_EQ(moved->geometry().topLeft(), QPoint(413, 247));
    EXPECT_FALSE(moved->isChecked());
    EXPECT_EQ(w.tickBox("CheckBox99"), nullptr);
}

TEST(FrameTest, SelectAllAndDeselectLeaveCheckBox3Alone) {
    Tfb_IE w;
    QCheckBox* dialup = w.tickBox("CheckBox3");
    ASSERT_NE(dialup, nullptr);
    EXPECT_FALSE(dialup->isChecked());
    EXPECT_FALSE(dialup->isEnabled());
    QTest::mouseClick(w.Button6, Qt::LeftButton);
    for (QCheckBox* box : w.tickBoxes())
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    dialup->setChecked(true);
    QTest::mouseClick(w.Button6, Qt::LeftButton);
    EXPECT_TRUE(dialup->isChecked());
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    for (QCheckBox* box : w.tickBoxes())
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    dialup->setChecked(false);
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    EXPECT_FALSE(dialup->isChecked());
}

TEST(FrameTest, FullFrameHasItsControlsInPlace) {
    Tffb_IE w;
    EXPECT_EQ(w.Label18->text(), "Backup location:");
    EXPECT_EQ(w.DirectoryEdit2->text(), "Backup location:");
    EXPECT_EQ(w.DirectoryEdit2->pos(), QPoint(39, 106));
    EXPECT_EQ(w.Label3->text(), "Progress:");
    EXPECT_EQ(w.ProgressBar1->geometry(), QRect(39, 167, 522, 17));
    EXPECT_EQ(w.ProgressBar1->maximum(), 100);
    EXPECT_TRUE(w.Button1->isHidden());
    w.FormActivate();
    EXPECT_EQ(w.Label1->text(), "Welcome to Internet Explorer Full Backup Wizard");
}

TEST(FrameTest, FinishAndCancelEndTheWholeProgram) {
    ShellRecorder shell;
    Tfb_IE selective;
    Tffb_IE full;
    TFStart welcome;
    selective.Button1->show();
    full.Button1->show();
    const struct {
        const char* name;
        QPushButton* button;
    } cases[] = {{"selective Finish", selective.Button1},
                 {"selective Cancel", selective.Button3},
                 {"full Finish", full.Button1},
                 {"full Cancel", full.Button3},
                 {"welcome Cancel", welcome.Button1}};
    int ends = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(shell.programEnds, ++ends);
    }
}

TEST(FrameTest, BrowseButtonPutsTheChosenFolderIntoTheField) {
    ShellRecorder shell;
    Tfb_IE w;
    int changes = 0;
    QObject::connect(w.DirectoryEdit2, &QLineEdit::textChanged, [&] { ++changes; });
    shell.folderAnswer = "/home/ann/backups";
    w.DirectoryEdit2->browseAction()->trigger();
    EXPECT_EQ(shell.folderRequests, 1);
    EXPECT_EQ(w.DirectoryEdit2->text(), "/home/ann/backups");
    EXPECT_EQ(changes, 1);
    shell.folderAnswer.clear();  // cancelled: the field keeps its text
    w.DirectoryEdit2->browse();
    EXPECT_EQ(w.DirectoryEdit2->text(), "/home/ann/backups");
}

// The colour at the centre of item `row`'s radio glyph.
QColor glyphCentre(const QImage& image, int row) {
    return image.pixelColor(1 + 6, row * RadioList::kItemHeight + RadioList::kItemHeight / 2);
}

TEST(FrameTest, RadioListShowsTheSelectedItemsButtonSet) {
    Tfb_IE w;
    w.ListBox1->clear();
    w.ListBox1->addItems({"abcd1234.default", "efgh5678.work"});
    w.ListBox1->setCurrentRow(1);
    w.show();
    const QImage image = w.ListBox1->viewport()->grab().toImage();
    const QColor first = glyphCentre(image, 0);
    const QColor second = glyphCentre(image, 1);
    EXPECT_GT(first.lightness(), 200) << "clear button";
    EXPECT_LT(second.lightness(), 160) << "set button";
    EXPECT_EQ(image.pixelColor(image.width() - 3, 5), QColor(Qt::white)) << "white background";

    w.ListBox1->clear();
    const QImage empty = w.ListBox1->viewport()->grab().toImage();
    EXPECT_GT(glyphCentre(empty, 0).lightness(), 250) << "an empty list shows nothing";
}

TEST(FrameTest, ListClickReachesTheHandler) {
    struct Counting : Tfb_IE {
        int clicks = 0;
        void ListBox1Click() override { ++clicks; }
    } w;
    w.ListBox1->clear();
    w.ListBox1->addItems({"one", "two"});
    w.show();
    const QRect second = w.ListBox1->visualItemRect(w.ListBox1->item(1));
    QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(w.clicks, 1);
    EXPECT_EQ(w.ListBox1->currentRow(), 1);
    w.ListBox1->setCurrentRow(0);  // by code: no click
    EXPECT_EQ(w.clicks, 1);
}

TEST(ProgressWindowTest, StartsAtZeroEachTimeItShowsAndStopsAt100) {
    Tf_pBar bar;
    EXPECT_EQ(bar.size(), QSize(151, 18));
    EXPECT_TRUE(bar.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(bar.isVisible());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        bar.show();
        EXPECT_EQ(bar.Position(), 0);
        bar.StepBy(5);
        bar.StepBy(90);
        EXPECT_EQ(bar.Position(), 95);
        bar.StepBy(9);
        EXPECT_EQ(bar.Position(), 100);
        bar.hide();
    }
}

TEST(WelcomeWindowTest, TextsAndHelpLink) {
    ShellRecorder shell;
    TFStart w;
    EXPECT_EQ(w.size(), QSize(599, 531));
    QStringList texts;
    for (QLabel* l : w.findChildren<QLabel*>())
        texts << l->text();
    for (const char* expected :
         {"Welcome:", "Backup:", "Restore:", "Full Backup:", "Full Restore:", "Convert:", "Legal Notice:",
          "Backup all web browser profiles and their data."}) {
        EXPECT_TRUE(texts.contains(expected)) << expected;
    }
    emit w.HelpLink->linkActivated("help");
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened[0].endsWith("/help/"));
    EXPECT_FALSE(shell.opened[0].contains("://")) << "handed on without a scheme";
    EXPECT_EQ(shell.programEnds, 0);
}

TEST(AboutWindowTest, LinkAndOk) {
    ShellRecorder shell;
    auto* w = new Tf_About;
    QPointer<Tf_About> alive(w);
    EXPECT_EQ(w->windowTitle(), "About Kelvora");
    EXPECT_EQ(w->size(), QSize(265, 330));
    EXPECT_EQ(w->parent(), nullptr);
    w->show();
    emit w->AuthorsLink->linkActivated("home");
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened[0].endsWith("/"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "OK closes and frees the window";
    EXPECT_EQ(shell.programEnds, 0);
}

}  // namespace
}  // namespace kelvora::ui
