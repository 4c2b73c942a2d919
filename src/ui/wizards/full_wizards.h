// The full backup and restore wizards. Each window binds a browser's descriptor to the full frame
// Tffb_IE and adds the file label under the bar; its handlers copy the widgets into the task state,
// run the shared procedure (browsers/full.h), and copy the state back. While a task runs, the
// archive's events reach the bar and the label through DoProgress, DoCompressFile and
// DoDecompressFile.
//
// A FullWizard made from a descriptor is a whole wizard. The browsers the program began with keep
// their windows' own classes: Tffb_Firefox is built on FullWizard; the restore wizard of Firefox
// and the backup wizards of the other browsers on Tffb_Firefox, and each other restore wizard on
// its browser's backup wizard.
#pragma once

#include <memory>
#include <string>

#include "browsers/full.h"
#include "ui/tffb_ie.h"

class QLineEdit;

namespace kelvora::ui {

namespace wizards {
class WizardHost;
}

class FullWizard : public Tffb_IE {
    Q_OBJECT

  public:
    FullWizard(const browsers::Browser& browser, browsers::Task task, QWidget* parent = nullptr);
    ~FullWizard() override;

    const browsers::full::State& state() const { return state_; }

    QLabel* lblFilename;  // the file being packed or unpacked; "Finished" at the end

    // Handlers
    void FormActivate() override;  // finds the data root
    void Button2Click() override;  // the full backup or restore
    // The archive's events: the bar runs once per file; the label names the file.
    void DoProgress(int position, int total);
    void DoCompressFile(const std::string& fileName);
    void DoDecompressFile(const std::string& fileName);

    QLabel* NoteLabel = nullptr;  // the descriptor's note, when it has one

  protected:
    virtual void widgetsToState();
    virtual void stateToWidgets();

    const browsers::Browser& browser_;
    browsers::full::State state_;
    std::unique_ptr<wizards::WizardHost> host_;
};

class Tffb_Firefox : public FullWizard {
    Q_OBJECT

  public:
    explicit Tffb_Firefox(QWidget* parent = nullptr);

  protected:
    Tffb_Firefox(const browsers::Browser& browser, browsers::Task task, QWidget* parent);
};

class Tffr_Firefox : public Tffb_Firefox {
    Q_OBJECT

  public:
    explicit Tffr_Firefox(QWidget* parent = nullptr);
};

class Tffb_Chrome : public Tffb_Firefox {
    Q_OBJECT

  public:
    explicit Tffb_Chrome(QWidget* parent = nullptr);

  protected:
    Tffb_Chrome(browsers::Task task, QWidget* parent);
};

class Tffr_Chrome : public Tffb_Chrome {
    Q_OBJECT

  public:
    explicit Tffr_Chrome(QWidget* parent = nullptr);
};

class Tffb_Safari : public Tffb_Firefox {
    Q_OBJECT

  public:
    explicit Tffb_Safari(QWidget* parent = nullptr);

  protected:
    Tffb_Safari(browsers::Task task, QWidget* parent);
};

class Tffr_Safari : public Tffb_Safari {
    Q_OBJECT

  public:
    explicit Tffr_Safari(QWidget* parent = nullptr);
};

class Tffb_Flock : public Tffb_Firefox {
    Q_OBJECT

  public:
    explicit Tffb_Flock(QWidget* parent = nullptr);

  protected:
    Tffb_Flock(browsers::Task task, QWidget* parent);
};

class Tffr_Flock : public Tffb_Flock {
    Q_OBJECT

  public:
    explicit Tffr_Flock(QWidget* parent = nullptr);
};

// Opera: when its data folder is not found, an instruction and an edit for the name of the
// installation folder appear, and "Next >" searches again with the name typed there.
class Tffb_Opera : public Tffb_Firefox {
    Q_OBJECT

  public:
    explicit Tffb_Opera(QWidget* parent = nullptr);

    QLabel* Label2;    // the instruction, hidden until a search finds nothing
    QLineEdit* Edit1;  // the installation folder's name, hidden with it

  protected:
    Tffb_Opera(browsers::Task task, QWidget* parent);

    void widgetsToState() override;
    void stateToWidgets() override;
};

class Tffr_Opera : public Tffb_Opera {
    Q_OBJECT

  public:
    explicit Tffr_Opera(QWidget* parent = nullptr);
};

}  // namespace kelvora::ui
