// The temporary folder and the start of a downloaded program on Windows.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <string>

#include "platform/platform.h"

namespace kelvora::platform {

namespace {

std::wstring toWide(std::string_view text) {
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string toUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace

std::string temporaryDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH + 1)
        return {};
    return toUtf8(std::wstring_view(buffer, n));
}

bool startFile(std::string_view path, std::string_view parameters) {
    const std::wstring file = toWide(path);
    const std::wstring params = toWide(parameters);
    const HINSTANCE result = ShellExecuteW(GetActiveWindow(), L"open", file.c_str(),
                                           params.empty() ? nullptr : params.c_str(), L"", SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace kelvora::platform
