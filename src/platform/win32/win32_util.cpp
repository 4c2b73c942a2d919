#include "platform/win32/win32_util.h"

namespace kelvora::platform {

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring extendedPath(std::wstring path) {
    constexpr std::size_t kPlainLimit = MAX_PATH - 12;
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    const bool absolute = (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
                          path.rfind(L"\\\\", 0) == 0;
    if (absolute && path.size() < kPlainLimit)
        return path;
    // The prefix turns off the name parsing of the plain calls, so what it did ("/" as separator,
    // "." and "..", a relative path) is done here first.
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
    if (full.size() < kPlainLimit)
        return path;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string displayPath(std::wstring_view path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return "\\\\" + toUtf8(path.substr(8));
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return toUtf8(path.substr(4));
    return toUtf8(path);
}

std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty())
        return "System error " + std::to_string(code);
    return toUtf8(text);
}

}  // namespace kelvora::platform
