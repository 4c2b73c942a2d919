// Measures the deflate engines the archive could use, on one core and in memory, on the files of
// archive_bench's corpus: speed and size of each way to make one zlib stream of a large file (in
// blocks joined as pigz does, or whole), and of small files compressed whole; and each library's
// inflate speed. Sizes are given against zlib level 6 on whole files (what one stream per file
// costs against one tar.gz is archive_bench's to show).
//
//   codec_bench [--size MB]     (default 300)
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench_corpus.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr std::size_t kBlock = 1u << 20;
constexpr std::size_t kDictionary = 32 * 1024;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Bytes zlibWhole(const std::string& data, int level) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes out(n);
    compress2(out.data(), &n, reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
              level);
    out.resize(n);
    return out;
}

// Ends a stream of sync-flushed blocks: an empty final block and the Adler-32 of all of `data`.
void endStream(Bytes& out, const std::string& data) {
    const uLong adler =
        adler32(1, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    out.insert(out.end(),
               {0x03, 0x00, static_cast<unsigned char>(adler >> 24), static_cast<unsigned char>(adler >> 16),
                static_cast<unsigned char>(adler >> 8), static_cast<unsigned char>(adler)});
}

// Blocks of raw deflate, each primed with the 32 KiB before it and ended by a sync flush; a zlib
// header before and an empty final block and the Adler-32 after make them one zlib stream.
Bytes zlibBlocks(const std::string& data, int level) {
    Bytes out = {0x78, 0x9C};
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
        z_stream z{};
        deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (at > 0)
            deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(data.data() + at - kDictionary),
                                 kDictionary);
        const std::size_t n = std::min(kBlock, data.size() - at);
        Bytes piece(deflateBound(&z, static_cast<uLong>(n)) + 16);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        z.avail_in = static_cast<uInt>(n);
        z.next_out = piece.data();
        z.avail_out = static_cast<uInt>(piece.size());
        deflate(&z, Z_SYNC_FLUSH);
        out.insert(out.end(), piece.data(), piece.data() + (piece.size() - z.avail_out));
        deflateEnd(&z);
    }
    endStream(out, data);
    return out;
}

struct IsalLevel {
    explicit IsalLevel(int level)
        : level(level),
          buffer(level == 1   ? ISAL_DEF_LVL1_DEFAULT
                 : level == 2 ? ISAL_DEF_LVL2_DEFAULT
                              : ISAL_DEF_LVL3_DEFAULT) {}
    int level;
    Bytes buffer;
};

// The same with ISA-L's deflate; `blocks` false makes one stream over the whole file.
Bytes isalDeflate(const std::string& data, IsalLevel& l, bool blocks) {
    Bytes out = {0x78, 0x9C};
    const std::size_t step = blocks ? kBlock : data.size();
    isal_zstream z;
    for (std::size_t at = 0; at < data.size(); at += step) {
        isal_deflate_init(&z);
        z.level = static_cast<std::uint32_t>(l.level);
        z.level_buf = l.buffer.data();
        z.level_buf_size = static_cast<std::uint32_t>(l.buffer.size());
        z.flush = SYNC_FLUSH;
        if (at > 0)
            isal_deflate_set_dict(
                &z, reinterpret_cast<std::uint8_t*>(const_cast<char*>(data.data() + at - kDictionary)),
                kDictionary);
        const std::size_t n = std::min(step, data.size() - at);
        const std::size_t used = out.size();
        out.resize(used + n + n / 16 + 1024);
        z.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data.data() + at));
        z.avail_in = static_cast<std::uint32_t>(n);
        z.next_out = out.data() + used;
        z.avail_out = static_cast<std::uint32_t>(out.size() - used);
        isal_deflate(&z);
        out.resize(out.size() - z.avail_out);
    }
    endStream(out, data);
    return out;
}

Bytes libdeflateWhole(const std::string& data, libdeflate_compressor* c) {
    Bytes out(libdeflate_zlib_compress_bound(c, data.size()));
    out.resize(libdeflate_zlib_compress(c, data.data(), data.size(), out.data(), out.size()));
    return out;
}

// Blocks compressed apart with no shared history: only what their sizes would be, for libdeflate
// can neither take a preset dictionary nor end a block without marking it the last.
Bytes libdeflateBlocks(const std::string& data, libdeflate_compressor* c) {
    Bytes out;
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, data.size() - at);
        Bytes piece(libdeflate_deflate_compress_bound(c, n));
        piece.resize(libdeflate_deflate_compress(c, data.data() + at, n, piece.data(), piece.size()));
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

bool zlibInflate(const Bytes& packed, std::string& out) {
    uLongf n = static_cast<uLongf>(out.size());
    return uncompress(reinterpret_cast<Bytef*>(out.data()), &n, packed.data(),
                      static_cast<uLong>(packed.size())) == Z_OK &&
           n == out.size();
}

bool isalInflate(const Bytes& packed, std::string& out) {
    static inflate_state state;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_ZLIB;
    state.next_in = const_cast<std::uint8_t*>(packed.data());
    state.avail_in = static_cast<std::uint32_t>(packed.size());
    state.next_out = reinterpret_cast<std::uint8_t*>(out.data());
    state.avail_out = static_cast<std::uint32_t>(out.size());
    return isal_inflate(&state) == ISAL_DECOMP_OK && state.block_state == ISAL_BLOCK_FINISH &&
           state.total_out == out.size();
}

