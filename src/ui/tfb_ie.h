// The Internet Explorer backup wizard's window: the selective frame with Internet Explorer's ten
// tick boxes in two columns and its one profile, "Default".
#pragma once

#include "ui/selective_frame.h"

namespace kelvora::ui {

class Tfb_IE : public SelectiveFrame {
    Q_OBJECT

  public:
    explicit Tfb_IE(QWidget* parent = nullptr);

    // Handlers
    void FormActivate() override;  // title, hides "Finish"
    void Button2Click() override;  // Internet Explorer's backup (ui/wizards/ie_wizards.cpp)
    void Button4Click() override;  // "Select All"
    void Button6Click() override;  // "Deselect"

  protected:
    // The boxes "Select All" and "Deselect" set in this window (all but CheckBox3).
    void setBaseTickBoxes(bool ticked);
};

}  // namespace kelvora::ui
