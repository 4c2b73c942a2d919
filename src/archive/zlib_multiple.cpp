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
constexpr std::size_t kIoBlock = 256 * 1024;
constexpr std::size_t kWholeRecordLimit = 4u << 20;  // records inflated in one piece

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
    if (!directory.empty())
        CleanFolderOnce(directory);
    unsigned threads = Tuning.ExtractionThreads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    if (threads > 1) {
        archive::Extractor extractor(*this, threads);
        extractor.run(in, directory, Overwrite, RelativePaths);
        return;
    }
    while (!in.atEnd())
        ExtractRecord(in, directory, Overwrite, RelativePaths);
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

archive::RecordPlan readRecordHeader(ArchiveInput& in) {
    archive::RecordPlan r;
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
    return r;
}

}  // namespace

archive::RecordPlan TZlibMultiple::PlanRecord(archive::ArchiveInput& in, const std::string& directory,
                                              bool relativePaths) {
    archive::RecordPlan record = readRecordHeader(in);
    // The name alone is checked as well: it is all that remains when the paths are dropped.
    std::string& reason = record.refusal;
    if (reason.empty())
        reason = archive::unsafeNameReason(record.stored);
    if (reason.empty())
        reason = archive::unsafeNameReason(record.name);
    if (!reason.empty())
        return record;

    // Nothing is written through a link met on the record's way down from the target folder (it
    // could lead out of it); the target folder itself may be one.
    if (relativePaths && !directory.empty()) {
        std::string through = directory;
        for (std::size_t start = 0; start < record.path.size();) {
            std::size_t end = record.path.find('\\', start);
            if (end == std::string::npos)
                end = record.path.size();
            through += record.path.substr(start, end - start);
            if (platform::entryKind(through) == platform::EntryKind::Link) {
                reason = "the folder \"" + through + "\" on its way is a link, which is not written through";
                return record;
            }
            through += '\\';
            start = end + 1;
        }
    }

    if (ForceDirectoriesFlag && !(directory + record.path).empty())
        ForceDirectories(directory + record.path);
    const std::string folder = directory + (relativePaths ? record.path : std::string());
    record.target = folder + record.name;
    if (!directory.empty())
        CleanFolderOnce(folder);
    return record;
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

void TZlibMultiple::ExtractRecord(archive::ArchiveInput& in, const std::string& directory, bool overwrite,
                                  bool relativePaths) {
    const archive::RecordPlan record = PlanRecord(in, directory, relativePaths);
    if (!record.refusal.empty()) {
        RefuseRecord(record);
        in.skip(static_cast<std::uint64_t>(record.packedSize));
        return;
    }
    ExtractBody(in, record, overwrite, std::string());
}

void TZlibMultiple::ExtractBody(archive::ArchiveInput& in, const archive::RecordPlan& record, bool overwrite,
                                std::string packed) {
    const std::string& target = record.target;
    const std::string& stored = record.stored;
    if (!overwrite && FileExists(target)) {
        if (packed.empty())
            in.skip(static_cast<std::uint64_t>(record.packedSize));
        return;
    }
    bool writeFile = true;
    if (OnDecompressingFile)
        OnDecompressingFile(*this, target, writeFile);

    // The data goes to a temporary file beside the target, which takes the target's place only
    // once the record has inflated without fault: a damaged record never spoils an existing file.
    std::unique_ptr<archive::OutputFile> out;
    std::string tempName;
    if (writeFile) {
        tempName = archive::temporarySibling(target);
        try {
            out = Files->create(tempName, platform::Access::Everyone);
        } catch (const std::exception& e) {
            throw Error(Format("Cannot create file \"%s\". %s", target.c_str(), e.what()));
        }
    }
    struct TempGuard {
        archive::FileSystem& files;
        std::unique_ptr<archive::OutputFile>& out;
        const std::string& name;
        bool keep = false;
        ~TempGuard() {
            if (!keep && out) {
                out.reset();
                files.removeFile(name);
            }
        }
    } guard{*Files, out, tempName};

    const auto writeOut = [&](const unsigned char* data, std::size_t n, std::uint64_t at) {
        if (n == 0 || !out)
            return;
        try {
            out->write(data, n);
        } catch (const std::exception& e) {
            throw Error(Format("Cannot write file \"%s\". %s", target.c_str(), e.what()));
        }
        RaiseProgress(at, at + n, record.unpackedSize, false);
    };

    const auto packedSize = static_cast<std::uint64_t>(record.packedSize);
    const std::uint64_t limit = archive::inflateLimit(record.unpackedSize);
    std::uint64_t written = 0;
    bool done = false;
    // Records that fit comfortably into memory go through libdeflate in one call; anything it
    // does not take whole and sound goes through zlib, whose verdict counts.
#ifdef KELVORA_HAVE_LIBDEFLATE
    if (packedSize <= kWholeRecordLimit && record.unpackedSize <= kWholeRecordLimit) {
        if (packed.empty())
            packed = in.readString(static_cast<std::size_t>(packedSize));
        std::vector<unsigned char> output(std::max<std::size_t>(record.unpackedSize, 1));
        if (const auto n = archive::inflateWhole(packed, output); n && *n == record.unpackedSize) {
            writeOut(output.data(), *n, 0);
            written = *n;
            done = true;
        }
    }
#endif
    if (!done) {
        const bool fromMemory = !packed.empty();
        std::uint64_t left = fromMemory ? 0 : packedSize;
        archive::Inflater inflater;
        z_stream& z = inflater.stream();
        std::vector<unsigned char> input(
            std::min<std::size_t>(kIoBlock, static_cast<std::size_t>(record.packedSize)));
        std::vector<unsigned char> output(std::clamp<std::size_t>(record.unpackedSize, 4096, kIoBlock));
        if (fromMemory) {
            z.next_in = reinterpret_cast<Bytef*>(packed.data());
            z.avail_in = static_cast<uInt>(packed.size());
        }
        bool ended = false;
        while (!ended) {
            if (z.avail_in == 0 && left > 0) {
                const std::size_t n = in.readSome(
                    input.data(), static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), left)));
                left -= n;
                z.next_in = input.data();
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = output.data();
            z.avail_out = static_cast<uInt>(output.size());
            const int result = inflate(&z, Z_NO_FLUSH);
            if (result == Z_NEED_DICT)
                archive::zlibCheck(Z_DATA_ERROR);
            if (result != Z_BUF_ERROR)
                archive::zlibCheck(result);
            const std::size_t n = output.size() - z.avail_out;
            if (written + n > limit)
                archive::throwInflatesTooMuch(record);
            writeOut(output.data(), n, written);
            written += n;
            ended = result == Z_STREAM_END;
            if (!ended && n == 0 && z.avail_in == 0 && left == 0)
                throw Error(Format("The archive record \"%s\" is damaged: its packed data ends early.",
                                   stored.c_str()));
        }
        in.skip(left);  // bytes after the end of the zlib stream belong to no one
    }
    if (out)
        RaiseProgress(written, written, record.unpackedSize, true);

    if (out) {
        try {
            out->close();
        } catch (const std::exception& e) {
            throw Error(Format("Cannot write file \"%s\". %s", target.c_str(), e.what()));
        }
        out.reset();
        if (std::string why; !Files->replaceFile(tempName, target, &why)) {
            Files->removeFile(tempName);
            throw Error(Format("Cannot create file \"%s\". The file could not be replaced: %s.",
                               target.c_str(), why.c_str()));
        }
    }
    guard.keep = true;
    FinishRecord(record, written);
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
        const archive::RecordPlan record = readRecordHeader(in);
        FileList.push_back(record.stored);
        in.skip(static_cast<std::uint64_t>(record.packedSize));
    }
}

}  // namespace kelvora
