// Internet Explorer's restore wizards. Its backup wizards are the frames themselves: Tfb_IE (the
// selective one) and Tffb_IE (the full one), whose "Next >" handlers are written beside these
// in ie_wizards.cpp. Internet Explorer has no profiles to discover: activation only sets the
// title, and every "Next >" works out the machine's facts and folders afresh.
#pragma once

#include "ui/tfb_ie.h"
#include "ui/tffb_ie.h"

namespace kelvora::ui {

class Tfr_IE : public Tfb_IE {
    Q_OBJECT

  public:
    explicit Tfr_IE(QWidget* parent = nullptr);

    // Handlers
    void FormActivate() override;  // the title; "Finish" stays as it is
    void Button2Click() override;  // the restore
};

class Tffr_IE : public Tffb_IE {
    Q_OBJECT

  public:
    explicit Tffr_IE(QWidget* parent = nullptr);

    // Handlers
    void FormActivate() override;  // the title, "Finish" hidden
    void Button2Click() override;  // the full restore
};

}  // namespace kelvora::ui
