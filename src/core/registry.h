// Registry keys of the current user saved into hive files and loaded back from them. The Internet
// Explorer tasks carry such files (named "*.reg", but in the registry's binary format) inside
// their archives. Keys are paths below HKEY_CURRENT_USER, passed on unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kelvora {

// Writes `Key` with its values and whole subtree into the hive file `Failas`, replacing a file
// already there. A key that doesn't exist writes nothing, leaves an old file in place and returns
// an empty text. When the key exists but the save call fails, returns the system's reason so a
// caller can tell the user what its backup lacks. Throws Error only when the backup privilege
// could not be switched on.
std::string SaveKeyToFile(const std::string& Key, const std::string& Failas);

// Replaces the values and whole subtree of `Key` (created when missing) by those of the hive file
// `Failas`. A missing file changes nothing. Returns the system's text for a failed restore, to be
// shown to the user, and an empty text otherwise; a file in Wine's text format is refused with a
// text that says so, before the registry is touched. Throws Error only when the restore privilege
// could not be switched on.
[[nodiscard]] std::string LoadKeyFromFile(const std::string& Key, const std::string& Failas);

// What a hive file holds. Windows' save call writes a binary hive ("regf"); Wine's writes a text file
// of its own ("WINE REGISTRY Version 2"), which neither Windows' restore call nor a hive reader
// takes.
enum class HiveFileFormat { Missing, Hive, WineText, Other };
HiveFileFormat HiveFileFormatOf(const std::string& path);

// The error box text of a failed operating-system call.
std::string SystemErrorText(int code, const std::string& message);

// Registry value types and builders, for the sample machine and tests.
inline constexpr std::uint32_t REG_TYPE_SZ = 1;
inline constexpr std::uint32_t REG_TYPE_BINARY = 3;
inline constexpr std::uint32_t REG_TYPE_DWORD = 4;
// A string value: `text` (UTF-8) stored as UTF-16LE with its terminating zero.
platform::RegistryValue RegistryString(const std::string& name, const std::string& text);
platform::RegistryValue RegistryDword(const std::string& name, std::uint32_t value);
platform::RegistryValue RegistryBinary(const std::string& name, const std::string& bytes);

}  // namespace kelvora
