#include "ui/window_list.h"

#include "ui/tf_about.h"
#include "ui/tfb_ie.h"
#include "ui/tffb_ie.h"
#include "ui/window_factory.h"

namespace kelvora::ui {

void registerShellWindows(WindowFactories& factories) {
    factories.add<Tfb_IE>(QStringLiteral("B_InternetExplorer"));
    factories.add<Tffb_IE>(QStringLiteral("sB_InternetExplorer"));
    factories.add<Tf_About>(QStringLiteral("About"), Placement::TopLevel);
}

void registerProductWindows() {
    WindowFactories& factories = WindowFactories::instance();
    registerShellWindows(factories);
    // One line per module that brings windows, after the shell's so a module may replace them.
    registerWizardWindows(factories);
    registerUpdateWindows(factories);
    registerConvertWindows(factories);
}

}  // namespace kelvora::ui
