// Path services that need nothing beyond the native path: the same code on every platform.
#include "platform/platform.h"

namespace kelvora::platform {

bool sameFile(std::string_view a, std::string_view b) {
    const auto first = nativePath(a);
    const auto second = nativePath(b);
    if (first.empty() || second.empty())
        return false;
    std::error_code ec;
    return std::filesystem::equivalent(first, second, ec) && !ec;
}

std::string canonicalPath(std::string_view path) {
    const auto native = nativePath(path);
    if (native.empty())
        return {};
    std::error_code ec;
    const std::u8string canonical = std::filesystem::canonical(native, ec).u8string();
    return ec ? std::string() : std::string(canonical.begin(), canonical.end());
}

}  // namespace kelvora::platform
