// The archive being written: a temporary file beside the archive, buffered, that replaces the
// archive in one step once it is complete. Until then an earlier archive of the same name stays
// as it was; an output that is dropped unfinished removes its temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_io.h"

namespace kelvora::archive {

class ArchiveOutput {
  public:
    // Creates the temporary file; throws kelvora::Error 'Cannot create file "<archive>". <reason>'.
    ArchiveOutput(std::shared_ptr<FileSystem> files, std::string archiveName);
    ~ArchiveOutput();  // removes the temporary file unless commit() succeeded
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    const std::string& temporaryName() const { return tempName_; }

    void write(const void* data, std::size_t size);
    std::uint64_t offset() const { return flushed_ + used_; }
    // Overwrites bytes written earlier.
    void patch(std::uint64_t offset, const void* data, std::size_t size);
    // Writes out everything, syncs it to the disk and moves the file over the archive.
    void commit();

  private:
    void flushBuffer();
    [[noreturn]] void writeFailed(const std::exception& e) const;

    std::shared_ptr<FileSystem> files_;
    std::string archiveName_;
    std::string tempName_;
    std::unique_ptr<OutputFile> file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    std::uint64_t startedFlush_ = 0;
    bool committed_ = false;
};

// A name for a temporary file in the folder of `path` (a file name of its own, same folder).
std::string temporarySibling(const std::string& path);

}  // namespace kelvora::archive
