#include "convert/opera_convert.h"

#include <algorithm>

#include "core/core.h"
#include "core/error.h"
#include "core/temp_names.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::convert {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Where an earlier reading through 7-bit ASCII turned the byte-order mark into text.
const ReplacementPair kHeaderRepair = {"o;?Opera Preferences", "Opera Preferences"};

ReplacementPair roamingToNew(const std::string& u) {
    return {"Documents and Settings\\" + u + "\\Application Data\\Opera",
            "Users\\" + u + "\\AppData\\Roaming\\Opera"};
}
ReplacementPair localToNew(const std::string& u) {
    return {"Documents and Settings\\" + u + "\\Local Settings\\Application Data\\Opera",
            "Users\\" + u + "\\AppData\\Local\\Opera"};
}
ReplacementPair roamingToOld(const std::string& u) {
    const auto p = roamingToNew(u);
    return {p.replace, p.search};
}
ReplacementPair localToOld(const std::string& u) {
    const auto p = localToNew(u);
    return {p.replace, p.search};
}
const ReplacementPair kTo64Bit = {"Program Files", "Program Files (x86)"};
const ReplacementPair kTo32Bit = {"Program Files (x86)", "Program Files"};

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "D:", "D:\" or "D:/".
bool isDriveText(std::string_view text) {
    if (text.size() < 2 || text.size() > 3 || !isLetter(text[0]) || text[1] != ':')
        return false;
    return text.size() == 2 || text[2] == '\\' || text[2] == '/';
}

// The old drive and the system drive, both as letter and colon ("D:" -> "C:"), replaced where a
// path starts with the old one.
ReplacementPair drivePair(const ConversionInputs& in) {
    if (in.driveltr.empty())
        return {"", ""};
    if (!isDriveText(in.driveltr))
        throw Error(
            Format("The old drive \"%s\" is not a drive letter such as \"D:\\\"", in.driveltr.c_str()));
    std::string replacement = in.drv;
    while (!replacement.empty() && (replacement.back() == '\\' || replacement.back() == '/'))
        replacement.pop_back();
    if (replacement.empty())
        throw Error("The system drive could not be read, so the drive letter can't be changed");
    return {in.driveltr.substr(0, 2), replacement, true};
}

// Whether a path can start at `pos`: the start of the text, of a line or of a value ("Key=D:\"),
// inside a value after a quote, a list separator or a blank, or after a file address's prefix.
bool pathStartsAt(std::string_view text, std::size_t pos) {
    if (pos == 0)
        return true;
    if (std::string_view("\r\n=\"';, \t").find(text[pos - 1]) != std::string_view::npos)
        return true;
    const std::string_view before = text.substr(0, pos);
    return endsWithIgnoreCase(before, "file:///") || endsWithIgnoreCase(before, "file://localhost/");
}

// The folder of `path` with its trailing separator, in the Windows form the platform layer takes
// ("C:/x/operaprefs.ini" gives "C:\\x\\"); empty (the current folder) for a bare name.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return {};
    std::string folder = path.substr(0, slash + 1);
    std::replace(folder.begin(), folder.end(), '/', '\\');
    return folder;
}

void requireLoginName(const ConversionInputs& in) {
    if (in.uzer.empty())
        throw Error("The Windows login name could not be read, so the profile's folders can't be named");
}

}  // namespace

std::vector<ReplacementPair> MethodPairs(int method, const ConversionInputs& in) {
    if (method < 1 || method > kMethodCount)
        throw Error(Format("There is no conversion method %d; the methods are numbered 1 to %d", method,
                           kMethodCount));
    std::vector<ReplacementPair> pairs;
    const std::string& u = in.uzer;
    switch (method) {
        case 1:
        case 4:
            requireLoginName(in);
            pairs = {roamingToNew(u), localToNew(u)};
            break;
        case 2:
            requireLoginName(in);
            pairs = {roamingToNew(u), localToNew(u), kTo64Bit};
            break;
        case 3:
            requireLoginName(in);
            pairs = {roamingToNew(u), localToNew(u), kTo32Bit};
            break;
        case 5:
            pairs = {kTo64Bit};
            break;
        case 6:
            pairs = {kTo32Bit};
            break;
        case 7:
        case 10:
            requireLoginName(in);
            pairs = {roamingToOld(u), localToOld(u)};
            break;
        case 8:
            requireLoginName(in);
            pairs = {roamingToOld(u), localToOld(u), kTo32Bit};
            break;
        case 9:
            requireLoginName(in);
            pairs = {roamingToOld(u), localToOld(u), kTo64Bit};
            break;
        case kDriveLetterChange:
            pairs = {drivePair(in)};
            break;
        case kUsernameChange:
            if (!in.olduser.empty())
                requireLoginName(in);
            pairs = {{in.olduser, u}};
            break;
    }
    pairs.push_back(kHeaderRepair);
    return pairs;
}

std::size_t RearchAndReplace(std::string& text, std::string_view InSearch, std::string_view InReplace) {
    std::size_t count = 0;
    if (InSearch.empty())
        return 0;
    text = ReplaceTextIgnoreCase(text, InSearch, InReplace, &count);
    return count;
}

