#include "app/application.h"

#include <exception>
#include <stdexcept>

#include "ui/wizards/wizard_host.h"

namespace kelvora::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kelvora"));
    setOrganizationName(QStringLiteral("Tolvane"));
    // The desktop entry the Linux packages install: Wayland desktops take the window's icon from it.
    setDesktopFileName(QStringLiteral(KELVORA_APP_ID));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ui::wizards::showError(activeWindow(), e);
    } catch (...) {
        ui::wizards::showError(activeWindow(), std::runtime_error("Unknown error"));
    }
    return false;
}

}  // namespace kelvora::app
