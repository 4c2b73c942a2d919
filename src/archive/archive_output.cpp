#include "archive/archive_output.h"

#include <cstring>
#include <random>

#include "core/error.h"
#include "core/temp_names.h"

namespace kelvora::archive {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint64_t kFlushStep = 16u << 20;

}  // namespace

std::string temporarySibling(const std::string& path) {
    return TemporarySibling(path);
}

ArchiveOutput::ArchiveOutput(std::shared_ptr<FileSystem> files, std::string archiveName)
    : files_(std::move(files)),
      archiveName_(std::move(archiveName)),
      tempName_(temporarySibling(archiveName_)) {
    try {
        file_ = files_->create(tempName_, platform::Access::OwnerOnly);
    } catch (const std::exception& e) {
        throw Error(Format("Cannot create file \"%s\". %s", archiveName_.c_str(), e.what()));
    }
    buffer_.resize(kBufferSize);
}

ArchiveOutput::~ArchiveOutput() {
    if (committed_)
        return;
    file_.reset();  // closes without reporting: the file is going anyway
    files_->removeFile(tempName_);
}

void ArchiveOutput::writeFailed(const std::exception& e) const {
    throw Error(Format("Cannot write file \"%s\". %s", archiveName_.c_str(), e.what()));
}

void ArchiveOutput::flushBuffer() {
    if (used_ == 0)
        return;
    try {
        file_->write(buffer_.data(), used_);
    } catch (const std::exception& e) {
        writeFailed(e);
    }
    flushed_ += used_;
    used_ = 0;
    // The disk starts on the archive while it is being made: committing it then waits for little.
    if (flushed_ - startedFlush_ >= kFlushStep) {
        file_->startFlush();
        startedFlush_ = flushed_;
    }
}

void ArchiveOutput::write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    if (size >= buffer_.size()) {
        flushBuffer();
        try {
            file_->write(p, size);
        } catch (const std::exception& e) {
            writeFailed(e);
        }
        flushed_ += size;
        return;
    }
    if (used_ + size > buffer_.size())
        flushBuffer();
    std::memcpy(buffer_.data() + used_, p, size);
    used_ += size;
}

void ArchiveOutput::patch(std::uint64_t offset, const void* data, std::size_t size) {
    if (offset >= flushed_) {
        std::memcpy(buffer_.data() + (offset - flushed_), data, size);
        return;
    }
    flushBuffer();
    try {
        file_->seek(offset);
        file_->write(data, size);
        file_->seek(flushed_);
    } catch (const std::exception& e) {
        writeFailed(e);
    }
}

void ArchiveOutput::commit() {
    flushBuffer();
    try {
        file_->flush();
        file_->close();
    } catch (const std::exception& e) {
        writeFailed(e);
    }
    if (std::string why; !files_->replaceFile(tempName_, archiveName_, &why))
        throw Error(Format("Cannot create file \"%s\". The finished archive could not take its name: %s.",
                           archiveName_.c_str(), why.c_str()));
    committed_ = true;
}

}  // namespace kelvora::archive
