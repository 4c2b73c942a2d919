// Kelvora: the main window, then the welcome window as its first child window, then the hidden
// progress window; then the message loop until the program ends.
#include <QApplication>
#include <QTimer>

#include "app/tform1.h"
#include "ui/tf_pbar.h"
#include "ui/tfstart.h"
#include "ui/theme.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setOrganizationName(QStringLiteral("Tolvane"));
    kelvora::ui::installApplicationFont();

    kelvora::app::TForm1 form;
    form.show();
    form.addChildWindow(new kelvora::ui::TFStart);
    auto* progress = new kelvora::ui::Tf_pBar(&form);
    kelvora::ui::setF_pBar(progress);

    QTimer::singleShot(0, &form, &kelvora::app::TForm1::offerSampleMachine);
    return QApplication::exec();
}
