#include "ui/tffb_ie.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/directory_edit.h"
#include "ui/selective_frame.h"

namespace kelvora::ui {

Tffb_IE::Tffb_IE(QWidget* parent) : WizardFrame(Qt::white, parent) {
    setWindowTitle(tr("Backup Internet Explorer Web Browser"));
    setBrowserIcon(QStringLiteral("ie"));

    Label18 = addSectionCaption(QStringLiteral("Label18"), 33, 80, tr("Backup location:"));
    DirectoryEdit2 = new DirectoryEdit(SelectiveFrame::kBackupLocationText, this);
    DirectoryEdit2->setObjectName(QStringLiteral("DirectoryEdit2"));
    DirectoryEdit2->setGeometry(39, 106, 283, 21);

    Label3 = addSectionCaption(QStringLiteral("Label3"), 33, 139, tr("Progress:"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(39, 167, 522, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    connect(DirectoryEdit2, &QLineEdit::textChanged, this, [this] { DirectoryEdit2Change(); });
    Button2->setFocus();
}

bool Tffb_IE::backupLocationMissing() const {
    return DirectoryEdit2->text() == SelectiveFrame::kBackupLocationText;
}

void Tffb_IE::FormActivate() {
    setTitle(tr("Welcome to Internet Explorer Full Backup Wizard"));
    WizardFrame::FormActivate();
}

}  // namespace kelvora::ui
