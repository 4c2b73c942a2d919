// The two ways a file's contents become the one zlib stream of its record:
// - whole: a file that fits into memory is compressed in one call (libdeflate where the build has
//   it, zlib otherwise) into a complete zlib stream;
// - in blocks: a larger file is cut into blocks that compress independently, each a run of raw
//   deflate data ending on a byte boundary (sync flush) and primed with the 32 KiB before it as
//   preset dictionary; joined behind a zlib header, closed by an empty final block and the
//   Adler-32 combined from the blocks' own, they form one ordinary zlib stream (as pigz does).
// Both use window bits 15, memory level 8 and the default strategy, and inflate with plain zlib.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvora::archive {

using Bytes = std::vector<unsigned char>;

inline constexpr std::size_t kDictionarySize = 32 * 1024;

// Throws kelvora::Error("zlib returned: Stream error") for a level zlib does not accept.
void checkCompressionLevel(int level);

// A complete zlib stream of `data`.
Bytes compressWhole(std::string_view data, int level);

struct CompressedBlock {
    Bytes data;               // raw deflate, not final, byte-aligned
    std::uint32_t adler = 1;  // Adler-32 of the block's input
};
CompressedBlock compressBlock(std::string_view data, std::string_view dictionary, int level);

// Inflates one complete zlib stream into `output` (libdeflate builds only). The number of bytes
// it yielded, or nothing when the stream is damaged, cut short or larger than `output`.
std::optional<std::size_t> inflateWhole(std::string_view packed, std::vector<unsigned char>& output);

// The two header bytes zlib writes for `level`.
std::array<unsigned char, 2> zlibHeader(int level);
// An empty final deflate block followed by the big-endian Adler-32 trailer.
std::array<unsigned char, 6> zlibTrailer(std::uint32_t adler);

}  // namespace kelvora::archive
