// The three looks of the program (Luna, Obsidian, Silver): the colours every window draws with,
// the application-wide palette and style sheet, and the fonts. The ribbon adds its own sheet on
// top (src/app/styles.cpp); the wizard frames and lists read the colours of the current look.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <optional>

namespace kelvora::ui {

enum class Style { Luna, Obsidian, Silver };

struct Theme {
    // Ribbon
    QColor captionRowTop, captionRowBottom;  // the row of the application button and quick access
    QColor tabRowTop, tabRowBottom;          // behind the tabs
    QColor tabText, tabActiveText;
    QColor panelTop, panelBottom, panelBorder;  // the body of the active tab
    QColor groupTop, groupBottom, groupBorder;  // one group
    QColor groupCaptionTop, groupCaptionBottom, groupCaptionText;
    QColor buttonText;
    QColor hoverTop, hoverBottom, hoverBorder;  // a command under the mouse
    QColor pressedTop, pressedBottom, pressedBorder;
    QColor orbTop, orbBottom, orbRing;  // the application button
    QColor keyTipBack, keyTipBorder, keyTipText;
    // Client area and windows
    QColor workspace;
    QColor bandTop, bandBottom, bandBorder;  // header band of a wizard
    QColor barStart, barEnd, barLine;        // section bars
    QColor title;                            // title label
    QColor accent, accentDark;               // buttons, radio glyphs, progress
    QColor link;
};

const Theme& themeFor(Style style);
const Theme& currentTheme();
Style currentStyle();

// The name stored in the settings file: "Luna", "Obsidian" or "Silver".
QString styleName(Style style);
// The style whose name is exactly `name` (letter case counts); nothing for any other text.
std::optional<Style> styleFromName(const QString& name);

// Tells windows that the look changed, so they repaint with the new colours.
class StyleNotifier : public QObject {
    Q_OBJECT

  public:
    static StyleNotifier& instance();

  signals:
    void styleChanged(kelvora::ui::Style style);
};

// Makes `style` the look of the whole application: palette, widget style sheet, and the signal.
void applyStyle(Style style);

// Fonts of the windows: Tahoma 11 pixels (the controls), Arial Narrow 19 pixels (wizard titles).
// Where those are missing, metric-alike free fonts stand in.
QFont controlFont(bool bold = false);
QFont titleFont();
// The application's font, set once at start; true when a real font family resolved.
bool installApplicationFont();

}  // namespace kelvora::ui
