// kelvora-make-icon FILE.ico: writes the Windows executables' icon (src/app/kelvora.ico) from the
// program's emblem. Run it again after the emblem changes; the ui tests compare the two.
// kelvora-make-icon --png SIZE FILE.png [SIZE FILE.png ...]: the emblem at each size as a PNG file,
// for the Linux desktop's icon theme; the Linux build draws them when it makes the install tree.
#include <QGuiApplication>
#include <QSaveFile>
#include <iostream>
#include <stdexcept>
#include <string>

#include "tools/app_icon.h"

namespace {

bool writeFile(const char* path, const QByteArray& data) {
    QSaveFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) < 0 || !file.commit()) {
        std::cerr << "kelvora-make-icon: cannot write " << path << ": " << file.errorString().toStdString()
                  << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool png = argc >= 2 && std::string(argv[1]) == "--png";
    if (png ? argc < 4 || argc % 2 != 0 : argc != 2) {
        std::cerr << "usage: kelvora-make-icon FILE.ico\n"
                     "       kelvora-make-icon --png SIZE FILE.png [SIZE FILE.png ...]\n";
        return 2;
    }
    // The emblem's letter is drawn with a font: a GUI application without a screen gives one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!png)
        return writeFile(argv[1], kelvora::tools::applicationIconFile()) ? 0 : 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        QByteArray data;
        try {
            data = kelvora::tools::applicationIconPng(ok ? size : 0);
        } catch (const std::invalid_argument& e) {
            std::cerr << "kelvora-make-icon: " << argv[i] << ": " << e.what() << '\n';
            return 2;
        }
        if (!writeFile(argv[i + 1], data))
            return 1;
    }
    return 0;
}