bool libdeflateInflate(const Bytes& packed, std::string& out) {
    static libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t n = 0;
    return libdeflate_zlib_decompress(d, packed.data(), packed.size(), out.data(), out.size(), &n) ==
               LIBDEFLATE_SUCCESS &&
           n == out.size();
}

struct Set {
    const char* name;
    std::vector<std::string> files;
    std::uint64_t bytes = 0;
    std::uint64_t reference = 0;  // zlib 6, whole files
};

void measure(const Set& set, const char* engine, const std::function<Bytes(const std::string&)>& compress,
             bool checkInflate) {
    std::uint64_t packed = 0;
    std::vector<Bytes> streams;
    const double start = now();
    for (const std::string& f : set.files) {
        streams.push_back(compress(f));
        packed += streams.back().size();
    }
    const double seconds = now() - start;
    std::printf(
        "  %-8s %-34s %8.1f MB/s  %7.2f MB  %6.3f of the original  %+6.2f%% vs zlib 6 whole\n", set.name,
        engine, static_cast<double>(set.bytes) / 1e6 / seconds, static_cast<double>(packed) / 1e6,
        static_cast<double>(packed) / static_cast<double>(set.bytes),
        set.reference ? 100.0 * (static_cast<double>(packed) / static_cast<double>(set.reference) - 1) : 0.0);
    if (!checkInflate)
        return;
    const auto inflateAll = [&](const char* library, bool (*inflate)(const Bytes&, std::string&)) {
        std::string out;
        bool sound = true;
        const double begin = now();
        for (std::size_t i = 0; i < streams.size(); ++i) {
            out.assign(set.files[i].size(), '\0');
            sound = inflate(streams[i], out) && out == set.files[i] && sound;
        }
        std::printf("      inflated by %-10s %8.1f MB/s%s\n", library,
                    static_cast<double>(set.bytes) / 1e6 / (now() - begin), sound ? "" : "  WRONG");
    };
    inflateAll("zlib", zlibInflate);
    inflateAll("libdeflate", libdeflateInflate);
    inflateAll("ISA-L", isalInflate);
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = 300;
    if (argc == 3 && std::strcmp(argv[1], "--size") == 0)
        megabytes = std::atof(argv[2]);
    Set large{"large", {}}, small{"small", {}};
    kelvora::bench::Corpus* corpus = nullptr;
    kelvora::bench::Corpus c(
        [&](const std::filesystem::path&, const std::string& contents) {
            if (contents.empty())
                return;
            Set& set = corpus->isDatabase() ? large : small;
            set.files.push_back(contents);
            set.bytes += contents.size();
        },
        20261210);
    corpus = &c;
    c.build(megabytes);
    std::printf(
        "Large files (the databases): %zu, %.1f MB; small files: %zu, %.1f MB; one core, in memory\n\n",
        large.files.size(), static_cast<double>(large.bytes) / 1e6, small.files.size(),
        static_cast<double>(small.bytes) / 1e6);

    for (Set* set : {&large, &small}) {
        for (const std::string& f : set->files)
            set->reference += zlibWhole(f, 6).size();
    }
    measure(
        large, "zlib 6, whole file", [](const std::string& d) { return zlibWhole(d, 6); }, true);
    measure(
        large, "zlib 6, 1 MiB blocks (pigz way)", [](const std::string& d) { return zlibBlocks(d, 6); },
        true);
    for (int level = 1; level <= 3; ++level) {
        IsalLevel l(level);
        const std::string name = "ISA-L " + std::to_string(level);
        measure(
            large, (name + ", 1 MiB blocks (pigz way)").c_str(),
            [&](const std::string& d) { return isalDeflate(d, l, true); }, level == 3);
        measure(
            large, (name + ", one stream").c_str(),
            [&](const std::string& d) { return isalDeflate(d, l, false); }, false);
    }
    for (const int level : {1, 4, 5, 6}) {
        libdeflate_compressor* comp = libdeflate_alloc_compressor(level);
        const std::string name = "libdeflate " + std::to_string(level);
        measure(
            large, (name + ", whole file").c_str(),
            [&](const std::string& d) { return libdeflateWhole(d, comp); }, false);
        measure(
            large, (name + ", 1 MiB blocks unjoined").c_str(),
            [&](const std::string& d) { return libdeflateBlocks(d, comp); }, false);
        libdeflate_free_compressor(comp);
    }
    std::printf("\n");
    measure(
        small, "zlib 6", [](const std::string& d) { return zlibWhole(d, 6); }, true);
    for (const int level : {4, 5, 6, 7, 8, 9}) {
        libdeflate_compressor* comp = libdeflate_alloc_compressor(level);
        measure(
            small, ("libdeflate " + std::to_string(level)).c_str(),
            [&](const std::string& d) { return libdeflateWhole(d, comp); }, level == 6);
        libdeflate_free_compressor(comp);
    }
    IsalLevel l3(3);
    measure(
        small, "ISA-L 3", [&](const std::string& d) { return isalDeflate(d, l3, false); }, false);
    return 0;
}
