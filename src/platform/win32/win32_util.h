// Conversions and error texts shared by the Win32 implementation files.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kelvora::platform {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);
// The system's own text for an error code, without the trailing line break.
std::string systemMessage(DWORD code);
inline SystemError lastError() {
    const DWORD code = GetLastError();
    return SystemError(static_cast<int>(code), systemMessage(code));
}

}  // namespace kelvora::platform
