#include "ui/update_window.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <climits>

#include "core/error.h"
#include "platform/platform.h"
#include "ui/artwork.h"
#include "ui/shell.h"
#include "ui/theme.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "update/update_settings.h"

namespace kelvora::ui {

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kStripHeight = 41;

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

bool askYesNo(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

void tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

std::unique_ptr<UpdatePrompts>& currentPrompts() {
    static std::unique_ptr<UpdatePrompts> prompts = std::make_unique<UpdatePrompts>();
    return prompts;
}

}  // namespace

// ---- Tfrm_ShowInfoUpdate --------------------------------------------------------------------

Tfrm_ShowInfoUpdate::Tfrm_ShowInfoUpdate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Web Update"));
    setFont(controlFont());
    resize(491, 387);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setOpenLinks(false);
    connect(WebBrowser1, &QTextBrowser::anchorClicked, this,
            [](const QUrl& url) { openExternal(url.toString()); });
    layout->addWidget(WebBrowser1, 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kStripHeight);
    Panel1->installEventFilter(this);
    layout->addWidget(Panel1);

    Button1 = new QPushButton(QStringLiteral("OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    for (QPushButton* button : {Button1, Button2})
        button->setGeometry(0, 6, kButtonWidth, kButtonHeight);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    centreOnScreen(this);
}

void Tfrm_ShowInfoUpdate::ShowPage(const QString& address, const QByteArray& html) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    const QString text = decoder.isValid() ? decoder.decode(html) : QString::fromLatin1(html);
    WebBrowser1->document()->setBaseUrl(QUrl(address));
    WebBrowser1->setHtml(text);
}

void Tfrm_ShowInfoUpdate::Panel1Resize() {
    const int okLeft = (Panel1->width() - Button1->width() - Button2->width() - 6) / 2;
    Button1->move(okLeft, Button1->y());
    Button2->move(Button1->x() + Button1->width() + 3, Button2->y());
}

bool Tfrm_ShowInfoUpdate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1 && event->type() == QEvent::Resize)
        Panel1Resize();
    return QDialog::eventFilter(watched, event);
}

// ---- Prompts --------------------------------------------------------------------------------

