#include "archive/block_deflate.h"

#include <zlib.h>

#include <array>
#include <cmath>
#include <memory>

#include "archive/deflate_scan.h"
#include "archive/zlib_codec.h"

#ifdef KELVORA_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#ifdef KELVORA_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace kelvora::archive {

namespace {

int effectiveLevel(int level) {
    return level == Z_DEFAULT_COMPRESSION ? 6 : level;
}

// Runs deflate over everything in `z` with `flush`, appending to `out`.
void deflateAll(z_stream& z, int flush, Bytes& out) {
    const uLong bound = deflateBound(&z, z.avail_in) + 16;
    std::size_t used = out.size();
    out.resize(used + bound);
    while (true) {
        z.next_out = out.data() + used;
        z.avail_out = static_cast<uInt>(out.size() - used);
        const int result = zlibCheck(deflate(&z, flush));
        used = out.size() - z.avail_out;
        if (result == Z_STREAM_END || (flush != Z_FINISH && z.avail_in == 0 && z.avail_out != 0))
            break;
        if (z.avail_out == 0)
            out.resize(out.size() + 64 * 1024);
    }
    out.resize(used);
}

#ifdef KELVORA_HAVE_LIBDEFLATE
// zlib's default level is 6; libdeflate's 5 packs about as small (on a browser profile 0.9% smaller
// than zlib's 6 on databases, 0.6% larger on small text files) at a good deal less cost than its 6.
int libdeflateLevel(int level) {
    return level == Z_DEFAULT_COMPRESSION ? 5 : level;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One compressor per thread and level, kept for the thread's life.
libdeflate_compressor* compressorFor(int level) {
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
    thread_local int compressorLevel = -100;
    if (!compressor || compressorLevel != level) {
        compressor.reset(libdeflate_alloc_compressor(level));
        compressorLevel = level;
        if (!compressor)
            zlibCheck(Z_MEM_ERROR);
    }
    return compressor.get();
}
struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
#endif

#ifdef KELVORA_HAVE_ISAL
// Raw deflate at igzip's fastest level, primed with `dictionary`, ended by a sync flush: not the
// last block, byte-aligned. On random data it runs at well over a gigabyte a second.
Bytes isalBlock(std::string_view data, std::string_view dictionary) {
    struct Deflater {
        isal_zstream z{};
        std::vector<std::uint8_t> levelBuffer = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
    };
    thread_local std::unique_ptr<Deflater> state;
    if (!state)
        state = std::make_unique<Deflater>();
    isal_zstream& z = state->z;
    isal_deflate_init(&z);
    z.level = 1;
    z.level_buf = state->levelBuffer.data();
    z.level_buf_size = static_cast<std::uint32_t>(state->levelBuffer.size());
    z.flush = SYNC_FLUSH;
    z.end_of_stream = 0;
    if (!dictionary.empty() &&
        isal_deflate_set_dict(&z, reinterpret_cast<std::uint8_t*>(const_cast<char*>(dictionary.data())),
                              static_cast<std::uint32_t>(dictionary.size())) != COMP_OK)
        zlibCheck(Z_STREAM_ERROR);
    // Stored blocks at worst: five bytes per 64 KiB, and the flush.
    Bytes out(data.size() + data.size() / 1024 + 1024);
    z.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<std::uint32_t>(data.size());
    std::size_t used = 0;
    while (true) {
        z.next_out = out.data() + used;
        z.avail_out = static_cast<std::uint32_t>(out.size() - used);
        if (isal_deflate(&z) != COMP_OK)
            zlibCheck(Z_STREAM_ERROR);
        used = out.size() - z.avail_out;
        // Output room left over means that everything, the flush included, has been written.
        if (z.avail_out != 0 && z.avail_in == 0)
            break;
        out.resize(out.size() + 64 * 1024);
    }
    out.resize(used);
    return out;
}
#endif

#ifdef KELVORA_HAVE_ISAL
// Random data goes to igzip's fastest level (its output is as small as any other's there), unless
// the caller asked for stored data (level 0).
bool takesFastPath(std::string_view data, int level) {
    return level != 0 && looksIncompressible(data);
}
#endif

}  // namespace

bool looksIncompressible(std::string_view data) {
    // Below this the byte counts say little.
    constexpr std::size_t kMinimum = 16 * 1024;
    if (data.size() < kMinimum)
        return false;
    // A sample is enough: every other run of 256 bytes, counted in four tables so that equal bytes
    // in a row do not wait on each other.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t sampled = 0;
    for (std::size_t at = 0; at + 256 <= data.size(); at += 512) {
        for (std::size_t i = at; i < at + 256; i += 4) {
            ++counts[0][bytes[i]];
            ++counts[1][bytes[i + 1]];
            ++counts[2][bytes[i + 2]];
            ++counts[3][bytes[i + 3]];
        }
        sampled += 256;
    }
    // Order-0 entropy in bits per byte: random data has very nearly 8; text has 4 to 5, the pages
    // of a database 5 to 7; pictures and compressed data 7.9 and more.
    double bits = 0;
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint32_t n = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
        if (n != 0)
            bits -= n * std::log2(static_cast<double>(n) / static_cast<double>(sampled));
    }
    return bits / static_cast<double>(sampled) > 7.9;
}

