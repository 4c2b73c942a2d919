#include "app/tform1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/commands.h"
#include "app/machine_panel.h"
#include "app/ribbon.h"
#include "browsers/browser.h"
#include "browsers/task_support.h"
#include "browsers/undo.h"
#include "core/core.h"
#include "core/machine_options.h"
#include "platform/platform.h"
#include "ui/artwork.h"
#include "ui/browser_looks.h"
#include "ui/radio_list.h"
#include "ui/selective_frame.h"
#include "ui/shell.h"
#include "ui/tf_about.h"
#include "ui/tffb_ie.h"
#include "ui/window_factory.h"
#include "ui/window_list.h"
#include "update/update_settings.h"

namespace kelvora::app {

namespace {

TForm1* main_window = nullptr;

using Handler = void (TForm1::*)();

struct HandlerRow {
    const char* command;
    Handler handler;
};

const HandlerRow kHandlers[] = {
    {"Luna", &TForm1::LunaExecute},         {"Obsidian", &TForm1::ObsidianExecute},
    {"Silver", &TForm1::SilverExecute},     {"About", &TForm1::AboutExecute},
    {"Updates", &TForm1::UpdatesExecute},   {"Contact", &TForm1::ContactExecute},
    {"Homepage", &TForm1::HomepageExecute}, {"Donate", &TForm1::DonateExecute},
    {"Close", &TForm1::Action1Execute},     {"UndoRestore", &TForm1::UndoRestoreExecute},
};

QString screenTip(const Command& c) {
    return QStringLiteral("<b>%1</b><p style=\"margin: 4px 0 0 8px;\">%2</p>")
        .arg(screenTipHeader(c).toHtmlEscaped(), c.hint.toHtmlEscaped());
}

// The stand-ins for wizards whose module has not registered its window: the frame of the right
// kind with the wizard's captions, saying that the wizard is missing from this build.
void addMissingNote(QWidget* window, int x, int y) {
    auto* note = new QLabel(QObject::tr("This wizard is not part of this build."), window);
    note->setObjectName(QStringLiteral("PlaceholderNote"));
    note->setStyleSheet(QStringLiteral("color: #808080;"));
    note->move(x, y);
    note->adjustSize();
}

class PlaceholderSelective : public ui::SelectiveFrame {
  public:
    PlaceholderSelective(const Command& c, const QString& browser) : title_(wizardTitle(c)) {
        setWindowTitle(c.windowCaption);
        setBrowserIcon(browser);
        if (c.name.startsWith(QLatin1String("R_")))
            Label18->setText(tr("Restore the following:"));
        Label18->adjustSize();
        addMissingNote(this, 39, 109);
        setProperty("kelvoraPlaceholder", true);
    }
    void FormActivate() override {
        setTitle(title_);
        Button1->hide();
    }

  private:
    QString title_;
};

class PlaceholderFull : public ui::Tffb_IE {
  public:
    PlaceholderFull(const Command& c, const QString& browser) : title_(wizardTitle(c)) {
        setWindowTitle(c.windowCaption);
        setBrowserIcon(browser);
        addMissingNote(this, 40, 189);
        setProperty("kelvoraPlaceholder", true);
    }
    void FormActivate() override {
        setTitle(title_);
        Button1->hide();
    }

  private:
    QString title_;
};

class PlaceholderConversion : public ui::WizardFrame {
  public:
    explicit PlaceholderConversion(const Command& c) : ui::WizardFrame(QColor(242, 242, 242)) {
        setWindowTitle(c.windowCaption);
        setBrowserIcon(QStringLiteral("opera"));
        addSectionCaption(QStringLiteral("Label2"), 33, 80, tr("Instructions:"));
        addMissingNote(this, 39, 109);
        Button2->setEnabled(false);
        setProperty("kelvoraPlaceholder", true);
    }
    void FormActivate() override {
        setTitle(tr("Welcome to Opera 10 Profile Conversion Wizard"));
        Button1->hide();
    }
};

QWidget* placeholderUpdateWindow(const Command& c) {
    auto* dialog = new QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(c.windowCaption);
    dialog->setWindowIcon(ui::applicationIcon());
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QObject::tr("The update check is not part of this build."), dialog));
    auto* ok = new QPushButton(QObject::tr("OK"), dialog);
    ok->setFixedSize(75, 25);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::close);
    dialog->setProperty("kelvoraPlaceholder", true);
    return dialog;
}

}  // namespace

