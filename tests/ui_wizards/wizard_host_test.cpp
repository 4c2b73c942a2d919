// The host that serves a wizard's task: the error box's text, the cursor and the state copied
// back when a task fails, and the shared progress window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/error.h"
#include "ui/tf_pbar.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::test {
namespace {

using ui::wizards::BoxKind;

TEST(WizardHost, ErrorTextGetsAFullStopWhenItsLastCharacterSortsAfterIt) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"I/O error 183", "I/O error 183."},
        {"Cannot create file \"D:\\x.dat\". Access is denied",
         "Cannot create file \"D:\\x.dat\". Access is denied."},
        {"List index out of bounds (-1)", "List index out of bounds (-1)"},
        {"Cannot create file \"D:\\x\"", "Cannot create file \"D:\\x\""},
        {"C:\\Saves\\", "C:\\Saves\\."},
        {"Why?", "Why?."},
        {"Done.", "Done."},
        {"Stop!", "Stop!"},
        {"Line\r\n", "Line\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::wizards::errorBoxText(c.message).toStdString(), c.shown) << c.message;
}

TEST(WizardHost, AFailedTaskRestoresTheCursorCopiesTheStateBackAndShowsTheError) {
    std::vector<std::pair<BoxKind, std::string>> boxes;
    const auto previous = ui::wizards::setBoxHandler(
        [&](QWidget*, BoxKind kind, const QString& text) { boxes.emplace_back(kind, text.toStdString()); });
    QWidget window;
    ui::wizards::WizardHost host(&window);
    bool copiedBack = false;
    bool busyWhileWorking = false;
    host.runTask(
        [&] {
            host.setBusyCursor(true);
            busyWhileWorking = QApplication::overrideCursor() != nullptr;
            throw Error("Cannot create file \"X:\\a.dat\". The system cannot find the path specified");
        },
        [&] { copiedBack = true; });
    EXPECT_TRUE(busyWhileWorking);
    EXPECT_TRUE(copiedBack);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, BoxKind::Error);
    EXPECT_EQ(boxes[0].second,
              "Cannot create file \"X:\\a.dat\". The system cannot find the path specified.");

    host.showMessage("Please Select Backup Location");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].first, BoxKind::Message);
    ui::wizards::setBoxHandler(previous);
}

TEST(WizardHost, ShowingTheProgressWindowStartsItsBarAtZeroEveryTime) {
    ui::Tf_pBar bar;
    ui::setF_pBar(&bar);
    QWidget window;
    ui::wizards::WizardHost host(&window);
    host.progressShow();
    host.progressStep(60);
    host.progressStep(60);
    EXPECT_EQ(bar.Position(), 100);
    // A failed task leaves the window on screen; the next task still starts at 0.
    host.progressShow();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.Position(), 0);
    host.progressStep(5);
    host.progressSet(100);
    host.progressHide();
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(bar.Position(), 100);
    ui::setF_pBar(nullptr);
}

// A window that counts its paints.
class CountingWindow : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// A full task reports every block of every file and asks for a repaint after each file: the bar
// takes a value only when its percentage changes, and the window is painted at most once per
// kRepaintGap however fast the reports come; the last value still arrives.
TEST(WizardHost, ProgressAndRepaintsAreCoalesced) {
    CountingWindow window;
    window.resize(100, 100);
    window.show();
    QApplication::processEvents();
    ui::wizards::WizardHost host(&window);
    std::vector<std::pair<int, int>> bar;
    host.onFullProgress = [&](int position, int total) { bar.emplace_back(position, total); };

    const auto start = std::chrono::steady_clock::now();
    const int paintsBefore = window.paints;
    constexpr int kFiles = 200;
    constexpr int kBlocks = 1000;  // a 1,000 KiB file reported per KiB
    for (int file = 0; file < kFiles; ++file) {
        for (int block = 0; block <= kBlocks; ++block)
            host.fullProgress(block, kBlocks);
        host.repaint();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_LE(bar.size(), static_cast<std::size_t>(kFiles * 102));
    EXPECT_EQ(bar.back(), std::make_pair(kBlocks, kBlocks));
    const auto gaps = elapsed / ui::wizards::WizardHost::kRepaintGap;
    EXPECT_LE(window.paints - paintsBefore, static_cast<int>(gaps) + 1);
    EXPECT_GE(window.paints - paintsBefore, 1);
}

}  // namespace
}  // namespace kelvora::test
