#include "core/temp_names.h"

#include <random>
#include <vector>

#include "core/error.h"
#include "platform/platform.h"

namespace kelvora {

namespace {

unsigned long long randomBits() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return static_cast<unsigned long long>(random());
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool hexDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::string TemporarySibling(const std::string& path) {
    return folderOf(path) + std::string(kTemporaryFilePrefix) + Format("%016llx", randomBits()) +
           std::string(kTemporaryFileSuffix);
}

std::string TemporaryFolderIn(const std::string& parent) {
    std::string folder = parent;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder + std::string(kTemporaryFolderPrefix) + Format("%016llx", randomBits());
}

bool IsTemporaryFileName(std::string_view name) {
    if (name.size() <= kTemporaryFilePrefix.size() + kTemporaryFileSuffix.size() ||
        !name.starts_with(kTemporaryFilePrefix) || !name.ends_with(kTemporaryFileSuffix))
        return false;
    return hexDigits(name.substr(kTemporaryFilePrefix.size(),
                                 name.size() - kTemporaryFilePrefix.size() - kTemporaryFileSuffix.size()));
}

bool IsTemporaryFolderName(std::string_view name) {
    return name.starts_with(kTemporaryFolderPrefix) && hexDigits(name.substr(kTemporaryFolderPrefix.size()));
}

void CleanLeftoverTemporaries(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, true, entries))
        return;
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/')
        base += '\\';
    // Only Kelvora's own names, and of those only what no running task holds; the platform check
    // also leaves links and entries of the other kind alone.
    for (const auto& entry : entries) {
        if (IsTemporaryFolderName(entry.name))
            platform::removeIfUnused(base + entry.name, true);
        else if (IsTemporaryFileName(entry.name))
            platform::removeIfUnused(base + entry.name, false);
    }
}

}  // namespace kelvora
