// What every wizard window shares: the background picture, the header band with the browser's
// 48 x 48 icon, the title label, the section captions on their bars, and the buttons "Next >",
// "Cancel" and "Finish" in their fixed places. The selective and full bases (Tfb_IE, Tffb_IE)
// build on it, and so can a wizard that uses neither base (the Opera conversion).
//
// Controls are public members named as in the window designs, so derived wizards and tests can
// reach them. Handlers are virtual and named after control and event; a derived wizard replaces
// the ones where its browser differs.
#pragma once

#include <QColor>
#include <QPointer>
#include <vector>

#include "ui/artwork.h"
#include "ui/child_form.h"

class QLabel;
class QPushButton;

namespace kelvora::ui {

class WizardFrame : public ChildForm {
    Q_OBJECT

  public:
    explicit WizardFrame(const QColor& background, QWidget* parent = nullptr);

    QLabel* HeaderIcon;    // 48 x 48 at 14, 13
    QLabel* Label1;        // title label, 72, 23
    QPushButton* Button2;  // "Next >"
    QPushButton* Button3;  // "Cancel"
    QPushButton* Button1;  // "Finish": hidden until a task ends, in the place of "Next >"

    // A bold section caption at (x, y) with a bar picture behind it across the window.
    // Captions on the same line share one bar.
    QLabel* addSectionCaption(const QString& objectName, int x, int y, const QString& text);
    // A plain label (bold when asked) at (x, y).
    QLabel* addLabel(const QString& objectName, int x, int y, const QString& text, bool bold = false);
    // A grey note wrapped into `geometry` ("NoteLabel"): what a wizard says about its browser.
    QLabel* addNote(const QString& text, const QRect& geometry);
    void setBrowserIcon(const QString& keyword);  // the badge of the browser with this keyword
    void setTitle(const QString& text);

    // Handlers
    void FormActivate() override;  // hides "Finish"
    virtual void Button1Click();   // "Finish": ends the program
    virtual void Button2Click() {}
    virtual void Button3Click();  // "Cancel": ends the program

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor background_;
    std::vector<QPointer<QLabel>> captions_;
};

}  // namespace kelvora::ui
