// Kelvora: the main window, then the welcome window as its first child window, then the hidden
// progress window; then the message loop until the program ends.
#include <QTimer>

#include "app/application.h"
#include "app/tform1.h"
#include "ui/tf_pbar.h"
#include "ui/tfstart.h"
#include "ui/theme.h"

int main(int argc, char** argv) {
    kelvora::app::Application app(argc, argv);
    kelvora::ui::installApplicationFont();

    kelvora::app::TForm1 form;
    form.show();
    form.addChildWindow(new kelvora::ui::TFStart);
    auto* progress = new kelvora::ui::Tf_pBar(&form);
    kelvora::ui::setF_pBar(progress);

    QTimer::singleShot(0, &form, &kelvora::app::TForm1::offerSampleMachine);
    return kelvora::app::Application::exec();
}
