#include "ui/tf_about.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "ui/artwork.h"
#include "ui/maker.h"
#include "ui/shell.h"
#include "ui/theme.h"
#include "update/update_settings.h"

namespace kelvora::ui {

namespace {

QLabel* text(QWidget* parent, int x, int y, int width, const QString& content, bool bold = false) {
    auto* label = new QLabel(content, parent);
    label->setFont(controlFont(bold));
    label->setWordWrap(width > 0);
    label->move(x, y);
    if (width > 0)
        label->setFixedWidth(width);
    label->adjustSize();
    return label;
}

}  // namespace

Tf_About::Tf_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("About Kelvora"));
    setWindowIcon(applicationIcon());
    setFixedSize(265, 330);
    setFont(controlFont());
    setModal(false);

    auto* header = new QLabel(this);
    header->setGeometry(0, 0, 265, 61);
    header->setPixmap(aboutHeader(QSize(265, 61)));

    text(this, 14, 79, 0, tr("Kelvora"), true);
    text(this, 14, 106, 0, tr("Authors:"));
    AuthorsLink =
        text(this, 64, 106, 0, QStringLiteral("<a href=\"home\" style=\"color:#0000ff;\">Tolvane Team</a>"));
    AuthorsLink->setTextFormat(Qt::RichText);
    AuthorsLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    AuthorsLink->setCursor(Qt::PointingHandCursor);
    connect(AuthorsLink, &QLabel::linkActivated, this, [this] { AuthorsLinkClick(); });
    text(this, 14, 125, 0,
         tr("Version %1. Free of charge for every use.")
             .arg(QString::fromStdString(update::ProgramVersion())));
    text(this, 14, 144, 237, tr("All logos and trademarks are property of their respective owners."));
    auto* legal =
        text(this, 14, 200, 237,
             tr("Kelvora is provided as is, without warranty of any kind. Keep a copy of anything you "
                "cannot afford to lose before you restore over it."));
    legal->setStyleSheet(QStringLiteral("color: #606060;"));

    Button1 = new QPushButton(tr("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((265 - 75) / 2, 296, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tf_About::AuthorsLinkClick() {
    openExternal(maker::sitePage(QStringLiteral("/")));
}

void Tf_About::Button1Click() {
    close();
}

void Tf_About::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(242, 242, 242));
    paintSectionBar(p, QRect(0, 75, 265, 22));
    // Thin separator
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.drawLine(14, 184, 251, 184);
    p.setPen(Qt::white);
    p.drawLine(14, 185, 251, 185);
    p.drawPixmap(0, 284, aboutFooter(QSize(265, 48)));
}

QPointer<Tf_About>& f_About() {
    static QPointer<Tf_About> window;
    return window;
}

}  // namespace kelvora::ui
