// The files the archive component reads and writes, behind a small interface so that tests can
// make a disk fill up or a read fail half-way. The default goes straight to the platform layer.
//
// Errors are thrown as platform::SystemError carrying the system's reason only; the component adds
// the file name. Implementations must allow calls from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/platform.h"

namespace kelvora::archive {

class InputFile {
  public:
    virtual ~InputFile() = default;
    virtual std::size_t read(void* buffer, std::size_t size) = 0;  // 0 at the end
    virtual std::uint64_t size() const = 0;
    virtual std::uint64_t position() const = 0;
    virtual void seek(std::uint64_t offset) = 0;
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual void write(const void* data, std::size_t size) = 0;  // all of it, or throws
    virtual void seek(std::uint64_t offset) = 0;
    virtual void flush() = 0;     // to the disk
    virtual void startFlush() {}  // begins writing to the disk what flush() will wait for
    virtual void close() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<InputFile> openRead(std::string_view path, platform::Share share);
    // Archives are made readable by their owner only; extracted files get the usual rights.
    virtual std::unique_ptr<OutputFile> create(std::string_view path, platform::Access access);
    // False with the system's reason in `reason` when the file could not take its name.
    virtual bool replaceFile(std::string_view from, std::string_view to, std::string* reason);
    virtual bool removeFile(std::string_view path);

    // The platform's file system, shared by every component that is not given another.
    static std::shared_ptr<FileSystem> platform();
};

// An input over bytes in memory that the caller keeps alive.
class MemoryInput : public InputFile {
  public:
    explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(void* buffer, std::size_t size) override;
    std::uint64_t size() const override { return bytes_.size(); }
    std::uint64_t position() const override { return position_; }
    void seek(std::uint64_t offset) override { position_ = offset; }

  private:
    std::string_view bytes_;
    std::uint64_t position_ = 0;
};

// An input over a stream the caller keeps open (DecompressStream's argument).
std::unique_ptr<InputFile> borrowInput(platform::File& file);

}  // namespace kelvora::archive
