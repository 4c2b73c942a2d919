// Whether a running browser uses a profile: the lock files browsers hold while they run, told apart
// from those a browser that ended or crashed left behind. A restore asks before it writes.
#pragma once

#include <string>

#include "browsers/browser.h"

namespace kelvora::browsers {

// The lock file a running browser holds in `folder` (a profile folder or a data root) or in a folder up to
// two levels below it (a full restore's data root holds the profiles), or empty when the browser holds none
// there. A Chromium browser holds one lock for all its profiles in the data root: for one of its profile
// folders (whose parent holds "Local State") the parent is looked at.
//
// Held: a file another process keeps open without sharing (Windows) or under an fcntl lock (POSIX), or a lock
// link naming this computer and a process that runs. A link naming a process that ended is stale; one naming
// another computer can't be checked from here and counts as not held. Windows has no lock links to read, and
// POSIX can't see a Windows program's open files: each platform checks what it can.
std::string heldLockIn(const Browser& browser, const std::string& folder);

}  // namespace kelvora::browsers
