#include "update/update_settings.h"

#include <cstdlib>

namespace kelvora::update {

std::string ProgramVersion() {
    return KELVORA_VERSION;
}

std::string UpdatePageAddress() {
    const char* configured = std::getenv("KELVORA_UPDATE_URL");
    return configured && *configured ? std::string(configured) : std::string(KELVORA_UPDATE_URL);
}

}  // namespace kelvora::update
