// A one-line edit with a browse button at its right end. The button opens the folder-browse
// dialog and, when a folder is chosen, puts its full path into the edit; the user may also type.
#pragma once

#include <QLineEdit>

class QAction;

namespace kelvora::ui {

class DirectoryEdit : public QLineEdit {
    Q_OBJECT

  public:
    DirectoryEdit(const QString& initialText, QWidget* parent = nullptr);

    // Opens the folder dialog (through chooseFolder) as the browse button does.
    void browse();
    QAction* browseAction() const { return browse_; }

  private:
    QAction* browse_;
};

}  // namespace kelvora::ui
