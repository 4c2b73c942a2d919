// The full wizard window, base of every full backup and restore wizard, and itself the Internet
// Explorer full backup wizard's window: "Backup location:" over the location field, "Progress:"
// over the window's own progress bar, and the frame's buttons, on white.
#pragma once

#include "ui/wizard_frame.h"

class QProgressBar;

namespace kelvora::ui {

class DirectoryEdit;

class Tffb_IE : public WizardFrame {
    Q_OBJECT

  public:
    explicit Tffb_IE(QWidget* parent = nullptr);

    QLabel* Label18;                // "Backup location:"
    DirectoryEdit* DirectoryEdit2;  // backup location, initial text "Backup location:"
    QLabel* Label3;                 // "Progress:"
    QProgressBar* ProgressBar1;     // 0 to 100

    bool backupLocationMissing() const;

    // Handlers
    void FormActivate() override;  // title, hides "Finish"
    void Button2Click() override;  // Internet Explorer's full backup (ui/wizards/ie_wizards.cpp)
    virtual void DirectoryEdit2Change() {}
};

}  // namespace kelvora::ui
