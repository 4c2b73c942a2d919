// The 64-bit test on POSIX: the machine folder says whether its Windows is a 64-bit one.
#include "platform/platform.h"

namespace kelvora::platform {

bool isWow64() {
    if (currentMachine().root.empty())
        return false;
    // Only 64-bit Windows has the second program folder for 32-bit programs.
    return directoryExists("C:\\Program Files (x86)");
}

}  // namespace kelvora::platform
