#include "convert/opera_wizard.h"

#include "core/core.h"
#include "core/error.h"
#include "platform/platform.h"

namespace kelvora::convert {

namespace {

// The system drive, or empty when the system can't tell.
std::string systemDriveOrEmpty() {
    try {
        return GetSystemDrive();
    } catch (const platform::SystemError&) {
        return {};
    }
}

}  // namespace

bool IsWow64() {
    try {
        return platform::isWow64();
    } catch (const platform::SystemError&) {
        throw Error("IsWow64: bad process handle");
    }
}

std::string WindowsName(std::string_view majorVersion) {
    if (majorVersion == "5")
        return "XP/2000";
    if (majorVersion == "6")
        return "7/Vista";
    if (majorVersion == "7")
        return "8";
    // Windows 10 and 11 both report 10 to a program whose manifest names them.
    if (majorVersion == "10")
        return "10/11";
    return {};
}

std::string WindowsType() {
    // A 64-bit program is never under WOW64, yet it runs only on 64-bit Windows.
    const bool native64 = !platform::usesMachineFolder() && sizeof(void*) == 8;
    return IsWow64() || native64 ? "64 bit" : "32 bit";
}

std::string OperaPrefsFolders(const std::string& windoze, const std::string& drv, const std::string& uzer,
                              const std::string& sfp, const std::string& loc) {
    const bool vista = platform::usersLayout(windoze);
    // Folders below the system drive are left out when the drive is unknown, rather than searched
    // at the top of the current drive.
    const auto onDrive = [&](const std::string& rest) { return drv.empty() ? std::string() : drv + rest; };
    std::string v101;
    if (windoze == "5" || vista)
        v101 = sfp.empty() ? "" : sfp + "\\Opera\\Opera";
    std::string v102, dir2, dir3;
    if (vista) {
        v102 = onDrive("\\Users\\" + uzer + "\\AppData\\Local\\Opera\\Opera");
        dir2 = onDrive("\\Users\\" + uzer + "\\AppData\\Local\\Opera\\Opera\\profile");
        dir3 = onDrive("\\Users\\" + uzer + "\\AppData\\Roaming\\Opera\\Opera\\profile");
    } else {
        v102 = onDrive("\\Documents and Settings\\" + uzer + "\\Application Data\\Opera\\Opera");
        dir2 = onDrive("\\Documents and Settings\\" + uzer + "\\Application Data\\Opera\\Opera\\profile");
        dir3 = onDrive("\\Documents and Settings\\" + uzer +
                       "\\Local Settings\\Application Data\\Opera\\Opera\\profile");
    }
    const std::string dir1 = sfp.empty() ? "" : sfp + "\\Opera\\Opera\\profile";
    const std::string dir4 = loc.empty() ? "" : loc + "\\Opera\\Opera\\profile";
    return v101 + ";" + v102 + ";" + dir1 + ";" + dir2 + ";" + dir3 + ";" + dir4;
}

bool OperaConversion::Activate() {
    info_.windowsType = WindowsType();
    windoze_ = GetWindowsMajorVersion();
    info_.windowsName = WindowsName(windoze_);
    info_.user = GetLoginName();
    uzer_ = info_.user;
    drv_ = systemDriveOrEmpty();
    sfp_ = GetSpecialFolderPath(CSIDL_APPDATA);
    loc_ = GetSpecialFolderPath(CSIDL_LOCAL_APPDATA);
    const std::string found =
        SearchFileInFolders(kPrefsFileName, OperaPrefsFolders(windoze_, drv_, uzer_, sfp_, loc_));
    if (found.empty())
        return false;
    ffpath_ = found;
    return true;
}

TaskResult OperaConversion::Convert(int method, const std::string& oldUser, const std::string& oldDrive) {
    details_ = ConversionResult{};
    if (!hasFile())
        return TaskResult::nothingDone(kNoFileMessage);
    uzer_ = GetLoginName();
    ConversionInputs inputs{uzer_, {}, {}, {}};
    if (method == kDriveLetterChange) {
        drv_ = systemDriveOrEmpty();
        driveltr_ = oldDrive;
        inputs.drv = drv_;
        inputs.driveltr = driveltr_;
    } else if (method == kUsernameChange) {
        olduser_ = oldUser;
        inputs.olduser = olduser_;
    }
    return ConvertOperaPrefs(ffpath_, method, inputs, details_);
}

}  // namespace kelvora::convert
