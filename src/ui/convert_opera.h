// Tfc_Opera, the Opera profile conversion wizard: it shows the system information, finds the
// current user's "operaprefs.ini" each time it becomes the active window, and on "Next >" rewrites
// the paths in it by the method chosen in the radio group "Option".
#pragma once

#include <QString>
#include <vector>

#include "convert/opera_wizard.h"
#include "ui/wizard_frame.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace kelvora::ui {

class Tfc_Opera : public WizardFrame {
    Q_OBJECT

  public:
    explicit Tfc_Opera(QWidget* parent = nullptr);

    QLabel* Label2;          // the instructions
    QGroupBox* RadioGroup1;  // "Option": the twelve methods
    std::vector<QRadioButton*> RadioGroup1Items;
    QLabel* Label4;             // caption of Edit1
    QLineEdit* Edit1;           // old user name
    QLabel* Label5;             // caption of Edit2
    QLineEdit* Edit2;           // old drive
    QLabel* Label6;             // Windows name
    QLabel* Label7;             // Windows type
    QLabel* Label8;             // Windows user
    QPlainTextEdit* RichEdit1;  // the preference file's text

    // The chosen method, 1 to 12; 0 while none is chosen.
    int chosenMethod() const;
    const convert::OperaConversion& conversion() const { return conversion_; }

    // Handlers
    void FormActivate() override;
    void Button2Click() override;  // "Next >": the conversion
    virtual void RadioGroup1Click();

  private:
    QButtonGroup* methods_;
    convert::OperaConversion conversion_;
};

}  // namespace kelvora::ui
