// The program's own version and the address of the update page it checks.
#pragma once

#include <string>

namespace kelvora::update {

// The program's version, e.g. "2.1.2": the one the caption, About, kelvora-cli --version, the update
// check and the packages show.
std::string ProgramVersion();
// The update page: the environment variable KELVORA_UPDATE_URL when it is set, even to nothing,
// otherwise the address the build was configured with (CMake's KELVORA_UPDATE_URL), without
// surrounding blanks. Empty when none is configured: the update check then says so and fetches
// nothing (TWebUpdate::HasUpdatePage).
std::string UpdatePageAddress();

}  // namespace kelvora::update
