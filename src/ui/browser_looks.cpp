#include "ui/browser_looks.h"

namespace kelvora::ui {

const std::vector<BrowserLook>& browserLooks() {
    // keyword, command, name, caption, initials, colour, key tips (Backup tab, others), shortcut,
    // "More browsers", window classes.
    static const std::vector<BrowserLook> looks = {
        {"ie", "InternetExplorer", "Internet Explorer", "&Internet Explorer", "IE", QColor(0x1f, 0x6c, 0xd3),
         "I", "I", "I", false, "IE"},
        {"firefox", "Firefox", "Firefox", "&Firefox", "Fx", QColor(0xe8, 0x64, 0x0c), "F", "F", "F", false,
         "Firefox"},
        {"chrome", "Chrome", "Chrome", "&Chrome", "Ch", QColor(0x2f, 0x9a, 0x46), "C", "C", "C", false,
         "Chrome"},
        {"opera", "Opera", "Opera", "&Opera", "Op", QColor(0xcc, 0x1f, 0x2a), "O", "O", "O", false, "Opera"},
        {"safari", "Safari", "Safari", "&Safari", "Sa", QColor(0x16, 0x98, 0xd0), "S", "S", "S", false,
         "Safari"},
        // Flock: key tip "F" on the Backup tab, "L" elsewhere; shortcut letter L everywhere.
        {"flock", "Flock", "Flock", "F&lock", "Fl", QColor(0x1d, 0xa0, 0x8f), "F", "L", "L", false, "Flock"},
        {"edge", "Edge", "Edge", "&Edge", "Ed", QColor(0x0c, 0x8a, 0x9e), "E", "E", "", true, ""},
        {"brave", "Brave", "Brave", "&Brave", "Br", QColor(0xe0, 0x4a, 0x1f), "B", "B", "", true, ""},
        {"vivaldi", "Vivaldi", "Vivaldi", "&Vivaldi", "Vi", QColor(0xc8, 0x2e, 0x3b), "V", "V", "", true, ""},
        {"chromium", "Chromium", "Chromium", "Chro&mium", "Cr", QColor(0x4a, 0x7b, 0xd0), "M", "M", "", true,
         ""},
        {"opera-chromium", "OperaChromium", "Opera (Chromium)", "O&pera (Chromium)", "Op",
         QColor(0xa8, 0x12, 0x2a), "P", "P", "", true, ""},
    };
    return looks;
}

const BrowserLook* lookOfKeyword(const QString& keyword) {
    for (const auto& look : browserLooks()) {
        if (look.keyword == keyword)
            return &look;
    }
    return nullptr;
}

const BrowserLook* lookOfCommand(const QString& command) {
    const qsizetype underscore = command.indexOf(QLatin1Char('_'));
    if (underscore < 0)
        return nullptr;
    const QString id = command.mid(underscore + 1);
    for (const auto& look : browserLooks()) {
        if (look.commandId == id)
            return &look;
    }
    return nullptr;
}

}  // namespace kelvora::ui
