// Removal of an empty folder on POSIX.
#include <unistd.h>

#include "platform/platform.h"

namespace kelvora::platform {

bool removeDirectory(std::string_view path) {
    const std::filesystem::path p = nativePath(path);
    return !p.empty() && ::rmdir(p.c_str()) == 0;
}

}  // namespace kelvora::platform
