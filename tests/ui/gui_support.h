// What the GUI tests share: the program's end, desktop requests and modal boxes caught instead
// of carried out, class checks by the windows' own names, and screenshots.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "ui/shell.h"

namespace kelvora::test {

// Records endProgram(), openExternal() and chooseFolder() while it lives; answers folder requests
// with `folderAnswer`; closes any modal box that opens (counting them).
class ShellRecorder {
  public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    int programEnds = 0;
    QStringList opened;
    QString folderAnswer;
    int folderRequests = 0;
    int modalBoxesClosed = 0;

  private:
    ui::EndProgramHandler previousEnd_;
    ui::OpenExternalHandler previousOpen_;
    ui::ChooseFolderHandler previousChoose_;
    QTimer dismisser_;
};

// True when `object`'s class, or one of its bases, is `name` (with or without namespace).
bool isA(const QObject* object, const char* name);

// Saves a picture of `widget` as <screenshots>/<name>.png; returns the file's path.
QString saveScreenshot(QWidget* widget, const QString& name);

}  // namespace kelvora::test
