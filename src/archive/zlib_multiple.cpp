#include "archive/zlib_multiple.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

#include "archive/archive_input.h"
#include "archive/archive_output.h"
#include "archive/block_deflate.h"
#include "archive/extractor.h"
#include "archive/packer.h"
#include "archive/record.h"
#include "archive/zlib_codec.h"
#include "core/core.h"
#include "core/error.h"
#include "core/temp_names.h"
#include "platform/platform.h"

namespace kelvora {

using archive::ArchiveInput;
using archive::ArchiveOutput;

namespace {

constexpr std::size_t kChunk = 1024;  // the progress events' step, as readers of the events expect

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

std::string lastName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The files below a folder in the order the original walk visits them: each folder's entries in
// the file system's order, a subfolder walked at once where it appears. Only the folders on the
// way down are held in memory. Links inside the tree are neither followed nor packed, Kelvora's
// own unfinished files never packed, and names the archive can't hold exactly are left out:
// each is reported, never stored under another name.
class FolderWalk {
  public:
    using Item = archive::SourceItem;

    using Skip = std::function<bool(const std::string& fullPath, const std::string& name)>;

    FolderWalk(std::string directory, bool recursive, bool storePaths, std::vector<LeftOutItem>& leftOut,
               Skip skip)
        : directory_(std::move(directory)),
          recursive_(recursive),
          storePaths_(storePaths),
          leftOut_(leftOut),
          skip_(std::move(skip)) {
        enter("");
    }

    // The files to leave out: the archive being written and its temporary file.
    void exclude(std::string path) { excluded_.push_back(std::move(path)); }

    std::optional<Item> next() {
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.index == level.entries.size()) {
                levels_.pop_back();
                continue;
            }
            const platform::DirEntry entry = level.entries[level.index++];
            const std::string relative = level.relativePath;
            const std::string fullPath = directory_ + relative + entry.name;
            if (entry.isDirectory ? IsTemporaryFolderName(entry.name) : IsTemporaryFileName(entry.name))
                continue;
            if (entry.isLink) {
                leaveOut(fullPath, "a link, which is not followed");
                continue;
            }
            if (entry.isDirectory) {
                if (!recursive_)
                    continue;
                // A folder whose name can't be stored is left out once, with everything below it.
                // A "" in a name is never walked: the path would lead elsewhere.
                std::string reason;
                if (storePaths_)
                    reason = archive::unstorableFolderReason(relative + entry.name + "\\");
                else if (entry.name.find('\\') != std::string::npos)
                    reason = archive::unstorableComponentReason(entry.name);
                if (!reason.empty())
                    leaveOut(fullPath, reason);
                else
                    enter(relative + entry.name + "\\");
                continue;
            }
            // An empty file never gets a record, and a file of size 0 may be a pipe or device
            // that would never end: it is not opened at all.
            if (entry.size == 0)
                continue;
            if (isExcluded(fullPath, entry.name) || (skip_ && skip_(fullPath, entry.name)))
                continue;
            Item item{fullPath, {}};
            if (const std::string reason =
                    archive::encodeName(storePaths_ ? relative : std::string(), entry.name, item.stored);
                !reason.empty()) {
                leaveOut(fullPath, reason);
                continue;
            }
            return item;
        }
        return std::nullopt;
    }

  private:
    struct Level {
        std::string relativePath;
        std::vector<platform::DirEntry> entries;
        std::size_t index = 0;
        std::string identity;
    };

    void leaveOut(const std::string& path, const std::string& reason) {
        leftOut_.push_back({"", path, reason});
    }

    void enter(const std::string& relative) {
        Level level;
        level.relativePath = relative;
        if (!platform::listDirectory(directory_ + relative, true, level.entries)) {
            leaveOut(directory_ + relative, "the folder could not be read");
            return;
        }
        // A folder met again below itself (a bind mount, say) would make the walk endless.
        level.identity = platform::canonicalPath(directory_ + relative);
        if (!level.identity.empty()) {
            for (const Level& above : levels_) {
                if (above.identity == level.identity)
                    return;
            }
        }
        levels_.push_back(std::move(level));
    }

    bool isExcluded(const std::string& fullPath, const std::string& name) const {
        for (const std::string& path : excluded_) {
            if (sameNameIgnoringCase(name, lastName(path)) && platform::sameFile(fullPath, path))
                return true;
        }
        return false;
    }

    std::string directory_;
    bool recursive_;
    bool storePaths_;
    std::vector<LeftOutItem>& leftOut_;
    Skip skip_;
    std::vector<Level> levels_;
    std::vector<std::string> excluded_;
};

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::int32_t low32(std::uint64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
}

}  // namespace

