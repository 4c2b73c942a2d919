// kelvora-make-icon FILE: writes the Windows executables' icon (src/app/kelvora.ico) from the
// program's emblem. Run it again after the emblem changes; the ui tests compare the two.
#include <QGuiApplication>
#include <QSaveFile>
#include <iostream>

#include "tools/app_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kelvora-make-icon FILE.ico\n";
        return 2;
    }
    // The emblem's letter is drawn with a font: a GUI application without a screen gives one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(kelvora::tools::applicationIconFile()) < 0 ||
        !file.commit()) {
        std::cerr << "kelvora-make-icon: cannot write " << argv[1] << ": " << file.errorString().toStdString()
                  << '\n';
        return 1;
    }
    return 0;
}
