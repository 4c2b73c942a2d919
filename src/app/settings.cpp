#include "app/settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace kelvora::app {

namespace {

const QString kLayoutKey = QStringLiteral("Preferences/Layout");
const QString kRootKey = QStringLiteral("Machine/Root");
const QString kUserKey = QStringLiteral("Machine/User");
const QString kVersionKey = QStringLiteral("Machine/Version");

}  // namespace

Settings::Settings(QString path) : path_(std::move(path)) {}

QString Settings::pathBesideExecutable() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return exe.path() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".ini");
}

QString Settings::defaultPath() {
    return choosePath(pathBesideExecutable(),
                      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString Settings::choosePath(const QString& besideExecutable, const QString& userFolder) {
    const QFileInfo beside(besideExecutable);
    const QFileInfo folder(beside.path());
    if (beside.exists() || (folder.isDir() && folder.isWritable()) || userFolder.isEmpty())
        return besideExecutable;
    // QSettings makes the folder when it writes the file.
    return userFolder + QStringLiteral("/kelvora.ini");
}

QString Settings::layout() const {
    const QSettings ini(path_, QSettings::IniFormat);
    return ini.value(kLayoutKey).toString();
}

bool Settings::setLayout(const QString& value) const {
    QSettings ini(path_, QSettings::IniFormat);
    ini.setValue(kLayoutKey, value);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

std::optional<platform::MachineOptions> Settings::machine() const {
    const QSettings ini(path_, QSettings::IniFormat);
    const QString root = ini.value(kRootKey).toString();
    if (root.isEmpty())
        return std::nullopt;
    platform::MachineOptions m;
    m.root = root.toStdString();
    m.user = ini.value(kUserKey).toString().toStdString();
    m.windowsVersion = ini.value(kVersionKey).toString().toStdString();
    return m;
}

bool Settings::setMachine(const platform::MachineOptions& machine) const {
    QSettings ini(path_, QSettings::IniFormat);
    ini.setValue(kRootKey, QString::fromStdString(machine.root));
    ini.setValue(kUserKey, QString::fromStdString(machine.user));
    ini.setValue(kVersionKey, QString::fromStdString(machine.windowsVersion));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

}  // namespace kelvora::app
