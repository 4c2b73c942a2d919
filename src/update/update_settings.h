// The program's own version and the address of the update page it checks.
#pragma once

#include <string>

namespace kelvora::update {

// The version the program reports as its own, e.g. "2.1.3".
std::string ProgramVersion();
// The update page: the environment variable KELVORA_UPDATE_URL when it is set and not empty,
// otherwise the address the build was configured with (CMake's KELVORA_UPDATE_URL).
std::string UpdatePageAddress();

}  // namespace kelvora::update
