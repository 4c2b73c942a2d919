// The "Machine" group of the Preferences tab, where Kelvora works on a Windows installation seen
// as a folder (Linux): the installation's folder, the Windows user whose browsers are meant, and
// the Windows version. A change is applied at once and stored in the settings file. A version
// that the command line or the environment forces is shown as such and can't be changed here.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <string>

#include "app/settings.h"

class QComboBox;
class QLabel;
class QToolButton;

namespace kelvora::app {

// The user folders of a Windows installation folder ("Users" or "Documents and Settings"),
// without the system's own profiles (Public, Default, All Users...).
QStringList windowsUsers(const QString& root);

// Writes the sample machine (a Windows folder with profiles of the six browsers) into `folder`.
// Nothing, with `error` set, when it can't (or when this build has no sample-machine builder).
std::optional<platform::MachineOptions> buildSampleMachine(const QString& folder, QString& error);
bool sampleMachineAvailable();
// Where the program keeps its sample machine.
QString sampleMachineFolder();

class MachinePanel : public QWidget {
    Q_OBJECT

  public:
    // `chosenVersion`: the Windows version the machine in use was chosen with ("" detects it from
    // the folder); `forcedVersion`: the one --windows-version or KELVORA_WINDOWS_VERSION forces,
    // empty when none is.
    MachinePanel(Settings settings, std::string chosenVersion = {}, std::string forcedVersion = {},
                 QWidget* parent = nullptr);

    QToolButton* FolderButton;  // "Windows folder..."
    QLabel* FolderLabel;
    QComboBox* UserBox;
    QComboBox* VersionBox;
    QToolButton* SampleButton;  // builds and selects the sample machine
    QToolButton* LocalButton;   // "This computer": the user's own Linux profiles

    // Reads the machine in use into the controls.
    void refresh();
    void chooseFolder();
    void setMachine(const platform::MachineOptions& machine);
    void useSampleMachine();
    void useThisComputer();

  signals:
    // The machine in use changed (the browsers it has may be others).
    void machineChanged();

  private:
    void apply();
    Settings settings_;
    std::string chosenVersion_;
    std::string forcedVersion_;
    bool updating_ = false;
};

}  // namespace kelvora::app
