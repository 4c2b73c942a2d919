// Loads libkelvora-services.so (services.h) on first use, and the platform's HTTP through it.
#include "platform/posix/services.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace kelvora::platform {

namespace services {

namespace {

struct Loaded {
    const Table* table = nullptr;
    std::string error;
};

namespace fs = std::filesystem;

// The module in the package's library folder below the program's folder or one of the two above.
fs::path findModule() {
    std::error_code ec;
    fs::path folder = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (int up = 0; up < 3 && !ec && !folder.empty(); ++up) {
        const fs::path candidate = folder / KELVORA_PRIVATE_LIB_DIR / kModuleFile;
        if (::access(candidate.c_str(), R_OK) == 0)
            return candidate;
        if (folder == folder.root_path())
            break;
        folder = folder.parent_path();
    }
    return {};
}

Loaded load() {
    Loaded loaded;
    const fs::path file = findModule();
    if (file.empty()) {
        loaded.error = std::string("the module ") + KELVORA_PRIVATE_LIB_DIR + "/" + kModuleFile +
                       " is missing beside the program";
        return loaded;
    }
    // Never unloaded: the module lives as long as the program.
    void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = ::dlerror();
        loaded.error = "the module " + file.string() + " could not be loaded: " + (why ? why : "");
        return loaded;
    }
    using EntryPoint = const Table* (*)();
    const auto entry = reinterpret_cast<EntryPoint>(::dlsym(module, kEntryPoint));
    const Table* table = entry ? entry() : nullptr;
    if (!table || table->interface != kInterface) {
        loaded.error = std::string("the module ") + kModuleFile + " belongs to another build of Kelvora";
        return loaded;
    }
    loaded.table = table;
    return loaded;
}

}  // namespace

const Table* table(std::string& error) {
    static const Loaded loaded = load();
    if (!loaded.table)
        error = loaded.error;
    return loaded.table;
}

}  // namespace services

HttpResult httpGet(const HttpRequest& request, const HttpHandler& handler, std::string& error) {
    const services::Table* module = services::table(error);
    return module ? module->httpGet(request, handler, error) : HttpResult::Failed;
}

}  // namespace kelvora::platform
