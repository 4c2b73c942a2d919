// The machine the program runs on: facts from the system itself.
#include "platform/win32/win32_util.h"

// windows.h comes first, through the line above.
#include <shlobj.h>

namespace kelvora::platform {

MachineOptions machineFromEnvironment(MachineOptions given) {
    return given;
}
MachineOptions resolveMachine(MachineOptions given) {
    return given;
}
void setMachine(const MachineOptions&) {}
MachineOptions currentMachine() {
    return {};
}
bool usesMachineFolder() {
    return false;
}

bool onThisComputer() {
    return false;
}

std::string homeFolder() {
    return {};
}

std::string userName() {
    wchar_t buffer[256] = {};
    DWORD size = 256;
    if (!GetUserNameW(buffer, &size))
        return {};
    return toUtf8(buffer);
}

std::string windowsDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    if (GetWindowsDirectoryW(buffer, MAX_PATH) == 0)
        throw lastError();
    return toUtf8(buffer);
}

std::string specialFolderPath(int csidl) {
    wchar_t buffer[262] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    buffer[261] = L'\0';
    return toUtf8(buffer);
}

std::string windowsMajorVersion() {
    // The version the system reports to this program (compatibility shims included).
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return {};
#pragma GCC diagnostic pop
    return std::to_string(info.dwMajorVersion);
}

std::filesystem::path nativePath(std::string_view path) {
    return std::filesystem::path(toWide(path));
}

std::string currentDirectory() {
    wchar_t buffer[32768] = {};
    const DWORD n = GetCurrentDirectoryW(32768, buffer);
    return n ? toUtf8(std::wstring_view(buffer, n)) : std::string();
}

}  // namespace kelvora::platform
