// Kelvora: the main window, then the welcome window as its first child window, then the hidden
// progress window; then the message loop until the program ends. On Linux the command line may name
// the machine as kelvora-cli's does: --root DIR, --user NAME, --windows-version N.
#include <QTimer>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/settings.h"
#include "app/shown_mark.h"
#include "app/tform1.h"
#include "core/machine_options.h"
#include "core/result.h"
#include "ui/tf_pbar.h"
#include "ui/tfstart.h"
#include "ui/theme.h"

int main(int argc, char** argv) {
    kelvora::app::Application app(argc, argv);
    // The machine options of kelvora-cli; Qt has taken its own arguments out already.
    std::vector<std::string> args;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        args.push_back(arg.toStdString());
    std::string error;
    const auto machine = kelvora::MachineOptionsFromArguments(args, error);
    if (!machine) {
        std::cerr << "kelvora: " << error << '\n';
        return kelvora::kExitUsage;
    }
    kelvora::ui::installApplicationFont();

    kelvora::app::TForm1 form(kelvora::app::Settings::defaultPath(), *machine);
    form.show();
    kelvora::app::markWhenShown(&form);
    form.addChildWindow(new kelvora::ui::TFStart);
    auto* progress = new kelvora::ui::Tf_pBar(&form);
    kelvora::ui::setF_pBar(progress);

    QTimer::singleShot(0, &form, &kelvora::app::TForm1::offerSampleMachine);
    return kelvora::app::Application::exec();
}
