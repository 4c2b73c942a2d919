// The registration functions of the modules that bring windows (see window_factory.h). Add the
// declaration of yours here and one call in registerProductWindows().
#pragma once

namespace kelvora::ui {

class WindowFactories;

// The application shell's own windows: the Internet Explorer frames and About.
void registerShellWindows(WindowFactories& factories);

// The 24 browser wizards (ui/wizards/register_wizards.cpp).
void registerWizardWindows(WindowFactories& factories);

// The update window for the "Updates" command (ui/update_window.cpp).
void registerUpdateWindows(WindowFactories& factories);

// The Opera profile conversion window for "c_Opera" (ui/convert_opera.cpp).
void registerConvertWindows(WindowFactories& factories);

// Every window of the product; the main window calls it once when it is made.
void registerProductWindows();

}  // namespace kelvora::ui
