// The ribbon commands of the browser wizards and the windows they open: one set of four per row of
// browserLooks(). A row that names window classes opens them; any other is made from its
// browser's descriptor.
#include <functional>
#include <map>

#include "browsers/browser.h"
#include "ui/browser_looks.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "ui/wizards/full_wizards.h"
#include "ui/wizards/ie_wizards.h"
#include "ui/wizards/selective_wizards.h"

namespace kelvora::ui {

namespace {

using browsers::Task;

// The windows of the browsers whose windows have classes of their own, by class suffix: backup,
// restore, full backup, full restore.
struct ClassWindows {
    WindowFactories::Make backup, restore, fullBackup, fullRestore;
};

template <class B, class R, class FB, class FR>
ClassWindows windowsOf() {
    return {[] { return new B; }, [] { return new R; }, [] { return new FB; }, [] { return new FR; }};
}

const std::map<QString, ClassWindows>& classWindows() {
    static const std::map<QString, ClassWindows> windows = {
        {QStringLiteral("IE"), windowsOf<Tfb_IE, Tfr_IE, Tffb_IE, Tffr_IE>()},
        {QStringLiteral("Firefox"), windowsOf<Tfb_Firefox, Tfr_Firefox, Tffb_Firefox, Tffr_Firefox>()},
        {QStringLiteral("Chrome"), windowsOf<Tfb_Chrome, Tfr_Chrome, Tffb_Chrome, Tffr_Chrome>()},
        {QStringLiteral("Opera"), windowsOf<Tfb_Opera, Tfr_Opera, Tffb_Opera, Tffr_Opera>()},
        {QStringLiteral("Safari"), windowsOf<Tfb_Safari, Tfr_Safari, Tffb_Safari, Tffr_Safari>()},
        {QStringLiteral("Flock"), windowsOf<Tfb_Flock, Tfr_Flock, Tffb_Flock, Tffr_Flock>()},
    };
    return windows;
}

ClassWindows descriptorWindows(const std::string& keyword) {
    const browsers::Browser* b = &browsers::browser(keyword);
    return {[b] { return SelectiveWizard::make(*b, Task::Backup); },
            [b] { return SelectiveWizard::make(*b, Task::Restore); },
            [b] { return new FullWizard(*b, Task::Backup); },
            [b] { return new FullWizard(*b, Task::Restore); }};
}

}  // namespace

void registerWizardWindows(WindowFactories& f) {
    for (const auto& look : browserLooks()) {
        const auto known = classWindows().find(look.classSuffix);
        const ClassWindows windows =
            known != classWindows().end() ? known->second : descriptorWindows(look.keyword.toStdString());
        f.add(QStringLiteral("B_") + look.commandId, windows.backup);
        f.add(QStringLiteral("R_") + look.commandId, windows.restore);
        f.add(QStringLiteral("sB_") + look.commandId, windows.fullBackup);
        f.add(QStringLiteral("sR_") + look.commandId, windows.fullRestore);
    }
}

}  // namespace kelvora::ui
