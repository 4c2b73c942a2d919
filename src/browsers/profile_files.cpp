#include "browsers/profile_files.h"

#include <memory>
#include <optional>

#include "core/text.h"

namespace kelvora::browsers {

namespace {

std::string trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

// ---- A small JSON reader: enough of the grammar to walk a Local State file ----

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object } kind = Kind::Null;
    std::string text;                                        // String: the decoded text
    std::vector<std::pair<std::string, JsonValue>> members;  // Object, in file order
    std::vector<JsonValue> items;                            // Array

    const JsonValue* member(const std::string& name) const {
        for (const auto& [key, value] : members) {
            if (key == name)
                return &value;
        }
        return nullptr;
    }
};

class JsonReader {
  public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    std::optional<JsonValue> document() {
        JsonValue value;
        if (!parse(value, 0))
            return std::nullopt;
        skipBlanks();
        if (at_ != text_.size())
            return std::nullopt;
        return value;
    }

  private:
    static constexpr int kDeepest = 64;

    void skipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    bool take(char c) {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool literal(std::string_view word) {
        if (text_.compare(at_, word.size(), word) != 0)
            return false;
        at_ += word.size();
        return true;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool hex4(unsigned& code) {
        if (at_ + 4 > text_.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool string(std::string& out) {
        if (!take('"'))
            return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size())
                return false;
            const char e = text_[at_++];
            switch (e) {
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned code = 0;
                    if (!hex4(code))
                        return false;
                    if (code >= 0xD800 && code < 0xDC00 && literal("\\u")) {
                        unsigned low = 0;
                        if (!hex4(low) || low < 0xDC00 || low > 0xDFFF)
                            return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, code);
                    break;
                }
                default:
                    out += e;
                    break;
            }
        }
        return false;
    }

    bool parse(JsonValue& value, int depth) {
        if (depth > kDeepest)
            return false;
        skipBlanks();
        if (at_ >= text_.size())
            return false;
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value.kind = JsonValue::Kind::Object;
            if (take('}'))
                return true;
            do {
                std::string key;
                JsonValue member;
                if (!string(key) || !take(':') || !parse(member, depth + 1))
                    return false;
                value.members.emplace_back(std::move(key), std::move(member));
            } while (take(','));
            return take('}');
        }
        if (c == '[') {
            ++at_;
            value.kind = JsonValue::Kind::Array;
            if (take(']'))
                return true;
            do {
                JsonValue item;
                if (!parse(item, depth + 1))
                    return false;
                value.items.push_back(std::move(item));
            } while (take(','));
            return take(']');
        }
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return string(value.text);
        }
        if (literal("true") || literal("false")) {
            value.kind = JsonValue::Kind::Boolean;
            return true;
        }
        if (literal("null"))
            return true;
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
            ++at_;
        value.kind = JsonValue::Kind::Number;
        return at_ > start;
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

ProfilesIni parseProfilesIni(const std::string& text) {
    ProfilesIni out;
    std::string section;
    IniProfile current;
    bool inProfile = false;
    const auto endSection = [&] {
        if (inProfile && !current.path.empty())
            out.profiles.push_back(current);
        current = {};
        inProfile = false;
    };
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.starts_with("[")) {
            endSection();
            section = lowerAscii(line);
            inProfile = section.starts_with("[profile");
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = lowerAscii(trimmed(line.substr(0, equals)));
        const std::string value = trimmed(line.substr(equals + 1));
        if (section.starts_with("[install") && key == "default" && out.installDefault.empty())
            out.installDefault = value;
        else if (inProfile && key == "path")
            current.path = value;
        else if (inProfile && key == "isrelative")
            current.isRelative = value != "0";
        else if (inProfile && key == "default")
            current.markedDefault = value == "1";
    }
    endSection();
    return out;
}

std::map<std::string, std::string> chromiumProfileNames(const std::string& localState) {
    std::map<std::string, std::string> names;
    const auto document = JsonReader(localState).document();
    if (!document)
        return names;
    const JsonValue* profile = document->member("profile");
    const JsonValue* cache = profile ? profile->member("info_cache") : nullptr;
    if (!cache)
        return names;
    for (const auto& [folder, info] : cache->members) {
        const JsonValue* name = info.member("name");
        if (name && name->kind == JsonValue::Kind::String && !name->text.empty())
            names[folder] = name->text;
    }
    return names;
}

}  // namespace kelvora::browsers
