// Conversions and error texts shared by the Win32 implementation files.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kelvora::platform {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);
// The form of a path the file-system calls take. A path too long for the plain calls (a folder may
// be made only below MAX_PATH - 12 characters) is made absolute and given the "\\?\" prefix
// ("\\?\UNC\server\share\..." for a share), which lifts the MAX_PATH limit without the
// system-wide LongPathsEnabled setting; shorter paths go as they are, so that they are read exactly
// as the plain calls read them. Paths that already carry a prefix are left alone.
std::wstring extendedPath(std::wstring path);
inline std::wstring extendedPath(std::string_view utf8) {
    return extendedPath(toWide(utf8));
}
// A path for messages: without the prefix extendedPath added ("\\?\UNC\s\x" -> "\\s\x").
std::string displayPath(std::wstring_view path);
// The system's own text for an error code, without the trailing line break.
std::string systemMessage(DWORD code);
inline SystemError lastError() {
    const DWORD code = GetLastError();
    return SystemError(static_cast<int>(code), systemMessage(code));
}

}  // namespace kelvora::platform
