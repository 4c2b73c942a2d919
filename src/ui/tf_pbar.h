// The one progress window of the selective tasks: a borderless 151 x 18 window in the middle of
// the screen with a bar from 0 to 100. Showing it starts the bar at 0; steps past 100 stop there.
#pragma once

#include <QWidget>

class QProgressBar;

namespace kelvora::ui {

class Tf_pBar : public QWidget {
    Q_OBJECT

  public:
    explicit Tf_pBar(QWidget* parent = nullptr);

    QProgressBar* ProgressBar1;

    void StepBy(int amount);
    void SetPosition(int position);
    int Position() const;

    // Handler: the bar back to 0 each time the window is shown.
    virtual void FormActivate();

  protected:
    void showEvent(QShowEvent* event) override;
};

// The global progress window, made at program start (nullptr before and after).
Tf_pBar* f_pBar();
void setF_pBar(Tf_pBar* window);

}  // namespace kelvora::ui
