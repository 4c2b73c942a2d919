#include "core/core.h"

#include <algorithm>
#include <functional>

#include "platform/platform.h"

namespace kelvora {

namespace {

// Lower-cases ASCII letters and, in UTF-8, the two-byte Latin-1 supplement capitals.
std::string foldCase(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < out.size()) {
            unsigned char d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97)
                out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string GetLoginName() {
    std::string name = platform::userName();
    if (name.size() > 255)
        name.resize(255);
    return name;
}

std::string GetSystemDrive() {
    std::string dir = platform::windowsDirectory();
    if (auto nul = dir.find('\0'); nul != std::string::npos)
        dir.resize(nul);
    if (dir.size() >= 2 && dir[1] == ':')
        return dir.substr(0, 2);
    if (dir.rfind("\\\\", 0) == 0) {
        // \\server\share\...: keep the server and share part.
        const auto server_end = dir.find('\\', 2);
        if (server_end == std::string::npos)
            return dir;
        const auto share_end = dir.find('\\', server_end + 1);
        return share_end == std::string::npos ? dir : dir.substr(0, share_end);
    }
    return {};
}

std::string GetSpecialFolderPath(int folder) {
    std::string path = platform::specialFolderPath(folder);
    if (path.size() > 261)
        path.resize(261);
    return path;
}

std::string GetWindowsMajorVersion() {
    return platform::windowsMajorVersion();
}

void GetSubDirectories(const std::string& directory, std::vector<std::string>& list) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(directory, false, entries))
        return;
    for (const auto& entry : entries) {
        if (entry.isDirectory && entry.name != "." && entry.name != "..")
            list.push_back(entry.name);
    }
}

std::string SearchFileInFolders(const std::string& name, const std::string& folders,
                                const std::function<bool(const std::string&)>& accept) {
    if (name.empty())
        return {};
    const auto found = [&](const std::string& candidate) {
        return platform::fileExists(candidate) && (!accept || accept(candidate));
    };
    // On a machine seen as a folder the working folder is no part of that machine.
    if (!platform::usesMachineFolder() && found(name))
        return name;
    // UTF-8 keeps a character's bytes together, so scanning bytes for ";" never splits a
    // character (a surrogate pair in UTF-16 is one four-byte sequence here).
    std::size_t pos = 0;
    while (pos < folders.size()) {
        while (pos < folders.size() && folders[pos] == ';')
            ++pos;
        if (pos >= folders.size())
            break;
        const std::size_t end = std::min(folders.find(';', pos), folders.size());
        const std::string folder = folders.substr(pos, end - pos);
        pos = end;
        std::string candidate = folder;
        if (folder.back() != ':' && folder.back() != '\\')
            candidate += '\\';
        candidate += name;
        if (found(candidate))
            return candidate;
    }
    return {};
}

std::string parentFolder(const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    const std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool FileExists(const std::string& path) {
    return platform::fileExists(path);
}
bool DirectoryExists(const std::string& path) {
    return platform::directoryExists(path);
}
bool CreateDir(const std::string& path) {
    return platform::createDirectory(path);
}
bool ForceDirectories(const std::string& path) {
    return platform::createDirectories(path);
}

std::string ReplaceTextIgnoreCase(std::string_view text, std::string_view from, std::string_view to,
                                  std::size_t* replaced) {
    if (replaced)
        *replaced = 0;
    if (from.empty())
        return std::string(text);
    const std::string folded_text = foldCase(text);
    const std::string folded_from = foldCase(from);
    std::string out;
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = folded_text.find(folded_from, pos);
        if (hit == std::string::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
        if (replaced)
            ++*replaced;
    }
    out.append(text.substr(pos));
    return out;
}

std::string IncludeTrailingBackslash(const std::string& path) {
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        return path;
    return path + '\\';
}

}  // namespace kelvora
