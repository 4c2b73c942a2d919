// Internet Explorer's part of the sample machine: its cookies, favorites, recovery data and the
// user's registry hive (NTUSER.DAT). Written after the other browsers' data; the Internet Explorer
// tasks' own files go here, built with the helpers of sample_machine.h.
#include "tools/sample_machine.h"

namespace kelvora::tools {

void writeInternetExplorerData(const SampleMachine& machine) {
    (void)machine;
}

}  // namespace kelvora::tools