// ---- Packing --------------------------------------------------------------------------------

void TZlibMultiple::RaiseProgress(std::uint64_t from, std::uint64_t to, std::uint64_t total, bool end) {
    if (!OnProgress)
        return;
    // One event per 1024 bytes, and one for the short chunk at the end, as a reader going
    // through the file in chunks of 1024 bytes would raise them.
    for (std::uint64_t pos = (from / kChunk + 1) * kChunk; pos <= to; pos += kChunk)
        OnProgress(*this, low32(pos), low32(total));
    if (end && to % kChunk != 0)
        OnProgress(*this, low32(to), low32(total));
}

void TZlibMultiple::CompressDirectory(const std::string& Directory, bool Recursive,
                                      const std::string& FileName) {
    const std::string directory = IncludeTrailingBackslash(Directory);
    if (!directory.empty() && !platform::directoryExists(directory))
        throw Error(Format("Cannot open folder \"%s\". The folder does not exist.", Directory.c_str()));

    // Temporary files that a killed run left beside the archive go first.
    CleanLeftoverTemporaries(folderOf(FileName));
    ArchiveOutput out(Files, FileName);
    FolderWalk walk(directory, Recursive, StorePaths, LeftOut, SkipFile);
    walk.exclude(out.temporaryName());
    walk.exclude(FileName);
    archive::Packer packer(*this, out);
    packer.run([&walk] { return walk.next(); });
    out.commit();
}

void TZlibMultiple::CompressFiles(const std::vector<FileToPack>& Files, const std::string& FileName) {
    CleanLeftoverTemporaries(folderOf(FileName));
    ArchiveOutput out(this->Files, FileName);
    std::size_t index = 0;
    archive::Packer packer(*this, out);
    packer.run([&]() -> std::optional<archive::SourceItem> {
        while (index < Files.size()) {
            const FileToPack& file = Files[index++];
            archive::SourceItem item{file.source, {}};
            const std::size_t slash = file.record.find_last_of('\\');
            const std::string path = slash == std::string::npos ? "" : file.record.substr(0, slash + 1);
            const std::string name = slash == std::string::npos ? file.record : file.record.substr(slash + 1);
            if (const std::string reason = archive::encodeName(path, name, item.stored); !reason.empty()) {
                LeftOut.push_back({"", file.source, reason});
                continue;
            }
            return item;
        }
        return std::nullopt;
    });
    out.commit();
}

// ---- Extracting -----------------------------------------------------------------------------

void TZlibMultiple::DecompressFile(const std::string& FileName, const std::string& Directory, bool Overwrite,
                                   bool RelativePaths) {
    platform::File file;
    try {
        file = platform::File::openRead(FileName, platform::Share::DenyWrite);
    } catch (const std::exception& e) {
        throw Error(Format("Cannot open file \"%s\". %s", FileName.c_str(), e.what()));
    }
    DecompressStream(file, Directory, Overwrite, RelativePaths);
    file.close();
    if (OnCompletedAction)
        OnCompletedAction(*this);
}

void TZlibMultiple::DecompressStream(platform::File& Stream, const std::string& Directory, bool Overwrite,
                                     bool RelativePaths) {
    const auto source = archive::borrowInput(Stream);
    DecompressStream(*source, Directory, Overwrite, RelativePaths);
}

void TZlibMultiple::DecompressStream(archive::InputFile& Stream, const std::string& Directory, bool Overwrite,
                                     bool RelativePaths) {
    ArchiveInput in(Stream);
    const std::string directory = IncludeTrailingBackslash(Directory);
    // Temporary files that a killed run left in the folders written into go as they are met.
    cleanedFolders_.clear();
    preparedFolders_.clear();
    if (!directory.empty())
        CleanFolderOnce(directory);
    unsigned threads = Tuning.ExtractionThreads;
    if (threads == 0)
        threads = platform::usableProcessors() > 1 ? 2 : 1;
    archive::Extractor extractor(*this, threads > 1);
    extractor.run(in, directory, Overwrite, RelativePaths);
}

namespace {

// Text from a record's stored bytes. Bytes that are not valid in the code page are shown as
// best they can be, and `invalid` is set: such a name is never extracted.
std::string storedText(const std::string& bytes, bool& invalid) {
    if (std::optional<std::string> text = platform::ansiToUtf8Exact(bytes))
        return std::move(*text);
    invalid = true;
    return platform::ansiToUtf8(bytes);
}

}  // namespace

