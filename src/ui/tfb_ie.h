// The selective wizard window, base of every selective backup and restore wizard, and itself the
// Internet Explorer backup wizard's window.
//
// Layout: "Backup the following:" over a grid of tick boxes (three columns, seven rows), "Select
// All" and "Deselect", "Backup location:" over the location field, "Profile:" over the radio-style
// profile list, the custom-profile field (hidden here; the wizards of the other browsers show it),
// and the frame's buttons. A derived wizard recaptions, moves, adds or hides tick boxes with
// placeTickBox(), adds lists with addRadioList(), and replaces the handlers it needs.
#pragma once

#include <vector>

#include "ui/wizard_frame.h"

class QCheckBox;
class QStyleOptionViewItem;
class QModelIndex;
class QPainter;

namespace kelvora::ui {

class DirectoryEdit;
class RadioList;

class Tfb_IE : public WizardFrame {
    Q_OBJECT

  public:
    // The marker texts of the two location fields: while a field shows it, nothing was chosen.
    static const QString kBackupLocationText;         // "Backup location:"
    static const QString kCustomProfileLocationText;  // "Custom profile location (optional):"
    static constexpr int kTickColumns[3] = {39, 221, 413};
    static constexpr int kTickRowTop = 109;
    static constexpr int kTickRowStep = 23;
    static constexpr int kTickRows = 7;

    explicit Tfb_IE(QWidget* parent = nullptr);

    QLabel* Label18;                // "Backup the following:"
    QPushButton* Button4;           // "Select All"
    QPushButton* Button6;           // "Deselect"
    QLabel* Label15;                // bold, empty
    QLabel* Label2;                 // "Backup location:"
    DirectoryEdit* DirectoryEdit2;  // backup location
    QLabel* Label3;                 // "Profile:"
    RadioList* ListBox1;            // profiles
    DirectoryEdit* DirectoryEdit1;  // custom profile location, hidden in this window

    // The tick box `objectName` ("CheckBox1"): created when missing, otherwise recaptioned and
    // moved. Column 0..2, row 0..6 of the grid; the box is ticked or not as asked and enabled.
    QCheckBox* placeTickBox(const QString& objectName, int column, int row, const QString& caption,
                            bool ticked = true);
    QCheckBox* tickBox(const QString& objectName) const;  // nullptr when absent
    std::vector<QCheckBox*> tickBoxes() const;            // in the order they were made
    // A further owner-drawn list drawn by ListBox1DrawItem (the restore wizards' backup-file list).
    RadioList* addRadioList(const QString& objectName, const QRect& geometry);
    // True while the backup-location field still shows its marker text.
    bool backupLocationMissing() const;

    // Handlers
    void FormActivate() override;  // title, hides "Finish"
    void Button2Click() override;  // Internet Explorer's backup (ui/wizards/ie_wizards.cpp)
    virtual void Button4Click();   // "Select All"
    virtual void Button6Click();   // "Deselect"
    virtual void DirectoryEdit1Change() {}
    virtual void DirectoryEdit2Change() {}
    virtual void ListBox1Click() {}
    virtual void ListBox1DrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index);

  protected:
    // The boxes "Select All" and "Deselect" set in this window (all but CheckBox3).
    void setBaseTickBoxes(bool ticked);

  private:
    std::vector<QCheckBox*> boxes_;
};

}  // namespace kelvora::ui
