// TZlibMultiple: the ".dat" backup archive. An archive is records back to back, each holding a
// file's relative folder, its name, its size and its contents as one zlib stream.
//
// Errors are thrown as kelvora::Error with the text the user is shown. Events are raised on the
// calling thread, in the order of the records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_io.h"
#include "core/result.h"
#include "platform/platform.h"

namespace kelvora {

namespace archive {
class ArchiveInput;
class ArchiveOutput;
class Packer;
class Extractor;
struct RecordPlan;
}  // namespace archive

// How CompressDirectory and the extraction share their work among threads. Neither the archive's
// bytes nor the order of events and files depend on the number of threads; no more threads than
// the processors this process may use compute at once, and a thread with nothing to do waits.
struct TZlibTuning {
    // Packing: 0 for one compressing thread per usable processor; 1 keeps everything on the
    // calling thread.
    unsigned Threads = 0;
    std::size_t WholeFileLimit = 4u << 20;  // smaller files are compressed in one piece
    std::size_t BlockSize = 1u << 20;       // larger ones in blocks of this size
    std::size_t MemoryBudget = 8u << 20;    // file bytes read ahead of the archive at most
    // Extraction: 1 keeps everything on the calling thread; 2 or more (0: where the process may
    // use more than one processor) inflate the records on a thread of their own while the calling
    // thread creates and writes the files, so that the one overlaps the other.
    unsigned ExtractionThreads = 0;
};

class TZlibMultiple {
  public:
    using TFileEvent = std::function<void(TZlibMultiple& sender, const std::string& fileName)>;
    using TFileBeforeWriteEvent =
        std::function<void(TZlibMultiple& sender, const std::string& fileName, bool& writeFile)>;
    using TFileAfterWriteEvent =
        std::function<void(TZlibMultiple& sender, const std::string& fileName, std::uint32_t fileSize)>;
    using TProgressEvent =
        std::function<void(TZlibMultiple& sender, std::int32_t position, std::int32_t total)>;
    using TNotifyEvent = std::function<void(TZlibMultiple& sender)>;

    bool StorePaths = true;
    bool IgnoreExclusive = false;
    int CompressionLevel = -1;
    bool ForceDirectoriesFlag = true;

    TFileEvent OnCompressingFile;
    TFileEvent OnCompressedFile;
    TFileBeforeWriteEvent OnDecompressingFile;
    TFileAfterWriteEvent OnDecompressedFile;
    TProgressEvent OnProgress;
    TNotifyEvent OnCompletedAction;

    // Packs the files below `Directory` into the archive `FileName`.
    void CompressDirectory(const std::string& Directory, bool Recursive, const std::string& FileName);
    // A file to pack under a record name of the caller's choice ("a\b" goes into folder "a\" as "b").
    struct FileToPack {
        std::string source;
        std::string record;
    };
    // Packs the files given, in their order, into the archive `FileName`. A file that is missing,
    // empty or can't be read is left out (see LeftOut), as in CompressDirectory.
    void CompressFiles(const std::vector<FileToPack>& Files, const std::string& FileName);
    // When set, CompressDirectory leaves out the files for which it returns true (full path and
    // name), silently: what the caller packs in another way or not at all.
    std::function<bool(const std::string& fullPath, const std::string& name)> SkipFile;
    // Extracts every record of the archive `FileName` into `Directory`.
    void DecompressFile(const std::string& FileName, const std::string& Directory, bool Overwrite,
                        bool RelativePaths);
    // The same for an archive already open, read from its current position to its end.
    void DecompressStream(platform::File& Stream, const std::string& Directory, bool Overwrite,
                          bool RelativePaths);
    // Appends each record's relative name ("a\b\name") to `FileList`.
    void ListStoredFiles(const std::string& FileName, std::vector<std::string>& FileList);

    // The same two over any input, from its current position to its end.
    void DecompressStream(archive::InputFile& Stream, const std::string& Directory, bool Overwrite,
                          bool RelativePaths);
    void ListStoredFiles(archive::InputFile& Stream, std::vector<std::string>& FileList);

    // A record whose inflated size differs from the size its header states is extracted (its
    // checksum held) and reported here, one line each, and through OnWarning.
    std::vector<std::string> Warnings;
    // What was left out, each with its reason: when packing, links (never followed), files whose
    // names the archive can't hold exactly, and files that could not be opened; when extracting,
    // records refused for their names (each also raises OnWarning). `path` is the file's full path,
    // or the record's stored name.
    std::vector<LeftOutItem> LeftOut;
    std::function<void(TZlibMultiple& sender, const std::string& message)> OnWarning;

    TZlibTuning Tuning;

    // Where files are read and written; tests put a failing file system here.
    std::shared_ptr<archive::FileSystem> Files = archive::FileSystem::platform();

  private:
    friend class archive::Packer;
    friend class archive::Extractor;
    void RaiseProgress(std::uint64_t from, std::uint64_t to, std::uint64_t total, bool end);
    // The file-system side of a record about to be extracted: refuses it when a link lies on its
    // way down from `directory`, makes its folder, and sets its target.
    void PrepareRecord(archive::RecordPlan& record, const std::string& directory, bool relativePaths);
    // The end of a record: OnDecompressedFile, and a warning when the size differs from the header's.
    void FinishRecord(const archive::RecordPlan& record, std::uint64_t written);
    // Reports a refused record; its packed data is skipped by the caller.
    void RefuseRecord(const archive::RecordPlan& record);
    void LeaveOut(const std::string& path, const std::string& reason);
    // Removes what killed runs left in a folder the extraction writes into, once per folder.
    void CleanFolderOnce(const std::string& folder);
    std::set<std::string> cleanedFolders_;
    std::set<std::string> preparedFolders_;  // checked for links on the way and made, this extraction
};

}  // namespace kelvora
