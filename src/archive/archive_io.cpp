#include "archive/archive_io.h"

#include <algorithm>
#include <cstring>

namespace kelvora::archive {

namespace {

class PlatformInput : public InputFile {
  public:
    explicit PlatformInput(platform::File file) : owned_(std::move(file)), file_(owned_) {}
    struct Borrow {};
    PlatformInput(Borrow, platform::File& borrowed) : file_(borrowed) {}

    std::size_t read(void* buffer, std::size_t size) override { return file_.read(buffer, size); }
    std::uint64_t size() const override { return file_.size(); }
    std::uint64_t position() const override { return file_.position(); }
    void seek(std::uint64_t offset) override { file_.seek(offset); }

  private:
    platform::File owned_;
    platform::File& file_;
};

class PlatformOutput : public OutputFile {
  public:
    explicit PlatformOutput(platform::File file) : file_(std::move(file)) {}

    void write(const void* data, std::size_t size) override { file_.write(data, size); }
    void seek(std::uint64_t offset) override { file_.seek(offset); }
    void flush() override { file_.flush(); }
    void startFlush() override { file_.startFlush(); }
    void close() override { file_.close(); }

  private:
    platform::File file_;
};

}  // namespace

std::unique_ptr<InputFile> FileSystem::openRead(std::string_view path, platform::Share share) {
    return std::make_unique<PlatformInput>(platform::File::openRead(path, share));
}

std::unique_ptr<OutputFile> FileSystem::create(std::string_view path, platform::Access access) {
    return std::make_unique<PlatformOutput>(platform::File::create(path, access));
}

bool FileSystem::replaceFile(std::string_view from, std::string_view to, std::string* reason) {
    return platform::replaceFile(from, to, reason);
}

bool FileSystem::removeFile(std::string_view path) {
    return platform::removeFile(path);
}

std::shared_ptr<FileSystem> FileSystem::platform() {
    static const std::shared_ptr<FileSystem> instance = std::make_shared<FileSystem>();
    return instance;
}

std::size_t MemoryInput::read(void* buffer, std::size_t size) {
    if (position_ >= bytes_.size())
        return 0;
    const std::size_t n = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(position_));
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

std::unique_ptr<InputFile> borrowInput(platform::File& file) {
    return std::make_unique<PlatformInput>(PlatformInput::Borrow{}, file);
}

}  // namespace kelvora::archive
