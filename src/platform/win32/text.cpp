// Archive names in the system's ANSI code page.
#include "platform/win32/win32_util.h"

namespace kelvora::platform {

std::string utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = toWide(utf8);
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return toUtf8(wide);
}

}  // namespace kelvora::platform
