#include "archive/record.h"

#include <array>
#include <cctype>

#include "platform/platform.h"

namespace kelvora::archive {

namespace {

std::string toAnsiField(std::string_view utf8) {
    std::string ansi = platform::utf8ToAnsi(utf8);
    if (ansi.size() > 255)
        ansi.resize(255);
    return ansi;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 and the console names, also with an extension: Windows opens
// the device instead of a file of that name in any folder.
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

std::string encodeHeader(std::string_view path, std::string_view name, std::uint32_t unpackedSize,
                         std::uint32_t packedSize) {
    const std::string p = toAnsiField(path);
    const std::string n = toAnsiField(name);
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

std::string unsafeNameReason(std::string_view relativeName) {
    if (relativeName.empty())
        return "the name is empty";
    if (relativeName.find('\0') != std::string_view::npos)
        return "the name holds a zero character";
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
