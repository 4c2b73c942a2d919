#include "ui/wizards/selective_wizards.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/core.h"
#include "ui/directory_edit.h"
#include "ui/radio_list.h"
#include "ui/theme.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::ui {

namespace {

using browsers::Task;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

SelectiveWizard::SelectiveWizard(const browsers::Browser& browser, Task task, QWidget* parent)
    : SelectiveFrame(parent),
      browser_(browser),
      state_(browsers::makeSelectiveState(browser, task)),
      host_(std::make_unique<wizards::WizardHost>(this)) {
    setWindowTitle(qs(state_.caption));
    setBrowserIcon(qs(browser.keyword));
    setTitle(qs(state_.title));
    if (task == Task::Restore)
        Label18->setText(tr("Restore the following:"));
    Label18->adjustSize();

    // The browser's boxes fill the grid column by column, seven to a column.
    for (std::size_t i = 0; i < browser.tickBoxes.size(); ++i) {
        const auto& info = browser.tickBoxes[i];
        QString name = qs(info.name);
        if (name.isEmpty())
            name = QStringLiteral("CheckBox%1").arg(i + 1);
        const int column = static_cast<int>(i) / kTickRows;
        const int row = static_cast<int>(i) % kTickRows;
        QCheckBox* box = placeTickBox(name, column, row, qs(info.caption), state_.tickBoxes[i].checked);
        box->setEnabled(info.enabled);
        boxes_.push_back(box);
    }

    ListBox1->clear();
    DirectoryEdit1->show();

    if (!browser.note.empty())
        NoteLabel = addNote(qs(browser.note), QRect(221, 272, 340, 30));
}

SelectiveWizard* SelectiveWizard::make(const browsers::Browser& browser, Task task) {
    auto* wizard = new SelectiveWizard(browser, task, nullptr);
    if (task == Task::Restore)
        wizard->buildRestoreLayout({393, 393, tr("Backup file:")});
    return wizard;
}

SelectiveWizard::~SelectiveWizard() = default;

void SelectiveWizard::buildRestoreLayout(const RestoreLayout& layout) {
    Label3->setText(layout.fileListCaption);
    Label3->adjustSize();
    Label4 = addSectionCaption(QStringLiteral("Label4"), 190, 369, tr("Restore to the following profile:"));
    ListBox2 = addRadioList(QStringLiteral("ListBox2"), QRect(39, layout.fileListTop, 138, 46));
    ListBox1->move(183, layout.profileListTop);
    // The restore wizards' tab order: the backup file before the profile.
    setTabOrder(DirectoryEdit2, ListBox2);
    setTabOrder(ListBox2, ListBox1);
    connect(ListBox2, &RadioList::userClicked, this, [this] { ListBox1Click(); });
}

void SelectiveWizard::widgetsToState() {
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        state_.tickBoxes[i].checked = boxes_[i]->isChecked();
    state_.profileIndex = ListBox1->currentRow();
    if (ListBox2)
        state_.backupFileIndex = ListBox2->currentRow();
    state_.backupLocationText = DirectoryEdit2->text().toStdString();
    state_.customProfileText = DirectoryEdit1->text().toStdString();
}

void SelectiveWizard::fillList(RadioList* list, const std::vector<std::string>& items, int index) {
    const QSignalBlocker quiet(list);
    bool same = list->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == qs(items[static_cast<std::size_t>(i)]);
    if (!same) {
        list->clear();
        for (const auto& item : items)
            list->addItem(qs(item));
    }
    list->setCurrentRow(index);
    list->viewport()->update();
}

void SelectiveWizard::stateToWidgets() {
    setWindowTitle(qs(state_.caption));
    setTitle(qs(state_.title));
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        boxes_[i]->setChecked(state_.tickBoxes[i].checked);
        boxes_[i]->setEnabled(state_.tickBoxes[i].enabled);
    }
    fillList(ListBox1, state_.profileLabels, state_.profileIndex);
    ListBox1->setEnabled(state_.profileListEnabled);
    if (ListBox2)
        fillList(ListBox2, state_.backupFiles, state_.backupFileIndex);
    Button1->setVisible(state_.finishVisible);
    if (state_.finishVisible)
        Button1->raise();
}

void SelectiveWizard::FormActivate() {
    widgetsToState();
    host_->runTask([this] { browsers::discoverProfiles(browser_, state_, *host_); },
                   [this] { stateToWidgets(); });
    if (state_.focusOnNext)
        Button2->setFocus();
}

