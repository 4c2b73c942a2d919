#include "app/commands.h"

#include "ui/browser_looks.h"
#include "ui/maker.h"

namespace kelvora::app {

namespace {

const QString kWebBrowser = QStringLiteral("Web Browser");
const QString kMoreBrowsers = QStringLiteral("More browsers");

std::vector<Command> buildTable() {
    std::vector<Command> table;
    struct Task {
        const char* prefix;
        int tab;
        const char* classPrefix;
        const char* modifiers;
        const char* hint;  // %1 = browser
        const char* verb;  // window caption
        CommandKind kind;
    } tasks[] = {
        {"B_", 0, "Tfb_", "Ctrl+", "Backup %1 web browser.", "Backup", CommandKind::SelectiveWizard},
        {"R_", 1, "Tfr_", "Alt+", "Restore %1 web browser.", "Restore", CommandKind::SelectiveWizard},
        {"sB_", 2, "Tffb_", "Ctrl+Shift+", "Backup all %1 settings and data.", "Backup",
         CommandKind::FullWizard},
        {"sR_", 3, "Tffr_", "Shift+Alt+", "Restore all %1 settings and data.", "Restore",
         CommandKind::FullWizard},
    };
    for (const Task& task : tasks) {
        for (const ui::BrowserLook& b : ui::browserLooks()) {
            Command c;
            c.name = QLatin1String(task.prefix) + b.commandId;
            c.tab = task.tab;
            c.group = b.moreBrowsers ? kMoreBrowsers : kWebBrowser;
            c.caption = b.caption;
            c.actionCaption = c.caption;
            c.hint = QString::fromLatin1(task.hint).arg(b.name);
            c.keyTip = task.tab == 0 ? b.backupKeyTip : b.otherKeyTip;
            if (!b.shortcutLetter.isEmpty())
                c.shortcut = QKeySequence(QLatin1String(task.modifiers) + b.shortcutLetter);
            c.kind = task.kind;
            // A browser without window classes of its own opens the wizards made from its descriptor.
            c.windowClass = b.classSuffix.isEmpty()
                                ? QString::fromLatin1(
                                      task.kind == CommandKind::FullWizard ? "FullWizard" : "SelectiveWizard")
                                : QLatin1String(task.classPrefix) + b.classSuffix;
            c.windowCaption = QStringLiteral("%1 %2 Web Browser").arg(QLatin1String(task.verb), b.name);
            table.push_back(c);
        }
    }

    auto add = [&](const char* name, int tab, const char* group, const char* caption, const char* hint,
                   const char* keyTip, const char* shortcut, CommandKind kind, const char* windowClass = "",
                   const char* windowCaption = "", QString target = QString()) {
        Command c;
        c.name = QLatin1String(name);
        c.tab = tab;
        c.group = QLatin1String(group);
        c.caption = QLatin1String(caption);
        c.actionCaption = c.caption;
        c.hint = QLatin1String(hint);
        c.keyTip = QLatin1String(keyTip);
        c.shortcut = QKeySequence(QLatin1String(shortcut));
        c.kind = kind;
        c.windowClass = QLatin1String(windowClass);
        c.windowCaption = QLatin1String(windowCaption);
        c.target = std::move(target);
        table.push_back(c);
        return &table.back();
    };
    add("UndoRestore", 1, "Undo", "&Undo", "Put back what the last restore replaced and remove what it created.",
        "U", "Ctrl+Z", CommandKind::Undo)
        ->actionCaption = QStringLiteral("&Undo last restore");
    add("c_Opera", 4, "Profile", "&Opera", "Convert Opera profile.", "O", "", CommandKind::ConversionWizard,
        "Tfc_Opera", "Convert Opera Profile");
    add("Luna", 5, "Layout", "&Luna", "Luna interface (default)", "L", "", CommandKind::Style);
    add("Obsidian", 5, "Layout", "&Obsidian", "Obsidian interface", "O", "", CommandKind::Style);
    add("Silver", 5, "Layout", "&Silver", "Silver interface", "S", "", CommandKind::Style);
    add("About", 6, "Software", "&About", "About Kelvora", "A", "", CommandKind::About, "Tf_About",
        "About Kelvora");
    add("Updates", 6, "Software", "&Updates", "Checks for new program version.", "U", "Ctrl+U",
        CommandKind::Update, "Tf_Update", "Web Update")
        ->actionCaption = QStringLiteral("Check for &Updates");
    add("Contact", 6, "Software", "&E-Mail", "Send us an email.", "E", "", CommandKind::Web, "", "",
        QStringLiteral("mailto:") + ui::maker::mailAddress());
    add("Homepage", 6, "Web", "&WWW", "Visit Kelvora home page.", "W", "", CommandKind::Web, "", "",
        ui::maker::webAddress(QStringLiteral("/backup/")));
    add("Donate", 6, "Web", "&Donate", "Contribute to Kelvora development team.", "D", "", CommandKind::Web,
        "", "", ui::maker::webAddress(QStringLiteral("/donate/")));
    add("Close", -1, "", "&Exit", "Close Kelvora", "", "Alt+F4", CommandKind::Exit);
    return table;
}

}  // namespace

const std::vector<RibbonTabSpec>& ribbonTabs() {
    static const std::vector<RibbonTabSpec> tabs = {
        {QStringLiteral("Backup"), QStringLiteral("B")},
        {QStringLiteral("Restore"), QStringLiteral("R")},
        {QStringLiteral("Full Backup"), QStringLiteral("A")},
        {QStringLiteral("Full Restore"), QStringLiteral("E")},
        {QStringLiteral("Convert"), QStringLiteral("C")},
        {QStringLiteral("Preferences"), QStringLiteral("P")},
        {QStringLiteral("Help"), QStringLiteral("H")},
    };
    return tabs;
}

const std::vector<RibbonGroupSpec>& ribbonGroups() {
    static const std::vector<RibbonGroupSpec> groups = {
        {0, kWebBrowser, QStringLiteral("Select web browser you want to backup")},
        {0, kMoreBrowsers, QStringLiteral("Select web browser you want to backup")},
        {1, kWebBrowser, QStringLiteral("Select web browser you want to restore")},
        {1, kMoreBrowsers, QStringLiteral("Select web browser you want to restore")},
        {1, QStringLiteral("Undo"), QString()},
        {2, kWebBrowser, QStringLiteral("Select web browser you want to backup")},
        {2, kMoreBrowsers, QStringLiteral("Select web browser you want to backup")},
        {3, kWebBrowser, QString()},
        {3, kMoreBrowsers, QString()},
        {4, QStringLiteral("Profile"), QString()},
        {5, QStringLiteral("Layout"), QString()},
        {6, QStringLiteral("Software"), QString()},
        {6, QStringLiteral("Web"), QString()},
    };
    return groups;
}

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = buildTable();
    return table;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : commandTable()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QString plainCaption(const QString& caption) {
    QString plain;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        plain += caption[i];
    }
    return plain;
}

QString screenTipHeader(const Command& command) {
    return plainCaption(command.actionCaption);
}

QString wizardTitle(const Command& command) {
    const bool restore =
        command.name.startsWith(QLatin1String("R_")) || command.name.startsWith(QLatin1String("sR_"));
    const bool full = command.kind == CommandKind::FullWizard;
    QString browser = command.windowCaption;
    browser.remove(0, browser.indexOf(QLatin1Char(' ')) + 1);
    browser.chop(QStringLiteral(" Web Browser").size());
    return QStringLiteral("Welcome to %1 %2%3 Wizard")
        .arg(browser, full ? QStringLiteral("Full ") : QString(),
             restore ? QStringLiteral("Restore") : QStringLiteral("Backup"));
}

}  // namespace kelvora::app
