#include "ui/convert_opera.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "ui/theme.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "ui/wizards/wizard_host.h"

namespace kelvora::ui {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// The hourglass for the length of one handler.
class BusyCursor {
  public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

Tfc_Opera::Tfc_Opera(QWidget* parent) : WizardFrame(QColor(242, 242, 242), parent) {
    setObjectName(QStringLiteral("fc_Opera"));
    setWindowTitle(tr("Convert Opera Profile"));
    setBrowserIcon(QStringLiteral("opera"));
    setTitle(tr("Welcome to Opera 10 Profile Conversion Wizard"));

    addSectionCaption(QStringLiteral("Label3"), 33, 80, tr("Instructions:"));
    Label2 =
        addLabel(QStringLiteral("Label2"), 39, 98,
                 tr("Use the following function after you have restored Opera settings (Opera 10 only!). "
                    "Program will seek for your profile file and replace data as per your request. Please "
                    "note: close Opera before clicking \"Next\"."));
    Label2->setWordWrap(true);
    Label2->setGeometry(39, 102, 530, 40);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    addSectionCaption(QStringLiteral("Label9"), 33, 148, tr("Conversion method:"));
    RadioGroup1 = new QGroupBox(tr("Option"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(39, 170, 522, 128);
    methods_ = new QButtonGroup(this);
    for (int i = 0; i < convert::kMethodCount; ++i) {
        auto* item = new QRadioButton(
            QString::fromUtf8(convert::kMethodCaptions[static_cast<std::size_t>(i)]), RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i + 1));
        const int column = i / 6;
        const int row = i % 6;
        item->setGeometry(12 + column * 256, 22 + row * 17, 250, 17);
        methods_->addButton(item, i + 1);
        RadioGroup1Items.push_back(item);
    }
    connect(methods_, &QButtonGroup::idClicked, this, [this] { RadioGroup1Click(); });

    Label4 = addLabel(QStringLiteral("Label4"), 39, 306, tr("Enter old username (if changing):"));
    Edit1 = new QLineEdit(QStringLiteral("Olduser"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(39, 322, 240, 21);
    Label5 = addLabel(QStringLiteral("Label5"), 300, 306,
                      tr("Enter old drive letter (if changing), for example: \"D:\\\":"));
    Edit2 = new QLineEdit(QStringLiteral("D:\\"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(300, 322, 240, 21);

    addSectionCaption(QStringLiteral("Label10"), 33, 356, tr("System information:"));
    // Captions in bold, values beside them.
    const auto infoRow = [this](int top, const QString& captionName, const QString& caption,
                                const QString& name) {
        addLabel(captionName, 39, top, caption, true);
        QLabel* value = addLabel(name, 130, top, {});
        value->setFixedWidth(160);
        return value;
    };
    Label6 = infoRow(380, QStringLiteral("Label11"), tr("Windows Name:"), QStringLiteral("Label6"));
    Label7 = infoRow(400, QStringLiteral("Label12"), tr("Windows Type:"), QStringLiteral("Label7"));
    Label8 = infoRow(420, QStringLiteral("Label13"), tr("Windows User:"), QStringLiteral("Label8"));

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(300, 378, 261, 104);
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);

    Button2->setEnabled(false);
    setTabOrder(Button2, Button3);
}

int Tfc_Opera::chosenMethod() const {
    return std::max(0, methods_->checkedId());
}

void Tfc_Opera::FormActivate() {
    WizardFrame::FormActivate();
    bool found = false;
    try {
        found = conversion_.Activate();
    } catch (const std::exception& e) {
        wizards::showError(this, e);
        return;
    }
    const auto& info = conversion_.systemInformation();
    Label6->setText(fromUtf8(info.windowsName));
    Label7->setText(fromUtf8(info.windowsType));
    Label8->setText(fromUtf8(info.user));
    if (!found)
        wizards::showBox(this, wizards::BoxKind::Message, QString::fromUtf8(convert::kNotFoundMessage));
}

void Tfc_Opera::RadioGroup1Click() {
    Button2->setEnabled(true);
}

void Tfc_Opera::Button2Click() {
    const int method = chosenMethod();
    if (method == 0)
        return;
    if (!conversion_.hasFile()) {
        wizards::showBox(this, wizards::BoxKind::Message, QString::fromUtf8(convert::kNoFileMessage));
        return;
    }
    TaskResult result;
    {
        BusyCursor busy;
        result = conversion_.Convert(method, toUtf8(Edit1->text()), toUtf8(Edit2->text()));
    }
    if (result.outcome() == Outcome::Failed) {
        wizards::showBox(this, wizards::BoxKind::Error, wizards::errorBoxText(result.message()));
        return;
    }
    // Converted, or nothing in the file to change: either way the text box shows the file.
    RichEdit1->setPlainText(fromUtf8(conversion_.details().text));
    Button1->show();
    Button1->raise();
}

void registerConvertWindows(WindowFactories& factories) {
    factories.add<Tfc_Opera>(QStringLiteral("c_Opera"));
}

}  // namespace kelvora::ui
