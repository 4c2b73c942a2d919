#include "app/machine_panel.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>
#include <QToolButton>
#include <algorithm>

#include "ui/artwork.h"
#include "ui/shell.h"
#include "ui/theme.h"

#ifdef KELVORA_HAVE_SAMPLE_MACHINE
#include "tools/sample_machine.h"
#endif

namespace kelvora::app {

QStringList windowsUsers(const QString& root) {
    static const QStringList system = {QStringLiteral("all users"),    QStringLiteral("default"),
                                       QStringLiteral("default user"), QStringLiteral("public"),
                                       QStringLiteral("localservice"), QStringLiteral("networkservice")};
    QStringList users;
    for (const char* folder : {"Users", "Documents and Settings"}) {
        std::vector<platform::DirEntry> entries;
        const std::string path = (root + QLatin1Char('/') + QLatin1String(folder)).toStdString();
        if (!platform::listDirectory(path, false, entries))
            continue;
        for (const auto& e : entries) {
            const QString name = QString::fromStdString(e.name);
            if (e.isDirectory && !system.contains(name.toLower()) && !users.contains(name))
                users << name;
        }
    }
    std::sort(users.begin(), users.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return users;
}

bool sampleMachineAvailable() {
#ifdef KELVORA_HAVE_SAMPLE_MACHINE
    return true;
#else
    return false;
#endif
}

QString sampleMachineFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/sample-machine");
}

std::optional<platform::MachineOptions> buildSampleMachine(const QString& folder, QString& error) {
#ifdef KELVORA_HAVE_SAMPLE_MACHINE
    try {
        const tools::SampleMachine m = tools::buildSampleMachine(folder.toStdString());
        platform::MachineOptions options;
        options.root = m.root.string();
        options.user = m.user;
        options.windowsVersion = m.version;
        return options;
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
        return std::nullopt;
    }
#else
    (void)folder;
    error = QObject::tr("This build has no sample-machine builder.");
    return std::nullopt;
#endif
}

MachinePanel::MachinePanel(Settings settings, std::string chosenVersion, std::string forcedVersion,
                           QWidget* parent)
    : QWidget(parent),
      settings_(std::move(settings)),
      chosenVersion_(std::move(chosenVersion)),
      forcedVersion_(std::move(forcedVersion)) {
    setObjectName(QStringLiteral("MachinePanel"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    FolderButton = new QToolButton(this);
    FolderButton->setObjectName(QStringLiteral("QuickAccessButton"));
    FolderButton->setIcon(ui::folderIcon());
    FolderButton->setText(tr("Windows:"));
    FolderButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FolderButton->setToolTip(
        tr("<b>Windows folder</b><br>Choose the folder of the Windows installation (its C: drive)."));
    FolderButton->setFixedHeight(20);
    FolderLabel = new QLabel(this);
    FolderLabel->setObjectName(QStringLiteral("MachineLabel"));
    FolderLabel->setFixedWidth(150);

    auto* userLabel = new QLabel(tr("User:"), this);
    userLabel->setObjectName(QStringLiteral("MachineLabel"));
    UserBox = new QComboBox(this);
    UserBox->setFixedHeight(19);
    UserBox->setToolTip(tr("<b>Windows user</b><br>The user whose browsers are backed up and restored."));
    auto* versionLabel = new QLabel(tr("Version:"), this);
    versionLabel->setObjectName(QStringLiteral("MachineLabel"));
    VersionBox = new QComboBox(this);
    VersionBox->setFixedHeight(19);
    VersionBox->setToolTip(tr("<b>Windows version</b><br>Which Windows the folder holds."));
    if (forcedVersion_.empty()) {
        VersionBox->addItem(tr("Detect from the folder"), QString());
        VersionBox->addItem(tr("Windows 2000 or XP"), QStringLiteral("5"));
        VersionBox->addItem(tr("Windows Vista or 7"), QStringLiteral("6"));
    } else {
        // The command line or the environment decides; the box only says which version it is.
        const QString forced = QString::fromStdString(forcedVersion_);
        const QString name = forced == QLatin1String("5")    ? tr("Windows 2000 or XP")
                             : forced == QLatin1String("6")  ? tr("Windows Vista or 7")
                             : forced == QLatin1String("10") ? tr("Windows 10 or 11")
                                                             : tr("Windows version %1").arg(forced);
        VersionBox->addItem(tr("%1 (forced)").arg(name), forced);
        VersionBox->setEnabled(false);
        VersionBox->setToolTip(
            tr("<b>Windows version</b><br>Set by --windows-version or KELVORA_WINDOWS_VERSION."));
    }

    SampleButton = new QToolButton(this);
    SampleButton->setObjectName(QStringLiteral("QuickAccessButton"));
    SampleButton->setText(tr("Sample"));
    SampleButton->setToolTip(
        tr("<b>Sample machine</b><br>Build a Windows folder with profiles of the six browsers "
           "and work on it."));
    SampleButton->setFixedHeight(20);
    SampleButton->setVisible(sampleMachineAvailable());

    LocalButton = new QToolButton(this);
    LocalButton->setObjectName(QStringLiteral("QuickAccessButton"));
    LocalButton->setText(tr("This computer"));
    LocalButton->setToolTip(
        tr("<b>This computer</b><br>Back up and restore the browsers of your own "
           "home folder: Firefox, Chrome, Chromium, Edge, Brave, Vivaldi and Opera."));
    LocalButton->setFixedHeight(20);
    LocalButton->setCheckable(true);

    grid->addWidget(FolderButton, 0, 0);
    grid->addWidget(FolderLabel, 0, 1);
    grid->addWidget(userLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(UserBox, 1, 1);
    grid->addWidget(versionLabel, 2, 0, Qt::AlignRight);
    grid->addWidget(VersionBox, 2, 1);
    grid->addWidget(SampleButton, 0, 2);
    grid->addWidget(LocalButton, 1, 2);

    connect(FolderButton, &QToolButton::clicked, this, &MachinePanel::chooseFolder);
    connect(SampleButton, &QToolButton::clicked, this, &MachinePanel::useSampleMachine);
    connect(LocalButton, &QToolButton::clicked, this, &MachinePanel::useThisComputer);
    connect(UserBox, &QComboBox::currentIndexChanged, this, [this] { apply(); });
    connect(VersionBox, &QComboBox::currentIndexChanged, this, [this] { apply(); });
    refresh();
}

void MachinePanel::refresh() {
    updating_ = true;
    const platform::MachineOptions m = platform::currentMachine();
    const bool local = platform::onThisComputer();
    const QString root = local ? QString() : QString::fromStdString(m.root);
    FolderLabel->setText(local ? tr("This computer")
                         : root.isEmpty()
                             ? tr("(none chosen)")
                             : FolderLabel->fontMetrics().elidedText(root, Qt::ElideMiddle, 150));
    FolderLabel->setToolTip(local ? QString::fromStdString(platform::homeFolder()) : root);
    LocalButton->setChecked(local);
    UserBox->setEnabled(!local);
    VersionBox->setEnabled(!local && forcedVersion_.empty());
    UserBox->clear();
    QStringList users = windowsUsers(root);
    const QString user = QString::fromStdString(m.user);
    if (!user.isEmpty() && !users.contains(user))
        users.prepend(user);
    UserBox->addItems(users);
    UserBox->setCurrentIndex(static_cast<int>(std::max<qsizetype>(0, users.indexOf(user))));
    if (forcedVersion_.empty())
        VersionBox->setCurrentIndex(
            std::max(0, VersionBox->findData(QString::fromStdString(chosenVersion_))));
    updating_ = false;
}

void MachinePanel::chooseFolder() {
    const QString start = QString::fromStdString(platform::currentMachine().root);
    const QString folder = ui::chooseFolder(window(), tr("Windows installation folder"),
                                            start.isEmpty() ? QDir::homePath() : start);
    if (folder.isEmpty())
        return;
    platform::MachineOptions m;
    m.root = folder.toStdString();
    const QStringList users = windowsUsers(folder);
    if (!users.isEmpty())
        m.user = users.contains(UserBox->currentText()) ? UserBox->currentText().toStdString()
                                                        : users.front().toStdString();
    m.windowsVersion = VersionBox->currentData().toString().toStdString();
    setMachine(m);
}

void MachinePanel::setMachine(const platform::MachineOptions& machine) {
    platform::MachineOptions used = machine;
    platform::MachineOptions stored = machine;
    if (forcedVersion_.empty()) {
        chosenVersion_ = machine.windowsVersion;
    } else {
        // The forced version is used, but the settings file keeps the person's own choice.
        used.windowsVersion = forcedVersion_;
        const auto previous = settings_.machine();
        stored.windowsVersion = previous ? previous->windowsVersion : std::string();
    }
    platform::setMachine(used);
    settings_.setMachine(stored);
    refresh();
    emit machineChanged();
}

void MachinePanel::useThisComputer() {
    platform::MachineOptions m;
    m.root = platform::kThisComputer;
    setMachine(m);
}

void MachinePanel::useSampleMachine() {
    QString error;
    if (auto m = buildSampleMachine(sampleMachineFolder(), error))
        setMachine(*m);
    else
        QMessageBox::warning(window(), tr("Kelvora"),
                             tr("The sample machine could not be built: %1").arg(error));
}

void MachinePanel::apply() {
    if (updating_ || platform::onThisComputer())
        return;
    platform::MachineOptions m;
    m.root = platform::currentMachine().root;
    m.user = UserBox->currentText().toStdString();
    m.windowsVersion = VersionBox->currentData().toString().toStdString();
    setMachine(m);
}

}  // namespace kelvora::app
