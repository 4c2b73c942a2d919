// The "Machine" group of the Preferences tab, where Kelvora works on a Windows installation seen
// as a folder (Linux): the installation's folder, the Windows user whose browsers are meant, and
// the Windows version. A change is applied at once and stored in the settings file.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

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
    MachinePanel(Settings settings, QWidget* parent = nullptr);

    QToolButton* FolderButton;  // "Windows folder..."
    QLabel* FolderLabel;
    QComboBox* UserBox;
    QComboBox* VersionBox;
    QToolButton* SampleButton;  // builds and selects the sample machine

    // Reads the machine in use into the controls.
    void refresh();
    void chooseFolder();
    void setMachine(const platform::MachineOptions& machine);
    void useSampleMachine();

  private:
    void apply();
    Settings settings_;
    bool updating_ = false;
};

}  // namespace kelvora::app
