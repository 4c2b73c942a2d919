// The temporary folder and the start of a downloaded program on POSIX.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"

extern char** environ;

namespace kelvora::platform {

std::string temporaryDirectory() {
    std::error_code ec;
    const auto folder = std::filesystem::temp_directory_path(ec);
    return ec ? std::string() : folder.string();
}

bool startFile(std::string_view path, std::string_view) {
    // The desktop's opener decides what runs the file (for a Windows setup program, Wine); it
    // passes no parameters on.
    const std::string native = nativePath(path).string();
    if (native.empty())
        return false;
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(native.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kelvora::platform