namespace archive {

RecordPlan readRecord(ArchiveInput& in) {
    RecordPlan r;
    bool invalid = false;
    const std::size_t pathLength = in.readByte();
    r.path = storedText(in.readString(pathLength), invalid);
    if (!r.path.empty() && r.path.back() != '\\')
        r.path += '\\';
    const std::size_t nameLength = in.readByte();
    r.name = storedText(in.readString(nameLength), invalid);
    r.unpackedSize = in.readUInt32();
    r.packedSize = static_cast<std::int32_t>(in.readUInt32());
    r.stored = r.path + r.name;
    // Packed data of no bytes (or fewer) is no zlib stream; data past the end is not there.
    if (r.packedSize <= 0)
        throw Error(Format("The archive record \"%s\" is damaged: its packed size is %d.", r.stored.c_str(),
                           r.packedSize));
    if (static_cast<std::uint64_t>(r.packedSize) > in.remaining())
        archive::throwStreamReadError();
    if (invalid)
        r.refusal = "the name is not valid in the archive's " + platform::ansiCodePageName();
    // The name alone is checked as well: it is all that remains when the paths are dropped.
    if (r.refusal.empty())
        r.refusal = archive::unsafeNameReason(r.stored);
    if (r.refusal.empty())
        r.refusal = archive::unsafeNameReason(r.name);
    return r;
}

}  // namespace archive

void TZlibMultiple::PrepareRecord(archive::RecordPlan& record, const std::string& directory,
                                  bool relativePaths) {
    const std::string folder = directory + record.path;
    // Nothing is written through a link met on the record's way down from the target folder (it
    // could lead out of it); the target folder itself may be one. A folder checked and made for an
    // earlier record (the extraction makes folders, never links) is not checked again.
    if (preparedFolders_.count(folder) == 0) {
        if (relativePaths && !directory.empty()) {
            std::string through = directory;
            for (std::size_t start = 0; start < record.path.size();) {
                std::size_t end = record.path.find('\\', start);
                if (end == std::string::npos)
                    end = record.path.size();
                through += record.path.substr(start, end - start);
                if (platform::entryKind(through) == platform::EntryKind::Link) {
                    record.refusal =
                        "the folder \"" + through + "\" on its way is a link, which is not written through";
                    return;
                }
                through += '\\';
                start = end + 1;
            }
        }
        if (ForceDirectoriesFlag && !folder.empty())
            ForceDirectories(folder);
        if (relativePaths && ForceDirectoriesFlag)
            preparedFolders_.insert(folder);
    }
    const std::string targetFolder = directory + (relativePaths ? record.path : std::string());
    record.target = targetFolder + record.name;
    if (!directory.empty())
        CleanFolderOnce(targetFolder);
}

void TZlibMultiple::RefuseRecord(const archive::RecordPlan& record) {
    LeftOut.push_back({"", record.stored, record.refusal});
    if (OnWarning)
        OnWarning(*this, Format("Refused the archive record \"%s\": %s.", record.stored.c_str(),
                                record.refusal.c_str()));
}

void TZlibMultiple::LeaveOut(const std::string& path, const std::string& reason) {
    LeftOut.push_back({"", path, reason});
}

void TZlibMultiple::CleanFolderOnce(const std::string& folder) {
    if (cleanedFolders_.insert(folder).second)
        CleanLeftoverTemporaries(folder);
}

void TZlibMultiple::FinishRecord(const archive::RecordPlan& record, std::uint64_t written) {
    if (OnDecompressedFile)
        OnDecompressedFile(*this, record.target, static_cast<std::uint32_t>(written));
    if (written != record.unpackedSize) {
        const std::string warning =
            Format("The archive record \"%s\" holds %llu bytes, but its header says %u.",
                   record.stored.c_str(), static_cast<unsigned long long>(written), record.unpackedSize);
        Warnings.push_back(warning);
        if (OnWarning)
            OnWarning(*this, warning);
    }
}

// ---- Listing --------------------------------------------------------------------------------

void TZlibMultiple::ListStoredFiles(const std::string& FileName, std::vector<std::string>& FileList) {
    platform::File file;
    try {
        file = platform::File::openRead(FileName, platform::Share::DenyWrite);
    } catch (const std::exception& e) {
        throw Error(Format("Cannot open file \"%s\". %s", FileName.c_str(), e.what()));
    }
    const auto source = archive::borrowInput(file);
    ListStoredFiles(*source, FileList);
}

void TZlibMultiple::ListStoredFiles(archive::InputFile& Stream, std::vector<std::string>& FileList) {
    ArchiveInput in(Stream);
    while (!in.atEnd()) {
        const archive::RecordPlan record = archive::readRecord(in);
        FileList.push_back(record.stored);
        in.skip(static_cast<std::uint64_t>(record.packedSize));
    }
}

}  // namespace kelvora