std::size_t ReplaceDriveAtPathStarts(std::string& text, std::string_view drive,
                                     std::string_view replacement) {
    if (drive.size() != 2 || drive[1] != ':')
        return 0;
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos + 2 < text.size()) {
        const bool found = lowerAscii(text[pos]) == lowerAscii(drive[0]) && text[pos + 1] == ':' &&
                           (text[pos + 2] == '\\' || text[pos + 2] == '/') && pathStartsAt(text, pos);
        if (!found) {
            ++pos;
            continue;
        }
        text.replace(pos, 2, replacement);
        pos += replacement.size();
        ++count;
    }
    return count;
}

std::string LoadOperaPrefs(const std::string& path, bool* hadByteOrderMark) {
    std::string text;
    try {
        auto file = platform::File::openRead(path);
        char buffer[64 * 1024];
        while (const std::size_t n = file.read(buffer, sizeof buffer))
            text.append(buffer, n);
        file.close();
    } catch (const platform::SystemError& e) {
        throw Error(Format("Can't read the preference file \"%s\": %s", path.c_str(), e.what()));
    }
    const bool bom = text.starts_with(kByteOrderMark);
    if (bom)
        text.erase(0, kByteOrderMark.size());
    if (hadByteOrderMark)
        *hadByteOrderMark = bom;
    return text;
}

void SaveOperaPrefs(const std::string& path, std::string_view text) {
    const std::string backup = path + kBackupSuffix;
    // Every temporary file made so far; whatever remains of them goes when this ends.
    std::vector<std::string> temporaries;
    struct RemoveTemporaries {
        std::vector<std::string>& names;
        ~RemoveTemporaries() {
            for (const auto& name : names)
                platform::removeFile(name);
        }
    } removeTemporaries{temporaries};
    const auto temporary = [&] {
        temporaries.push_back(TemporarySibling(path));
        return temporaries.back();
    };

    // The new text, complete, beside the file.
    const std::string newFile = temporary();
    try {
        auto file = platform::File::create(newFile);
        file.write(text.data(), text.size());
        file.flush();
        file.close();
    } catch (const platform::SystemError& e) {
        throw Error(
            Format("Can't write the new version of \"%s\": %s; the preference file was left as it was",
                   path.c_str(), e.what()));
    }

    // The current file becomes the backup: copied beside it, then renamed over the old backup,
    // which is kept aside until the new file is in place.
    std::string reason;
    const auto backupFailed = [&] {
        return Error(
            Format("Can't keep the previous version of \"%s\" as \"%s\" (%s); the preference file was left "
                   "as it was",
                   path.c_str(), backup.c_str(), reason.c_str()));
    };
    const std::string backupCopy = temporary();
    if (!CopyOneFile(path, backupCopy, &reason))
        throw backupFailed();
    std::string previousBackup;
    if (platform::fileExists(backup)) {
        previousBackup = temporary();
        if (!CopyOneFile(backup, previousBackup, &reason))
            throw backupFailed();
    }
    if (!platform::replaceFile(backupCopy, backup))
        throw backupFailed();

    if (!platform::replaceFile(newFile, path)) {
        // The backup goes back to what it was.
        if (previousBackup.empty()) {
            platform::removeFile(backup);
        } else if (!platform::replaceFile(previousBackup, backup) && !CopyOneFile(previousBackup, backup)) {
            temporaries.pop_back();  // the only copy of the earlier backup stays
            throw Error(
                Format("Can't replace the preference file \"%s\"; it was left as it was, \"%s\" now "
                       "holds a copy of it and its earlier version is kept as \"%s\"",
                       path.c_str(), backup.c_str(), previousBackup.c_str()));
        }
        throw Error(Format("Can't replace the preference file \"%s\"; it was left as it was", path.c_str()));
    }
}

TaskResult ConvertOperaPrefs(const std::string& path, int method, const ConversionInputs& inputs,
                             ConversionResult& details) {
    details = ConversionResult{};
    details.path = path;
    try {
        const auto pairs = MethodPairs(method, inputs);
        CleanLeftoverTemporaries(folderOf(path));
        platform::removeIfUnused(path + kOldTemporarySuffix, false);

        const std::string loaded = LoadOperaPrefs(path, &details.byteOrderMarkDropped);
        details.text = loaded;
        for (const auto& pair : pairs) {
            PairOutcome outcome{pair};
            outcome.skipped = pair.search.empty();
            if (outcome.skipped)
                outcome.count = 0;
            else if (pair.driveAtPathStart)
                outcome.count = ReplaceDriveAtPathStarts(details.text, pair.search, pair.replace);
            else
                outcome.count = RearchAndReplace(details.text, pair.search, pair.replace);
            details.pairs.push_back(std::move(outcome));
        }
        if (!details.byteOrderMarkDropped && details.text == loaded)
            return TaskResult::nothingDone(kNothingToChangeMessage);
        SaveOperaPrefs(path, details.text);
    } catch (const Error& e) {
        return TaskResult::failed(e.what());
    }
    details.written = true;
    details.backupPath = path + kBackupSuffix;
    return TaskResult::done();
}

}  // namespace kelvora::convert
