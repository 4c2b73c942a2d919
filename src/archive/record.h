// One archive record's header: path length, path, name length, name (both in the ANSI code page),
// unpacked size (low 32 bits) and packed size (read back as signed), all integers little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::archive {

inline constexpr std::uint64_t kMaxUnpackedSize = 0xFFFFFFFFull;  // a file must stay below 4 GiB
inline constexpr std::uint64_t kMaxPackedSize = 0x7FFFFFFFull;    // and its packed form below 2 GiB

struct RecordHeader {
    std::string path;  // ANSI bytes, as stored
    std::string name;  // ANSI bytes, as stored
    std::uint32_t unpackedSize = 0;
    std::int32_t packedSize = 0;
};

// The header bytes of a record. `path` and `name` are UTF-8; each is converted to the ANSI code
// page and cut to 255 bytes.
std::string encodeHeader(std::string_view path, std::string_view name, std::uint32_t unpackedSize,
                         std::uint32_t packedSize);
// Offset of the two size fields from the start of a header of that path and name (as encoded).
std::size_t sizeFieldsOffset(const std::string& encodedHeader);

void putLittleEndian32(char* out, std::uint32_t value);
std::uint32_t getLittleEndian32(const char* in);

// A record about to be extracted: its header as text, and where it goes.
struct RecordPlan {
    std::string path;  // UTF-8, "" or ending in "\"
    std::string name;  // UTF-8
    std::uint32_t unpackedSize = 0;
    std::int32_t packedSize = 0;  // above 0 and within the archive
    std::string stored;           // path + name, for messages
    std::string target;           // the file to write
};

// Empty when `relativeName` (a record's path and name, UTF-8, "\" or "/" separated) stays inside
// the folder it is extracted to; otherwise the reason it does not.
std::string unsafeNameReason(std::string_view relativeName);

}  // namespace kelvora::archive
