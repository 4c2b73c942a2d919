#include "browsers/in_use.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/core.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers {

namespace {

// The lock files of one kind, in the folder that holds them.
struct LockFiles {
    // Held open without sharing (Windows) or under an fcntl lock (POSIX) while the browser runs.
    std::vector<const char*> held;
    // A symbolic link whose target is "<host><separator><pid>" (Mozilla: "127.0.1.1:+12345", the
    // "+" saying it also holds ".parentlock"; Chromium: "myhost-12345").
    const char* link;
    char separator;
};

const LockFiles& lockFiles(ProfileLock kind) {
    static const LockFiles mozilla{{"parent.lock", ".parentlock"}, "lock", ':'};
    static const LockFiles chromium{{"lockfile"}, "SingletonLock", '-'};
    return kind == ProfileLock::Mozilla ? mozilla : chromium;
}

struct LinkOwner {
    std::string_view host;
    std::int64_t pid = 0;
};

// The host and process a lock link names; nullopt for a target of another form. The host is what
// comes before the last separator (host names hold "-", IPv6 addresses ":").
std::optional<LinkOwner> ownerOf(std::string_view target, char separator) {
    const std::size_t at = target.rfind(separator);
    if (at == std::string_view::npos || at == 0)
        return std::nullopt;
    std::string_view id = target.substr(at + 1);
    if (!id.empty() && id.front() == '+')
        id.remove_prefix(1);
    LinkOwner owner{target.substr(0, at)};
    const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), owner.pid);
    if (id.empty() || error != std::errc() || end != id.data() + id.size())
        return std::nullopt;
    return owner;
}

// True when a lock link's host is this computer: its name, or a loopback address (Firefox writes
// the address its host name resolves to, 127.0.1.1 on many Linux systems).
bool isThisComputer(std::string_view host) {
    return equalsIgnoreCase(host, platform::hostName()) || equalsIgnoreCase(host, "localhost") ||
           host.starts_with("127.") || host == "::1";
}

// The lock held in `folder` itself, or empty.
std::string heldIn(const std::string& folder, const LockFiles& files) {
    for (const char* name : files.held) {
        std::string path = joinPath(folder, name);
        if (platform::fileLockedByAnotherProcess(path))
            return path;
    }
    std::string link = joinPath(folder, files.link);
    if (const auto target = platform::readSymbolicLink(link)) {
        const auto owner = ownerOf(*target, files.separator);
        if (owner && isThisComputer(owner->host) && platform::processIsRunning(owner->pid))
            return link;
    }
    return {};
}

// The lock held in `folder` or in a folder up to `depth` levels below it; links to folders are not
// entered.
std::string heldBelow(const std::string& folder, const LockFiles& files, int depth) {
    std::string found = heldIn(folder, files);
    if (!found.empty() || depth == 0)
        return found;
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, true, entries))
        return {};
    for (const auto& entry : entries) {
        if (!entry.isDirectory || entry.isLink)
            continue;
        found = heldBelow(joinPath(folder, entry.name), files, depth - 1);
        if (!found.empty())
            return found;
    }
    return {};
}

}  // namespace

std::string heldLockIn(const Browser& browser, const std::string& folder) {
    if (browser.lock == ProfileLock::None || folder.empty())
        return {};
    std::string top = folder;
    if (browser.lock == ProfileLock::Chromium && !platform::fileExists(joinPath(folder, "Local State"))) {
        const std::string parent = parentFolder(folder);
        if (!parent.empty() && platform::fileExists(joinPath(parent, "Local State")))
            top = parent;
    }
    return heldBelow(top, lockFiles(browser.lock), 2);
}

}  // namespace kelvora::browsers
