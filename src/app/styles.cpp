#include "app/styles.h"

namespace kelvora::app {

QString ribbonStyleSheet(ui::Style style) {
    const ui::Theme& t = ui::themeFor(style);
    return QStringLiteral(
               "QStackedWidget, QStackedWidget > QWidget { background: transparent; }\n"
               "QToolButton#RibbonButton, QToolButton#QuickAccessButton { color: %1; background: transparent;"
               " border: 1px solid transparent; border-radius: 3px; padding: 1px 2px 0 2px; }\n"
               "QToolButton#RibbonButton:hover, QToolButton#QuickAccessButton:hover { border-color: %2;"
               " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %3, stop:0.4 %3, stop:0.41 %4,"
               " stop:1 %4); }\n"
               "QToolButton#RibbonButton:pressed, QToolButton#RibbonButton:checked,"
               " QToolButton#QuickAccessButton:pressed { border-color: %5; background: qlineargradient(x1:0, "
               "y1:0,"
               " x2:0, y2:1, stop:0 %6, stop:0.4 %6, stop:0.41 %7, stop:1 %7); }\n"
               "QToolButton#RibbonButton:disabled { color: #8d8d8d; }\n"
               "QGroupBox, QLabel#MachineLabel { color: %1; background: transparent; }\n")
        .arg(t.buttonText.name(), t.hoverBorder.name(), t.hoverTop.name(), t.hoverBottom.name(),
             t.pressedBorder.name(), t.pressedTop.name(), t.pressedBottom.name());
}

}  // namespace kelvora::app
