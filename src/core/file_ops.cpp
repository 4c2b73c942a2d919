// Copies and removals of files and folders: CopyOneFile, CopyDir, DelTree, and the protected folders
// they refuse. Every file is written beside its target and renamed over it when complete; links
// inside a tree are neither followed nor written through.
#include <algorithm>
#include <mutex>

#include "core/core.h"
#include "core/error.h"
#include "core/temp_names.h"
#include "platform/platform.h"

namespace kelvora {

namespace {

using platform::CopyStatus;
using platform::EntryKind;

constexpr const char* kReadOnly = "the file is read-only";
constexpr const char* kSourceIsLink = "it is a link, and links are not followed";
constexpr const char* kTargetIsLink = "a link is in its place, and nothing is written through a link";
constexpr const char* kSourceNotFile = "it is not a regular file";
constexpr const char* kTargetNotFile = "a folder or other non-file is in its place";
constexpr const char* kTargetNotFolder = "a file or other non-folder is in its place";
constexpr const char* kSameFile = "the source and the target are the same file";

std::string copyFailureReason(const platform::CopyResult& result) {
    switch (result.status) {
        case CopyStatus::Copied:
            return {};
        case CopyStatus::SourceIsLink:
            return kSourceIsLink;
        case CopyStatus::SourceNotFile:
            return kSourceNotFile;
        case CopyStatus::TargetIsLink:
            return kTargetIsLink;
        case CopyStatus::TargetNotFile:
            return kTargetNotFile;
        case CopyStatus::TargetReadOnly:
            return kReadOnly;
        case CopyStatus::SourceFailed:
        case CopyStatus::TargetFailed:
        case CopyStatus::NoSpace:
            return result.reason;
    }
    return result.reason;
}

// Whether a failed copy is about the target's side (then the target is what was left out).
bool aboutTarget(CopyStatus status) {
    return status == CopyStatus::TargetIsLink || status == CopyStatus::TargetNotFile ||
           status == CopyStatus::TargetReadOnly || status == CopyStatus::TargetFailed ||
           status == CopyStatus::NoSpace;
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// The path without trailing separators, a root ("C:\", "/") kept whole.
std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

std::string lastName(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string childOf(const std::string& folder, const std::string& name) {
    return IncludeTrailingBackslash(folder) + name;
}

// A text that tells folders apart: links resolved as far as the path exists, the missing rest
// appended as given ("." and ".." taken by their text, as nothing missing can be a link), "/" as
// separator, ASCII letters lowered (Windows matches names so; elsewhere the comparison errs
// towards "the same"), ending in "/". Empty when no part of the path can be resolved.
std::string comparableFolder(const std::string& path) {
    std::vector<std::string> missing;  // innermost first
    std::string head = withoutTrailingSeparators(path);
    std::string canonical;
    while ((canonical = platform::canonicalPath(head)).empty()) {
        const std::size_t cut = head.find_last_of("\\/");
        if (cut == std::string::npos || cut + 1 == head.size())
            return {};
        missing.push_back(head.substr(cut + 1));
        head = cut == 0 || head[cut - 1] == ':' ? head.substr(0, cut + 1) : head.substr(0, cut);
    }
    std::string out;
    const auto append = [&out](std::string_view text) {
        for (char c : text) {
            if (isSeparator(c)) {
                if (out.empty() || out.back() != '/')
                    out += '/';
            } else {
                out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
        if (out.empty() || out.back() != '/')
            out += '/';
    };
    append(canonical);
    const std::size_t root = out.find('/') + 1;
    for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
        if (name->empty() || *name == ".")
            continue;
        if (*name == "..") {
            const std::size_t cut = out.find_last_of('/', out.size() - 2);
            if (cut != std::string::npos && cut + 1 >= root)
                out.resize(cut + 1);
            continue;
        }
        append(*name);
    }
    return out;
}

bool sameOrInside(const std::string& inner, const std::string& outer) {
    return inner.starts_with(outer);
}

std::mutex& protectedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string>& protectedFolders() {
    static std::vector<std::string> folders;
    return folders;
}

// The first protected folder that the folder `comparable` (as comparableFolder gives it) is or
// holds; empty when there is none. Protected folders are resolved now, as they may have been
// made, moved or linked since they were named.
std::string protectedWithin(const std::string& comparable) {
    std::vector<std::string> folders;
    {
        const std::lock_guard lock(protectedMutex());
        folders = protectedFolders();
    }
    for (const auto& folder : folders) {
        const std::string id = comparableFolder(folder);
        if (!id.empty() && sameOrInside(id, comparable))
            return folder;
    }
    return {};
}

std::string protectedReason(const std::string& path, const std::string& guarded) {
    return Format("\"%s\" is a protected folder or holds one (\"%s\")", path.c_str(), guarded.c_str());
}

// One CopyDir run below its checked top folder.
class TreeCopy {
  public:
    explicit TreeCopy(std::vector<LeftOutItem>& leftOut) : leftOut_(leftOut) {}

    // Copies the contents of `from` into the existing folder `to`. False when the copy had to stop
    // (stopReason() says why).
    bool copyContents(const std::string& from, const std::string& to) {
        std::vector<platform::DirEntry> entries;
        std::string why;
        if (!platform::listDirectory(from, true, entries, &why)) {
            leaveOut(from, why);
            return true;
        }
        for (const auto& entry : entries) {
            const std::string source = childOf(from, entry.name);
            const std::string target = childOf(to, entry.name);
            if (entry.isLink) {
                leaveOut(source, kSourceIsLink);
            } else if (entry.isDirectory) {
                if (!copyFolder(source, target))
                    return false;
            } else if (!copyFile(source, target)) {
                return false;
            }
        }
        return true;
    }

    const std::string& stopReason() const { return stopReason_; }

  private:
    bool copyFolder(const std::string& source, const std::string& target) {
        switch (platform::entryKind(target)) {
            case EntryKind::Link:
                leaveOut(target, kTargetIsLink);
                return true;
            case EntryKind::File:
            case EntryKind::Other:
                leaveOut(target, kTargetNotFolder);
                return true;
            case EntryKind::Missing:
                if (std::string why; !platform::createDirectory(target, &why)) {
                    leaveOut(target, why);
                    return true;
                }
                break;
            case EntryKind::Folder:
                break;
        }
        return copyContents(source, target);
    }

    bool copyFile(const std::string& source, const std::string& target) {
        platform::CopyOptions options;
        options.followSourceLink = false;
        const auto result = platform::copyFileOver(source, target, TemporarySibling(target), options);
        if (result.status == CopyStatus::NoSpace) {
            stopReason_ = result.reason;
            return false;
        }
        if (!result.copied())
            leaveOut(aboutTarget(result.status) ? target : source, copyFailureReason(result));
        return true;
    }

    void leaveOut(const std::string& path, std::string reason) {
        leftOut_.push_back({{}, path, std::move(reason)});
    }

    std::vector<LeftOutItem>& leftOut_;
    std::string stopReason_;
};

}  // namespace

bool CopyOneFile(const std::string& source, const std::string& target, std::string* reason) {
    if (platform::sameFile(source, target)) {
        if (reason)
            *reason = kSameFile;
        return false;
    }
    const auto result = platform::copyFileOver(source, target, TemporarySibling(target));
    if (result.copied())
        return true;
    if (reason)
        *reason = copyFailureReason(result);
    return false;
}

bool CopyDir(const std::string& fromDir, const std::string& toDir, std::vector<LeftOutItem>* leftOut,
             std::string* reason) {
    const auto refuse = [reason](std::string why) {
        if (reason)
            *reason = std::move(why);
        return false;
    };
    const std::string from = withoutTrailingSeparators(fromDir);
    const std::string name = lastName(from);
    if (!platform::directoryExists(from))
        return refuse(Format("the folder \"%s\" was not found", from.c_str()));
    if (name.empty() || name == "." || name == ".." || name.back() == ':')
        return refuse(Format("\"%s\" has no folder name to copy under", from.c_str()));
    const std::string target = childOf(toDir, name);

    const std::string source_id = comparableFolder(from);
    const std::string target_id = comparableFolder(target);
    if (source_id.empty() || target_id.empty())
        return refuse(
            Format("the folders \"%s\" and \"%s\" could not be resolved", from.c_str(), target.c_str()));
    if (target_id == source_id)
        return refuse(Format("the source and the target are the same folder (\"%s\")", target.c_str()));
    if (sameOrInside(target_id, source_id))
        return refuse(Format("the target folder \"%s\" is inside the folder being copied", target.c_str()));
    if (sameOrInside(source_id, target_id))
        return refuse(Format("the folder being copied is inside the target folder \"%s\"", target.c_str()));
    if (const std::string guarded = protectedWithin(target_id); !guarded.empty())
        return refuse(protectedReason(target, guarded));

    switch (platform::entryKind(target)) {
        case EntryKind::Link:
            return refuse(Format("\"%s\": %s", target.c_str(), kTargetIsLink));
        case EntryKind::File:
        case EntryKind::Other:
            return refuse(Format("\"%s\": %s", target.c_str(), kTargetNotFolder));
        case EntryKind::Missing:
            if (std::string why;
                !platform::createDirectories(toDir) || !platform::createDirectory(target, &why))
                return refuse(
                    Format("\"%s\": %s", target.c_str(), why.empty() ? "can't be made" : why.c_str()));
            break;
        case EntryKind::Folder:
            break;
    }

    std::vector<LeftOutItem> own;
    TreeCopy copy(leftOut ? *leftOut : own);
    if (!copy.copyContents(from, target))
        return refuse(copy.stopReason());
    if (!own.empty())
        return refuse(Format("\"%s\": %s", own.front().path.c_str(), own.front().reason.c_str()));
    return true;
}

bool DelTree(const std::string& DirName, std::string* reason) {
    try {
        if (const std::string id = comparableFolder(DirName); !id.empty()) {
            if (const std::string guarded = protectedWithin(id); !guarded.empty()) {
                if (reason)
                    *reason = protectedReason(DirName, guarded);
                return false;
            }
        }
        return platform::moveToTrash(DirName, reason);
    } catch (const std::exception& e) {
        if (reason)
            *reason = e.what();
        return false;
    } catch (...) {
        return false;
    }
}

bool FolderIsWithin(const std::string& folder, const std::string& container) {
    const std::string inner = comparableFolder(folder);
    const std::string outer = comparableFolder(container);
    return !inner.empty() && !outer.empty() && sameOrInside(inner, outer);
}

void ProtectFolder(const std::string& path) {
    if (path.empty())
        return;
    const std::lock_guard lock(protectedMutex());
    protectedFolders().push_back(path);
}

void ClearProtectedFolders() {
    const std::lock_guard lock(protectedMutex());
    protectedFolders().clear();
}

}  // namespace kelvora
