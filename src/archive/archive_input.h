// Buffered reading of an archive from its current position to its end. Reads that would go past
// the end throw kelvora::Error("Stream read error").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_io.h"

namespace kelvora::archive {

class ArchiveInput {
  public:
    explicit ArchiveInput(InputFile& file);

    bool atEnd() const { return position_ >= end_; }
    std::uint64_t remaining() const { return end_ - position_; }

    std::uint8_t readByte();
    std::string readString(std::size_t size);
    std::uint32_t readUInt32();
    // Up to `size` bytes, at least one unless at the end.
    std::size_t readSome(void* buffer, std::size_t size);
    void skip(std::uint64_t size);
    // The offset in the file, and a way back to an earlier one.
    std::uint64_t position() const { return position_; }
    void rewind(std::uint64_t position);

  private:
    void fill();

    InputFile& file_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::vector<char> buffer_;
    std::size_t bufferPos_ = 0;
    std::size_t bufferLen_ = 0;
};

[[noreturn]] void throwStreamReadError();

}  // namespace kelvora::archive
