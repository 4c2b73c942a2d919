// What a Windows major version says about the installation: the same on every platform.
#include <charconv>

#include "platform/platform.h"

namespace kelvora::platform {

bool usersLayout(std::string_view majorVersion) {
    unsigned major = 0;
    const char* end = majorVersion.data() + majorVersion.size();
    const auto [at, error] = std::from_chars(majorVersion.data(), end, major);
    return !majorVersion.empty() && error == std::errc() && at == end && major >= 6;
}

}  // namespace kelvora::platform
