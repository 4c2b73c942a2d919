#include "archive/block_deflate.h"

#include <zlib.h>

#include <memory>

#include "archive/zlib_codec.h"

#ifdef KELVORA_HAVE_LIBDEFLATE
#include <libdeflate.h>
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

}  // namespace

std::optional<std::size_t> inflateWhole(std::string_view packed, std::vector<unsigned char>& output) {
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
#ifdef KELVORA_HAVE_LIBDEFLATE
    libdeflate_compressor* c = compressorFor(effectiveLevel(level));
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
    Deflater deflater(level, true);
    z_stream& z = deflater.stream();
    if (!dictionary.empty())
        zlibCheck(deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                                       static_cast<uInt>(dictionary.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    deflateAll(z, Z_SYNC_FLUSH, block.data);
    block.adler = static_cast<std::uint32_t>(
        adler32(1, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    return block;
}

}  // namespace kelvora::archive
