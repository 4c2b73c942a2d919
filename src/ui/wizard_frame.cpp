#include "ui/wizard_frame.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <set>

#include "ui/shell.h"
#include "ui/theme.h"

namespace kelvora::ui {

namespace {

constexpr int kBarWidth = 585;
constexpr int kBarHeight = 22;

}  // namespace

WizardFrame::WizardFrame(const QColor& background, QWidget* parent)
    : ChildForm(parent), background_(background) {
    HeaderIcon = new QLabel(this);
    HeaderIcon->setObjectName(QStringLiteral("HeaderIcon"));
    HeaderIcon->setGeometry(14, 13, 48, 48);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(titleFont());
    Label1->move(72, 23);
    Label1->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(currentTheme().title.name()));

    Button2 = new QPushButton(tr("Next >"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(395, 494, 98, 25);
    Button3 = new QPushButton(tr("Cancel"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(508, 494, 75, 25);
    Button1 = new QPushButton(tr("Finish"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(395, 494, 98, 25);
    Button1->setFont(controlFont(true));
    Button1->hide();

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(&StyleNotifier::instance(), &StyleNotifier::styleChanged, this, [this] { update(); });
}

QLabel* WizardFrame::addLabel(const QString& objectName, int x, int y, const QString& text, bool bold) {
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    label->setFont(controlFont(bold));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* WizardFrame::addNote(const QString& text, const QRect& geometry) {
    QLabel* label = addLabel(QStringLiteral("NoteLabel"), geometry.x(), geometry.y(), text);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #505050;"));
    label->setGeometry(geometry);
    return label;
}

QLabel* WizardFrame::addSectionCaption(const QString& objectName, int x, int y, const QString& text) {
    QLabel* label = addLabel(objectName, x, y, text, true);
    captions_.emplace_back(label);
    update();
    return label;
}

void WizardFrame::setBrowserIcon(const QString& keyword) {
    HeaderIcon->setPixmap(browserBadge(keyword, 48));
}

void WizardFrame::setTitle(const QString& text) {
    Label1->setText(text);
    Label1->adjustSize();
}

void WizardFrame::FormActivate() {
    Button1->hide();
}

void WizardFrame::Button1Click() {
    endProgram();
}

void WizardFrame::Button3Click() {
    endProgram();
}

void WizardFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    paintWindowBackground(p, QRect(2, 2, 598, 527), background_);
    paintHeaderBand(p, QRect(9, 9, 583, 55));
    const int barLeft = (width() - kBarWidth) / 2;
    std::set<int> drawn;
    for (const auto& caption : captions_) {
        if (!caption || caption->isHidden())
            continue;
        const int top = caption->y() + caption->height() / 2 - kBarHeight / 2;
        if (drawn.insert(top).second)
            paintSectionBar(p, QRect(barLeft, top, kBarWidth, kBarHeight));
    }
}

}  // namespace kelvora::ui
