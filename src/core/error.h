// The error every layer above the platform raises for a failed task: its text is what the
// application's error box shows.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>

namespace kelvora {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string (GCC 12 has no <format>).
template <typename... Args>
std::string Format(const char* pattern, Args&&... args) {
    const int n = std::snprintf(nullptr, 0, pattern, args...);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

}  // namespace kelvora
