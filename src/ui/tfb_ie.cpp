#include "ui/tfb_ie.h"

#include <QCheckBox>
#include <QListWidgetItem>

#include "ui/radio_list.h"

namespace kelvora::ui {

Tfb_IE::Tfb_IE(QWidget* parent) : SelectiveFrame(parent) {
    setWindowTitle(tr("Backup Internet Explorer Web Browser"));
    setBrowserIcon(QStringLiteral("ie"));

    // Internet Explorer's items: two columns, "Dialup" shown but never used.
    const struct {
        const char* name;
        int column, row;
        const char* caption;
    } items[] = {{"CheckBox1", 0, 0, "Autocomplete"},     {"CheckBox2", 0, 1, "Cookies"},
                 {"CheckBox3", 0, 2, "Dialup"},           {"CheckBox4", 0, 3, "Favorites"},
                 {"CheckBox5", 0, 4, "History"},          {"CheckBox6", 0, 5, "Links bar"},
                 {"CheckBox7", 0, 6, "Search providers"}, {"CheckBox8", 1, 0, "Sessions"},
                 {"CheckBox9", 1, 1, "Settings"},         {"CheckBox10", 1, 2, "Toolbar"}};
    for (const auto& item : items)
        placeTickBox(QString::fromLatin1(item.name), item.column, item.row, tr(item.caption));
    QCheckBox* dialup = tickBox(QStringLiteral("CheckBox3"));
    dialup->setChecked(false);
    dialup->setEnabled(false);

    auto* profile = new QListWidgetItem(tr("Default"), ListBox1);
    profile->setFlags(profile->flags() & ~Qt::ItemIsEnabled);
}

void Tfb_IE::FormActivate() {
    setTitle(tr("Welcome to Internet Explorer Backup Wizard"));
    WizardFrame::FormActivate();
}

void Tfb_IE::setBaseTickBoxes(bool ticked) {
    for (const char* name : {"CheckBox1", "CheckBox2", "CheckBox4", "CheckBox5", "CheckBox6", "CheckBox7",
                             "CheckBox8", "CheckBox9", "CheckBox10"}) {
        if (QCheckBox* box = tickBox(QString::fromLatin1(name)))
            box->setChecked(ticked);
    }
}

void Tfb_IE::Button4Click() {
    setBaseTickBoxes(true);
}

void Tfb_IE::Button6Click() {
    setBaseTickBoxes(false);
}

}  // namespace kelvora::ui
