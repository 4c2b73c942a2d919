// What the wizard tests share: a main window whose commands open the wizards, sample machines to
// work on, and the boxes, pauses and folder requests of the windows caught instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/sample_machine.h"
#include "ui/shell.h"
#include "ui/wizards/wizard_host.h"

class QWidget;

namespace kelvora::app {
class TForm1;
}
namespace kelvora::ui {
class DirectoryEdit;
class Tf_pBar;
class WizardFrame;
}  // namespace kelvora::ui

namespace kelvora::test {

struct ShownBox {
    ui::wizards::BoxKind kind;
    std::string text;
};

class WizardTest : public ::testing::Test {
  protected:
    WizardTest();
    ~WizardTest() override;

    // A sample machine in the folder `name` (of today's browsers with `today`), made the machine the
    // program works on (on Windows, under Wine only, the user's own folders: see makeLive()).
    tools::SampleMachine useMachine(const std::string& name, const std::string& version = "6",
                                    bool today = false);
    // A Windows 7 machine in the folder `name` with an empty user folder: no browser at all.
    tools::SampleMachine emptyMachine(const std::string& name) const;
    // The machine becomes the one the program works on again.
    static void use(const tools::SampleMachine& machine);

    // Runs the ribbon command in the main window and returns the wizard it opened, activated.
    template <class Window>
    Window* open(const QString& command) {
        QWidget* window = openCommand(command);
        auto* wizard = qobject_cast<Window*>(window);
        EXPECT_NE(wizard, nullptr) << command.toStdString() << " opened " << className(window);
        return wizard;
    }
    QWidget* openCommand(const QString& command);
    static std::string className(const QWidget* window);

    // Picks `folder` in a location field through its browse button.
    void choose(ui::DirectoryEdit* edit, const std::filesystem::path& folder);
    // Presses "Next >" with the mouse.
    static void clickNext(ui::WizardFrame* wizard);
    static void click(QWidget* button);

    // The texts of the boxes shown since the last call, then forgotten.
    std::vector<std::string> takeMessages();
    std::vector<std::string> takeErrors();
    std::vector<std::chrono::milliseconds> pauses;
    // The questions asked (whether to replace an archive), and the answer each gets.
    std::vector<std::string> questions;
    bool answerYes = false;

    // Saves a picture of the window as <screenshots>/<name>.png.
    static void screenshot(QWidget* window, const QString& name);

    TempDir tmp;
    std::unique_ptr<ui::Tf_pBar> progress;
    std::unique_ptr<app::TForm1> form;

  private:
    std::vector<ShownBox> boxes_;
    std::filesystem::path folderAnswer_;
    ui::wizards::BoxHandler previousBox_;
    ui::wizards::QuestionHandler previousQuestion_;
    ui::wizards::PauseHandler previousPause_;
    ui::ChooseFolderHandler previousChoose_;
    ui::EndProgramHandler previousEnd_;
};

// The names stored in an archive ("a\b\name"), sorted.
std::vector<std::string> storedNames(const std::filesystem::path& archive);
bool contains(const std::vector<std::string>& names, const std::string& name);

}  // namespace kelvora::test
