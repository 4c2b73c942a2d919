#include "core/text.h"

namespace kelvora {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    std::string out(folder);
    if (name.empty())
        return out;
    while (!name.empty() && isSeparator(name.front()))
        name.remove_prefix(1);
    if (!isSeparator(out.back()))
        out += '\\';
    out += name;
    return out;
}

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

}  // namespace kelvora
