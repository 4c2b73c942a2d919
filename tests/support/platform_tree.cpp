#include "support/platform_tree.h"

#include <stdexcept>
#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelvora::test {

std::string deepPath(const std::string& base, std::size_t length) {
    std::string path = base;
    for (char letter = 'a'; path.size() < length; ++letter)
        path += "\\" + std::string(60, letter);
    return path;
}

void writeThroughPlatform(const std::string& path, std::string_view contents) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos && !platform::createDirectories(path.substr(0, cut)))
        throw std::runtime_error("could not make the folder of " + path);
    platform::File file = platform::File::create(path);
    file.write(contents.data(), contents.size());
    file.close();
}

std::string readThroughPlatform(const std::string& path) {
    platform::File file = platform::File::openRead(path);
    std::string out;
    char buffer[65536];
    while (const std::size_t n = file.read(buffer, sizeof buffer))
        out.append(buffer, n);
    return out;
}

namespace {

void collect(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    std::vector<platform::DirEntry> entries;
    std::string reason;
    if (!platform::listDirectory(folder, true, entries, &reason))
        throw std::runtime_error("could not list " + folder + ": " + reason);
    for (const platform::DirEntry& entry : entries) {
        const std::string name = relative.empty() ? entry.name : relative + "\\" + entry.name;
        const std::string mark = entry.hidden ? "<hidden>" : "";
        if (entry.isDirectory) {
            out[name] = mark + "<folder>";
            collect(root, name, out);
        } else {
            out[name] = mark + readThroughPlatform(root + "\\" + name);
        }
    }
}

}  // namespace

std::map<std::string, std::string> treeThroughPlatform(const std::string& root) {
    std::map<std::string, std::string> out;
    collect(root, "", out);
    return out;
}

bool underWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

}  // namespace kelvora::test
