#include "ui/tfstart.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "ui/artwork.h"
#include "ui/maker.h"
#include "ui/shell.h"
#include "ui/theme.h"

namespace kelvora::ui {

TFStart::TFStart(QWidget* parent) : ChildForm(parent) {
    setWindowTitle(tr("Welcome"));

    Banner = new QLabel(this);
    Banner->setObjectName(QStringLiteral("Banner"));
    Banner->setGeometry(25, 23, 549, 100);
    Banner->setPixmap(welcomeBanner(QSize(549, 100)));

    constexpr int kLeft = 31;
    constexpr int kText = 113;
    addText(kLeft, 149, tr("Welcome:"), true);
    headingRows_.push_back(149);
    const struct {
        int top;
        const char* label;
        const char* text;
    } rows[] = {
        {177, "Backup:",
         "Backup different web browser profiles, data and settings. Works with portable versions as well."},
        {196, "Restore:",
         "Restore different web browser profiles, data and settings. Works with portable versions as well."},
        {270, "Full Backup:", "Backup all web browser profiles and their data."},
        {289, "Full Restore:", "Restore all web browser profiles and their data."},
        {318, "Convert:", "Convert Opera profile, from XP to 7/Vista, from 32 bit to 64 and vice versa."},
    };
    for (const auto& row : rows) {
        addText(kLeft, row.top, tr(row.label), true);
        addText(kText, row.top, tr(row.text), false);
    }
    addText(kLeft, 215,
            tr("Please note: If you are restoring portable browser data and custom location is not provided, "
               "it may "
               "overwrite your regular browser settings. If you don't want this to happen, please provide "
               "portable "
               "browser's backup location."),
            false, 540);

    HelpLink = addText(
        kLeft, 337,
        tr("For more information, visit Kelvora <a href=\"help\" style=\"color:#0000ff;\">help page</a>."),
        false);
    HelpLink->setTextFormat(Qt::RichText);
    HelpLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    HelpLink->setCursor(Qt::PointingHandCursor);
    connect(HelpLink, &QLabel::linkActivated, this, [this] { HelpLinkClick(); });

    addText(kLeft, 370, tr("Legal Notice:"), true);
    headingRows_.push_back(370);
    QLabel* legal =
        addText(kLeft, 399,
                tr("By using this software, you agree to use it on your own risk. We are not responsible "
                   "for any damages or claims arising from the following application, nor do we take "
                   "responsibility for any data, equipment or financial loss, as a result of faulty "
                   "software."),
                false, 540);
    legal->setStyleSheet(QStringLiteral("color: #808080;"));

    Button1 = new QPushButton(tr("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(508, 494, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(&StyleNotifier::instance(), &StyleNotifier::styleChanged, this, [this] {
        Banner->setPixmap(welcomeBanner(Banner->size()));
        update();
    });
}

QLabel* TFStart::addText(int x, int y, const QString& text, bool bold, int width) {
    auto* label = new QLabel(text, this);
    label->setFont(controlFont(bold));
    label->move(x, y);
    if (width > 0) {
        label->setWordWrap(true);
        label->setFixedWidth(width);
    }
    label->adjustSize();
    return label;
}

void TFStart::HelpLinkClick() {
    openExternal(maker::sitePage(QStringLiteral("/help/")));
}

void TFStart::Button1Click() {
    endProgram();
}

void TFStart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintWindowBackground(p, rect(), QColor(242, 242, 242));
    for (int row : headingRows_)
        paintSectionBar(p, QRect(7, row - 4, 585, 22));
}

}  // namespace kelvora::ui
