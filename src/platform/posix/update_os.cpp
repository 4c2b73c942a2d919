// The temporary and download folders and the start of a downloaded program on POSIX.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/posix_util.h"

extern char** environ;

namespace kelvora::platform {

std::string temporaryDirectory() {
    std::error_code ec;
    const auto folder = std::filesystem::temp_directory_path(ec);
    return ec ? std::string() : folder.string();
}

std::string downloadFolder(bool create) {
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
        cache = xdg;
    else if (const std::string home = posixHomeFolder(); !home.empty())
        cache = home + "/.cache";
    else
        return {};
    const std::string folder = cache + "/kelvora/downloads";
    if (create && !createDirectories(folder))
        return {};
    return folder;
}

std::string dataFolder(bool create) {
    std::string folder;
    if (const char* own = std::getenv("KELVORA_DATA_HOME"); own && own[0] == '/')
        folder = own;
    else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        folder = std::string(xdg) + "/kelvora";
    else if (const std::string home = posixHomeFolder(); !home.empty())
        folder = home + "/.local/share/kelvora";
    else
        return {};
    if (create && !createDirectories(folder))
        return {};
    return folder;
}

bool spawnDetached(const char* program, const std::string& argument) {
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument.c_str()), nullptr};
    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0)
        return false;
    // Its own session: the opener and what it starts outlive this program and its terminal.
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, program, nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return false;
    // Nobody waits for the opener (xdg-open may run as long as the program it starts), but its
    // exit status is collected so that it leaves no zombie.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool startFile(std::string_view path, std::string_view) {
    // The desktop's opener decides what runs the file (for a Windows setup program, Wine); it
    // passes no parameters on.
    const std::string native = nativePath(path).string();
    return !native.empty() && spawnDetached("xdg-open", native);
}

}  // namespace kelvora::platform
