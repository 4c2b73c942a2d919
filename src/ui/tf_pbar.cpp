#include "ui/tf_pbar.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

namespace kelvora::ui {

namespace {

QPointer<Tf_pBar> global_pbar;

}  // namespace

Tf_pBar::Tf_pBar(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setWindowTitle(tr("Progress Bar"));
    setFixedSize(151, 18);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(0, 0, 150, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tf_pBar::StepBy(int amount) {
    SetPosition(ProgressBar1->value() + amount);
}

void Tf_pBar::SetPosition(int position) {
    ProgressBar1->setValue(std::clamp(position, 0, 100));
}

int Tf_pBar::Position() const {
    return ProgressBar1->value();
}

void Tf_pBar::FormActivate() {
    ProgressBar1->setValue(0);
}

void Tf_pBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormActivate();
}

Tf_pBar* f_pBar() {
    return global_pbar;
}

void setF_pBar(Tf_pBar* window) {
    global_pbar = window;
}

}  // namespace kelvora::ui
