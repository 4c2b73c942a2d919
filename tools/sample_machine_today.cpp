// Today's browsers on the sample machine: Firefox with its install sections and an absolute profile,
// Flock on the same profile files, the Chromium family with Local State and several profiles, and
// Opera Stable (flat) beside Opera GX (a "Default" profile folder). Every file names its profile in
// its contents, so that copies of two profiles can be told apart.
#include <cstdint>
#include <string_view>

#include "tools/sample_machine.h"

namespace kelvora::tools {

namespace {

namespace fs = std::filesystem;

// ---- Small encodings ----------------------------------------------------------------------

// FNV-1a of a profile's tag: the numbers that make binary files differ per profile.
std::uint32_t stamp(std::string_view tag) {
    std::uint32_t hash = 2166136261u;
    for (const char c : tag) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::string hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return out;
}

std::string le32(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string be32(std::uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A JSON string literal.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// Mozilla's LZ4 container ("mozLz40\0", the decompressed size, one LZ4 block). The block holds
// `text` as one run of literals, which every LZ4 decoder accepts.
std::string mozLz4(const std::string& text) {
    std::string block;
    if (text.size() < 15) {
        block += static_cast<char>(text.size() << 4);
    } else {
        block += static_cast<char>(0xF0);
        std::size_t rest = text.size() - 15;
        for (; rest >= 255; rest -= 255)
            block += static_cast<char>(0xFF);
        block += static_cast<char>(rest);
    }
    return std::string("mozLz40\0", 8) + le32(static_cast<std::uint32_t>(text.size())) + block + text;
}

// The header of an SQLite write-ahead log that holds no frames yet (big-endian checksums).
std::string walHeader(std::uint32_t salt) {
    std::string header = be32(0x377f0683) + be32(3007000) + be32(4096) + be32(0) + be32(salt) + be32(~salt);
    std::uint32_t s0 = 0;
    std::uint32_t s1 = 0;
    for (std::size_t at = 0; at < 24; at += 8) {
        const auto word = [&](std::size_t i) {
            std::uint32_t w = 0;
            for (std::size_t k = 0; k < 4; ++k)
                w = (w << 8) | static_cast<unsigned char>(header[i + k]);
            return w;
        };
        s0 += word(at) + s1;
        s1 += word(at + 4) + s0;
    }
    return header + be32(s0) + be32(s1);
}

// An empty zip archive whose comment names its owner (an add-on package as far as size goes).
std::string emptyZip(const std::string& comment) {
    return std::string("PK\x05\x06", 4) + std::string(16, '\0') + static_cast<char>(comment.size() & 0xFF) +
           static_cast<char>(comment.size() >> 8) + comment;
}

// A Chromium session file: "SNSS", version 3, one command naming a URL.
std::string snss(const std::string& url) {
    const std::string payload = le32(static_cast<std::uint32_t>(url.size())) + url;
    const std::size_t size = payload.size() + 1;
    return std::string("SNSS", 4) + le32(3) + static_cast<char>(size & 0xFF) + static_cast<char>(size >> 8) +
           '\x06' + payload;
}

struct Writer {
    fs::path base;
    void operator()(const std::string& relative, const std::string& contents) const {
        writeSampleFile(base / fs::path(relative), contents);
    }
};

// ---- Firefox and Flock ----------------------------------------------------------------------

constexpr std::string_view kFirefoxAddon = "{446900e4-71c2-419f-a6a7-df9c091e268b}";

// One profile of today's Firefox (or Flock, which shares the rows). `tag` names the profile in
// every file.
void writeMozillaProfile(const SampleMachine& m, const fs::path& dir, const std::string& tag) {
    const Writer w{dir};
    const std::uint32_t n = stamp(tag);
    const std::string site = "https://www.example.org/" + tag;
    const std::string addon(kFirefoxAddon);
    const std::string xpi = m.windowsPath(dir / "extensions" / (addon + ".xpi"));

    w("prefs.js",
      "// Mozilla User Preferences\n\n"
      "user_pref(\"browser.startup.homepage\", \"" +
          site +
          "\");\n"
          "user_pref(\"browser.download.dir\", \"C:\\\\Downloads\");\n"
          "user_pref(\"browser.startup.page\", 3);\n");
    w("user.js", "user_pref(\"browser.tabs.warnOnClose\", false); // " + tag + "\n");
    w("places.sqlite",
      sqliteDatabase({{"moz_places",
                       {"url", "title", "rev_host", "guid"},
                       {{site, "Example", "gro.elpmaxe.www.", hex8(n)},
                        {"https://www.mozilla.org/firefox/", "Firefox", "gro.allizom.www.", hex8(n + 1)}}},
                      {"moz_bookmarks", {"fk", "title", "guid"}, {{"1", "Example " + tag, hex8(n + 2)}}}}));
    w("places.sqlite-wal", walHeader(n));
    w("favicons.sqlite",
      sqliteDatabase({{"moz_icons", {"icon_url", "width"}, {{site + "/favicon.ico", "16"}}},
                      {"moz_pages_w_icons", {"page_url"}, {{site}}}}));
    w("bookmarkbackups/bookmarks-2026-12-01_12_abc.jsonlz4",
      mozLz4("{\"guid\":\"root________\",\"title\":\"\",\"children\":[{\"guid\":\"menu________\",\"title\":"
             "\"menu\",\"children\":[{\"title\":\"Example\",\"uri\":" +
             jsonString(site) + "}]}]}"));
    w("cookies.sqlite", sqliteDatabase({{"moz_cookies",
                                         {"name", "value", "host", "path", "originAttributes"},
                                         {{"session", tag + "-" + hex8(n), ".example.org", "/", ""}}}}));
    w("formhistory.sqlite",
      sqliteDatabase({{"moz_formhistory", {"fieldname", "value"}, {{"searchbar-history", tag}}}}));
    const auto logins = [&](int id) {
        return "{\"nextId\":" + std::to_string(id + 1) + ",\"logins\":[{\"id\":" + std::to_string(id) +
               ",\"hostname\":\"https://mail.example.org\",\"encryptedUsername\":"
               "\"MDIEEPgAAAAAAAAAAAAAAAAAAAEwFAYIKoZIhvcNAwcE" +
               hex8(n) + "\",\"encryptedPassword\":\"MDoEEPgAAAAAAAAAAAAAAAAAAAEwFAYI" + hex8(n + id) +
               "\",\"guid\":\"{" + hex8(n) + "-0000-4000-8000-00000000000" + std::to_string(id) +
               "}\",\"encType\":1}],\"version\":3}\n";
    };
    w("logins.json", logins(2));
    w("logins-backup.json", logins(1));
    w("key4.db", sqliteDatabase({{"metaData", {"item1", "item2"}, {{"password", hex8(n)}}},
                                 {"nssPrivate", {"a11", "a102"}, {{hex8(n + 3), tag}}}}));
    w("cert9.db", sqliteDatabase({{"nssPublic", {"a11", "a102"}, {{hex8(n + 4), tag}}}}));
    w("cert_override.txt",
      "# PSM Certificate Override Settings file\n# This is a generated file!  Do not edit.\n"
      "intranet.example.org:443:\tOID.2.16.840.1.101.3.4.2.1\t" +
          hex8(n) + hex8(~n) + "\t\n");
    w("pkcs11.txt",
      "library=\nname=NSS Internal PKCS #11 Module\nparameters=configdir='sql:" + m.windowsPath(dir) +
          "' certPrefix='' keyPrefix='' secmod='secmod.db' flags=optimizeSpace\n"
          "NSS=Flags=internal,critical trustOrder=75 cipherOrder=100\n");
    w("permissions.sqlite",
      sqliteDatabase({{"moz_perms", {"origin", "type", "permission"}, {{site, "popup", "1"}}}}));
    w("content-prefs.sqlite",
      sqliteDatabase({{"groups", {"name"}, {{"example.org/" + tag}}},
                      {"prefs", {"groupID", "settingID", "value"}, {{"1", "1", "1.2"}}}}));
    w("search.json.mozlz4",
      mozLz4("{\"version\":6,\"engines\":[{\"_name\":\"Example\",\"_loadPath\":"
             "\"[user]example\",\"_urls\":[{\"template\":" +
             jsonString(site + "/search?q={searchTerms}") +
             "}]}],\"metaData\":{\"current\":\"Example\",\"hash\":\"" + hex8(n) + "\"}}"));
    const auto session = [&](const std::string& page) {
        return mozLz4("{\"version\":[\"sessionrestore\",1],\"windows\":[{\"tabs\":[{\"entries\":[{\"url\":" +
                      jsonString(site + page) + ",\"title\":\"Example\"}]}]}],\"session\":{\"lastUpdate\":" +
                      std::to_string(1796126400000ULL + n % 1000) + "}}");
    };
    w("sessionstore.jsonlz4", session("/"));
    w("sessionstore-backups/recovery.jsonlz4", session("/recovery"));
    w("sessionstore-backups/previous.jsonlz4", session("/previous"));
    w("extensions.json", "{\"schemaVersion\":36,\"addons\":[{\"id\":" + jsonString(addon) +
                             ",\"version\":\"2026.11.0\",\"type\":\"extension\",\"active\":true,"
                             "\"location\":\"app-profile\",\"path\":" +
                             jsonString(xpi) + "}]}\n");
    w("addonStartup.json.lz4",
      mozLz4("{\"app-profile\":{\"path\":" + jsonString(m.windowsPath(dir / "extensions")) + ",\"addons\":{" +
             jsonString(addon) +
             ":{\"enabled\":true,\"version\":\"2026.11.0\",\"path\":" + jsonString(addon + ".xpi") + "}}}}"));
    w("extension-preferences.json", "{" + jsonString(addon) +
                                        ":{\"permissions\":[\"storage\",\"tabs\"],\"origins\":[" +
                                        jsonString(site + "/*") + "]}}\n");
    w("extension-settings.json",
      "{\"version\":3,\"prefs\":{\"homepage_override\":{\"precedenceList\":[{\"id\":" + jsonString(addon) +
          ",\"installDate\":" + std::to_string(n) + ",\"value\":" + jsonString(site) +
          ",\"enabled\":true}]}},\"commands\":{},\"url_overrides\":{},\"default_search\":{}}\n");
    w("browser-extension-data/" + addon + "/storage.js",
      "{\"vault\":" + jsonString(tag) + ",\"lastSync\":" + std::to_string(n) + "}\n");
    w("extensions/" + addon + ".xpi", emptyZip(addon + " " + tag));
    w("handlers.json",
      "{\"defaultHandlersVersion\":{},\"mimeTypes\":{\"application/pdf\":{\"action\":3,\"extensions\":"
      "[\"pdf\"]}},\"schemes\":{\"mailto\":{\"handlers\":[null,{\"name\":\"Example Mail\",\"uriTemplate\":" +
          jsonString("https://mail.example.org/compose?from=" + tag + "&to=%s") + "}]}}}\n");
    w("xulstore.json", "{\"chrome://browser/content/browser.xhtml\":{\"main-window\":{\"screenX\":\"" +
                           std::to_string(n % 97) + "\",\"screenY\":\"" + std::to_string(n % 89) +
                           "\",\"width\":\"1280\",\"height\":\"" + std::to_string(700 + n % 200) +
                           "\",\"sizemode\":\"normal\"}}}\n");
    w("containers.json",
      "{\"version\":5,\"lastUserContextId\":5,\"identities\":[{\"userContextId\":1,\"public\":true,"
      "\"icon\":\"fingerprint\",\"color\":\"blue\",\"l10nId\":\"user-context-personal\"},{\"userContextId\":"
      "5,"
      "\"public\":true,\"icon\":\"briefcase\",\"color\":\"orange\",\"name\":" +
          jsonString("Work " + tag) + "}]}\n");
    w("chrome/userChrome.css", "/* " + tag + " */\n#urlbar { font-size: 12pt !important; }\n");
    w("persdict.dat", "Kelvora\n" + tag + "\n");
    // Files no item carries: they must stay out of a selective archive.
    w("times.json", "{\"created\":" + std::to_string(1760000000000ULL + n) + ",\"firstUse\":null}\n");
    w("compatibility.ini",
      "[Compatibility]\nLastVersion=146.0_2026112" + std::to_string(n % 10000000) + "/2026112" +
          std::to_string(n % 10000000) +
          "\nLastOSABI=WINNT_x86_64-msvc\n"
          "LastPlatformDir=C:\\Program Files\\Mozilla Firefox\nLastAppDir=C:\\Program Files\\Mozilla "
          "Firefox\\browser\n");
    w("storage/default/https+++www.example.org/ls/data.sqlite",
      sqliteDatabase({{"data", {"name", "value"}, {{"theme", tag}}}}));
}

void writeFirefox(const SampleMachine& m) {
    const fs::path base = m.roaming() / "Mozilla/Firefox";
    // A profile kept outside the Firefox folder, named by an absolute path.
    const fs::path portable =
        m.home() / (m.version == "5" ? "My Documents" : "Documents") / "FirefoxPortable/Profile";
    // The install section names the default; the old Default=1 marker points elsewhere.
    writeSampleFile(
        base / "profiles.ini",
        "[Install308046B0AF4A39CB]\nDefault=Profiles/q1w2e3r4.default-release\nLocked=1\n\n"
        "[Profile2]\nName=portable\nIsRelative=0\nPath=" +
            m.windowsPath(portable) +
            "\n\n"
            "[Profile1]\nName=default\nIsRelative=1\nPath=Profiles/z9x8c7v6.default\nDefault=1\n\n"
            "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/q1w2e3r4.default-release\n\n"
            "[General]\nStartWithLastProfile=1\nVersion=2\n");
    writeSampleFile(base / "installs.ini",
                    "[308046B0AF4A39CB]\nDefault=Profiles/q1w2e3r4.default-release\nLocked=1\n");
    writeMozillaProfile(m, base / "Profiles/q1w2e3r4.default-release", "firefox/default-release");
    writeMozillaProfile(m, base / "Profiles/z9x8c7v6.default", "firefox/default");
    writeMozillaProfile(m, portable, "firefox/portable");
    // The cache lives in the local folder and is no item.
    writeSampleFile(m.local() /
                        "Mozilla/Firefox/Profiles/q1w2e3r4.default-release/cache2/entries/"
                        "0A1B2C3D4E5F60718293A4B5C6D7E8F901234567",
                    std::string(48, '\x2c'));
}

void writeFlock(const SampleMachine& m) {
    const fs::path base = m.roaming() / "Flock/Browser";
    writeSampleFile(base / "profiles.ini",
                    "[General]\nStartWithLastProfile=1\n\n"
                    "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/k3j4h5g6.default\nDefault=1\n");
    writeMozillaProfile(m, base / "Profiles/k3j4h5g6.default", "flock/default");
}

// ---- The Chromium family and Opera ----------------------------------------------------------

constexpr std::string_view kChromiumExtension = "cjpalhdlnbpafiamejdnhcphjbkeiagm";

struct ChromiumProfile {
    std::string folder;  // below User Data
    std::string name;    // the display name in Local State
};

// Local State: the display names of `profiles` and the key that encrypts passwords and cookies.
// A browser that keeps its one profile beside Local State lists none.
std::string localState(const std::string& tag, const std::vector<ChromiumProfile>& profiles) {
    std::string cache;
    std::string order;
    for (const auto& p : profiles) {
        cache += std::string(cache.empty() ? "" : ",") + "\n         " + jsonString(p.folder) +
                 ": { \"name\": " + jsonString(p.name) + " }";
        order += std::string(order.empty() ? "" : ", ") + jsonString(p.folder);
    }
    const std::string profile =
        profiles.empty() ? "{\n      \"info_cache\": {}\n   }"
                         : "{\n      \"info_cache\": {" + cache +
                               "\n      },\n      \"last_used\": " + jsonString(profiles.front().folder) +
                               ",\n      \"profiles_order\": [ " + order + " ]\n   }";
    return "{\n   \"os_crypt\": {\n      \"encrypted_key\": \"RFBBUEkBAAAA0Iyd3wEV0RGMegDAT8KX6wEAAAA" +
           hex8(stamp(tag)) + "A\"\n   },\n   \"profile\": " + profile + "\n}\n";
}

// One profile of today's Chromium-based browsers, shown as `displayName`. A new profile has no
// Bookmarks file yet.
void writeChromiumProfile(const fs::path& dir, const std::string& tag, const std::string& displayName,
                          bool bookmarks) {
    const Writer w{dir};
    const std::uint32_t n = stamp(tag);
    const std::string site = "https://www.example.org/" + tag;
    const std::string extension(kChromiumExtension);

    w("Preferences", "{\"browser\":{\"has_seen_welcome_page\":true},\"homepage\":" + jsonString(site) +
                         ",\"profile\":{\"name\":" + jsonString(displayName) +
                         ",\"exit_type\":\"Normal\"},\"extensions\":{\"settings\":{}}}\n");
    w("Secure Preferences", "{\"extensions\":{\"settings\":{" + jsonString(extension) +
                                ":{\"path\":" + jsonString(extension + "\\1.0_0") +
                                ",\"state\":1}}},\"protection\":{\"macs\":{\"homepage\":\"" + hex8(n) +
                                hex8(~n) + "\"},\"super_mac\":\"" + hex8(n + 1) + "\"}}\n");
    if (bookmarks) {
        w("Bookmarks",
          "{\n   \"checksum\": \"" + hex8(n) +
              "\",\n   \"roots\": {\n      \"bookmark_bar\": {\n"
              "         \"children\": [ { \"name\": \"Example\", \"type\": \"url\", \"url\": " +
              jsonString(site) +
              " } ],\n         \"name\": \"Bookmarks bar\",\n         \"type\": \"folder\"\n      },\n"
              "      \"other\": { \"children\": [  ], \"name\": \"Other bookmarks\", \"type\": \"folder\" }\n"
              "   },\n   \"version\": 1\n}\n");
    }
    w("History", sqliteDatabase({{"urls", {"url", "title", "visit_count"}, {{site, "Example", "4"}}},
                                 {"visits", {"url", "visit_time"}, {{"1", "13300000000000000"}}}}));
    w("Favicons", sqliteDatabase({{"favicons", {"url", "icon_type"}, {{site + "/favicon.ico", "1"}}},
                                  {"icon_mapping", {"page_url", "icon_id"}, {{site, "1"}}}}));
    w("Shortcuts",
      sqliteDatabase({{"omni_box_shortcuts", {"text", "url", "contents"}, {{"exa", site, tag}}}}));
    w("Top Sites", sqliteDatabase({{"top_sites", {"url", "url_rank", "title"}, {{site, "0", "Example"}}}}));
    w("Visited Links", std::string("VLnk", 4) + le32(3) + le32(16) + le32(1) + le32(n) + le32(~n) +
                           std::string(15, '\0') + '\x01');
    w("Web Data", sqliteDatabase({{"autofill", {"name", "value"}, {{"email", tag + "@example.org"}}},
                                  {"keywords",
                                   {"short_name", "keyword", "url"},
                                   {{"Example", "example.org", site + "/search?q={searchTerms}"}}}}));
    w("Login Data", sqliteDatabase({{"logins",
                                     {"origin_url", "username_value", "password_value"},
                                     {{"https://mail.example.org/", tag, "v10" + hex8(n)}}}}));
    w("Login Data For Account",
      sqliteDatabase({{"logins",
                       {"origin_url", "username_value", "password_value"},
                       {{"https://accounts.example.org/", tag, "v10" + hex8(~n)}}}}));
    w("Network/Cookies", sqliteDatabase({{"cookies",
                                          {"host_key", "name", "encrypted_value", "path"},
                                          {{".example.org", "sid", "v10" + hex8(n) + tag, "/"}}}}));
    w("Network/TransportSecurity", "{\"sts\":[{\"expiry\":1796126400.0,\"host\":\"" + hex8(n) + hex8(n + 7) +
                                       "\",\"mode\":\"force-https\",\"sts_include_subdomains\":true,"
                                       "\"sts_observed\":1764590400.0}],\"version\":2}\n");
    w("Sessions/Session_13300000000000000", snss(site + "/session"));
    w("Sessions/Tabs_13300000000000000", snss(site + "/tabs"));
    w("Extensions/" + extension + "/1.0_0/manifest.json",
      "{\n   \"manifest_version\": 3,\n   \"name\": \"Sample blocker\",\n   \"version\": \"1.0\",\n"
      "   \"description\": " +
          jsonString("Installed in " + tag) + "\n}\n");
    // A LevelDB log with one write batch putting one key (checksum left zero).
    const std::string batch = std::string(8, '\0') + le32(1) + '\x01' + '\x08' + "settings" +
                              static_cast<char>(tag.size() + 2) + jsonString(tag);
    w("Local Extension Settings/" + extension + "/000003.log",
      le32(0) + static_cast<char>(batch.size() & 0xFF) + static_cast<char>(batch.size() >> 8) + '\x01' +
          batch);
    w("Extension State/CURRENT", "MANIFEST-" + std::to_string(100000 + n % 900000) + "\n");
}

// A browser of the Chromium family under its User Data folder: "Default" with the bookmarks, the
// SQLite journal and the cache, "Profile 1" as a newer profile, and folders that hold no profile.
void writeChromium(const SampleMachine& m, const std::string& name, const std::string& userData) {
    const fs::path base = m.local() / userData;
    const std::vector<ChromiumProfile> profiles{{"Default", "Person 1"}, {"Profile 1", "Work"}};
    writeSampleFile(base / "Local State", localState(name, profiles));
    writeChromiumProfile(base / "Default", name + "/default", profiles[0].name, true);
    writeChromiumProfile(base / "Profile 1", name + "/profile-1", profiles[1].name, false);
    writeSampleFile(base / "Default/History-journal", "");
    writeSampleFile(base / "Default/Cache/Cache_Data/data_0", std::string(64, '\x01'));  // never carried
    writeSampleFile(base / "Crashpad/settings.dat", std::string("sdPC", 4) + le32(4) + le32(stamp(name)));
    const std::string crlHeader =
        "{\"Version\":0,\"ContentType\":\"CRLSet\",\"Sequence\":6498,\"NumParents\":0}";
    writeSampleFile(base / "CertificateRevocation/6498/crl-set",
                    static_cast<char>(crlHeader.size()) + std::string(1, '\0') + crlHeader);
}

void writeOpera(const SampleMachine& m) {
    const fs::path base = m.roaming() / "Opera Software";
    // Opera Stable keeps its one profile's files beside Local State.
    writeSampleFile(base / "Opera Stable/Local State", localState("opera", {}));
    writeChromiumProfile(base / "Opera Stable", "opera/stable", "Person 1", true);
    writeSampleFile(base / "Opera Stable/History-journal", "");
    writeSampleFile(m.local() / "Opera Software/Opera Stable/Cache/Cache_Data/data_0",
                    std::string(64, '\x02'));
    // Opera GX keeps them in a "Default" profile folder.
    writeSampleFile(base / "Opera GX Stable/Local State", localState("opera-gx", {{"Default", "Person 1"}}));
    writeChromiumProfile(base / "Opera GX Stable/Default", "opera-gx/default", "Person 1", true);
}

}  // namespace

void writeTodaysBrowsers(const SampleMachine& machine) {
    writeFirefox(machine);
    writeFlock(machine);
    writeChromium(machine, "chrome", "Google/Chrome/User Data");
    writeChromium(machine, "edge", "Microsoft/Edge/User Data");
    writeChromium(machine, "brave", "BraveSoftware/Brave-Browser/User Data");
    writeChromium(machine, "vivaldi", "Vivaldi/User Data");
    writeChromium(machine, "chromium", "Chromium/User Data");
    writeOpera(machine);
}

}  // namespace kelvora::tools
