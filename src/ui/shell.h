// The few places where a window reaches outside itself: ending the program, handing an address
// to the desktop, asking for a folder. Each goes through one replaceable function, so tests (and
// the command line demo) can watch the request instead of carrying it out.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kelvora::ui {

// Ends the whole program: the message loop stops and every window goes with the application.
// "Finish" and "Cancel" in any wizard, "Cancel" in the welcome window and "Exit" come here.
void endProgram();
using EndProgramHandler = std::function<void()>;
// Replaces what endProgram() does; returns the previous handler. An empty handler restores the
// default (QCoreApplication::exit(0)).
EndProgramHandler setEndProgramHandler(EndProgramHandler handler);

// Hands a web address or "mailto:" link to the desktop ("open" verb); the result is ignored.
// An address given without a scheme ("www.host/help/") is opened as a web page.
void openExternal(const QString& target);
using OpenExternalHandler = std::function<void(const QString& target)>;
OpenExternalHandler setOpenExternalHandler(OpenExternalHandler handler);

// The folder-browse dialog behind every location field: returns the chosen folder's full path,
// or an empty string when the user cancelled.
QString chooseFolder(QWidget* parent, const QString& caption, const QString& start);
using ChooseFolderHandler =
    std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;
ChooseFolderHandler setChooseFolderHandler(ChooseFolderHandler handler);

}  // namespace kelvora::ui
