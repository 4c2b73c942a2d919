// A child window of the main window's client area: fixed size, no title bar or border, freed
// when closed. The main window calls FormActivate() every time the window becomes the active
// child window.
#pragma once

#include <QWidget>

namespace kelvora::ui {

class ChildForm : public QWidget {
    Q_OBJECT

  public:
    // Client area of the wizards and of the welcome window.
    static constexpr int kWidth = 599;
    static constexpr int kHeight = 531;

    explicit ChildForm(QWidget* parent = nullptr);

    // Runs each time the window becomes the active child window.
    virtual void FormActivate() {}
};

}  // namespace kelvora::ui