TForm1* Form1() {
    return main_window;
}

TForm1::TForm1(const QString& settingsPath, const platform::MachineOptions& machine, QWidget* parent)
    : QMainWindow(parent), settings_(settingsPath), givenMachine_(machine) {
    if (!main_window)
        main_window = this;
    ui::registerProductWindows();
    // The look first: set after the widgets are made, it would polish every one of them again.
    ui::applyStyle(style_);

    setWindowTitle(QStringLiteral("Kelvora ") + QString::fromStdString(update::ProgramVersion()));
    setWindowIcon(ui::applicationIcon());
    setFont(ui::controlFont());
    setAttribute(Qt::WA_AlwaysShowToolTips);

    // The machine as kelvora-cli takes it, with the settings file's after the command line and the
    // environment.
    if (const auto stored = settings_.machine(); stored || !IsEmpty(givenMachine_))
        UseMachine(givenMachine_, stored);

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("ClientArea"));
    mdi_->setFrameShape(QFrame::NoFrame);
    mdi_->setBackground(QColor(242, 242, 242));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Closing a child window, or stepping to the next one, goes back to the one used before.
    mdi_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &TForm1::childActivated);
    // The keyboard command that closes the active child window; only that window goes.
    auto* closeChild = new QShortcut(QKeySequence(QStringLiteral("Ctrl+F4")), this);
    connect(closeChild, &QShortcut::activated, this, [this] {
        if (QMdiSubWindow* active = mdi_->activeSubWindow())
            active->close();
    });

    buildRibbon();
    setRibbonStyle(ui::Style::Luna);
    ribbon_->setCurrentTab(6);

    resize(619, 703);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(619 / 2, 703 / 2));
}

TForm1::~TForm1() {
    if (main_window == this)
        main_window = nullptr;
}

void TForm1::buildRibbon() {
    ribbon_ = new Ribbon(QStringLiteral("Kelvora"), this);
    setMenuWidget(ribbon_);
    for (const RibbonTabSpec& tab : ribbonTabs())
        ribbon_->addTab(tab.caption, tab.keyTip);
    std::vector<std::pair<const RibbonGroupSpec*, RibbonGroup*>> groups;
    for (const RibbonGroupSpec& g : ribbonGroups())
        groups.emplace_back(&g, ribbon_->addGroup(g.tab, g.caption, g.hint));

    auto* styles = new QActionGroup(this);
    for (const Command& c : commandTable()) {
        auto* a = new QAction(ui::commandIcon(c.name), c.actionCaption, this);
        a->setObjectName(c.name);
        a->setToolTip(screenTip(c));
        a->setStatusTip(c.hint);
        a->setShortcut(c.shortcut);
        a->setShortcutContext(Qt::WindowShortcut);
        if (c.kind == CommandKind::Style) {
            a->setCheckable(true);
            styles->addAction(a);
        }
        addAction(a);
        actions_.insert(c.name, a);
        // A wizard command opens its window; the others have handlers of their own.
        if (!c.windowClass.isEmpty() && c.kind != CommandKind::About && c.kind != CommandKind::Update) {
            const QString name = c.name;
            connect(a, &QAction::triggered, this, [this, name] { openCommandWindow(name); });
        }
        for (const HandlerRow& h : kHandlers) {
            if (c.name == QLatin1String(h.command)) {
                const Handler handler = h.handler;
                connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            }
        }
        for (const auto& [row, group] : groups) {
            if (row->tab == c.tab && row->caption == c.group)
                ribbon_->addLargeButton(group, a, plainCaption(c.caption), c.keyTip);
        }
    }

    ribbon_->addQuickAccess(actions_.value(QStringLiteral("Updates")), QStringLiteral("1"));
    ribbon_->addQuickAccess(actions_.value(QStringLiteral("Homepage")), QStringLiteral("2"));
    appMenu_ = new QMenu(this);
    appMenu_->setObjectName(QStringLiteral("ApplicationMenu"));
    appMenu_->addAction(actions_.value(QStringLiteral("Close")));
    ribbon_->setApplicationMenu(appMenu_, QStringLiteral("F"));

    if (platform::usesMachineFolder()) {
        const int preferences = 5;
        auto* group = ribbon_->addGroup(preferences, tr("Machine"),
                                        tr("The Windows installation whose browsers Kelvora works on"));
        machine_ =
            new MachinePanel(settings_, ChooseMachine(givenMachine_, settings_.machine()).windowsVersion,
                             ForcedWindowsVersion(givenMachine_), group);
        group->contents()->addWidget(machine_);
        ribbon_->addKeyTip(preferences, machine_->FolderButton, QStringLiteral("W"),
                           [this] { machine_->chooseFolder(); });
        ribbon_->addKeyTip(preferences, machine_->UserBox, QStringLiteral("U"), [this] {
            machine_->UserBox->setFocus();
            machine_->UserBox->showPopup();
        });
        ribbon_->addKeyTip(preferences, machine_->VersionBox, QStringLiteral("V"), [this] {
            machine_->VersionBox->setFocus();
            machine_->VersionBox->showPopup();
        });
        ribbon_->addKeyTip(preferences, machine_->LocalButton, QStringLiteral("T"),
                           [this] { machine_->useThisComputer(); });
        connect(machine_, &MachinePanel::machineChanged, this, &TForm1::updateBrowserCommands);
    }
    updateBrowserCommands();
}

