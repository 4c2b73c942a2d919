// Archive names in the system's ANSI code page.
#include <optional>

#include "platform/win32/win32_util.h"

namespace kelvora::platform {

std::string ansiCodePageName() {
    return "code page " + std::to_string(GetACP());
}

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

std::optional<std::string> utf8ToAnsiExact(std::string_view utf8) {
    if (utf8.empty())
        return std::string();
    const std::wstring wide = toWide(utf8);
    if (toUtf8(wide) != utf8)
        return std::nullopt;  // not valid UTF-8
    std::string out;
    if (GetACP() == CP_UTF8) {
        out = std::string(utf8);
    } else {
        // No best fit: without WC_NO_BEST_FIT_CHARS "．．＼" would become "..\"; and a character
        // without a mapping of its own would become the default character "?".
        BOOL usedDefault = FALSE;
        const int size = static_cast<int>(wide.size());
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                          nullptr, &usedDefault);
        if (n <= 0 || usedDefault)
            return std::nullopt;
        out.assign(static_cast<std::size_t>(n), '\0');
        usedDefault = FALSE;
        if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, nullptr,
                                &usedDefault) != n ||
            usedDefault)
            return std::nullopt;
    }
    // A name counts as stored exactly only when it reads back the same.
    if (ansiToUtf8Exact(out) != std::optional<std::string>(utf8))
        return std::nullopt;
    return out;
}

std::optional<std::string> ansiToUtf8Exact(std::string_view ansi) {
    if (ansi.empty())
        return std::string();
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, wide.data(), n) != n)
        return std::nullopt;
    return toUtf8(wide);
}

}  // namespace kelvora::platform
