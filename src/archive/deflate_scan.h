// Continuing a raw deflate stream that its compressor closed. libdeflate compresses a buffer into a
// complete deflate stream whose last block carries the final mark; to join such pieces into one
// stream, each piece but the last must lose that mark and end on a byte boundary. Where the last
// block begins and where the stream ends are known only by walking its blocks, which this does
// (decoding the Huffman codes without producing any output).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "archive/bytes.h"

namespace kelvora::archive {

struct DeflateBounds {
    std::uint64_t lastBlockBit = 0;  // the final-block bit of the last block, counted from the start
    std::uint64_t endBit = 0;        // the first bit after the stream
};

// The bounds of the complete raw deflate stream at the start of `data`; nothing when it is not
// one (damaged, cut short, or without a final block).
std::optional<DeflateBounds> scanDeflate(const unsigned char* data, std::size_t size);

// Makes a complete raw deflate stream continuable: the final mark is cleared, the bits after the
// stream's end dropped, and an empty stored block appended (as a sync flush writes it), so that
// the stream ends on a byte boundary and another run of blocks may follow. False, with `stream`
// unchanged, when it is not a complete deflate stream.
bool makeContinuable(Bytes& stream);

}  // namespace kelvora::archive
