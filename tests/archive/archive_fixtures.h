// Helpers for the archive tests: archives built byte by byte, trees listed, zlib at hand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::test {

// A complete zlib stream of `data` at zlib's default level.
std::string zlibCompress(std::string_view data);
// The inflated contents of one zlib stream (a raw deflate stream with `windowBits` -15); throws when
// the stream is not whole and sound.
std::string zlibInflate(std::string_view stream, int windowBits = 15);

// One record's bytes; `path` and `name` are given as the stored (ANSI) bytes.
std::string record(std::string_view path, std::string_view name, std::uint32_t unpackedSize,
                   std::string_view packed);
inline std::string record(std::string_view path, std::string_view name, std::string_view contents) {
    return record(path, name, static_cast<std::uint32_t>(contents.size()), zlibCompress(contents));
}
std::string le32(std::uint32_t value);

// Every file below `root`, by its "/"-separated relative path, with its contents.
std::map<std::string, std::string> treeOf(const std::filesystem::path& root);
// Every entry below `root` (files and folders), "/"-separated, folders ending in "/".
std::map<std::string, std::string> entriesOf(const std::filesystem::path& root);

struct ParsedRecord {
    std::string path, name;  // stored bytes
    std::uint32_t unpackedSize = 0;
    std::string packed;
};
// The records of a well-formed archive; throws on anything else.
std::vector<ParsedRecord> parseArchive(std::string_view bytes);

std::string patterned(std::size_t size, unsigned seed = 1);  // compressible but not trivial
std::string randomBytes(std::size_t size, unsigned seed = 1);

// The archive's stored names, in the order of its records.
std::vector<std::string> listOf(const std::filesystem::path& archive);
// The message of the error `action` ends with, or "(no error)".
std::string errorOf(const std::function<void()>& action);

}  // namespace kelvora::test
