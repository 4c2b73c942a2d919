// The welcome window: the first child window of the main window. It says what the five kinds of
// task do, links to the maker's help page and offers "Cancel", which ends the program. Closed by
// other means it is gone for the rest of the run.
#pragma once

#include <vector>

#include "ui/child_form.h"

class QLabel;
class QPushButton;

namespace kelvora::ui {

class TFStart : public ChildForm {
    Q_OBJECT

  public:
    explicit TFStart(QWidget* parent = nullptr);

    QLabel* Banner;
    QLabel* HelpLink;      // "... visit Kelvora help page."
    QPushButton* Button1;  // "Cancel"

    // Handlers
    virtual void HelpLinkClick();  // opens the maker's help page
    virtual void Button1Click();   // ends the program

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* addText(int x, int y, const QString& text, bool bold, int width = 0);
    std::vector<int> headingRows_;
};

}  // namespace kelvora::ui
