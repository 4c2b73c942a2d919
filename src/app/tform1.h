// The main window: the ribbon with the command table, the client area that holds the wizard
// windows, the three looks and the settings file. One object for the whole run, reached through
// Form1().
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>

#include "app/settings.h"
#include "platform/platform.h"
#include "ui/theme.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace kelvora::app {

class MachinePanel;
class Ribbon;
struct Command;

class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    // `machine`: what the command line gave (--root, --user, --windows-version); with the
    // environment it wins over the machine stored in the settings file. When neither the command
    // line nor the settings file names a machine, the one in use stays.
    explicit TForm1(const QString& settingsPath = Settings::defaultPath(),
                    const platform::MachineOptions& machine = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    QMdiArea* mdiArea() const { return mdi_; }
    Ribbon* ribbon() const { return ribbon_; }
    MachinePanel* machinePanel() const { return machine_; }
    const Settings& settings() const { return settings_; }
    // The command object of a table entry ("B_Firefox"), nullptr for an unknown name.
    QAction* action(const QString& name) const;

    // Puts a window into the client area at its top left, shows and activates it.
    QMdiSubWindow* addChildWindow(QWidget* window);
    // Runs what a command opens: a new window from the window registry, or a plain frame with the
    // command's caption while its module brings none. Returns the window (nullptr for commands
    // that open none).
    QWidget* openCommandWindow(const QString& command);

    ui::Style ribbonStyle() const { return style_; }
    void setRibbonStyle(ui::Style style);

    // On Linux, when no machine is known: offers to build the sample machine and use it.
    void offerSampleMachine();
    // Enables the wizards of the browsers the machine in use has.
    void updateBrowserCommands();

    // Handlers
    void FormActivate();  // each time the window becomes the active window
    void LunaExecute();
    void ObsidianExecute();
    void SilverExecute();
    void AboutExecute();
    void UpdatesExecute();
    void ContactExecute();
    void HomepageExecute();
    void DonateExecute();
    void UndoRestoreExecute();
    void Action1Execute();  // "Exit"

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // closing the main window ends the program

  private:
    void buildRibbon();
    void styleCommand(ui::Style style);
    void webCommand(const QString& command);
    void childActivated(QMdiSubWindow* window);
    QWidget* placeholderWindow(const Command& command);

    Settings settings_;
    platform::MachineOptions givenMachine_;
    Ribbon* ribbon_ = nullptr;
    QMdiArea* mdi_ = nullptr;
    QMenu* appMenu_ = nullptr;
    MachinePanel* machine_ = nullptr;
    QMap<QString, QAction*> actions_;
    ui::Style style_ = ui::Style::Luna;
    QPointer<QMdiSubWindow> lastActiveChild_;
    QPointer<QWidget> updateWindow_;
};

// The main window of the run (nullptr before it is made and after it is gone).
TForm1* Form1();

}  // namespace kelvora::app
