#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelvora::test {

namespace fs = std::filesystem;

const fs::path& trashHome() {
    // Set before the desktop library first reads it, so nothing a test removes reaches the
    // real user's trash.
    static const fs::path home = [] {
        const fs::path p = fs::temp_directory_path() / "kelvora-test-trash";
        fs::create_directories(p);
#ifndef _WIN32
        ::setenv("XDG_DATA_HOME", p.c_str(), 1);
#endif
        return p;
    }();
    return home;
}

void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

TempDir::TempDir() {
    trashHome();
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("kelvora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::str() const {
    return path_.string();
}

void writeFile(const fs::path& path, std::string_view contents) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace kelvora::test
