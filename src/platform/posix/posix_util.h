// Small helpers shared by the POSIX implementation files.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kelvora::platform {

inline std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

inline SystemError lastError() {
    const int code = errno;
    return SystemError(code, std::strerror(code));
}

std::string posixHomeFolder();

}  // namespace kelvora::platform
