// Small text and path helpers every layer above the platform shares. Paths are Windows-form UTF-8
// strings ("C:\a\b"); letter case is compared the way Windows compares ASCII names.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

char lowerAscii(char c);
// ASCII letters lower-cased; every other byte as it is.
std::string lowerAscii(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoreCase(std::string_view text, std::string_view suffix);

// `folder` and `name` joined by one "\": "C:\a" + "b" and "C:\a\" + "b" both give "C:\a\b". An
// empty folder gives the name; an empty name gives the folder as it is.
std::string joinPath(std::string_view folder, std::string_view name);
// `path` without trailing "\" or "/", except where that would leave a drive root ("C:\") or nothing.
std::string withoutTrailingSeparator(std::string path);

}  // namespace kelvora
