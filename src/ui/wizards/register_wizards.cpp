// The ribbon commands of the browser wizards and the windows they open.
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "ui/wizards/full_wizards.h"
#include "ui/wizards/ie_wizards.h"
#include "ui/wizards/selective_wizards.h"

namespace kelvora::ui {

void registerWizardWindows(WindowFactories& f) {
    f.add<Tfb_IE>(QStringLiteral("B_InternetExplorer"));
    f.add<Tfb_Firefox>(QStringLiteral("B_Firefox"));
    f.add<Tfb_Chrome>(QStringLiteral("B_Chrome"));
    f.add<Tfb_Opera>(QStringLiteral("B_Opera"));
    f.add<Tfb_Safari>(QStringLiteral("B_Safari"));
    f.add<Tfb_Flock>(QStringLiteral("B_Flock"));

    f.add<Tfr_IE>(QStringLiteral("R_InternetExplorer"));
    f.add<Tfr_Firefox>(QStringLiteral("R_Firefox"));
    f.add<Tfr_Chrome>(QStringLiteral("R_Chrome"));
    f.add<Tfr_Opera>(QStringLiteral("R_Opera"));
    f.add<Tfr_Safari>(QStringLiteral("R_Safari"));
    f.add<Tfr_Flock>(QStringLiteral("R_Flock"));

    f.add<Tffb_IE>(QStringLiteral("sB_InternetExplorer"));
    f.add<Tffb_Firefox>(QStringLiteral("sB_Firefox"));
    f.add<Tffb_Chrome>(QStringLiteral("sB_Chrome"));
    f.add<Tffb_Opera>(QStringLiteral("sB_Opera"));
    f.add<Tffb_Safari>(QStringLiteral("sB_Safari"));
    f.add<Tffb_Flock>(QStringLiteral("sB_Flock"));

    f.add<Tffr_IE>(QStringLiteral("sR_InternetExplorer"));
    f.add<Tffr_Firefox>(QStringLiteral("sR_Firefox"));
    f.add<Tffr_Chrome>(QStringLiteral("sR_Chrome"));
    f.add<Tffr_Opera>(QStringLiteral("sR_Opera"));
    f.add<Tffr_Safari>(QStringLiteral("sR_Safari"));
    f.add<Tffr_Flock>(QStringLiteral("sR_Flock"));
}

}  // namespace kelvora::ui
