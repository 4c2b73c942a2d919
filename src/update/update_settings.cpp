#include "update/update_settings.h"

#include <cstdlib>
#include <string_view>

namespace kelvora::update {

namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

}  // namespace

std::string ProgramVersion() {
    return KELVORA_VERSION;
}

std::string UpdatePageAddress() {
    // Set to nothing, the variable turns the check off in a build that has an address.
    const char* configured = std::getenv("KELVORA_UPDATE_URL");
    return trimmed(configured ? configured : KELVORA_UPDATE_URL);
}

}  // namespace kelvora::update
