// The temporary and download folders and the start of a downloaded program on Windows.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_util.h"

namespace kelvora::platform {

std::string temporaryDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1)
        return {};
    return toUtf8(std::wstring_view(buffer, n));
}

std::string downloadFolder(bool create) {
    const std::string local = specialFolderPath(28);  // CSIDL_LOCAL_APPDATA
    if (local.empty())
        return {};
    const std::string folder = local + "\\Kelvora\\Downloads";
    if (create && !createDirectories(folder))
        return {};
    return folder;
}

std::string dataFolder(bool create) {
    std::string folder;
    const wchar_t* own = _wgetenv(L"KELVORA_DATA_HOME");
    if (own && own[0] != L'\0' && own[1] == L':')
        folder = toUtf8(own);
    else if (const std::string local = specialFolderPath(28); !local.empty())  // CSIDL_LOCAL_APPDATA
        folder = local + "\\Kelvora";
    else
        return {};
    if (create && !createDirectories(folder))
        return {};
    return folder;
}

bool startFile(std::string_view path, std::string_view parameters) {
    const std::wstring file = toWide(path);
    const std::wstring params = toWide(parameters);
    const HINSTANCE result = ShellExecuteW(GetActiveWindow(), L"open", file.c_str(),
                                           params.empty() ? nullptr : params.c_str(), L"", SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace kelvora::platform
