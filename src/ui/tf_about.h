// The About window: a free-standing dialog naming the program and its makers, with a link to the
// maker's home page. Every use of the About command makes a new one; "OK" or the close button
// frees it.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace kelvora::ui {

class Tf_About : public QDialog {
    Q_OBJECT

  public:
    explicit Tf_About(QWidget* parent = nullptr);

    QLabel* AuthorsLink;   // "Tolvane Team"
    QPushButton* Button1;  // "OK"

    // Handlers
    virtual void AuthorsLinkClick();  // opens the maker's home page
    virtual void Button1Click();      // closes the window

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// The About window made last (empty once it is closed).
QPointer<Tf_About>& f_About();

}  // namespace kelvora::ui
