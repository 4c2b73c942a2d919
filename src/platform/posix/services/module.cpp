// The table libkelvora-services.so hands to the platform (posix/services.h).
#include "platform/posix/services.h"

namespace kelvora::platform::services {

HttpResult curlGet(const HttpRequest& request, const HttpHandler& handler, std::string& error);
bool trashWithGio(const std::string& path, bool& noTrash, std::string& reason);

}  // namespace kelvora::platform::services

extern "C" __attribute__((visibility("default"))) const kelvora::platform::services::Table*
kelvora_platform_services() {
    namespace services = kelvora::platform::services;
    static const services::Table table{services::kInterface, &services::curlGet, &services::trashWithGio};
    return &table;
}
