#include "ui/wizards/full_wizards.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "ui/directory_edit.h"
#include "ui/theme.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::ui {

namespace {

using browsers::Task;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

FullWizard::FullWizard(const browsers::Browser& browser, Task task, QWidget* parent)
    : Tffb_IE(parent),
      browser_(browser),
      state_(browsers::full::makeState(browser, task)),
      host_(std::make_unique<wizards::WizardHost>(this)) {
    setWindowTitle(qs(state_.caption));
    setBrowserIcon(qs(browser.keyword));
    setTitle(qs(state_.title));

    lblFilename = new QLabel(this);
    lblFilename->setObjectName(QStringLiteral("lblFilename"));
    lblFilename->setFont(controlFont());
    // As wide as the bar: the full source or target path of the file.
    lblFilename->setGeometry(40, 189, 521, 15);
    lblFilename->setTextFormat(Qt::PlainText);

    host_->onFullProgress = [this](int position, int total) { DoProgress(position, total); };
    host_->onFileLabel = [this](const std::string& text) {
        if (state_.task == Task::Backup)
            DoCompressFile(text);
        else
            DoDecompressFile(text);
    };

    if (!browser.note.empty())
        NoteLabel = addNote(qs(browser.note), QRect(40, 222, 521, 30));
}

FullWizard::~FullWizard() = default;

void FullWizard::widgetsToState() {
    state_.backupLocationText = DirectoryEdit2->text().toStdString();
}

void FullWizard::stateToWidgets() {
    setWindowTitle(qs(state_.caption));
    setTitle(qs(state_.title));
    DoProgress(state_.barPosition, state_.barMaximum);
    lblFilename->setText(qs(state_.fileLabel));
    Button1->setVisible(state_.finishVisible);
    if (state_.finishVisible)
        Button1->raise();
}

void FullWizard::FormActivate() {
    widgetsToState();
    host_->runTask([this] { browsers::full::activate(browser_, state_, *host_); },
                   [this] { stateToWidgets(); });
}

void FullWizard::Button2Click() {
    widgetsToState();
    host_->runWithResult(
        [this] {
            return state_.task == Task::Backup ? browsers::full::backup(browser_, state_, *host_)
                                               : browsers::full::restore(browser_, state_, *host_);
        },
        [this] { stateToWidgets(); });
}

void FullWizard::DoProgress(int position, int total) {
    const int maximum = std::max(total, 1);
    ProgressBar1->setRange(0, maximum);
    ProgressBar1->setValue(std::clamp(position, 0, maximum));
}

void FullWizard::DoCompressFile(const std::string& fileName) {
    lblFilename->setText(qs(fileName));
}

void FullWizard::DoDecompressFile(const std::string& fileName) {
    lblFilename->setText(qs(fileName));
}

Tffb_Firefox::Tffb_Firefox(QWidget* parent) : Tffb_Firefox(browsers::firefox(), Task::Backup, parent) {}

Tffb_Firefox::Tffb_Firefox(const browsers::Browser& browser, Task task, QWidget* parent)
    : FullWizard(browser, task, parent) {}

Tffr_Firefox::Tffr_Firefox(QWidget* parent) : Tffb_Firefox(browsers::firefox(), Task::Restore, parent) {}

Tffb_Chrome::Tffb_Chrome(QWidget* parent) : Tffb_Chrome(Task::Backup, parent) {}
Tffb_Chrome::Tffb_Chrome(Task task, QWidget* parent) : Tffb_Firefox(browsers::chrome(), task, parent) {}
Tffr_Chrome::Tffr_Chrome(QWidget* parent) : Tffb_Chrome(Task::Restore, parent) {}

Tffb_Safari::Tffb_Safari(QWidget* parent) : Tffb_Safari(Task::Backup, parent) {}
Tffb_Safari::Tffb_Safari(Task task, QWidget* parent) : Tffb_Firefox(browsers::safari(), task, parent) {}
Tffr_Safari::Tffr_Safari(QWidget* parent) : Tffb_Safari(Task::Restore, parent) {}

Tffb_Flock::Tffb_Flock(QWidget* parent) : Tffb_Flock(Task::Backup, parent) {}
Tffb_Flock::Tffb_Flock(Task task, QWidget* parent) : Tffb_Firefox(browsers::flock(), task, parent) {}
Tffr_Flock::Tffr_Flock(QWidget* parent) : Tffb_Flock(Task::Restore, parent) {}

Tffb_Opera::Tffb_Opera(QWidget* parent) : Tffb_Opera(Task::Backup, parent) {}

Tffb_Opera::Tffb_Opera(Task task, QWidget* parent) : Tffb_Firefox(browsers::opera(), task, parent) {
    Label2 = new QLabel(qs(browsers::full::kOperaInstruction), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(controlFont());
    Label2->setWordWrap(true);
    Label2->setGeometry(39, 222, 522, 30);
    Label2->hide();
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFont(controlFont());
    Edit1->setGeometry(39, 258, 283, 21);
    Edit1->hide();
}

void Tffb_Opera::widgetsToState() {
    FullWizard::widgetsToState();
    state_.operaNameText = Edit1->text().toStdString();
}

void Tffb_Opera::stateToWidgets() {
    FullWizard::stateToWidgets();
    Label2->setVisible(state_.operaNameVisible);
    Edit1->setVisible(state_.operaNameVisible);
}

Tffr_Opera::Tffr_Opera(QWidget* parent) : Tffb_Opera(Task::Restore, parent) {}

}  // namespace kelvora::ui
