// The conversion wizard's work without its window: the system information it shows, the search
// for the current user's preference file on activation, and the conversion on "Next >". The Qt
// window and kelvora-cli both drive it.
#pragma once

#include <string>
#include <string_view>

#include "convert/opera_convert.h"

namespace kelvora::convert {

// Shown when activation finds no preference file.
inline constexpr const char* kNotFoundMessage = "Settings Files Not Found.";
// Shown when "Next >" is pressed without a preference file; nothing is changed.
inline constexpr const char* kNoFileMessage =
    "No Opera preference file (operaprefs.ini) was found, so nothing "
    "was converted.";

// True when the program runs as a 32-bit process on 64-bit Windows (on POSIX: when the machine
// folder holds a 64-bit Windows). Throws Error "IsWow64: bad process handle" when the system
// can't tell.
bool IsWow64();

// "XP/2000" for major version "5", "7/Vista" for "6", "8" for "7", "10/11" for "10", empty otherwise.
std::string WindowsName(std::string_view majorVersion);
// "64 bit" or "32 bit": IsWow64, or a 64-bit build of the program running on Windows itself.
std::string WindowsType();

// The six folders searched for "operaprefs.ini", joined with ";", for the Windows major version
// `windoze`, system drive `drv`, user `uzer` and the roaming and local application-data folders
// `sfp` and `loc`: the Users folders for "6" and later (platform::usersLayout), Documents and
// Settings otherwise. Folders that would need a missing drive are left out.
std::string OperaPrefsFolders(const std::string& windoze, const std::string& drv, const std::string& uzer,
                              const std::string& sfp, const std::string& loc);

struct SystemInformation {
    std::string windowsName;
    std::string windowsType;
    std::string user;
};

class OperaConversion {
  public:
    // Reads the system information and searches the preference file. Returns whether it was
    // found; when not, the file found by an earlier activation stays. Throws Error from IsWow64.
    bool Activate();

    const SystemInformation& systemInformation() const { return info_; }
    const std::string& ffpath() const { return ffpath_; }
    bool hasFile() const { return !ffpath_.empty(); }
    // Converts the given file instead of the one the search finds.
    void SetFile(std::string path) { ffpath_ = std::move(path); }

    // "Next >": converts the file by `method` (1 to 12); `oldUser` and `oldDrive` are the texts of
    // the two edits. Nothing done with kNoFileMessage when there is no file; otherwise the
    // conversion's result (see ConvertOperaPrefs), with what it did in details().
    TaskResult Convert(int method, const std::string& oldUser, const std::string& oldDrive);
    const ConversionResult& details() const { return details_; }

  private:
    std::string uzer_;
    std::string drv_;
    std::string sfp_;
    std::string loc_;
    std::string windoze_;
    std::string ffpath_;
    std::string olduser_;
    std::string driveltr_;
    SystemInformation info_;
    ConversionResult details_;
};

}  // namespace kelvora::convert
