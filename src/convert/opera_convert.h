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

#include "core/result.h"

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
    // A drive ("D:") replaced only where a path starts with it (see ReplaceDriveAtPathStarts);
    // every other pair is replaced wherever its text occurs.
    bool driveAtPathStart = false;
};

// The pairs of `method`, in the order they are applied. Throws Error for a method outside 1..12,
// an old drive that is not a drive ("D:", "D:\" or "D:/"), or a missing login name or system
// drive where the method needs it. An empty old drive or old user name gives a pair with an empty
// search text, which is skipped. The drive pair is in "D:" form whichever form was typed: the
// old drive's letter and colon, and the system drive without a trailing separator.
std::vector<ReplacementPair> MethodPairs(int method, const ConversionInputs& inputs);

// Replaces every occurrence of `InSearch` in `text` by `InReplace`, ignoring letter case, left to
// right without overlap; the search resumes right after the inserted text. An empty search text
// changes nothing. Returns the number of replacements.
std::size_t RearchAndReplace(std::string& text, std::string_view InSearch, std::string_view InReplace);

// Replaces the drive `drive` ("D:", letter case ignored) by `replacement` where a path starts with
// it: the drive is followed by "\" or "/", and stands at the start of the text or of a line, or
// right after "=", a quote, ";", ",", a blank or a tab, or after "file:///" or "file://localhost/".
// So "Path=d:\x;D:/y" has two drives, "?id:4" and "Ad:\x" none. Returns the number replaced.
std::size_t ReplaceDriveAtPathStarts(std::string& text, std::string_view drive, std::string_view replacement);

// The text of the preference file: its bytes, without a leading UTF-8 byte-order mark.
// Throws Error naming the file and the reason.
std::string LoadOperaPrefs(const std::string& path, bool* hadByteOrderMark = nullptr);

// Writes `text` over `path`. The new text goes into a temporary file beside it (a name of
// core/temp_names.h); once that is complete, a copy of the current file is made beside it too and
// renamed over `path` + ".bak", and then the new file is renamed over `path`. On failure the file
// and an existing ".bak" are left as they were (the ".bak" is put back when the last step fails)
// and no temporary file remains. Throws Error naming the file and the reason.
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

// Why a conversion that found nothing to replace did nothing.
inline constexpr const char* kNothingToChangeMessage = "Nothing to change; the file was left as it was.";

// The name an earlier version wrote the new text under before renaming it: a leftover of a run
// that was killed, removed by the next conversion in that folder.
inline constexpr const char* kOldTemporarySuffix = ".new";

// Loads `path`, applies the pairs of `method` and saves the result when it differs from the
// file; `details` receives what each pair did and the converted text. First the temporary files
// of runs killed earlier in the file's folder are removed. Done when the file was rewritten;
// nothing done when no pair found anything to change (the file and its ".bak" untouched);
// failed, with the message, when the inputs are refused or the file can't be read or saved (the
// file left as it was).
TaskResult ConvertOperaPrefs(const std::string& path, int method, const ConversionInputs& inputs,
                             ConversionResult& details);

}  // namespace kelvora::convert
