// The selective wizard frame, base of every selective backup and restore wizard: the layout without
// any browser's tick boxes.
//
// Layout: "Backup the following:" over a grid for tick boxes (three columns, seven rows), "Select
// All" and "Deselect", "Backup location:" over the location field, "Profile:" over the radio-style
// profile list, the custom-profile field (hidden until a wizard shows it), and the frame's buttons.
// A wizard places its tick boxes with placeTickBox(), adds lists with addRadioList(), and replaces
// the handlers it needs.
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

class SelectiveFrame : public WizardFrame {
    Q_OBJECT

  public:
    // The marker texts of the two location fields: while a field shows it, nothing was chosen.
    static const QString kBackupLocationText;         // "Backup location:"
    static const QString kCustomProfileLocationText;  // "Custom profile location (optional):"
    static constexpr int kTickColumns[3] = {39, 221, 413};
    static constexpr int kTickRowTop = 109;
    static constexpr int kTickRowStep = 23;
    static constexpr int kTickRows = 7;

    explicit SelectiveFrame(QWidget* parent = nullptr);

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
    virtual void Button4Click() {}  // "Select All"
    virtual void Button6Click() {}  // "Deselect"
    virtual void DirectoryEdit1Change() {}
    virtual void DirectoryEdit2Change() {}
    virtual void ListBox1Click() {}
    virtual void ListBox1DrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index);

  private:
    std::vector<QCheckBox*> boxes_;
};

}  // namespace kelvora::ui
