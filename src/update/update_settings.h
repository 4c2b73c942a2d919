// The program's own version and the address of the update page it checks.
#pragma once

#include <string>

namespace kelvora::update {

// The program's version, e.g. "2.1.2": the one the caption, About, kelvora-cli --version, the update
// check and the packages show.
std::string ProgramVersion();
// The update page: the environment variable KELVORA_UPDATE_URL when it is set and not empty,
// otherwise the address the build was configured with (CMake's KELVORA_UPDATE_URL).
std::string UpdatePageAddress();

}  // namespace kelvora::update
