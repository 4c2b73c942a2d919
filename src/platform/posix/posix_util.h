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

// Starts `program` (looked up on PATH) with the one argument `argument` in a session of its own
// and returns without waiting for it; the child is reaped when it ends. False when it could not be
// started.
bool spawnDetached(const char* program, const std::string& argument);

}  // namespace kelvora::platform