std::uint32_t adler32Of(std::uint32_t adler, std::string_view data) {
#ifdef KELVORA_HAVE_LIBDEFLATE
    return libdeflate_adler32(adler, data.data(), data.size());
#else
    return static_cast<std::uint32_t>(
        adler32(adler, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
#endif
}

std::optional<std::size_t> inflateWhole(std::string_view packed, Bytes& output) {
#ifdef KELVORA_HAVE_LIBDEFLATE
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor)
        return std::nullopt;
    std::size_t in = 0;
    std::size_t out = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), packed.data(), packed.size(), output.data(),
                                      output.size(), &in, &out) != LIBDEFLATE_SUCCESS)
        return std::nullopt;
    return out;
#else
    (void)packed;
    (void)output;
    return std::nullopt;
#endif
}

void checkCompressionLevel(int level) {
    if (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION)
        zlibCheck(Z_STREAM_ERROR);
}

std::array<unsigned char, 2> zlibHeader(int level) {
    const int lvl = effectiveLevel(level);
    const unsigned flags = lvl < 2 ? 0 : lvl < 6 ? 1 : lvl == 6 ? 2 : 3;
    unsigned header = (Z_DEFLATED + ((15 - 8) << 4)) << 8 | (flags << 6);
    header += 31 - (header % 31);
    return {static_cast<unsigned char>(header >> 8), static_cast<unsigned char>(header & 0xFF)};
}

std::array<unsigned char, 6> zlibTrailer(std::uint32_t adler) {
    return {0x03,
            0x00,
            static_cast<unsigned char>(adler >> 24),
            static_cast<unsigned char>(adler >> 16),
            static_cast<unsigned char>(adler >> 8),
            static_cast<unsigned char>(adler)};
}

Bytes compressWhole(std::string_view data, int level) {
    checkCompressionLevel(level);
#ifdef KELVORA_HAVE_ISAL
    if (takesFastPath(data, level)) {
        const auto header = zlibHeader(level);
        Bytes out(header.begin(), header.end());
        const Bytes body = isalBlock(data, {});
        out.insert(out.end(), body.begin(), body.end());
        const auto trailer = zlibTrailer(adler32Of(1, data));
        out.insert(out.end(), trailer.begin(), trailer.end());
        return out;
    }
#endif
#ifdef KELVORA_HAVE_LIBDEFLATE
    libdeflate_compressor* c = compressorFor(libdeflateLevel(level));
    Bytes out(libdeflate_zlib_compress_bound(c, data.size()));
    const std::size_t n = libdeflate_zlib_compress(c, data.data(), data.size(), out.data(), out.size());
    if (n == 0)
        zlibCheck(Z_BUF_ERROR);
    out.resize(n);
    // The header as zlib writes it, so that the level hint reads the same whichever library ran.
    const auto header = zlibHeader(level);
    out[0] = header[0];
    out[1] = header[1];
    return out;
#else
    Deflater deflater(level);
    z_stream& z = deflater.stream();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    Bytes out;
    deflateAll(z, Z_FINISH, out);
    return out;
#endif
}

CompressedBlock compressBlock(std::string_view data, std::string_view dictionary, int level) {
    checkCompressionLevel(level);
    CompressedBlock block;
    block.adler = adler32Of(1, data);
#ifdef KELVORA_HAVE_ISAL
    if (takesFastPath(data, level)) {
        block.data = isalBlock(data, dictionary);
        return block;
    }
#endif
#ifdef KELVORA_HAVE_LIBDEFLATE
    // libdeflate takes no dictionary: the block starts without history, which costs a few bytes
    // per block. Its stream is complete; made continuable, it is a run of blocks like zlib's.
    {
        libdeflate_compressor* c = compressorFor(libdeflateLevel(level));
        Bytes out(libdeflate_deflate_compress_bound(c, data.size()) + 8);
        out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
        if (!out.empty() && makeContinuable(out)) {
            block.data = std::move(out);
            return block;
        }
    }
#endif
    Deflater deflater(level, true);
    z_stream& z = deflater.stream();
    if (!dictionary.empty())
        zlibCheck(deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                                       static_cast<uInt>(dictionary.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    deflateAll(z, Z_SYNC_FLUSH, block.data);
    return block;
}

}  // namespace kelvora::archive
