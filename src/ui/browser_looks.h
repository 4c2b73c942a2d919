// How each browser is presented: its badge, its commands on the ribbon and the windows they open.
// One row per browser, beside its descriptor (browsers/browser.h, matched by keyword); Internet
// Explorer has a row too. The ribbon's browser commands, their key tips and shortcuts, the wizard
// windows and the badges are all made from these rows.
#pragma once

#include <QColor>
#include <QString>
#include <vector>

namespace kelvora::ui {

struct BrowserLook {
    QString keyword;            // the descriptor's keyword: "firefox"; "ie" for Internet Explorer
    QString commandId;          // "Firefox": its commands are B_Firefox, R_Firefox, sB_Firefox, sR_Firefox
    QString name;               // "Firefox", in hints and window captions
    QString caption;            // on the ribbon: "&Firefox"
    QString initials;           // on the badge: "Fx"
    QColor colour;              // of the badge
    QString backupKeyTip;       // on the Backup tab
    QString otherKeyTip;        // on the Restore, Full Backup and Full Restore tabs
    QString shortcutLetter;     // Ctrl+, Alt+, Ctrl+Shift+, Shift+Alt+ this letter; empty: none
    bool moreBrowsers = false;  // in the ribbon's "More browsers" group, else in "Web Browser"
    // The windows' classes: "Firefox" gives Tfb_Firefox, Tfr_Firefox, Tffb_Firefox, Tffr_Firefox.
    // Empty: the windows are made from the descriptor alone.
    QString classSuffix;
};

// In ribbon order: Internet Explorer first, then the others.
const std::vector<BrowserLook>& browserLooks();
// The row of a keyword ("firefox"), or of a command naming its browser ("B_Firefox"); nullptr when none.
const BrowserLook* lookOfKeyword(const QString& keyword);
const BrowserLook* lookOfCommand(const QString& command);

}  // namespace kelvora::ui
