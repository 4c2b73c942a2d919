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

// A record's path and name as stored: bytes in the ANSI code page.
struct StoredName {
    std::string path;  // "" or ending in "\"
    std::string name;
};

// Why a file or folder of this name (one component, UTF-8) can't be stored under exactly this
// name for every reader, Windows included; empty when it can.
std::string unstorableComponentReason(std::string_view component);
// The same for a record's folder ("" or "a\b\", UTF-8), which must also fit into 255 bytes.
std::string unstorableFolderReason(std::string_view path);
// Encodes a record's folder ("" or "a\b\", UTF-8) and name into `stored`. Empty when they are
// stored exactly and a reader takes them as they are; otherwise why not, and `stored` is unset.
// Names are never cut or changed: a file whose name doesn't fit is left out, never merged.
std::string encodeName(std::string_view path, std::string_view name, StoredName& stored);

// The header bytes of a record.
std::string encodeHeader(const StoredName& stored, std::uint32_t unpackedSize, std::uint32_t packedSize);
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
    std::string refusal;          // why the record is not extracted; empty when it is
};

class ArchiveInput;
// Reads the header of the record that comes next: its name as text, refused (`refusal` set) when
// the name is not valid in the code page or not safe to extract. Throws "Stream read error" for a
// header or packed data running past the end, and an error for a packed size of 0 or less.
RecordPlan readRecord(ArchiveInput& in);

// The most bytes a record may inflate to: its header's size and a little more, so that a record
// whose size differs slightly is still extracted (and reported), while a small record can never
// fill the disk. Never beyond what the size events can carry.
std::uint64_t inflateLimit(std::uint32_t unpackedSize);
// Throws kelvora::Error: the record inflates to more than inflateLimit allows.
[[noreturn]] void throwInflatesTooMuch(const RecordPlan& record);

// Empty when `relativeName` (a record's path and name, UTF-8, "\" or "/" separated) stays inside
// the folder it is extracted to and holds no control character; otherwise the reason it does not.
std::string unsafeNameReason(std::string_view relativeName);

}  // namespace kelvora::archive
