// The settings file: the program's own path with the extension ".ini" (or, for an installed program
// whose folder the user can't write, kelvora.ini in the user's settings folder), section
// "Preferences", key "Layout" ("Luna", "Obsidian" or "Silver"). On systems where Kelvora works on a Windows
// installation seen as a folder, section "Machine" of the same file says which one.
// Every call opens the file, reads or writes, and lets go of it before it returns.
#pragma once

#include <QString>
#include <optional>

#include "platform/platform.h"

namespace kelvora::app {

class Settings {
  public:
    explicit Settings(QString path);

    // Beside the executable: "/opt/kelvora/kelvora" -> "/opt/kelvora/kelvora.ini".
    static QString pathBesideExecutable();
    // The file the program uses: pathBesideExecutable() when it exists or its folder can be
    // written (a program run from its own folder), else kelvora.ini in the user's settings folder
    // (an installed program: /usr/bin is not the user's to write).
    static QString defaultPath();
    // The choice defaultPath() makes, between a file beside the executable and a settings folder.
    static QString choosePath(const QString& besideExecutable, const QString& userFolder);
    const QString& path() const { return path_; }

    // The stored "Layout" value as it is; empty when the file or the key is missing.
    QString layout() const;
    // Writes "Layout"; false when the file could not be written (nobody is told).
    bool setLayout(const QString& value) const;

    // The machine stored in section "Machine"; nothing when no folder is stored.
    std::optional<platform::MachineOptions> machine() const;
    bool setMachine(const platform::MachineOptions& machine) const;

  private:
    QString path_;
};

}  // namespace kelvora::app
