// A sample machine made the one the program finds by itself. On POSIX that is the machine folder
// in use. On Windows the program asks the system for the user's folders, so the machine's user
// folder is moved into the place of the user's own, which waits beside it until endLiveMachine().
// That replaces a person's browser data, so it is done only under Wine, in a prefix of the tests'
// own.
#include <stdexcept>

#include "platform/platform.h"
#include "tools/sample_machine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvora::tools {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

constexpr int kProfileFolder = 40;  // CSIDL_PROFILE

struct Live {
    fs::path root;     // the machine whose user folder is the live one; empty when none is
    fs::path ownHome;  // where the user's own folder waits meanwhile
};

Live& live() {
    static Live state;
    return state;
}

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

fs::path ownFolder(const fs::path& home) {
    return fs::path(home.wstring() + L".kelvora-own");
}

// The folder a machine keeps its user folder in while another one is live.
fs::path storedHome(const SampleMachine& m) {
    return m.root / "Users" / m.user;
}

void move(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec)
        throw std::runtime_error("cannot move " + from.string() + " to " + to.string() + ": " + ec.message());
}

}  // namespace

fs::path liveHome() {
    return fs::path(platform::nativePath(platform::specialFolderPath(kProfileFolder)));
}

bool SampleMachine::isLive() const {
    return !live().root.empty() && live().root == root;
}

void SampleMachine::makeLive() const {
    if (isLive())
        return;
    if (!underWine())
        throw std::runtime_error(
            "a sample machine takes the place of the user's own folders, which is done "
            "only under Wine, never on a person's Windows");
    if (user != platform::userName() || version != "6")
        throw std::runtime_error("a live sample machine is of the user running the program (" +
                                 platform::userName() + ") and of Windows version 6, not " + user + " and " +
                                 version);
    const fs::path home = liveHome();
    if (home.empty())
        throw std::runtime_error("the system names no user folder");
    const fs::path temp = fs::temp_directory_path();
    if (const auto rel = temp.lexically_relative(home); !rel.empty() && *rel.begin() != "..")
        throw std::runtime_error("the temporary folder " + temp.string() + " lies in the user folder " +
                                 home.string() + ", which a live machine replaces");
    const fs::path mine = storedHome(*this);
    if (live().root.empty()) {
        live().ownHome = ownFolder(home);
        if (fs::exists(home))
            move(home, live().ownHome);
    } else {
        SampleMachine previous = *this;
        previous.root = live().root;
        live().root.clear();
        move(home, storedHome(previous));
    }
    move(mine, home);
    live().root = root;
    writeInternetExplorerKeys(*this);
}

void endLiveMachine() {
    if (live().root.empty())
        return;
    const fs::path home = liveHome();
    const fs::path stored = live().root / "Users" / home.filename();
    live().root.clear();
    move(home, stored);
    if (fs::exists(live().ownHome))
        move(live().ownHome, home);
}

#else

fs::path liveHome() {
    return {};
}

bool SampleMachine::isLive() const {
    return false;
}

void SampleMachine::makeLive() const {
    activate();
}

void endLiveMachine() {}

#endif

}  // namespace kelvora::tools