// The wizards of a browser the machine in use can't have (Internet Explorer, Safari, Flock and
// Opera 10 on this computer) are disabled, and their hint says why.
void TForm1::updateBrowserCommands() {
    const auto facts = browsers::readEnvironmentFacts();
    for (const Command& c : commandTable()) {
        if (c.kind != CommandKind::SelectiveWizard && c.kind != CommandKind::FullWizard)
            continue;
        const ui::BrowserLook* look = ui::lookOfCommand(c.name);
        QAction* a = action(c.name);
        if (!look || !a)
            continue;
        const browsers::Browser* browser = browsers::findBrowser(look->keyword.toStdString());
        const bool here = browser ? browsers::existsOn(*browser, facts) : !facts.thisComputer;
        a->setEnabled(here);
        a->setStatusTip(here ? c.hint : tr("%1 does not exist on this computer.").arg(look->name));
        a->setToolTip(here ? screenTip(c)
                           : QStringLiteral("<b>%1</b><p style=\"margin: 4px 0 0 8px;\">%2</p>")
                                 .arg(screenTipHeader(c).toHtmlEscaped(),
                                      tr("%1 does not exist on this computer. Choose a Windows folder "
                                         "in Preferences to work on its browsers.")
                                          .arg(look->name)
                                          .toHtmlEscaped()));
    }
}

QAction* TForm1::action(const QString& name) const {
    return actions_.value(name, nullptr);
}

QMdiSubWindow* TForm1::addChildWindow(QWidget* window) {
    QMdiSubWindow* sub = mdi_->addSubWindow(window, Qt::SubWindow | Qt::FramelessWindowHint);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(window->size());
    sub->move(0, 0);
    sub->show();
    mdi_->setActiveSubWindow(sub);
    return sub;
}

void TForm1::childActivated(QMdiSubWindow* window) {
    // The area reports "none" while the whole program is in the background and the same window
    // again when it comes back; only a change of the active child window is an activation.
    if (!window || window == lastActiveChild_)
        return;
    lastActiveChild_ = window;
    if (auto* form = qobject_cast<ui::ChildForm*>(window->widget()))
        form->FormActivate();
}

QWidget* TForm1::openCommandWindow(const QString& name) {
    const Command* command = findCommand(name);
    if (!command)
        return nullptr;
    QWidget* window = nullptr;
    ui::Placement placement = ui::Placement::Child;
    if (const auto* entry = ui::WindowFactories::instance().find(name)) {
        window = entry->make();
        placement = entry->placement;
    } else {
        window = placeholderWindow(*command);
        if (command->kind == CommandKind::About || command->kind == CommandKind::Update)
            placement = ui::Placement::TopLevel;
    }
    if (!window)
        return nullptr;
    if (placement == ui::Placement::Child) {
        addChildWindow(window);
    } else {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->raise();
        window->activateWindow();
    }
    return window;
}

QWidget* TForm1::placeholderWindow(const Command& command) {
    const ui::BrowserLook* look = ui::lookOfCommand(command.name);
    const QString browser = look ? look->keyword : QStringLiteral("ie");
    switch (command.kind) {
        case CommandKind::SelectiveWizard:
            return new PlaceholderSelective(command, browser);
        case CommandKind::FullWizard:
            return new PlaceholderFull(command, browser);
        case CommandKind::ConversionWizard:
            return new PlaceholderConversion(command);
        case CommandKind::Update:
            return placeholderUpdateWindow(command);
        case CommandKind::About:
            return new ui::Tf_About;
        case CommandKind::Style:
        case CommandKind::Undo:
        case CommandKind::Web:
        case CommandKind::Exit:
            break;
    }
    return nullptr;
}

