// kelvora-make-png-icon SIZE FILE.png [SIZE FILE.png ...]: draws the program's emblem at each size
// into a PNG file, for the desktop's icon theme. The Linux build runs it when it makes the install
// tree, so the installed icons always show the emblem the window draws.
#include <QGuiApplication>
#include <QSaveFile>
#include <iostream>

#include "ui/artwork.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 != 1) {
        std::cerr << "usage: kelvora-make-png-icon SIZE FILE.png [SIZE FILE.png ...]\n";
        return 2;
    }
    // The emblem's letter is drawn with a font: a GUI application without a screen gives one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::cerr << "kelvora-make-png-icon: the size '" << argv[i] << "' is not 1 to 1024 pixels\n";
            return 2;
        }
        QSaveFile file(QString::fromLocal8Bit(argv[i + 1]));
        if (!file.open(QIODevice::WriteOnly) ||
            !kelvora::ui::applicationEmblem(size).toImage().save(&file, "PNG") || !file.commit()) {
            std::cerr << "kelvora-make-png-icon: cannot write " << argv[i + 1] << ": "
                      << file.errorString().toStdString() << '\n';
            return 1;
        }
    }
    return 0;
}
