// The two ways a file's contents become the one zlib stream of its record:
// - whole: a file that fits into memory is compressed in one call into a complete zlib stream;
// - in blocks: a larger file is cut into blocks that compress independently, each a run of raw
//   deflate data that is not the last and ends on a byte boundary (as a sync flush leaves it);
//   joined behind a zlib header, closed by an empty final block and the Adler-32 combined from
//   the blocks' own, they form one ordinary zlib stream (as pigz does).
// The engines, where the build has them: libdeflate for most data (a block's stream, which
// libdeflate always closes as the last, is made continuable by deflate_scan.h); ISA-L's igzip,
// many times faster, for data that looks random (images, media, anything already compressed),
// which no deflate makes smaller; zlib otherwise. Every stream has window bits 15 and inflates
// with plain zlib. The bytes depend only on the data and the level, never on the thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "archive/bytes.h"

namespace kelvora::archive {

inline constexpr std::size_t kDictionarySize = 32 * 1024;

// Throws kelvora::Error("zlib returned: Stream error") for a level zlib does not accept.
void checkCompressionLevel(int level);

// A complete zlib stream of `data`.
Bytes compressWhole(std::string_view data, int level);

struct CompressedBlock {
    Bytes data;               // raw deflate, not final, byte-aligned
    std::uint32_t adler = 1;  // Adler-32 of the block's input
};
// `dictionary` is the up to 32 KiB of the file before the block (an engine may ignore it).
CompressedBlock compressBlock(std::string_view data, std::string_view dictionary, int level);

// Adler-32 of `data` continuing `adler`.
std::uint32_t adler32Of(std::uint32_t adler, std::string_view data);

// True when `data` looks random: its bytes as evenly spread as random bytes are.
bool looksIncompressible(std::string_view data);

// Inflates one complete zlib stream into `output` (libdeflate builds only). The number of bytes
// it yielded, or nothing when the stream is damaged, cut short or larger than `output`.
std::optional<std::size_t> inflateWhole(std::string_view packed, Bytes& output);

// The two header bytes zlib writes for `level`.
std::array<unsigned char, 2> zlibHeader(int level);
// An empty final deflate block followed by the big-endian Adler-32 trailer.
std::array<unsigned char, 6> zlibTrailer(std::uint32_t adler);

}  // namespace kelvora::archive
