#include "bench_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

namespace kelvora::bench {

namespace {

constexpr std::size_t kPage = 4096;

// SQLite's variable-length integer, for values below 2^56.
void putVarint(std::string& out, std::uint64_t v) {
    char buf[9];
    int n = 0;
    do {
        buf[n++] = static_cast<char>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    for (int i = n - 1; i >= 0; --i)
        out.push_back(static_cast<char>(buf[i] | (i > 0 ? 0x80 : 0)));
}

void putBigEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A record: a header of serial types, then the values.
class Record {
  public:
    void null() { putVarint(types_, 0); }
    void integer(std::uint64_t v) {
        if (v == 0 || v == 1) {
            putVarint(types_, v == 0 ? 8 : 9);
            return;
        }
        static constexpr int sizes[] = {1, 2, 3, 4, 6, 8};
        for (int type = 1; type <= 6; ++type) {
            const int bytes = sizes[type - 1];
            if (bytes == 8 || v < (1ull << (8 * bytes - 1))) {
                putVarint(types_, static_cast<std::uint64_t>(type));
                putBigEndian(body_, v, bytes);
                return;
            }
        }
    }
    void text(const std::string& s) {
        putVarint(types_, 2 * s.size() + 13);
        body_ += s;
    }
    void blob(const std::string& s) {
        putVarint(types_, 2 * s.size() + 12);
        body_ += s;
    }
    std::string bytes() const {
        std::string out;
        putVarint(out, types_.size() + 1);
        return out + types_ + body_;
    }

  private:
    std::string types_;
    std::string body_;
};

const char* const kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
const char* const kHex = "0123456789abcdef";
const char* const kUpperHex = "0123456789ABCDEF";

}  // namespace

Corpus::Sink Corpus::writeBelow(fs::path root) {
    return [root = std::move(root)](const fs::path& relative, const std::string& contents) {
        const fs::path p = root / relative;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    };
}

Corpus::Corpus(Sink sink, unsigned seed) : sink_(std::move(sink)), random_(seed) {
    static const char* const syllables[] = {"ka",  "lo",  "mer", "sa",   "ti",  "on",  "re",   "de",  "van",
                                            "el",  "ber", "ga",  "ru",   "ni",  "po",  "stra", "fen", "ul",
                                            "ex",  "com", "pre", "tion", "ing", "ly",  "ist",  "dor", "ma",
                                            "chi", "zu",  "bel", "or",   "an",  "qui", "ter",  "so",  "ve",
                                            "lan", "mon", "da",  "pi",   "ce",  "wo",  "ha",   "ju"};
    constexpr std::size_t count = sizeof syllables / sizeof *syllables;
    for (int i = 0; i < 5000; ++i) {
        std::string w;
        const std::size_t parts = between(1, 4);
        for (std::size_t p = 0; p < parts; ++p)
            w += syllables[next() % count];
        words_.push_back(std::move(w));
    }
    static const char* const tlds[] = {".com", ".org", ".net", ".de", ".io", ".co.uk", ".fr"};
    for (int i = 0; i < 800; ++i) {
        std::string host = (next() % 3 == 0 ? "" : (next() % 2 ? "www." : "cdn."));
        host += words_[next() % 2000] + (next() % 3 == 0 ? "-" + words_[next() % 2000] : "");
        host += tlds[next() % 7];
        hosts_.push_back(std::move(host));
    }
}

std::size_t Corpus::logUniform(std::size_t low, std::size_t high) {
    const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
    return static_cast<std::size_t>(
        std::exp(std::log(double(low)) + u * std::log(double(high) / double(low))));
}

const std::string& Corpus::word() {
    // Ranks spread log-uniformly: word r comes about as often as 1/r (Zipf).
    return words_[std::min(words_.size(), logUniform(1, words_.size() + 1)) - 1];
}

std::string Corpus::token(std::size_t size, const char* alphabet) {
    const std::size_t n = std::strlen(alphabet);
    std::string out(size, ' ');
    for (char& c : out)
        c = alphabet[next() % n];
    return out;
}

std::string Corpus::url() {
    std::string u = next() % 10 == 0 ? "http://" : "https://";
    u += hosts_[std::min(hosts_.size(), logUniform(1, hosts_.size() + 1)) - 1];
    const std::size_t parts = between(0, 4);
    for (std::size_t i = 0; i < parts; ++i)
        u += "/" + word() + (next() % 3 == 0 ? "-" + word() : "");
    if (next() % 4 == 0)
        u += "?q=" + word() + "+" + word() + "&page=" + std::to_string(next() % 20);
    if (next() % 4 == 0)
        u += std::string(u.find('?') == std::string::npos ? "?" : "&") +
             "sid=" + token(between(16, 32), kBase64);
    return u;
}

std::string Corpus::noise(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t v = next();
        std::memcpy(out.data() + i, &v, std::min<std::size_t>(8, size - i));
    }
    return out;
}

std::string Corpus::text(std::size_t size, bool json) {
    std::string out;
    out.reserve(size + 256);
    if (json)
        out += "{\"version\":" + std::to_string(next() % 9) + ",\"entries\":[\n";
    while (out.size() < size) {
        if (json) {
            out += "{\"" + word() + "\":\"" + word() + " " + word() +
                   "\",\"id\":" + std::to_string(next() % 1000000);
            if (next() % 3 == 0)
                out += ",\"url\":\"" + url() + "\"";
            if (next() % 4 == 0)
                out += ",\"key\":\"" + token(between(8, 40), kBase64) + "\"";
            out += ",\"time\":" + std::to_string(clock_ += next() % 5000000) + "},\n";
            continue;
        }
        switch (next() % 6) {
            case 0:
                out += "function " + word() + "_" + word() + "(" + word() + ", " + word() + ") {\n";
                break;
            case 1:
                out += "  const " + word() + " = " + word() + "." + word() + "(\"" + word() + " " + word() +
                       "\", " + std::to_string(next() % 100000) + ");\n";
                break;
            case 2:
                out += "  // " + word() + " " + word() + " " + word() + " " + word() + "\n";
                break;
            case 3:
                out += "  if (" + word() + " !== " + std::to_string(next() % 1000) + ") return " + word() +
                       ";\n";
                break;
            case 4:
                out += "  " + word() + "." + word() + " = \"" + url() + "\";\n";
                break;
            default:
                out += "}\n";
                break;
        }
    }
    out.resize(size);
    return out;
}

std::string Corpus::row(Table kind, std::uint64_t rowid) {
    Record r;
    clock_ += next() % 60000000;
    switch (kind) {
        case Table::Places: {
            const std::string u = url();
            r.null();
            r.text(u);
            r.text(word() + " " + word() + " - " + word());
            std::string host = u.substr(u.find("//") + 2);
            host = host.substr(0, host.find('/'));
            std::reverse(host.begin(), host.end());
            r.text(host + ".");
            r.integer(next() % 40);
            r.integer(next() % 20 == 0);
            r.integer(next() % 5 == 0);
            r.integer(next() % 20000);
            r.integer(clock_);
            r.text(token(12, kBase64));
            r.integer(next() % 3 == 0);
            r.integer(next() & 0xFFFFFFFFFFFF);
            if (next() % 3 == 0)
                r.text(word() + " " + word() + " " + word() + " " + word() + " " + word());
            else
                r.null();
            r.null();
            r.integer(next() % 3000);
            break;
        }
        case Table::Favicons: {
            r.null();
            r.text(url() + "/favicon.ico");
            r.integer(next() & 0xFFFFFFFFFFFF);
            r.integer(16u << (next() % 3));
            r.integer(0);
            r.null();
            r.integer(clock_ / 1000);
            r.blob("\x89PNG\r\n\x1a\n" + noise(between(150, 1200)));
            break;
        }
        case Table::Visits:
            r.null();
            r.integer(next() % 4 == 0 ? rowid - next() % 50 : 0);
            r.integer(next() % 200000);
            r.integer(clock_);
            r.integer(next() % 9);
            r.integer(next() % 5000);
            r.integer(next() % 2);
            break;
        case Table::Cookies:
            r.null();
            r.text(next() % 5 == 0 ? "^userContextId=1" : "");
            r.text(next() % 3 == 0 ? "_ga" : word());
            r.text(token(between(16, 90), next() % 2 ? kBase64 : kHex));
            r.text("." + hosts_[next() % hosts_.size()]);
            r.text(next() % 2 ? "/" : "/" + word());
            r.integer(clock_ / 1000000 + 31536000);
            r.integer(clock_);
            r.integer(clock_ - next() % 100000000000);
            r.integer(next() % 2);
            r.integer(next() % 2);
            r.integer(0);
            r.integer(next() % 3);
            break;
        case Table::Storage:
            r.text("");
            r.text(hosts_[next() % hosts_.size()] + ".:https:443");
            r.text(word() + "_" + word());
            r.text(text(between(60, 1500), true));
            break;
        case Table::Forms:
            r.null();
            r.text(word());
            r.text(next() % 4 == 0 ? word() + "." + word() + "@" + hosts_[next() % hosts_.size()]
                                   : word() + " " + word());
            r.integer(next() % 30);
            r.integer(clock_ - next() % 1000000000000);
            r.integer(clock_);
            r.text(token(12, kBase64));
            break;
    }
    std::string cell;
    const std::string payload = r.bytes();
    putVarint(cell, payload.size());
    putVarint(cell, rowid);
    return cell + payload;
}

// A table's leaf page: header, cell pointers, free space, cells filled in from the end. The free
// space is zero, or in some pages what a deleted row left there.
std::string Corpus::tablePage(Table kind, std::uint64_t& rowid) {
    std::string page(kPage, '\0');
    const std::size_t fill = kPage * between(60, 95) / 100;
    std::vector<std::string> cells;
    std::size_t used = 8;
    while (true) {
        std::string cell = row(kind, rowid);
        if (cell.size() > kPage / 3)
            cell.resize(kPage / 3);  // the rest would go to an overflow page
        if (used + cell.size() + 2 > fill)
            break;
        used += cell.size() + 2;
        cells.push_back(std::move(cell));
        ++rowid;
    }
    std::size_t content = kPage;
    page[0] = 0x0D;
    page[3] = static_cast<char>(cells.size() >> 8);
    page[4] = static_cast<char>(cells.size() & 0xFF);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        content -= cells[i].size();
        std::memcpy(page.data() + content, cells[i].data(), cells[i].size());
        page[8 + 2 * i] = static_cast<char>(content >> 8);
        page[9 + 2 * i] = static_cast<char>(content & 0xFF);
    }
    page[5] = static_cast<char>(content >> 8);
    page[6] = static_cast<char>(content & 0xFF);
    const std::size_t freeStart = 8 + 2 * cells.size();
    if (next() % 4 == 0 && content > freeStart + 64) {
        const std::string stale = row(kind, rowid + 1000);
        const std::size_t at = freeStart + (content - freeStart) / 2;
        std::memcpy(page.data() + at, stale.data(), std::min(stale.size(), content - at));
    }
    return page;
}

