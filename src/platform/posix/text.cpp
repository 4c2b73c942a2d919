// The ANSI code page of archive names on POSIX: windows-1252, the code page Western Windows
// machines write archive names in, unless KELVORA_CODEPAGE names the one the Windows machines
// of the archives use ("1251", "windows-1251", "CP932", or any name iconv knows).
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "platform/platform.h"

namespace kelvora::platform {

namespace {

// Code points of the bytes 0x80..0x9F; the five bytes Windows leaves undefined map to the C1
// control of the same number, as MultiByteToWideChar does.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at `i`. A malformed, overlong or surrogate sequence decodes as
// kInvalid and moves on by one byte.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (b < 0x80) {
        ++i;
        return b;
    } else if ((b & 0xE0) == 0xC0) {
        extra = 1;
        cp = b & 0x1F;
        least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        cp = b & 0x0F;
        least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        cp = b & 0x07;
        least = 0x10000;
    } else {
        ++i;
        return kInvalid;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return kInvalid;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return kInvalid;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kInvalid;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// windows-1252 by table: the byte for a code point, or nothing.
std::optional<char> to1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t k = 0; k < kHigh.size(); ++k) {
        if (kHigh[k] == cp)
            return static_cast<char>(0x80 + k);
    }
    return std::nullopt;
}

std::string from1252(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (const char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : b);
    }
    return out;
}

struct CodePage {
    std::string iconvName;  // empty: windows-1252 by table
    std::string shownName;
};

bool allDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

CodePage configuredCodePage() {
    const char* env = std::getenv("KELVORA_CODEPAGE");
    std::string value = env ? env : "";
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    while (!value.empty() && value.front() == ' ')
        value.erase(0, 1);
    std::string upper = value;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    std::string number;
    if (allDigits(upper))
        number = upper;
    else if (upper.rfind("WINDOWS-", 0) == 0 && allDigits(std::string_view(upper).substr(8)))
        number = upper.substr(8);
    else if (upper.rfind("CP", 0) == 0 && allDigits(std::string_view(upper).substr(2)))
        number = upper.substr(2);
    if (value.empty() || number == "1252")
        return {"", "code page 1252"};
    if (!number.empty())
        return {"CP" + number, "code page " + number};
    return {value, "code page " + value};
}

class Converter {
  public:
    Converter(const CodePage& page, bool toAnsi) {
        const std::string& name = page.iconvName;
        cd_ = toAnsi ? iconv_open(name.c_str(), "UTF-8") : iconv_open("UTF-8", name.c_str());
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw SystemError(EINVAL, "The archive code page \"" + name +
                                          "\" (KELVORA_CODEPAGE) is not known on this system");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`. Where a sequence can't be converted: with `replacement` set, skips
    // `skip(in, at)` bytes and writes the replacement instead; otherwise gives up.
    std::optional<std::string> run(std::string_view in, const char* replacement,
                                   std::size_t (*skip)(std::string_view, std::size_t)) {
        std::string out(in.size() * 4 + 16, '\0');
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        std::size_t used = 0;
        while (true) {
            char* outPtr = out.data() + used;
            std::size_t outLeft = out.size() - used;
            const std::size_t result = inLeft == 0 ? iconv(cd_, nullptr, nullptr, &outPtr, &outLeft)
                                                   : iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            used = static_cast<std::size_t>(outPtr - out.data());
            if (result != static_cast<std::size_t>(-1)) {
                if (result != 0 && !replacement)
                    return std::nullopt;  // converted, but not reversibly
                if (inLeft == 0)
                    break;
                continue;
            }
            if (error == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            if (!replacement)
                return std::nullopt;
            const std::size_t at = in.size() - inLeft;
            const std::size_t n = std::min(inLeft, std::max<std::size_t>(skip(in, at), 1));
            inPtr += n;
            inLeft -= n;
            out.resize(used);
            out += replacement;
            used = out.size();
            out.resize(used + inLeft * 4 + 16);
        }
        out.resize(used);
        return out;
    }

  private:
    iconv_t cd_;
};

std::size_t oneCodePoint(std::string_view s, std::size_t at) {
    std::size_t i = at;
    nextCodePoint(s, i);
    return i - at;
}

std::size_t oneByte(std::string_view, std::size_t) {
    return 1;
}

}  // namespace

std::string ansiCodePageName() {
    return configuredCodePage().shownName;
}

std::string utf8ToAnsi(std::string_view utf8) {
    const CodePage page = configuredCodePage();
    if (!page.iconvName.empty())
        return *Converter(page, true).run(utf8, "?", oneCodePoint);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        out += to1252(cp).value_or('?');
    }
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    const CodePage page = configuredCodePage();
    if (!page.iconvName.empty())
        return *Converter(page, false).run(ansi, "\xEF\xBF\xBD", oneByte);
    return from1252(ansi);
}

std::optional<std::string> utf8ToAnsiExact(std::string_view utf8) {
    const CodePage page = configuredCodePage();
    std::optional<std::string> out;
    if (!page.iconvName.empty()) {
        out = Converter(page, true).run(utf8, nullptr, nullptr);
    } else {
        out.emplace();
        out->reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size();) {
            const std::optional<char> byte = to1252(nextCodePoint(utf8, i));
            if (!byte)
                return std::nullopt;
            *out += *byte;
        }
    }
    // Whatever the code page, a name counts as stored exactly only when it reads back the same.
    if (!out || ansiToUtf8Exact(*out) != std::optional<std::string>(utf8))
        return std::nullopt;
    return out;
}

std::optional<std::string> ansiToUtf8Exact(std::string_view ansi) {
    const CodePage page = configuredCodePage();
    if (!page.iconvName.empty())
        return Converter(page, false).run(ansi, nullptr, nullptr);
    return from1252(ansi);
}

}  // namespace kelvora::platform
