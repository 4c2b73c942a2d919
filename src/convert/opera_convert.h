// Conversion of Opera's preference file "operaprefs.ini" after a profile moved to another Windows
// version, processor width, user name or system drive: twelve methods, each a list of
// search-and-replace pairs applied in order to the whole text.
//
// The file is handled as UTF-8 bytes: whatever is not replaced is written back exactly as it was
// read (other scripts, line breaks), except a leading byte-order mark, which is dropped. The new
// text replaces the file in one step, and the previous version stays beside it as
// "operaprefs.ini.bak".
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::convert {

inline constexpr const char* kPrefsFileName = "operaprefs.ini";
inline constexpr const char* kBackupSuffix = ".bak";

// Methods are numbered from 1 in the order the window lists them.
inline constexpr int kMethodCount = 12;
inline constexpr int kDriveLetterChange = 11;
inline constexpr int kUsernameChange = 12;
inline constexpr std::array<const char*, kMethodCount> kMethodCaptions = {
    "XP 32 bit -> 7/Vista 32 bit", "XP 32 bit -> 7/Vista 64 bit",      "XP 64 bit -> 7/Vista 32 bit",
    "XP 64 bit -> 7/Vista 64 bit", "7/Vista 32 bit -> 7/Vista 64 bit", "7/Vista 64 bit -> 7/Vista 32 bit",
    "7/Vista 32 bit -> XP 32 bit", "7/Vista 64 bit -> XP 32 bit",      "7/Vista 32 bit -> XP 64 bit",
    "7/Vista 64 bit -> XP 64 bit", "System drive letter change",       "Username change",
};

// What a method needs besides the file: the login name, and for the drive and user changes the
// system drive ("C:") and the old drive ("D:\") and old user name the user typed.
struct ConversionInputs {
    std::string uzer;
    std::string drv;
    std::string olduser;
    std::string driveltr;
};

struct ReplacementPair {
    std::string search;
    std::string replace;
};

// The pairs of `method`, in the order they are applied. Throws Error for a method outside 1..12,
// an old drive that is not a drive ("D:", "D:\" or "D:/"), or a missing login name or system
// drive where the method needs it. An empty old drive or old user name gives a pair with an empty
// search text, which is skipped.
std::vector<ReplacementPair> MethodPairs(int method, const ConversionInputs& inputs);

// Replaces every occurrence of `InSearch` in `text` by `InReplace`, ignoring letter case, left to
// right without overlap; the search resumes right after the inserted text. An empty search text
// changes nothing. Returns the number of replacements.
std::size_t RearchAndReplace(std::string& text, std::string_view InSearch, std::string_view InReplace);

// The text of the preference file: its bytes, without a leading UTF-8 byte-order mark.
// Throws Error naming the file and the reason.
std::string LoadOperaPrefs(const std::string& path, bool* hadByteOrderMark = nullptr);

// Writes `text` over `path`: into a temporary file beside it first, then the current file is
// copied to `path` + ".bak" and the temporary file replaces it. On failure the file is left as it
// was and no temporary file remains. Throws Error naming the file and the reason.
void SaveOperaPrefs(const std::string& path, std::string_view text);

struct PairOutcome {
    ReplacementPair pair;
    std::size_t count = 0;
    bool skipped = false;  // empty search text
};

struct ConversionResult {
    std::string path;
    std::vector<PairOutcome> pairs;
    std::string text;  // the converted text
    bool byteOrderMarkDropped = false;
    bool written = false;    // false when the text came out as the file already was
    std::string backupPath;  // where the previous version was kept, when written
};

// Loads `path`, applies the pairs of `method` and saves the result when it differs from the
// file. A failure to load leaves the file untouched.
ConversionResult ConvertOperaPrefs(const std::string& path, int method, const ConversionInputs& inputs);

}  // namespace kelvora::convert