bool UpdatePrompts::Confirm(QWidget* parent, const QString& text) {
    return askYesNo(parent, QMessageBox::Question, QStringLiteral("Confirmation"), text);
}
bool UpdatePrompts::Warn(QWidget* parent, const QString& text) {
    return askYesNo(parent, QMessageBox::Warning, QStringLiteral("Warning"), text);
}
void UpdatePrompts::Error(QWidget* parent, const QString& text) {
    tell(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}
void UpdatePrompts::Notice(QWidget* parent, const QString& text) {
    tell(parent, QMessageBox::Warning, QStringLiteral("Warning"), text);
}
bool UpdatePrompts::ShowInfo(Tfrm_ShowInfoUpdate& window) {
    return window.exec() == QDialog::Accepted;
}
bool UpdatePrompts::Start(const std::string& fileName, const std::string& parameters) {
    return platform::startFile(fileName, parameters);
}

UpdatePrompts& updatePrompts() {
    return *currentPrompts();
}

std::unique_ptr<UpdatePrompts> setUpdatePrompts(std::unique_ptr<UpdatePrompts> prompts) {
    auto previous = std::move(currentPrompts());
    currentPrompts() = prompts ? std::move(prompts) : std::make_unique<UpdatePrompts>();
    return previous;
}

// ---- TQtWebUpdate ---------------------------------------------------------------------------

TQtWebUpdate::~TQtWebUpdate() = default;

bool TQtWebUpdate::ShowInfoWindow(const std::string& address) {
    if (!info_)
        info_ = std::make_unique<Tfrm_ShowInfoUpdate>();
    info_->Button1->setText(fromUtf8(InfoCaption.OkButton));
    info_->Button2->setText(fromUtf8(InfoCaption.CancelButton));
    std::string html;
    if (!FetchText(address, html)) {
        html = Format("<p>The page %s could not be loaded.</p>",
                      QString::fromStdString(address).toHtmlEscaped().toStdString().c_str());
    }
    info_->ShowPage(fromUtf8(address), QByteArray::fromStdString(html));
    return updatePrompts().ShowInfo(*info_);
}

bool TQtWebUpdate::Execute(const std::string& fileName, const std::string& parameters) {
    return updatePrompts().Start(fileName, parameters);
}

void TQtWebUpdate::Terminate() {
    endProgram();
}

void TQtWebUpdate::ProcessMessages() {
    QCoreApplication::processEvents();
}

// ---- Tf_Update ------------------------------------------------------------------------------

Tf_Update::Tf_Update(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Web Update"));
    setWindowIcon(applicationIcon());
    setFont(controlFont());
    setFixedSize(232, 24);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(3, 4, 225, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    centreOnScreen(this);

    WebUpdate1 = std::make_unique<TQtWebUpdate>(this);
    update::TWebUpdate& web = *WebUpdate1;
    web.ProductInfo.SetURL(update::UpdatePageAddress());
    web.ProductInfo.Version = update::ProgramVersion();
    web.ProductInfo.VersionFormat = update::vfStandard;
    web.Options = {update::uoRunUpdate, update::uoTerminate, update::uoOverwrite};
    web.HTTPPort = 80;
    web.OnAfterGetInfo = [this](update::TWebUpdate&) { WebUpdate1AfterGetInfo(); };
    web.OnBeforeShowInfo = [this](update::TWebUpdate&, bool& show, bool& check) {
        WebUpdate1BeforeShowInfo(show, check);
    };
    web.OnUpdateAvailable = [this](update::TWebUpdate&, const std::string& actual, const std::string& offered,
                                   bool& can) { WebUpdate1UpdateAvailable(actual, offered, can); };
    web.OnNoUpdateFound = [this](update::TWebUpdate&) { WebUpdate1NoUpdateFound(); };
    web.OnDownloadError = [this](update::TWebUpdate&) { WebUpdate1DownloadError(); };
    web.OnDownload = [this](update::TWebUpdate&, std::uint64_t total, std::uint64_t downloaded) {
        WebUpdate1Download(total, downloaded);
    };
    web.OnNotVerified = [this](update::TWebUpdate&, const std::string& file) { WebUpdate1NotVerified(file); };
    web.OnCannotExecute = [this](update::TWebUpdate&) { WebUpdate1CannotExecute(); };

    f_Update() = this;
    FormCreate();
}

Tf_Update::~Tf_Update() = default;

void Tf_Update::FormCreate() {
    // A build without an update page says so, rather than "Cannot download data from the web".
    if (!WebUpdate1->HasUpdatePage()) {
        updatePrompts().Notice(this, QString::fromUtf8(update::kNoUpdatePageMessage));
        return;
    }
    WebUpdate1->CheckForAnUpdate();
}

void Tf_Update::WebUpdate1AfterGetInfo() {
    // Kelvora's own folder, never the current one: a setup program of the same name that the
    // person keeps elsewhere is neither replaced nor, at the next start, removed.
    WebUpdate1->TargetFolder = platform::downloadFolder();
}

void Tf_Update::WebUpdate1BeforeShowInfo(bool& ShowInfo, bool&) {
    ShowInfo = updatePrompts().Confirm(this, QStringLiteral("Would you like to read the changelog?"));
}

void Tf_Update::WebUpdate1UpdateAvailable(const std::string& ActualVersion, const std::string& NewVersion,
                                          bool& CanUpdate) {
    CanUpdate = updatePrompts().Warn(
        this,
        QString::fromStdString(Format("You are using version %s, but version %s is available.\r\n\r\nDo "
                                      "you want to update your application now?",
                                      ActualVersion.c_str(), NewVersion.c_str())));
}

void Tf_Update::WebUpdate1NoUpdateFound() {
    updatePrompts().Error(this, QStringLiteral("There is no update available!"));
}

void Tf_Update::WebUpdate1DownloadError() {
    updatePrompts().Error(this, QStringLiteral("Cannot download data from the web"));
}

void Tf_Update::WebUpdate1Download(std::uint64_t Total, std::uint64_t Downloaded) {
    // The bar counts in ints: sizes beyond that are scaled down together.
    std::uint64_t scale = 1;
    while (Total / scale > INT_MAX || Downloaded / scale > INT_MAX)
        scale *= 2;
    ProgressBar1->setMaximum(static_cast<int>(Total / scale));
    ProgressBar1->setValue(static_cast<int>(std::min(Downloaded, Total) / scale));
}

void Tf_Update::WebUpdate1NotVerified(const std::string& FileName) {
    const std::string file = platform::nativePath(FileName).string();
    updatePrompts().Notice(
        this, QString::fromStdString(Format(
                  "The downloaded file %s could not be verified against the update page's SHA-256, so it was "
                  "removed and not started.",
                  file.c_str())));
}

void Tf_Update::WebUpdate1CannotExecute() {
    const std::string file = platform::nativePath(WebUpdate1->DownloadFileName()).string();
    updatePrompts().Error(
        this, QString::fromStdString(Format("The downloaded file %s could not be started.", file.c_str())));
}

QPointer<Tf_Update>& f_Update() {
    static QPointer<Tf_Update> window;
    return window;
}

void registerUpdateWindows(WindowFactories& factories) {
    factories.add(
        QStringLiteral("Updates"), [] { return new Tf_Update; }, Placement::TopLevel);
}

}  // namespace kelvora::ui
