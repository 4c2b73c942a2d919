// The command table of the main window: the ribbon's tabs and groups, and every command with its
// caption, hint, key tip, shortcut and what it does.
#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

namespace kelvora::app {

enum class CommandKind {
    SelectiveWizard,   // opens a selective backup or restore wizard (frame Tfb_IE)
    FullWizard,        // opens a full backup or restore wizard (frame Tffb_IE)
    ConversionWizard,  // opens the Opera conversion wizard
    Style,             // switches the look and stores it
    About,             // opens the About window
    Update,            // opens the update window
    Undo,              // takes the last restore back
    Web,               // hands an address to the desktop
    Exit,              // ends the program
};

struct RibbonTabSpec {
    QString caption;
    QString keyTip;
};

struct RibbonGroupSpec {
    int tab;
    QString caption;
    QString hint;
};

struct Command {
    QString name;           // "B_Firefox"
    int tab;                // index into ribbonTabs(); -1 for the application menu
    QString group;          // caption of its group
    QString caption;        // on the ribbon: "&Firefox"
    QString actionCaption;  // of the command itself; differs for Updates and UndoRestore
    QString hint;
    QString keyTip;
    QKeySequence shortcut;
    CommandKind kind;
    QString windowClass;    // the class of the window it opens ("Tfb_Firefox"), if any
    QString windowCaption;  // that window's caption
    QString target;         // Web: the address handed to the desktop
};

const std::vector<RibbonTabSpec>& ribbonTabs();
const std::vector<RibbonGroupSpec>& ribbonGroups();
const std::vector<Command>& commandTable();
const Command* findCommand(const QString& name);

// The caption without its accelerator mark ("F&lock" -> "Flock").
QString plainCaption(const QString& caption);
// The header of a command's screen tip: its caption without the mark; "Check for Updates" for Updates.
QString screenTipHeader(const Command& command);

// For a wizard command: the title of its wizard ("Welcome to Firefox Full Backup Wizard").
QString wizardTitle(const Command& command);

}  // namespace kelvora::app
