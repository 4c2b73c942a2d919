#include "ui/selective_frame.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "ui/directory_edit.h"
#include "ui/radio_list.h"
#include "ui/theme.h"

namespace kelvora::ui {

const QString SelectiveFrame::kBackupLocationText = QStringLiteral("Backup location:");
const QString SelectiveFrame::kCustomProfileLocationText =
    QStringLiteral("Custom profile location (optional):");

SelectiveFrame::SelectiveFrame(QWidget* parent) : WizardFrame(QColor(242, 242, 242), parent) {
    Label18 = addSectionCaption(QStringLiteral("Label18"), 33, 80, tr("Backup the following:"));

    Button4 = new QPushButton(tr("Select All"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(39, 274, 75, 25);
    Button6 = new QPushButton(tr("Deselect"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(120, 274, 75, 25);
    Label15 = addLabel(QStringLiteral("Label15"), 39, 283, QString(), true);
    Label15->setAttribute(Qt::WA_TransparentForMouseEvents);

    Label2 = addSectionCaption(QStringLiteral("Label2"), 33, 309, tr("Backup location:"));
    DirectoryEdit2 = new DirectoryEdit(kBackupLocationText, this);
    DirectoryEdit2->setObjectName(QStringLiteral("DirectoryEdit2"));
    DirectoryEdit2->setGeometry(39, 336, 283, 21);

    Label3 = addSectionCaption(QStringLiteral("Label3"), 33, 369, tr("Profile:"));
    ListBox1 = addRadioList(QStringLiteral("ListBox1"), QRect(39, 397, 283, 46));

    DirectoryEdit1 = new DirectoryEdit(kCustomProfileLocationText, this);
    DirectoryEdit1->setObjectName(QStringLiteral("DirectoryEdit1"));
    DirectoryEdit1->setGeometry(39, 449, 283, 21);
    DirectoryEdit1->setStyleSheet(QStringLiteral("QLineEdit { color: #808080; }"));
    DirectoryEdit1->hide();

    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(DirectoryEdit1, &QLineEdit::textChanged, this, [this] { DirectoryEdit1Change(); });
    connect(DirectoryEdit2, &QLineEdit::textChanged, this, [this] { DirectoryEdit2Change(); });
    connect(ListBox1, &RadioList::userClicked, this, [this] { ListBox1Click(); });

    Button2->setFocus();
}

QCheckBox* SelectiveFrame::placeTickBox(const QString& objectName, int column, int row,
                                        const QString& caption, bool ticked) {
    QCheckBox* box = tickBox(objectName);
    if (!box) {
        box = new QCheckBox(this);
        box->setObjectName(objectName);
        box->setFont(controlFont());
        boxes_.push_back(box);
        box->show();
    }
    column = std::clamp(column, 0, 2);
    box->setText(caption);
    box->setGeometry(kTickColumns[column], kTickRowTop + row * kTickRowStep, 175, 17);
    box->setChecked(ticked);
    box->setEnabled(true);
    return box;
}

QCheckBox* SelectiveFrame::tickBox(const QString& objectName) const {
    for (QCheckBox* box : boxes_) {
        if (box->objectName() == objectName)
            return box;
    }
    return nullptr;
}

std::vector<QCheckBox*> SelectiveFrame::tickBoxes() const {
    return boxes_;
}

RadioList* SelectiveFrame::addRadioList(const QString& objectName, const QRect& geometry) {
    auto* list =
        new RadioList(this, [this](QPainter& painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) { ListBox1DrawItem(painter, option, index); });
    list->setObjectName(objectName);
    list->setFont(controlFont());
    list->setGeometry(geometry);
    return list;
}

bool SelectiveFrame::backupLocationMissing() const {
    return DirectoryEdit2->text() == kBackupLocationText;
}

void SelectiveFrame::ListBox1DrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) {
    drawRadioListItem(painter, option, index);
}

}  // namespace kelvora::ui
