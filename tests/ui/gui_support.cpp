#include "gui_support.h"

#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QPixmap>

namespace kelvora::test {

ShellRecorder::ShellRecorder() {
    previousEnd_ = ui::setEndProgramHandler([this] { ++programEnds; });
    previousOpen_ = ui::setOpenExternalHandler([this](const QString& target) { opened << target; });
    previousChoose_ = ui::setChooseFolderHandler([this](QWidget*, const QString&, const QString&) {
        ++folderRequests;
        return folderAnswer;
    });
    // A box shown by a window under test runs its own event loop; close it from there.
    QObject::connect(&dismisser_, &QTimer::timeout, [this] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++modalBoxesClosed;
            modal->close();
        }
    });
    dismisser_.start(0);
}

ShellRecorder::~ShellRecorder() {
    ui::setEndProgramHandler(previousEnd_);
    ui::setOpenExternalHandler(previousOpen_);
    ui::setChooseFolderHandler(previousChoose_);
}

bool isA(const QObject* object, const char* name) {
    const QString wanted = QString::fromLatin1(name);
    for (const QMetaObject* m = object ? object->metaObject() : nullptr; m; m = m->superClass()) {
        const QString cls = QString::fromLatin1(m->className());
        if (cls == wanted || cls.endsWith(QStringLiteral("::") + wanted))
            return true;
    }
    return false;
}

QString saveScreenshot(QWidget* widget, const QString& name) {
    const QString folder = QStringLiteral(KELVORA_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

}  // namespace kelvora::test
