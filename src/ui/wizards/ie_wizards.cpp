// Internet Explorer's four wizards: the "Next >" handlers of the frames Tfb_IE and Tffb_IE (which
// are Internet Explorer's backup wizards) and the two restore wizards built on them. The window
// keeps no task state of its own: each "Next >" builds the state from the widgets, runs the task,
// and shows the state it leaves (the boxes of missing folders unticked, "Finish", the bar).
#include "ui/wizards/ie_wizards.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "browsers/ie.h"
#include "ui/directory_edit.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::ui {

namespace {

namespace ie = browsers::ie;
using browsers::Task;

QCheckBox* boxWithCaption(const Tfb_IE& window, const std::string& caption) {
    for (QCheckBox* box : window.tickBoxes()) {
        if (box->text() == QString::fromStdString(caption))
            return box;
    }
    return nullptr;
}

void runSelective(Tfb_IE& window, Task kind) {
    browsers::SelectiveState state = ie::makeState(kind);
    for (auto& box : state.tickBoxes) {
        if (const QCheckBox* widget = boxWithCaption(window, box.caption))
            box.checked = widget->isChecked();
    }
    state.title = window.Label1->text().toStdString();
    state.finishVisible = window.Button1->isVisible();
    state.backupLocationText = window.DirectoryEdit2->text().toStdString();

    wizards::WizardHost host(&window);
    host.runWithResult(
        [&] { return kind == Task::Backup ? ie::runBackup(state, host) : ie::runRestore(state, host); },
        [&] {
            for (const auto& box : state.tickBoxes) {
                if (QCheckBox* widget = boxWithCaption(window, box.caption))
                    widget->setChecked(box.checked);
            }
            window.setTitle(QString::fromStdString(state.title));
            window.Button1->setVisible(state.finishVisible);
            if (state.finishVisible)
                window.Button1->raise();
        });
}

void showBar(QProgressBar& bar, int position, int total) {
    const int maximum = std::max(total, 1);
    bar.setRange(0, maximum);
    bar.setValue(std::clamp(position, 0, maximum));
}

void runFull(Tffb_IE& window, Task task) {
    browsers::full::State state = ie::makeFullState(task);
    state.title = window.Label1->text().toStdString();
    state.finishVisible = window.Button1->isVisible();
    state.backupLocationText = window.DirectoryEdit2->text().toStdString();
    state.barPosition = window.ProgressBar1->value();
    state.barMaximum = window.ProgressBar1->maximum();

    wizards::WizardHost host(&window);
    host.onFullProgress = [&window](int position, int total) {
        showBar(*window.ProgressBar1, position, total);
    };
    host.runWithResult(
        [&] {
            return task == Task::Backup ? ie::runFullBackup(state, host) : ie::runFullRestore(state, host);
        },
        [&] {
            window.setTitle(QString::fromStdString(state.title));
            showBar(*window.ProgressBar1, state.barPosition, state.barMaximum);
            window.Button1->setVisible(state.finishVisible);
            if (state.finishVisible)
                window.Button1->raise();
        });
}

}  // namespace

// ---- Tfb_IE and Tffb_IE: Internet Explorer's backup wizards ----

void Tfb_IE::Button2Click() {
    runSelective(*this, Task::Backup);
}

void Tffb_IE::Button2Click() {
    runFull(*this, Task::Backup);
}

// ---- The restore wizards ----

Tfr_IE::Tfr_IE(QWidget* parent) : Tfb_IE(parent) {
    setWindowTitle(QString::fromUtf8(ie::kRestoreCaption));
    Label18->setText(tr("Restore the following:"));
    Label18->adjustSize();
    Label3->setText(tr("Restore to the following profile:"));
    Label3->adjustSize();
}

void Tfr_IE::FormActivate() {
    setTitle(QString::fromUtf8(ie::kRestoreTitle));
}

void Tfr_IE::Button2Click() {
    runSelective(*this, Task::Restore);
}

Tffr_IE::Tffr_IE(QWidget* parent) : Tffb_IE(parent) {
    setWindowTitle(QString::fromUtf8(ie::kRestoreCaption));
}

void Tffr_IE::FormActivate() {
    setTitle(QString::fromUtf8(ie::kFullRestoreTitle));
    WizardFrame::FormActivate();
}

void Tffr_IE::Button2Click() {
    runFull(*this, Task::Restore);
}

}  // namespace kelvora::ui
