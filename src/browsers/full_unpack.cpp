// A full restore replaces a browser's files one at a time, each whole or not at all. The archive
// is unpacked into a staging folder beside the target folder (on the same volume, and outside the
// folder a later full backup packs); as soon as a file is complete it is moved over its target.
// A full disk or a damaged archive thus never leaves a half-written browser file behind: the files
// moved before the error are whole, the rest are as they were, and the staging folder goes.
#include <exception>
#include <string_view>

#include "archive/zlib_multiple.h"
#include "browsers/full.h"
#include "core/core.h"
#include "core/error.h"
#include "platform/platform.h"

namespace kelvora::browsers::full {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string& path) {
    const auto pos = path.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

// A stored name stays below the folder it is unpacked into: no "..", no drive, not empty.
bool isSafeRelativeName(std::string_view name) {
    if (name.empty() || isSeparator(name.back()) || name.find(':') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// Removes a folder and everything below it outright: the staging folder holds nothing of the
// user's, so it does not go to the Recycle Bin.
void removeTree(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, true, entries))
        return;
    for (const auto& entry : entries) {
        const std::string path = folder + "\\" + entry.name;
        if (entry.isDirectory)
            removeTree(path);
        else
            platform::removeFile(path);
    }
    platform::removeDirectory(folder);
}

class StagingFolder {
  public:
    explicit StagingFolder(const std::string& target) : target_(withoutTrailingSeparators(target)) {
        const std::string parent = parentOf(target_);
        const std::string leaf = target_.substr(parent.empty() ? 0 : parent.size() + 1);
        const std::string base = (parent.empty() ? "" : parent + "\\") + "~" + leaf + ".kelvora-restore";
        path_ = base;
        for (int n = 2; FileExists(path_) || DirectoryExists(path_); ++n)
            path_ = base + "-" + std::to_string(n);
    }
    ~StagingFolder() {
        try {
            removeTree(path_);
        } catch (const std::exception&) {
            // A leftover staging folder holds only copies; it must not hide the task's own error.
        }
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::string& path() const { return path_; }

    // The stored relative name of a file the archive component unpacks to `staged`.
    std::string relativeName(const std::string& staged) const {
        const std::string prefix = path_ + "\\";
        if (staged.compare(0, prefix.size(), prefix) != 0)
            throw Error(
                Format("Cannot restore \"%s\": it lies outside \"%s\".", staged.c_str(), path_.c_str()));
        return staged.substr(prefix.size());
    }

    std::string targetOf(const std::string& relative) const { return target_ + "\\" + relative; }

    // Moves a complete staged file over its target in one step. Where the two lie on different
    // volumes (a mount point inside the data folder), a copy beside the target is moved instead.
    void moveIntoPlace(const std::string& staged, const std::string& target) const {
        const std::string folder = parentOf(target);
        if (!folder.empty() && !DirectoryExists(folder) && !ForceDirectories(folder))
            throw Error(Format("Cannot create folder \"%s\".", folder.c_str()));
        if (platform::replaceFile(staged, target))
            return;
        const std::string copy = target + ".kelvora-new";
        if (platform::copyFile(staged, copy, false) && platform::replaceFile(copy, target))
            return;
        platform::removeFile(copy);
        throw Error(Format("Cannot replace file \"%s\".", target.c_str()));
    }

  private:
    std::string target_;
    std::string path_;
};

}  // namespace

void unpackReplacing(const std::string& archive, const std::string& folder, const UnpackEvents& events) {
    if (withoutTrailingSeparators(folder).empty())
        throw Error(Format("No folder to restore \"%s\" into.", archive.c_str()));
    StagingFolder staging(folder);
    TZlibMultiple reader;
    // Folders are made here, after each name is checked, not by the component from unchecked names.
    reader.ForceDirectoriesFlag = false;
    std::string relative;
    std::string target;
    reader.OnDecompressingFile = [&](TZlibMultiple&, const std::string& staged, bool&) {
        relative = staging.relativeName(staged);
        if (!isSafeRelativeName(relative))
            throw Error(Format("Backup file \"%s\" holds the unsafe name \"%s\"; nothing more was restored.",
                               archive.c_str(), relative.c_str()));
        target = staging.targetOf(relative);
        const std::string stagedFolder = parentOf(staged);
        if (!DirectoryExists(stagedFolder))
            ForceDirectories(stagedFolder);
        if (events.onFile)
            events.onFile(target);
    };
    reader.OnProgress = [&](TZlibMultiple&, std::int32_t position, std::int32_t total) {
        if (events.onProgress)
            events.onProgress(position, total);
    };
    reader.OnDecompressedFile = [&](TZlibMultiple&, const std::string& staged, std::uint32_t fileSize) {
        // Everything inflated must be on the disk before the file may replace the browser's own.
        const auto written = platform::fileSize(staged);
        if (!written || (*written & 0xFFFFFFFFu) != fileSize)
            throw Error(Format("Cannot write file \"%s\" completely; \"%s\" was left as it was.",
                               staged.c_str(), target.c_str()));
        staging.moveIntoPlace(staged, target);
    };
    reader.DecompressFile(archive, staging.path(), true, true);
}

}  // namespace kelvora::browsers::full
