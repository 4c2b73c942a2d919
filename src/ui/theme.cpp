#include "ui/theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPalette>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

namespace kelvora::ui {

namespace {

Theme makeLuna() {
    Theme t;
    t.captionRowTop = QColor(0xe3, 0xed, 0xf8);
    t.captionRowBottom = QColor(0xcf, 0xdf, 0xf3);
    t.tabRowTop = QColor(0xcf, 0xdf, 0xf3);
    t.tabRowBottom = QColor(0xbf, 0xd5, 0xf0);
    t.tabText = QColor(0x15, 0x42, 0x8b);
    t.tabActiveText = QColor(0x15, 0x42, 0x8b);
    t.panelTop = QColor(0xf1, 0xf6, 0xfc);
    t.panelBottom = QColor(0xc7, 0xdb, 0xf2);
    t.panelBorder = QColor(0x8d, 0xb2, 0xe3);
    t.groupTop = QColor(0xe9, 0xf1, 0xfb);
    t.groupBottom = QColor(0xd0, 0xe1, 0xf5);
    t.groupBorder = QColor(0xa9, 0xc5, 0xe8);
    t.groupCaptionTop = QColor(0xc5, 0xda, 0xf2);
    t.groupCaptionBottom = QColor(0xb3, 0xcd, 0xee);
    t.groupCaptionText = QColor(0x3e, 0x6a, 0xaa);
    t.buttonText = QColor(0x15, 0x42, 0x8b);
    t.orbTop = QColor(0x8a, 0xb6, 0xef);
    t.orbBottom = QColor(0x1d, 0x4f, 0xa3);
    t.orbRing = QColor(0x1b, 0x3d, 0x78);
    t.bandTop = QColor(0xf3, 0xf8, 0xfe);
    t.bandBottom = QColor(0xc9, 0xdd, 0xf5);
    t.bandBorder = QColor(0x8d, 0xb2, 0xe3);
    t.barStart = QColor(0xc6, 0xd9, 0xf3);
    t.barEnd = QColor(0xf2, 0xf2, 0xf2);
    t.barLine = QColor(0x8d, 0xb2, 0xe3);
    t.accent = QColor(0x33, 0x99, 0xff);
    t.accentDark = QColor(0x1c, 0x5f, 0xa8);
    return t;
}

Theme makeObsidian() {
    Theme t;
    t.captionRowTop = QColor(0x5a, 0x5a, 0x5a);
    t.captionRowBottom = QColor(0x43, 0x43, 0x43);
    t.tabRowTop = QColor(0x43, 0x43, 0x43);
    t.tabRowBottom = QColor(0x30, 0x30, 0x30);
    t.tabText = QColor(0xf0, 0xf0, 0xf0);
    t.tabActiveText = QColor(0x1e, 0x1e, 0x1e);
    t.panelTop = QColor(0xf0, 0xf0, 0xf0);
    t.panelBottom = QColor(0xc4, 0xc4, 0xc4);
    t.panelBorder = QColor(0x6f, 0x6f, 0x6f);
    t.groupTop = QColor(0xe6, 0xe6, 0xe6);
    t.groupBottom = QColor(0xcd, 0xcd, 0xcd);
    t.groupBorder = QColor(0x9b, 0x9b, 0x9b);
    t.groupCaptionTop = QColor(0x6a, 0x6a, 0x6a);
    t.groupCaptionBottom = QColor(0x4a, 0x4a, 0x4a);
    t.groupCaptionText = QColor(0xf4, 0xf4, 0xf4);
    t.buttonText = QColor(0x1e, 0x1e, 0x1e);
    t.orbTop = QColor(0x9a, 0x9a, 0x9a);
    t.orbBottom = QColor(0x1c, 0x1c, 0x1c);
    t.orbRing = QColor(0x0e, 0x0e, 0x0e);
    t.bandTop = QColor(0xfa, 0xfa, 0xfa);
    t.bandBottom = QColor(0xcf, 0xcf, 0xcf);
    t.bandBorder = QColor(0x7a, 0x7a, 0x7a);
    t.barStart = QColor(0xbe, 0xbe, 0xbe);
    t.barEnd = QColor(0xf2, 0xf2, 0xf2);
    t.barLine = QColor(0x7a, 0x7a, 0x7a);
    t.accent = QColor(0x4f, 0x63, 0x7a);
    t.accentDark = QColor(0x25, 0x2f, 0x3b);
    return t;
}

Theme makeSilver() {
    Theme t;
    t.captionRowTop = QColor(0xf4, 0xf5, 0xf8);
    t.captionRowBottom = QColor(0xe2, 0xe5, 0xeb);
    t.tabRowTop = QColor(0xe2, 0xe5, 0xeb);
    t.tabRowBottom = QColor(0xd3, 0xd8, 0xe0);
    t.tabText = QColor(0x4c, 0x53, 0x5c);
    t.tabActiveText = QColor(0x22, 0x26, 0x2b);
    t.panelTop = QColor(0xfc, 0xfc, 0xfd);
    t.panelBottom = QColor(0xdc, 0xe0, 0xe7);
    t.panelBorder = QColor(0xa4, 0xaa, 0xb3);
    t.groupTop = QColor(0xf6, 0xf7, 0xf9);
    t.groupBottom = QColor(0xe1, 0xe4, 0xea);
    t.groupBorder = QColor(0xb6, 0xbb, 0xc3);
    t.groupCaptionTop = QColor(0xd9, 0xdd, 0xe4);
    t.groupCaptionBottom = QColor(0xc8, 0xcd, 0xd6);
    t.groupCaptionText = QColor(0x4c, 0x53, 0x5c);
    t.buttonText = QColor(0x22, 0x26, 0x2b);
    t.orbTop = QColor(0xd6, 0xdd, 0xe6);
    t.orbBottom = QColor(0x66, 0x74, 0x87);
    t.orbRing = QColor(0x55, 0x5f, 0x6c);
    t.bandTop = QColor(0xfd, 0xfd, 0xfe);
    t.bandBottom = QColor(0xdc, 0xe0, 0xe7);
    t.bandBorder = QColor(0xa4, 0xaa, 0xb3);
    t.barStart = QColor(0xd2, 0xd7, 0xdf);
    t.barEnd = QColor(0xf2, 0xf2, 0xf2);
    t.barLine = QColor(0xa4, 0xaa, 0xb3);
    t.accent = QColor(0x6f, 0x84, 0x9d);
    t.accentDark = QColor(0x44, 0x53, 0x66);
    return t;
}

// What the three looks share: the amber highlight of ribbon commands, key tips, the client area.
Theme finish(Theme t) {
    t.hoverTop = QColor(0xff, 0xfb, 0xdc);
    t.hoverBottom = QColor(0xff, 0xdc, 0x72);
    t.hoverBorder = QColor(0xd9, 0xb6, 0x5a);
    t.pressedTop = QColor(0xfc, 0xc8, 0x8c);
    t.pressedBottom = QColor(0xfb, 0xa0, 0x4c);
    t.pressedBorder = QColor(0xb8, 0x86, 0x3b);
    t.keyTipBack = QColor(0xfb, 0xfb, 0xfb);
    t.keyTipBorder = QColor(0x76, 0x76, 0x76);
    t.keyTipText = QColor(0x20, 0x20, 0x20);
    t.workspace = QColor(242, 242, 242);
    t.title = QColor(0x00, 0x00, 0x80);
    t.link = QColor(0x00, 0x00, 0xff);
    return t;
}

Style current_style = Style::Luna;
// The Fusion style applyStyle gave the application, while the application keeps it.
QPointer<QStyle> installed_fusion;

QString hex(const QColor& c) {
    return c.name(QColor::HexRgb);
}

// Buttons, edits, bars, menus and tips in the manner of the Windows 7 controls, tinted by the look.
QString widgetStyleSheet(const Theme& t) {
    const QString accent = hex(t.accent);
    const QString dark = hex(t.accentDark);
    const QString light = hex(t.accent.lighter(185));
    const QString lighter = hex(t.accent.lighter(210));
    return QStringLiteral(
               "QPushButton { color: #000000; border: 1px solid #707070; border-radius: 3px; padding: 0 8px;"
               " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6f6f6, stop:0.49 #ebebeb,"
               " stop:0.5 #dddddd, stop:1 #cfcfcf); }\n"
               "QPushButton:hover { border-color: %1; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
               " stop:0 #ffffff, stop:0.49 %4, stop:0.5 %3, stop:1 %3); }\n"
               "QPushButton:pressed { border-color: %2; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
               " stop:0 %4, stop:1 %3); padding-top: 1px; }\n"
               "QPushButton:focus, QPushButton:default { border-color: %1; }\n"
               "QPushButton:disabled { color: #838383; border-color: #adb2b5; background: #f4f4f4; }\n"
               "QLineEdit { background: #ffffff; border: 1px solid #abadb3; border-top-color: #8e9197;"
               " padding: 0 2px; selection-background-color: %1; }\n"
               "QLineEdit:focus { border-color: %1; }\n"
               "QLineEdit:disabled { background: #f4f4f4; color: #6d6d6d; }\n"
               "QProgressBar { border: 1px solid #bcbcbc; border-radius: 2px; background: qlineargradient("
               "x1:0, y1:0, x2:0, y2:1, stop:0 #e6e6e6, stop:1 #f3f3f3); }\n"
               "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7ee07f,"
               " stop:0.45 #2dc43a, stop:0.55 #1eb52b, stop:1 #25c032); margin: 1px; }\n"
               "QToolTip { color: #4c4c4c; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
               "#ffffff,"
               " stop:1 #e4e5f0); border: 1px solid #767676; padding: 2px; }\n"
               "QMenu { background: #fafafa; border: 1px solid #868686; padding: 2px; }\n"
               "QMenu::item { padding: 5px 24px 5px 28px; border: 1px solid transparent; }\n"
               "QMenu::item:selected { background: %4; border-color: %3; color: #000000; }\n"
               "QMenu::separator { height: 1px; background: #e0e0e0; margin: 3px 2px 3px 26px; }\n")
        .arg(accent, dark, light, lighter);
}

}  // namespace

const Theme& themeFor(Style style) {
    static const Theme luna = finish(makeLuna());
    static const Theme obsidian = finish(makeObsidian());
    static const Theme silver = finish(makeSilver());
    switch (style) {
        case Style::Obsidian:
            return obsidian;
        case Style::Silver:
            return silver;
        case Style::Luna:
            break;
    }
    return luna;
}

const Theme& currentTheme() {
    return themeFor(current_style);
}

Style currentStyle() {
    return current_style;
}

QString styleName(Style style) {
    switch (style) {
        case Style::Obsidian:
            return QStringLiteral("Obsidian");
        case Style::Silver:
            return QStringLiteral("Silver");
        case Style::Luna:
            break;
    }
    return QStringLiteral("Luna");
}

std::optional<Style> styleFromName(const QString& name) {
    for (Style s : {Style::Luna, Style::Obsidian, Style::Silver}) {
        if (name == styleName(s))
            return s;
    }
    return std::nullopt;
}

StyleNotifier& StyleNotifier::instance() {
    static StyleNotifier notifier;
    return notifier;
}

void applyStyle(Style style) {
    current_style = style;
    const Theme& t = themeFor(style);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Each of these repolishes every widget there is, so only what changes is set: the program
        // sets its look before it makes its windows, and again when the look changes.
        if (!installed_fusion) {
            installed_fusion = QStyleFactory::create(QStringLiteral("Fusion"));
            app->setStyle(installed_fusion);
        }
        QPalette p = app->style()->standardPalette();
        p.setColor(QPalette::Window, QColor(240, 240, 240));
        p.setColor(QPalette::Button, QColor(240, 240, 240));
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::AlternateBase, QColor(246, 246, 246));
        p.setColor(QPalette::WindowText, Qt::black);
        p.setColor(QPalette::Text, Qt::black);
        p.setColor(QPalette::ButtonText, Qt::black);
        p.setColor(QPalette::Highlight, t.accent);
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::Link, t.link);
        p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xff));
        p.setColor(QPalette::ToolTipText, QColor(0x4c, 0x4c, 0x4c));
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6d, 0x6d, 0x6d));
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6d, 0x6d, 0x6d));
        p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x83, 0x83, 0x83));
        if (p != QApplication::palette())
            app->setPalette(p);
        if (const QString sheet = widgetStyleSheet(t); sheet != app->styleSheet())
            app->setStyleSheet(sheet);
    }
    emit StyleNotifier::instance().styleChanged(style);
}

QFont controlFont(bool bold) {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(11);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont titleFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                   QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(19);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

bool installApplicationFont() {
    QApplication::setFont(controlFont());
    const QFontInfo info(QApplication::font());
    return !QFontDatabase::families().isEmpty() && !info.family().isEmpty();
}

}  // namespace kelvora::ui
