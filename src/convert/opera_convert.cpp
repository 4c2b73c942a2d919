#include "convert/opera_convert.h"

#include "core/core.h"
#include "core/error.h"
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

// The system drive written the way the old drive was: "C:\" for "D:\", "C:" for "D:".
ReplacementPair drivePair(const ConversionInputs& in) {
    if (in.driveltr.empty())
        return {"", ""};
    if (!isDriveText(in.driveltr))
        throw Error(
            Format("The old drive \"%s\" is not a drive letter such as \"D:\\\"", in.driveltr.c_str()));
    if (in.drv.empty())
        throw Error("The system drive could not be read, so the drive letter can't be changed");
    std::string replacement = in.drv;
    if (in.driveltr.size() == 3 && replacement.back() != '\\' && replacement.back() != '/')
        replacement += in.driveltr[2];
    return {in.driveltr, replacement};
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
    const std::string temporary = path + ".new";
    const std::string backup = path + kBackupSuffix;
    try {
        auto file = platform::File::create(temporary);
        file.write(text.data(), text.size());
        file.flush();
        file.close();
    } catch (const platform::SystemError& e) {
        platform::removeFile(temporary);
        throw Error(Format("Can't write \"%s\": %s; the preference file was left as it was",
                           temporary.c_str(), e.what()));
    }
    if (std::string reason; !CopyOneFile(path, backup, &reason)) {
        platform::removeFile(temporary);
        throw Error(
            Format("Can't keep the previous version of \"%s\" as \"%s\" (%s); the preference file was left "
                   "as it was",
                   path.c_str(), backup.c_str(), reason.c_str()));
    }
    if (!platform::replaceFile(temporary, path)) {
        platform::removeFile(temporary);
        throw Error(Format("Can't replace the preference file \"%s\"; it was left as it was", path.c_str()));
    }
}

ConversionResult ConvertOperaPrefs(const std::string& path, int method, const ConversionInputs& inputs) {
    const auto pairs = MethodPairs(method, inputs);
    ConversionResult result;
    result.path = path;
    const std::string loaded = LoadOperaPrefs(path, &result.byteOrderMarkDropped);
    result.text = loaded;
    for (const auto& pair : pairs) {
        PairOutcome outcome{pair};
        outcome.skipped = pair.search.empty();
        outcome.count = RearchAndReplace(result.text, pair.search, pair.replace);
        result.pairs.push_back(std::move(outcome));
    }
    if (result.byteOrderMarkDropped || result.text != loaded) {
        SaveOperaPrefs(path, result.text);
        result.written = true;
        result.backupPath = path + kBackupSuffix;
    }
    return result;
}

}  // namespace kelvora::convert
