// The yardstick of bench/startup_bench: a bare Qt program, one window with one label, marking the
// moment it is first on screen the way the Kelvora window does (KELVORA_SHOWN_MARK).
#include <QApplication>
#include <QLabel>

#include "app/shown_mark.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Kelvora"));
    label.resize(619, 703);
    label.show();
    kelvora::app::markWhenShown(&label);
    return QApplication::exec();
}
