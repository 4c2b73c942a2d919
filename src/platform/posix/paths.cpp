// Path services that need nothing beyond the native path.
#include "platform/platform.h"

#include <chrono>
#include <ctime>

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

std::optional<std::string> modifiedTimeText(std::string_view path) {
    const auto native = nativePath(path);
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(native, ec);
    if (native.empty() || ec)
        return std::nullopt;
    const auto system = std::chrono::file_clock::to_sys(written);
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return std::nullopt;
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0)
        return std::nullopt;
    return std::string(text);
}

}  // namespace kelvora::platform
