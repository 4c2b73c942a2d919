// Trees made, listed and read through the platform layer alone, for paths that the plain Windows
// calls (and std::filesystem on Windows) do not take: deeper than MAX_PATH.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace kelvora::test {

// `base` followed by "\"-separated folder names, at least `length` characters in all.
std::string deepPath(const std::string& base, std::size_t length);
// Writes `contents` to the file at `path`, making its missing folders.
void writeThroughPlatform(const std::string& path, std::string_view contents);
std::string readThroughPlatform(const std::string& path);
// Everything below `root`, by "\"-separated relative name: "<folder>" for a folder, the contents
// for a file; a hidden entry's value starts with "<hidden>". Throws when a folder can't be listed.
std::map<std::string, std::string> treeThroughPlatform(const std::string& root);

// True when the test runs under Wine rather than Windows (never on POSIX).
bool underWine();

}  // namespace kelvora::test
