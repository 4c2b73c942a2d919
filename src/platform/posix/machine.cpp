// The Windows installation seen as a folder: the machine description, the facts it gives, and
// the mapping of Windows-form paths onto it.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/posix_util.h"

namespace kelvora::platform {

namespace {

std::mutex machine_mutex;
MachineOptions machine;
bool machine_set = false;

std::string envOr(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string posixLoginName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return pw->pw_name;
    return envOr("USER");
}

std::string homeOfUser() {
    std::string home = envOr("HOME");
    if (home.empty()) {
        if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    return home;
}

bool isDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of `dir` whose name equals `name` without regard to letter case, or empty.
std::string findIgnoringCase(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return {};
    std::string found;
    const std::string folded = asciiLower(name);
    while (const dirent* e = ::readdir(d)) {
        if (asciiLower(e->d_name) == folded) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

std::string detectVersion(const std::string& root) {
    if (root.empty())
        return "6";
    if (!findIgnoringCase(root, "Users").empty())
        return "6";
    if (!findIgnoringCase(root, "Documents and Settings").empty())
        return "5";
    return "6";
}

MachineOptions snapshot() {
    std::lock_guard lock(machine_mutex);
    if (!machine_set) {
        machine = resolveMachine({});
        machine_set = true;
    }
    return machine;
}

}  // namespace

MachineOptions machineFromEnvironment(MachineOptions given) {
    if (given.root.empty())
        given.root = envOr("KELVORA_ROOT");
    if (given.user.empty())
        given.user = envOr("KELVORA_USER");
    if (given.windowsVersion.empty())
        given.windowsVersion = envOr("KELVORA_WINDOWS_VERSION");
    return given;
}

MachineOptions resolveMachine(MachineOptions given) {
    given = machineFromEnvironment(std::move(given));
    if (given.root == kThisComputer) {
        // No Windows here: the login name is this computer's, and there is no version.
        given.user = posixLoginName();
        given.windowsVersion.clear();
        given.drives.clear();
        return given;
    }
    if (given.root.empty()) {
        const std::string wine = homeOfUser() + "/.wine/drive_c";
        if (!isDir(wine)) {
            // No Windows folder anywhere: the user's own browsers.
            given.root = kThisComputer;
            return resolveMachine(std::move(given));
        }
        given.root = wine;
    }
    if (given.user.empty())
        given.user = posixLoginName();
    if (given.windowsVersion.empty())
        given.windowsVersion = detectVersion(given.root);
    while (given.root.size() > 1 && given.root.back() == '/')
        given.root.pop_back();
    return given;
}

void setMachine(const MachineOptions& options) {
    std::lock_guard lock(machine_mutex);
    machine = resolveMachine(options);
    machine_set = true;
}

MachineOptions currentMachine() {
    return snapshot();
}

bool usesMachineFolder() {
    return true;
}

bool onThisComputer() {
    return snapshot().root == kThisComputer;
}

std::string homeFolder() {
    return homeOfUser();
}

std::string userName() {
    return snapshot().user;
}

std::string windowsDirectory() {
    if (snapshot().root == kThisComputer)
        throw SystemError(ENOENT, "This computer has no Windows installation folder");
    if (snapshot().root.empty()) {
        throw SystemError(ENOENT, "No Windows installation folder is set (use --root or KELVORA_ROOT)");
    }
    return "C:\\Windows";
}

std::string specialFolderPath(int csidl) {
    const MachineOptions m = snapshot();
    if (m.root.empty() || m.root == kThisComputer || m.user.empty())
        return {};
    const bool xp = !usersLayout(m.windowsVersion);
    switch (csidl) {
        case 26:
            return xp ? "C:\\Documents and Settings\\" + m.user + "\\Application Data"
                      : "C:\\Users\\" + m.user + "\\AppData\\Roaming";
        case 28:
            return xp ? "C:\\Documents and Settings\\" + m.user + "\\Local Settings\\Application Data"
                      : "C:\\Users\\" + m.user + "\\AppData\\Local";
        default:
            return {};
    }
}

std::string windowsMajorVersion() {
    return snapshot().windowsVersion;
}

std::filesystem::path nativePath(std::string_view path) {
    const bool has_drive = path.size() >= 2 && path[1] == ':' &&
                           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!has_drive) {
        if (path.rfind("\\\\", 0) == 0)
            return {};  // network paths have no folder here
        std::string native(path);
        for (char& c : native) {
            if (c == '\\')
                c = '/';
        }
        return native;
    }

    const char letter = static_cast<char>(path[0] & ~0x20);
    std::string base;
    const MachineOptions m = snapshot();
    if (m.root == kThisComputer)
        return {};  // this computer has no drives
    if (letter == 'C') {
        base = m.root;
    } else {
        for (const auto& [drive, folder] : m.drives) {
            if ((drive & ~0x20) == letter)
                base = folder;
        }
    }
    if (base.empty())
        return {};

    // A path that exists as it is given (what most paths are) is taken in one look: the walk
    // below would take each of its components as it is.
    std::string given = base;
    for (std::size_t pos = 2; pos <= path.size();) {
        std::size_t end = path.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > pos)
            given.append("/").append(path.substr(pos, end - pos));
        pos = end + 1;
    }
    if (struct stat st{}; ::lstat(given.c_str(), &st) == 0)
        return given;

    // Walk the components; an existing one is taken as it is, a missing one is looked for
    // without regard to case, and once nothing matches the rest is appended as given.
    std::string result = base;
    bool resolving = true;
    std::size_t pos = 2;
    while (pos <= path.size()) {
        std::size_t end = path.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string part(path.substr(pos, end - pos));
        pos = end + 1;
        if (part.empty())
            continue;
        std::string chosen = part;
        if (resolving && part != "." && part != "..") {
            struct stat st {};
            if (::lstat((result + "/" + part).c_str(), &st) != 0) {
                const std::string match = findIgnoringCase(result, part);
                if (match.empty()) {
                    resolving = false;
                } else {
                    chosen = match;
                }
            }
        }
        result += "/" + chosen;
    }
    return result;
}

std::string currentDirectory() {
    std::error_code ec;
    return std::filesystem::current_path(ec).string();
}

std::string posixHomeFolder() {
    return homeOfUser();
}

}  // namespace kelvora::platform
