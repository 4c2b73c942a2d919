#include "archive_fixtures.h"

#include <zlib.h>

#include <random>
#include <stdexcept>

#include "archive/zlib_multiple.h"
#include "support/temp_dir.h"

namespace kelvora::test {

namespace fs = std::filesystem;

std::string zlibCompress(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

std::string zlibInflate(std::string_view stream, int windowBits) {
    z_stream z{};
    if (inflateInit2(&z, windowBits) != Z_OK)
        throw std::runtime_error("inflateInit failed");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::string out;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole)
        throw std::runtime_error("not one whole zlib stream");
    return out;
}

std::string le32(std::uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string record(std::string_view path, std::string_view name, std::uint32_t unpackedSize,
                   std::string_view packed) {
    std::string out;
    out += static_cast<char>(path.size());
    out += path;
    out += static_cast<char>(name.size());
    out += name;
    out += le32(unpackedSize);
    out += le32(static_cast<std::uint32_t>(packed.size()));
    out += packed;
    return out;
}

std::vector<ParsedRecord> parseArchive(std::string_view bytes) {
    std::vector<ParsedRecord> out;
    std::size_t pos = 0;
    const auto take = [&](std::size_t n) {
        if (pos + n > bytes.size())
            throw std::runtime_error("archive cut short");
        const std::string_view s = bytes.substr(pos, n);
        pos += n;
        return std::string(s);
    };
    const auto u32 = [&] {
        const std::string b = take(4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
        return v;
    };
    while (pos < bytes.size()) {
        ParsedRecord r;
        r.path = take(static_cast<unsigned char>(take(1)[0]));
        r.name = take(static_cast<unsigned char>(take(1)[0]));
        r.unpackedSize = u32();
        r.packed = take(u32());
        out.push_back(std::move(r));
    }
    return out;
}

std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root))
        return out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            out[fs::relative(entry.path(), root).generic_string()] = readFile(entry.path());
    }
    return out;
}

std::map<std::string, std::string> entriesOf(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root))
        return out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory())
            out[rel + "/"] = "";
        else
            out[rel] = readFile(entry.path());
    }
    return out;
}

std::string patterned(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    static const char* words[] = {
        "user_pref(", "\"browser.",           "startup", "\", true);\n", "cookie",
        "=",          "https://example.org/", "places",  "0123456789",   "{\"id\":"};
    std::string out;
    while (out.size() < size)
        out += words[random() % 10];
    out.resize(size);
    return out;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random() & 0xFF);
    return out;
}

std::vector<std::string> listOf(const std::filesystem::path& archive) {
    TZlibMultiple z;
    std::vector<std::string> names;
    z.ListStoredFiles(archive.string(), names);
    return names;
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace kelvora::test