// An index leaf: sorted keys (a hash or a time) with their rowids.
std::string Corpus::indexPage() {
    std::string page(kPage, '\0');
    std::vector<std::pair<std::uint64_t, std::uint64_t>> keys(between(150, 280));
    std::uint64_t key = next() & 0xFFFFFFFFFF;
    for (auto& k : keys)
        k = {key += next() % 5000000, next() % 300000};
    page[0] = 0x0A;
    page[3] = static_cast<char>(keys.size() >> 8);
    page[4] = static_cast<char>(keys.size() & 0xFF);
    std::size_t content = kPage;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        Record r;
        r.integer(keys[i].first);
        r.integer(keys[i].second);
        std::string cell;
        const std::string payload = r.bytes();
        putVarint(cell, payload.size());
        cell += payload;
        if (content < 8 + 2 * (i + 1) + cell.size())
            break;
        content -= cell.size();
        std::memcpy(page.data() + content, cell.data(), cell.size());
        page[8 + 2 * i] = static_cast<char>(content >> 8);
        page[9 + 2 * i] = static_cast<char>(content & 0xFF);
    }
    return page;
}

std::string Corpus::database(std::size_t size, Table kind) {
    std::string out;
    out.reserve(size + kPage);
    out += std::string("SQLite format 3\0", 16);
    out.resize(100, '\0');
    out += "CREATE TABLE moz_" + word() + " (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR)";
    out.resize(kPage, '\0');
    // Per kind: percent of pages holding rows, index pages, and overflow pages of blob data.
    int rows = 85, index = 15;
    switch (kind) {
        case Table::Places:
            rows = 75, index = 20;
            break;
        case Table::Favicons:
            rows = 50, index = 10;
            break;
        case Table::Visits:
            rows = 80, index = 20;
            break;
        default:
            break;
    }
    std::uint64_t rowid = 1;
    while (out.size() < size) {
        const int roll = static_cast<int>(next() % 100);
        if (roll < rows) {
            // Visits live beside the places they belong to.
            const Table t = kind == Table::Visits && next() % 3 == 0 ? Table::Places : kind;
            out += tablePage(t, rowid);
        } else if (roll < rows + index) {
            out += indexPage();
        } else {
            std::string overflow = noise(kPage);  // icon data spilling over
            std::memset(overflow.data(), 0, 2);
            out += overflow;
        }
    }
    out.resize(size);
    return out;
}

