#include "core/registry.h"

#include "core/error.h"

namespace kelvora {

std::string SystemErrorText(int code, const std::string& message) {
    if (code == 0)
        return "A call to an OS function failed";
    return Format("System Error.  Code: %d.\r\n%s", code, message.c_str());
}

namespace {

// A privilege that can't be had ends the task; a failed call is returned as the text to show.
std::string HiveOutcomeText(const platform::HiveResult& result) {
    switch (result.outcome) {
        case platform::HiveOutcome::PrivilegeFailed:
            throw Error(SystemErrorText(result.code, result.message));
        case platform::HiveOutcome::CallFailed:
            return result.message.empty() ? SystemErrorText(result.code, result.message) : result.message;
        default:
            return {};
    }
}

}  // namespace

std::string SaveKeyToFile(const std::string& Key, const std::string& Failas) {
    return HiveOutcomeText(platform::saveRegistryKey(Key, Failas));
}

HiveFileFormat HiveFileFormatOf(const std::string& path) {
    const std::optional<std::string> head = platform::readFileStart(path, 13);
    if (!head)
        return platform::fileExists(path) ? HiveFileFormat::Other : HiveFileFormat::Missing;
    if (head->starts_with("regf"))
        return HiveFileFormat::Hive;
    if (head->starts_with("WINE REGISTRY"))
        return HiveFileFormat::WineText;
    return HiveFileFormat::Other;
}

std::string LoadKeyFromFile(const std::string& Key, const std::string& Failas) {
    // Wine's restore call takes any file and restores nothing; Windows' calls the file corrupt.
    if (HiveFileFormatOf(Failas) == HiveFileFormat::WineText)
        return Format(
            "Cannot restore the registry key \"%s\" from \"%s\": the file holds registry keys in "
            "Wine's text format, not a registry hive (it was saved under Wine)",
            Key.c_str(), Failas.c_str());
    return HiveOutcomeText(platform::loadRegistryKey(Key, Failas));
}

platform::RegistryValue RegistryString(const std::string& name, const std::string& text) {
    std::string data;
    auto unit = [&data](std::uint32_t u) {
        data.push_back(static_cast<char>(u & 0xFF));
        data.push_back(static_cast<char>(u >> 8));
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else if (c >= 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xC0) {
            len = 2;
            cp = c & 0x1F;
        }
        if (i + len > text.size()) {
            cp = '?';
            len = text.size() - i;
        } else {
            for (std::size_t k = 1; k < len; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    unit(0);
    return {name, REG_TYPE_SZ, data};
}

platform::RegistryValue RegistryDword(const std::string& name, std::uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return {name, REG_TYPE_DWORD, data};
}

platform::RegistryValue RegistryBinary(const std::string& name, const std::string& bytes) {
    return {name, REG_TYPE_BINARY, bytes};
}

}  // namespace kelvora
