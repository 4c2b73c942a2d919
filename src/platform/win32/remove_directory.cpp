// Removal of an empty folder on Windows.
#include "platform/win32/win32_util.h"

namespace kelvora::platform {

bool removeDirectory(std::string_view path) {
    return !path.empty() && RemoveDirectoryW(toWide(path).c_str()) != 0;
}

}  // namespace kelvora::platform