void Corpus::write(const fs::path& relative, const std::string& contents) {
    sink_(relative, contents);
    bytes_ += contents.size();
    ++files_;
}

void Corpus::build(double megabytes) {
    const double f = megabytes / 300.0;
    const auto count = [f](double n) {
        return std::max<std::size_t>(1, static_cast<std::size_t>(n * f + 0.5));
    };
    const fs::path profile = "Profiles/k3x9.default-release";

    struct Db {
        const char* name;
        double megabytes;
        Table kind;
    };
    static const Db dbs[] = {{"places.sqlite", 60, Table::Places},
                             {"favicons.sqlite", 36, Table::Favicons},
                             {"History", 28, Table::Visits},
                             {"cookies.sqlite", 14, Table::Cookies},
                             {"webappsstore.sqlite", 14, Table::Storage},
                             {"formhistory.sqlite", 9, Table::Forms},
                             {"Web Data", 8, Table::Forms},
                             {"storage.sqlite", 6, Table::Storage}};
    inDatabases_ = true;
    for (const Db& db : dbs) {
        const std::size_t size =
            std::max<std::size_t>(2, static_cast<std::size_t>(db.megabytes * f * 1e6 / kPage)) * kPage;
        write(profile / db.name, database(size, db.kind));
        databaseBytes_ += size;
        ++databases_;
    }
    inDatabases_ = false;

    // 7,000 small text files: scripts of extensions, JSON stores of sites, preferences and the like.
    const std::size_t small = count(7000);
    for (std::size_t i = 0; i < small; ++i) {
        const std::size_t kind = i % 20;
        if (kind < 9) {
            write(profile / "extensions" / ("{" + std::to_string(i / 60) + "}") / "lib" /
                      (word() + std::to_string(i) + ".js"),
                  text(logUniform(200, 80000), false));
        } else if (kind < 18) {
            write(profile / "storage/default" / ("https+++" + hosts_[i / 40 % hosts_.size()]) / "ls" /
                      ("data" + std::to_string(i) + ".json"),
                  text(logUniform(100, 20000), true));
        } else {
            write(profile / "datareporting" / ("state" + std::to_string(i) + (i % 2 ? ".json" : ".js")),
                  text(logUniform(1000, 128000), i % 2 != 0));
        }
    }
    // 400 cache entries: pages and scripts compress, images and media (two in five) don't.
    const std::size_t cache = count(400);
    for (std::size_t i = 0; i < cache; ++i) {
        const std::size_t size = logUniform(1000, 800000);
        std::string entry = i % 5 < 2 ? noise(size) : text(size, i % 5 == 2);
        entry += ":" + url() + "\n" + token(40, kHex);  // the entry's key, as the cache appends it
        write(profile / "cache2/entries" / token(40, kUpperHex), entry);
    }
    const std::size_t empty = count(300);
    for (std::size_t i = 0; i < empty; ++i)
        write(profile / (i % 3 == 0 ? "sessionstore-backups" : "storage/permanent/chrome/idb") /
                  ("empty" + std::to_string(i) + ".lock"),
              "");
}

}  // namespace kelvora::bench
