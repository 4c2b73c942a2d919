#include "wizard_fixture.h"

#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "app/tform1.h"
#include "archive/zlib_multiple.h"
#include "platform/platform.h"
#include "ui/directory_edit.h"
#include "ui/tf_pbar.h"
#include "ui/wizard_frame.h"

namespace kelvora::test {

namespace fs = std::filesystem;

WizardTest::WizardTest() {
    previousBox_ =
        ui::wizards::setBoxHandler([this](QWidget*, ui::wizards::BoxKind kind, const QString& text) {
            boxes_.push_back({kind, text.toStdString()});
        });
    previousQuestion_ = ui::wizards::setQuestionHandler([this](QWidget*, const QString& text) {
        questions.push_back(text.toStdString());
        return answerYes;
    });
    previousPause_ =
        ui::wizards::setPauseHandler([this](std::chrono::milliseconds d) { pauses.push_back(d); });
    previousChoose_ = ui::setChooseFolderHandler([this](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(folderAnswer_.string());
    });
    previousEnd_ = ui::setEndProgramHandler([] {});

    progress = std::make_unique<ui::Tf_pBar>();
    ui::setF_pBar(progress.get());
    form = std::make_unique<app::TForm1>(QString::fromStdString((tmp / "kelvora.ini").string()));
    form->show();
    form->activateWindow();
    QApplication::processEvents();
}

WizardTest::~WizardTest() {
    form.reset();
    tools::endLiveMachine();
    ui::setF_pBar(nullptr);
    progress.reset();
    ui::wizards::setBoxHandler(previousBox_);
    ui::wizards::setQuestionHandler(previousQuestion_);
    ui::wizards::setPauseHandler(previousPause_);
    ui::setChooseFolderHandler(previousChoose_);
    ui::setEndProgramHandler(previousEnd_);
}

namespace {

// The user of the sample machines: on Windows the program finds the user's folders by itself, so the
// machine is of the user running it.
std::string machineUser() {
#ifdef _WIN32
    return platform::userName();
#else
    return "ann";
#endif
}

}  // namespace

tools::SampleMachine WizardTest::emptyMachine(const std::string& name) const {
    const tools::SampleMachine machine{tmp / name, machineUser(), "6"};
    fs::create_directories(machine.roaming());
    fs::create_directories(machine.local());
    return machine;
}

tools::SampleMachine WizardTest::useMachine(const std::string& name, const std::string& version, bool today) {
    tools::SampleMachineOptions options;
    options.version = version;
    options.today = today;
    options.user = machineUser();
    tools::SampleMachine machine = tools::buildSampleMachine(tmp / name, options);
    use(machine);
    return machine;
}

void WizardTest::use(const tools::SampleMachine& machine) {
    machine.makeLive();
}

QWidget* WizardTest::openCommand(const QString& command) {
    QWidget* window = form->openCommandWindow(command);
    QApplication::processEvents();
    return window;
}

std::string WizardTest::className(const QWidget* window) {
    return window ? window->metaObject()->className() : "nothing";
}

void WizardTest::choose(ui::DirectoryEdit* edit, const std::filesystem::path& folder) {
    folderAnswer_ = folder;
    edit->browse();
}

void WizardTest::clickNext(ui::WizardFrame* wizard) {
    click(wizard->Button2);
}

void WizardTest::click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

std::vector<std::string> WizardTest::takeMessages() {
    std::vector<std::string> texts;
    for (const auto& box : boxes_) {
        if (box.kind == ui::wizards::BoxKind::Message)
            texts.push_back(box.text);
    }
    std::erase_if(boxes_, [](const ShownBox& box) { return box.kind == ui::wizards::BoxKind::Message; });
    return texts;
}

std::vector<std::string> WizardTest::takeErrors() {
    std::vector<std::string> texts;
    for (const auto& box : boxes_) {
        if (box.kind == ui::wizards::BoxKind::Error)
            texts.push_back(box.text);
    }
    std::erase_if(boxes_, [](const ShownBox& box) { return box.kind == ui::wizards::BoxKind::Error; });
    return texts;
}

void WizardTest::screenshot(QWidget* window, const QString& name) {
    const QString folder = QStringLiteral(KELVORA_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

std::vector<std::string> storedNames(const std::filesystem::path& archive) {
    TZlibMultiple reader;
    std::vector<std::string> names;
    reader.ListStoredFiles(archive.string(), names);
    std::sort(names.begin(), names.end());
    return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace kelvora::test
