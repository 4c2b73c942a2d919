#include "archive/record.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "core/error.h"
#include "platform/platform.h"

namespace kelvora::archive {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 and the console names, also with an extension: Windows opens
// the device instead of a file of that name in any folder.
// C0 controls, DEL, and the C1 controls (U+0080..U+009F, as UTF-8): a terminal acts on them.
bool hasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

std::string lacksCharacters() {
    return "the name holds characters that the archive's " + platform::ansiCodePageName() + " lacks";
}

std::string tooLong() {
    return "the name is longer than the 255 bytes an archive record holds";
}

bool isDeviceName(std::string_view component) {
    std::string base = upper(component.substr(0, component.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.'))
        base.pop_back();
    static const std::array<const char*, 6> plain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : plain) {
        if (base == name)
            return true;
    }
    return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
           std::isdigit(static_cast<unsigned char>(base[3]));
}

}  // namespace

void putLittleEndian32(char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t getLittleEndian32(const char* in) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(in[i]);
    return value;
}

std::string unstorableComponentReason(std::string_view component) {
    if (component.find('\\') != std::string_view::npos)
        return "the name holds \"\\\", which Windows takes for a folder separator";
    if (hasControlCharacter(component))
        return "the name holds a control character";
    if (const std::size_t bad = component.find_first_of("<>:\"/|?*"); bad != std::string_view::npos)
        return std::string("the name holds \"") + component[bad] +
               "\", which Windows does not allow in names";
    if (!component.empty() && (component.back() == '.' || component.back() == ' '))
        return "the name ends in a dot or space, which Windows drops";
    if (isDeviceName(component))
        return "the name is a device name";
    if (!platform::utf8ToAnsiExact(component))
        return lacksCharacters();
    return {};
}

std::string unstorableFolderReason(std::string_view path) {
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('\\', pos);
        if (end == std::string_view::npos)
            end = path.size();
        if (std::string reason = unstorableComponentReason(path.substr(pos, end - pos)); !reason.empty())
            return reason;
        pos = end + 1;
    }
    const std::optional<std::string> ansi = platform::utf8ToAnsiExact(path);
    if (!ansi)
        return lacksCharacters();
    if (ansi->size() > 255)
        return tooLong();
    return {};
}

std::string encodeName(std::string_view path, std::string_view name, StoredName& stored) {
    if (std::string reason = unstorableFolderReason(path); !reason.empty())
        return reason;
    if (std::string reason = unstorableComponentReason(name); !reason.empty())
        return reason;
    std::optional<std::string> ansiPath = platform::utf8ToAnsiExact(path);
    std::optional<std::string> ansiName = platform::utf8ToAnsiExact(name);
    if (!ansiPath || !ansiName)
        return lacksCharacters();
    if (ansiName->size() > 255)
        return tooLong();
    // What the reader will make of it: the same text, which it must take as it is.
    std::string reason = unsafeNameReason(std::string(path) + std::string(name));
    if (reason.empty())
        reason = unsafeNameReason(name);
    if (!reason.empty())
        return reason;
    stored.path = std::move(*ansiPath);
    stored.name = std::move(*ansiName);
    return {};
}

std::string encodeHeader(const StoredName& stored, std::uint32_t unpackedSize, std::uint32_t packedSize) {
    const std::string& p = stored.path;
    const std::string& n = stored.name;
    std::string out;
    out.reserve(10 + p.size() + n.size());
    out += static_cast<char>(p.size());
    out += p;
    out += static_cast<char>(n.size());
    out += n;
    char sizes[8];
    putLittleEndian32(sizes, unpackedSize);
    putLittleEndian32(sizes + 4, packedSize);
    out.append(sizes, 8);
    return out;
}

std::size_t sizeFieldsOffset(const std::string& encodedHeader) {
    return encodedHeader.size() - 8;
}

std::uint64_t inflateLimit(std::uint32_t unpackedSize) {
    const std::uint64_t slack = std::max<std::uint64_t>(64 * 1024, unpackedSize / 16);
    return std::min<std::uint64_t>(std::uint64_t{unpackedSize} + slack, kMaxUnpackedSize);
}

void throwInflatesTooMuch(const RecordPlan& record) {
    throw Error(
        Format("The archive record \"%s\" is damaged: it inflates to more than the %u bytes its "
               "header states.",
               record.stored.c_str(), record.unpackedSize));
}

std::string unsafeNameReason(std::string_view relativeName) {
    if (relativeName.empty())
        return "the name is empty";
    if (relativeName.find('\0') != std::string_view::npos)
        return "the name holds a zero character";
    if (hasControlCharacter(relativeName))
        return "the name holds a control character";
    if (relativeName.find(':') != std::string_view::npos)
        return "the name holds a drive or stream (\":\")";
    if (relativeName.front() == '\\' || relativeName.front() == '/')
        return "the name starts at the root of a drive";
    std::size_t pos = 0;
    while (pos <= relativeName.size()) {
        std::size_t end = relativeName.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = relativeName.size();
        const std::string_view component = relativeName.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty())
            continue;
        // Windows drops trailing dots and spaces, so "..", ". ." and "..." all lead upwards or
        // nowhere; none of them names a file of its own.
        if (component.find_first_not_of(". ") == std::string_view::npos)
            return "the name leads out of its folder (\"..\")";
        if (isDeviceName(component))
            return "the name is a device name";
    }
    return {};
}

}  // namespace kelvora::archive