void SelectiveWizard::Button2Click() {
    widgetsToState();
    host_->runWithResult(
        [this]() -> TaskResult {
            if (state_.task == Task::Backup)
                return browsers::runSelectiveBackup(browser_, state_, *host_);
            TaskResult result = browsers::runSelectiveRestore(browser_, state_, *host_);
            if (result.outcome() == Outcome::Done && CheckBox19 && CheckBox19->isChecked())
                removeRestoredBackupFile();
            return result;
        },
        [this] { stateToWidgets(); });
}

// "Delete backup file when finished": only after a restore that finished and copied everything
// it found, and only to the Recycle Bin, from where it can still be taken back. The list of
// backup files then shows the location as it now is.
void SelectiveWizard::removeRestoredBackupFile() {
    if (!state_.finishVisible || !state_.leftOut.empty() || state_.backupFileName.empty())
        return;
    const std::string file = state_.archivePath;
    if (!DelTree(file))
        host_->showMessage("The backup file \"" + file + "\" could not be moved to the Recycle Bin.");
    browsers::backupLocationChanged(state_);
}

void SelectiveWizard::Button4Click() {
    widgetsToState();
    browsers::selectAll(state_, true);
    stateToWidgets();
}

void SelectiveWizard::Button6Click() {
    widgetsToState();
    browsers::selectAll(state_, false);
    stateToWidgets();
}

void SelectiveWizard::DirectoryEdit1Change() {
    widgetsToState();
    browsers::customProfileChanged(state_);
    stateToWidgets();
}

void SelectiveWizard::DirectoryEdit2Change() {
    if (state_.task != Task::Restore)
        return;
    widgetsToState();
    host_->runTask([this] { browsers::backupLocationChanged(state_); }, [this] { stateToWidgets(); });
}

void SelectiveWizard::ListBox1Click() {
    Button2->setFocus();
}

// ---- The browsers' windows ----

Tfb_Firefox::Tfb_Firefox(QWidget* parent) : Tfb_Firefox(browsers::firefox(), Task::Backup, parent) {}

Tfb_Firefox::Tfb_Firefox(const browsers::Browser& browser, Task task, QWidget* parent)
    : SelectiveWizard(browser, task, parent) {}

Tfr_Firefox::Tfr_Firefox(QWidget* parent) : Tfb_Firefox(browsers::firefox(), Task::Restore, parent) {
    buildRestoreLayout({393, 393, tr("Backup file:")});
    CheckBox19 = new QCheckBox(tr("Delete backup file when finished"), this);
    CheckBox19->setObjectName(QStringLiteral("CheckBox19"));
    CheckBox19->setFont(controlFont());
    CheckBox19->setGeometry(39, 474, 250, 17);
    CheckBox19->setChecked(false);
}

Tfb_Flock::Tfb_Flock(QWidget* parent) : Tfb_Flock(Task::Backup, parent) {}

Tfb_Flock::Tfb_Flock(Task task, QWidget* parent) : Tfb_Firefox(browsers::flock(), task, parent) {}

Tfr_Flock::Tfr_Flock(QWidget* parent) : Tfb_Flock(Task::Restore, parent) {
    buildRestoreLayout({397, 397, tr("Profile:")});
}

Tfb_Chrome::Tfb_Chrome(QWidget* parent) : Tfb_Chrome(Task::Backup, parent) {}

Tfb_Chrome::Tfb_Chrome(Task task, QWidget* parent) : Tfb_Firefox(browsers::chrome(), task, parent) {}

Tfr_Chrome::Tfr_Chrome(QWidget* parent) : Tfb_Chrome(Task::Restore, parent) {
    buildRestoreLayout({393, 393, tr("Backup file:")});
}

Tfb_Safari::Tfb_Safari(QWidget* parent) : Tfb_Safari(Task::Backup, parent) {}

Tfb_Safari::Tfb_Safari(Task task, QWidget* parent) : SelectiveWizard(browsers::safari(), task, parent) {}

Tfr_Safari::Tfr_Safari(QWidget* parent) : Tfb_Safari(Task::Restore, parent) {
    buildRestoreLayout({397, 397, tr("Backup file:")});
}

Tfb_Opera::Tfb_Opera(QWidget* parent) : Tfb_Opera(Task::Backup, parent) {}

Tfb_Opera::Tfb_Opera(Task task, QWidget* parent) : Tfb_Firefox(browsers::opera(), task, parent) {}

Tfr_Opera::Tfr_Opera(QWidget* parent) : Tfb_Opera(Task::Restore, parent) {
    buildRestoreLayout({397, 397, tr("Profile:")});
}

}  // namespace kelvora::ui
