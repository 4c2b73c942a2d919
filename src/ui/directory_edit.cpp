#include "ui/directory_edit.h"

#include <QAction>
#include <QDir>

#include "ui/artwork.h"
#include "ui/shell.h"

namespace kelvora::ui {

DirectoryEdit::DirectoryEdit(const QString& initialText, QWidget* parent) : QLineEdit(initialText, parent) {
    browse_ = addAction(folderIcon(), QLineEdit::TrailingPosition);
    browse_->setToolTip(tr("Browse for folder"));
    connect(browse_, &QAction::triggered, this, &DirectoryEdit::browse);
    setFixedHeight(21);
}

void DirectoryEdit::browse() {
    const QString start = QDir(text()).exists() ? text() : QDir::homePath();
    const QString folder = chooseFolder(window(), tr("Browse for Folder"), start);
    if (!folder.isEmpty())
        setText(folder);
}

}  // namespace kelvora::ui