void TForm1::setRibbonStyle(ui::Style style) {
    style_ = style;
    ui::applyStyle(style);
    ribbon_->applyStyle(style);
    if (QAction* a = action(ui::styleName(style)))
        a->setChecked(true);
}

void TForm1::FormActivate() {
    // A setup program that an update check saved and started; the folder is Kelvora's own.
    if (const std::string downloads = platform::downloadFolder(false); !downloads.empty())
        platform::removeFile(IncludeTrailingBackslash(downloads) + "Update.exe");
    if (const auto style = ui::styleFromName(settings_.layout()); style && *style != style_)
        setRibbonStyle(*style);
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    ui::endProgram();
}

void TForm1::offerSampleMachine() {
    // Offered on a first start that found no browser: no machine chosen or stored, and this
    // computer (the default then) holds none of them.
    if (!platform::usesMachineFolder() || settings_.machine() || !IsEmpty(givenMachine_) ||
        !platform::onThisComputer() || browsers::anyBrowserFound(browsers::readEnvironmentFacts()))
        return;
    if (!sampleMachineAvailable()) {
        QMessageBox::information(
            this, tr("Kelvora"),
            tr("Kelvora works on a Windows installation seen as a folder (a Windows disk, or "
               "a Wine prefix's drive_c). Choose it on the Preferences tab, group \"Machine\"."));
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("Kelvora"),
        tr("Kelvora found no browser profile in your home folder, and no Windows installation is chosen "
           "yet.\n\n"
           "Build the sample machine (a Windows folder with profiles of the six browsers) and work on it? "
           "You can choose another folder on the Preferences tab at any time."));
    if (answer == QMessageBox::Yes && machine_)
        machine_->useSampleMachine();
}

void TForm1::styleCommand(ui::Style style) {
    setRibbonStyle(style);
    settings_.setLayout(ui::styleName(style));
}

void TForm1::webCommand(const QString& name) {
    if (const Command* c = findCommand(name))
        ui::openExternal(c->target);
}

void TForm1::LunaExecute() {
    styleCommand(ui::Style::Luna);
}
void TForm1::ObsidianExecute() {
    styleCommand(ui::Style::Obsidian);
}
void TForm1::SilverExecute() {
    styleCommand(ui::Style::Silver);
}

void TForm1::AboutExecute() {
    ui::f_About() = qobject_cast<ui::Tf_About*>(openCommandWindow(QStringLiteral("About")));
}

void TForm1::UpdatesExecute() {
    updateWindow_ = openCommandWindow(QStringLiteral("Updates"));
}

void TForm1::ContactExecute() {
    webCommand(QStringLiteral("Contact"));
}
void TForm1::HomepageExecute() {
    webCommand(QStringLiteral("Homepage"));
}
void TForm1::DonateExecute() {
    webCommand(QStringLiteral("Donate"));
}

void TForm1::UndoRestoreExecute() {
    namespace undo = browsers::undo;
    const auto sets = undo::listSets();
    if (sets.empty()) {
        QMessageBox::information(this, tr("Undo last restore"), tr("There is no restore to undo."));
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("Undo last restore"),
        tr("Undo this restore?\n\n%1\n\nThe files it replaced are put back and the files it created are "
           "removed.")
            .arg(QString::fromStdString(undo::describe(sets.front()))),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    TaskResult result;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = undo::undoLast();
        QApplication::restoreOverrideCursor();
    }
    QString text;
    switch (result.outcome()) {
        case Outcome::Done:
            text = tr("The restore was undone.");
            break;
        case Outcome::DoneLeftOut:
            text = tr("The restore was undone in part; its undo set is kept for another try.\n\n%1")
                       .arg(QString::fromStdString(browsers::leftOutMessage(result.leftOut)));
            break;
        case Outcome::NothingDone:
        case Outcome::Failed:
            text = QString::fromStdString(result.message());
            break;
    }
    QMessageBox::information(this, tr("Undo last restore"), text);
}

void TForm1::Action1Execute() {
    ui::endProgram();
}

}  // namespace kelvora::app
