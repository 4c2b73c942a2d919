// The selective backup and restore wizards. Each window binds a browser's descriptor to the
// selective frame: its handlers copy the widgets into the wizard's task state, run the shared
// procedure, and copy the state back. What a task does is in browsers/selective.h; nothing here
// decides anything about a browser's files.
//
// A SelectiveWizard made from a descriptor is a whole wizard. The browsers the program began with
// keep their windows' own classes: Tfb_Firefox and Tfb_Safari are built on SelectiveWizard, Flock,
// Chrome and Opera on Tfb_Firefox, and each restore wizard on its browser's backup wizard.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "browsers/selective.h"
#include "ui/selective_frame.h"

class QCheckBox;

namespace kelvora::ui {

namespace wizards {
class WizardHost;
}

// What the selective wizards share: the descriptor, the task state and the host, the tick boxes
// of the browser in their columns, and the handlers.
class SelectiveWizard : public SelectiveFrame {
    Q_OBJECT

  public:
    // The wizard of any browser, made from its descriptor alone; a restore wizard gets the restore
    // layout of Chrome's.
    static SelectiveWizard* make(const browsers::Browser& browser, browsers::Task task);
    ~SelectiveWizard() override;

    const browsers::Browser& browser() const { return browser_; }
    const browsers::SelectiveState& state() const { return state_; }

    RadioList* ListBox2 = nullptr;  // restore: the backup files of the location
    QLabel* Label4 = nullptr;       // restore: "Restore to the following profile:"
    // Firefox restore: "Delete backup file when finished", unticked; when ticked, a restore that
    // finished without leaving anything out moves the backup file to the Recycle Bin.
    QCheckBox* CheckBox19 = nullptr;
    QLabel* NoteLabel = nullptr;  // the descriptor's note, when it has one

    // Handlers
    void FormActivate() override;  // profile discovery
    void Button2Click() override;  // the backup or the restore
    void Button4Click() override;  // "Select All": every box of the browser
    void Button6Click() override;  // "Deselect": every box of the browser
    void DirectoryEdit1Change() override;
    void DirectoryEdit2Change() override;  // restore: lists the "*.dat" files of the location
    void ListBox1Click() override;         // focus to "Next >"

  protected:
    SelectiveWizard(const browsers::Browser& browser, browsers::Task task, QWidget* parent);

    // The restore wizards' lists: the backup-file list at (39, fileListTop), the profile list
    // moved to (183, profileListTop), and the caption over the backup-file list.
    struct RestoreLayout {
        int fileListTop = 397;
        int profileListTop = 397;
        QString fileListCaption;
    };
    void buildRestoreLayout(const RestoreLayout& layout);

  private:
    void removeRestoredBackupFile();
    void widgetsToState();
    void stateToWidgets();
    void fillList(RadioList* list, const std::vector<std::string>& items, int index);

    const browsers::Browser& browser_;
    browsers::SelectiveState state_;
    std::unique_ptr<wizards::WizardHost> host_;
    std::vector<QCheckBox*> boxes_;  // in the order of state_.tickBoxes
};

class Tfb_Firefox : public SelectiveWizard {
    Q_OBJECT

  public:
    explicit Tfb_Firefox(QWidget* parent = nullptr);

  protected:
    Tfb_Firefox(const browsers::Browser& browser, browsers::Task task, QWidget* parent);
};

class Tfr_Firefox : public Tfb_Firefox {
    Q_OBJECT

  public:
    explicit Tfr_Firefox(QWidget* parent = nullptr);
};

class Tfb_Flock : public Tfb_Firefox {
    Q_OBJECT

  public:
    explicit Tfb_Flock(QWidget* parent = nullptr);

  protected:
    Tfb_Flock(browsers::Task task, QWidget* parent);
};

class Tfr_Flock : public Tfb_Flock {
    Q_OBJECT

  public:
    explicit Tfr_Flock(QWidget* parent = nullptr);
};

class Tfb_Chrome : public Tfb_Firefox {
    Q_OBJECT

  public:
    explicit Tfb_Chrome(QWidget* parent = nullptr);

  protected:
    Tfb_Chrome(browsers::Task task, QWidget* parent);
};

class Tfr_Chrome : public Tfb_Chrome {
    Q_OBJECT

  public:
    explicit Tfr_Chrome(QWidget* parent = nullptr);
};

class Tfb_Safari : public SelectiveWizard {
    Q_OBJECT

  public:
    explicit Tfb_Safari(QWidget* parent = nullptr);

    // A click on a list leaves the focus where it is.
    void ListBox1Click() override {}

  protected:
    Tfb_Safari(browsers::Task task, QWidget* parent);
};

class Tfr_Safari : public Tfb_Safari {
    Q_OBJECT

  public:
    explicit Tfr_Safari(QWidget* parent = nullptr);
};

class Tfb_Opera : public Tfb_Firefox {
    Q_OBJECT

  public:
    explicit Tfb_Opera(QWidget* parent = nullptr);

  protected:
    Tfb_Opera(browsers::Task task, QWidget* parent);
};

class Tfr_Opera : public Tfb_Opera {
    Q_OBJECT

  public:
    explicit Tfr_Opera(QWidget* parent = nullptr);
};

}  // namespace kelvora::ui
