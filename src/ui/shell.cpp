#include "ui/shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <utility>

#include "platform/platform.h"

namespace kelvora::ui {

namespace {

EndProgramHandler end_program_handler;
OpenExternalHandler open_external_handler;
ChooseFolderHandler choose_folder_handler;

}  // namespace

void endProgram() {
    if (end_program_handler) {
        end_program_handler();
        return;
    }
    QCoreApplication::exit(0);
}

EndProgramHandler setEndProgramHandler(EndProgramHandler handler) {
    return std::exchange(end_program_handler, std::move(handler));
}

void openExternal(const QString& target) {
    if (open_external_handler) {
        open_external_handler(target);
        return;
    }
    platform::openWithShell(target.toStdString());
}

OpenExternalHandler setOpenExternalHandler(OpenExternalHandler handler) {
    return std::exchange(open_external_handler, std::move(handler));
}

QString chooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    if (choose_folder_handler)
        return choose_folder_handler(parent, caption, start);
    const QString folder =
        QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? folder : QDir::toNativeSeparators(folder);
}

ChooseFolderHandler setChooseFolderHandler(ChooseFolderHandler handler) {
    return std::exchange(choose_folder_handler, std::move(handler));
}

}  // namespace kelvora::ui
