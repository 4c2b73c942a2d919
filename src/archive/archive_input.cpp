#include "archive/archive_input.h"

#include <algorithm>
#include <cstring>

#include "core/error.h"

namespace kelvora::archive {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

}  // namespace

void throwStreamReadError() {
    throw Error("Stream read error");
}

ArchiveInput::ArchiveInput(InputFile& file)
    : file_(file), position_(file.position()), end_(std::max(file.size(), position_)) {
    buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, remaining())));
}

void ArchiveInput::fill() {
    bufferPos_ = 0;
    bufferLen_ = 0;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), remaining()));
    if (want == 0)
        return;
    bufferLen_ = file_.read(buffer_.data(), want);
    if (bufferLen_ == 0)
        throwStreamReadError();  // the file ended before its size said
}

std::size_t ArchiveInput::readSome(void* buffer, std::size_t size) {
    if (size == 0 || atEnd())
        return 0;
    if (bufferPos_ == bufferLen_)
        fill();
    const std::size_t n = std::min(size, bufferLen_ - bufferPos_);
    std::memcpy(buffer, buffer_.data() + bufferPos_, n);
    bufferPos_ += n;
    position_ += n;
    return n;
}

std::string ArchiveInput::readString(std::size_t size) {
    if (size > remaining())
        throwStreamReadError();
    std::string out(size, '\0');
    std::size_t done = 0;
    while (done < size)
        done += readSome(out.data() + done, size - done);
    return out;
}

std::uint8_t ArchiveInput::readByte() {
    return static_cast<std::uint8_t>(readString(1)[0]);
}

std::uint32_t ArchiveInput::readUInt32() {
    const std::string bytes = readString(4);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

void ArchiveInput::skip(std::uint64_t size) {
    if (size > remaining())
        throwStreamReadError();
    const std::size_t inBuffer = bufferLen_ - bufferPos_;
    if (size <= inBuffer) {
        bufferPos_ += static_cast<std::size_t>(size);
    } else {
        bufferPos_ = bufferLen_ = 0;
        file_.seek(position_ + size);
    }
    position_ += size;
}

void ArchiveInput::rewind(std::uint64_t position) {
    file_.seek(position);
    position_ = position;
    bufferPos_ = bufferLen_ = 0;
}

}  // namespace kelvora::archive
