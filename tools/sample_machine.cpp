#include "tools/sample_machine.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>

#include "platform/platform.h"

namespace kelvora::tools {

namespace fs = std::filesystem;

namespace {

// ---- SQLite file format -------------------------------------------------------------------

constexpr std::size_t kPageSize = 4096;

void putVarint(std::string& out, std::uint64_t value) {
    // Big-endian groups of seven bits, high bit set on all but the last (values here stay small).
    char bytes[10];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    for (int i = n - 1; i >= 0; --i)
        out += static_cast<char>(bytes[i] | (i > 0 ? 0x80 : 0));
}

std::size_t varintSize(std::uint64_t value) {
    std::string s;
    putVarint(s, value);
    return s.size();
}

struct Value {
    bool isNull = false;
    bool isInt = false;
    std::int64_t number = 0;
    std::string text;
};

std::string record(const std::vector<Value>& values) {
    std::string types;
    std::string body;
    for (const auto& v : values) {
        if (v.isNull) {
            putVarint(types, 0);
        } else if (v.isInt) {
            putVarint(types, 4);  // 32-bit big-endian integer
            for (int shift = 24; shift >= 0; shift -= 8)
                body += static_cast<char>((v.number >> shift) & 0xFF);
        } else {
            putVarint(types, v.text.size() * 2 + 13);
            body += v.text;
        }
    }
    std::size_t headerSize = types.size() + 1;
    while (varintSize(headerSize) + types.size() != headerSize)
        ++headerSize;
    std::string out;
    putVarint(out, headerSize);
    return out + types + body;
}

void put16(std::string& page, std::size_t at, std::size_t value) {
    page[at] = static_cast<char>((value >> 8) & 0xFF);
    page[at + 1] = static_cast<char>(value & 0xFF);
}

void put32(std::string& page, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        page[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

// A table b-tree leaf page holding `records` as rows 1..n; `offset` is where its header starts
// (100 on the first page, after the file header).
std::string leafPage(const std::vector<std::string>& records, std::size_t offset) {
    std::string page(kPageSize, '\0');
    std::size_t contentStart = kPageSize;
    const std::size_t pointers = offset + 8;
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::string cell;
        putVarint(cell, records[i].size());
        putVarint(cell, i + 1);
        cell += records[i];
        if (records[i].size() > kPageSize - 35 || contentStart < pointers + 2 * records.size() + cell.size())
            throw std::runtime_error("sample database table does not fit into one page");
        contentStart -= cell.size();
        page.replace(contentStart, cell.size(), cell);
        put16(page, pointers + 2 * i, contentStart);
    }
    page[offset] = 0x0D;  // leaf page of a table b-tree
    put16(page, offset + 3, records.size());
    put16(page, offset + 5, contentStart == 65536 ? 0 : contentStart);
    return page;
}

// ---- Files --------------------------------------------------------------------------------

struct Writer {
    fs::path base;
    void operator()(const std::string& relative, const std::string& contents) const {
        writeSampleFile(base / fs::path(relative), contents);
    }
};

// Firefox and Flock share their profile files; Flock adds its own databases.
void writeMozillaProfile(const fs::path& dir, const std::string& owner, bool flock) {
    const Writer w{dir};
    w("prefs.js",
      "# Mozilla User Preferences\n\n"
      "user_pref(\"browser.startup.homepage\", \"http://www.example.org/" +
          owner +
          "\");\n"
          "user_pref(\"browser.download.dir\", \"C:\\\\Downloads\");\n"
          "user_pref(\"network.cookie.lifetimePolicy\", 0);\n");
    w("user.js", "user_pref(\"browser.tabs.warnOnClose\", false);\n");
    w("search.rdf",
      "<?xml version=\"1.0\"?>\n<RDF:RDF xmlns:RDF=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>\n");
    w("search.sqlite",
      sqliteDatabase({{"engine_data", {"engineid", "name", "value"}, {{"[app]/google.xml", "order", "1"}}}}));
    w("searchplugins/example-search.xml",
      "<SearchPlugin xmlns=\"http://www.mozilla.org/2006/browser/search/\">\n"
      "<ShortName>Example</ShortName>\n<Url type=\"text/html\" "
      "template=\"http://search.example.org/?q={searchTerms}\"/>\n"
      "</SearchPlugin>\n");
    w("chrome/userChrome.css", "#urlbar { font-size: 12pt !important; }\n");
    w("chrome/userContent.css", "a:visited { color: purple !important; }\n");
    w("sessionstore.js",
      "({\"windows\":[{\"tabs\":[{\"entries\":[{\"url\":\"http://www.example.org/\"}]}]}]})");
    w("persdict.dat", "Kelvora\nfirefox\nthunderbird\n");
    w("localstore.rdf",
      "<?xml version=\"1.0\"?>\n<RDF:RDF xmlns:NC=\"http://home.netscape.com/NC-rdf#\">\n"
      "<RDF:Description RDF:about=\"chrome://browser/content/browser.xul#main-window\" width=\"1024\" "
      "height=\"740\"/>\n</RDF:RDF>\n");
    w("bookmarks.html",
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
      "<DT><A HREF=\"http://www.example.org/\">Example</A>\n</DL><p>\n");
    w("places.sqlite",
      sqliteDatabase({{"moz_places",
                       {"url", "title", "rev_host"},
                       {{"http://www.example.org/", "Example", "gro.elpmaxe.www."},
                        {"http://www.mozilla.com/firefox/", "Firefox", "moc.allizom.www."}}},
                      {"moz_bookmarks", {"fk", "title"}, {{"1", "Example"}, {"2", "Firefox"}}}}));
    w("cookies.sqlite", sqliteDatabase({{"moz_cookies",
                                         {"name", "value", "host", "path"},
                                         {{"session", owner + "-4f2a", ".example.org", "/"}}}}));
    w("downloads.sqlite",
      sqliteDatabase(
          {{"moz_downloads",
            {"name", "source", "target"},
            {{"setup.exe", "http://www.example.org/setup.exe", "file:///C:/Downloads/setup.exe"}}}}));
    w("mimeTypes.rdf", "<?xml version=\"1.0\"?>\n<RDF:RDF xmlns:NC=\"http://home.netscape.com/NC-rdf#\"/>\n");
    w("formhistory.sqlite",
      sqliteDatabase({{"moz_formhistory", {"fieldname", "value"}, {{"searchbar-history", "kelvora"}}}}));
    w("key3.db", std::string("\0\x06\x15\x61", 4) + std::string(252, '\x5a'));
    w("signons.sqlite",
      sqliteDatabase(
          {{"moz_logins",
            {"hostname", "encryptedUsername", "encryptedPassword"},
            {{"http://mail.example.org", "MDIEEPgAAAAAAAAAAAAAAAAAAAEwFAYIKoZIhvcNAwcECF", "MDoEEPgAAA"}}}}));
    w("hostperm.1", "# Permission File\nhost\tcookie\t1\texample.org\n");
    w("content-prefs.sqlite",
      sqliteDatabase({{"prefs", {"groupID", "settingID", "value"}, {{"1", "1", "1.2"}}}}));
    // A file no item carries: it must stay out of a selective archive.
    w("cert8.db", std::string(512, '\x11'));
    // Carried by "Site(s) preferences" since Firefox keeps its site permissions here.
    w("permissions.sqlite", sqliteDatabase({{"moz_hosts", {"host", "type"}, {{"example.org", "popup"}}}}));
    w("extensions/{972ce4c6-7e08-4474-a285-3208198ce6fd}/install.rdf",
      "<?xml version=\"1.0\"?>\n<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>\n");
    w("extensions/{d10d0bf8-f5b5-c8b4-a8b2-2b9879e08c5d}/chrome.manifest",
      "content adblockplus jar:chrome/adblockplus.jar!/content/\n");
    // Flock, built on Firefox 3, keeps the same add-on files; its "Extensions" item leaves them out.
    w("addons.sqlite", sqliteDatabase({{"addon", {"addonId", "name"}, {{"{d10d0bf8}", "Adblock Plus"}}}}));
    w("adblockplus/patterns.ini", "# Adblock Plus preferences\nversion=3\n[Subscription]\nurl=~user~\n");
    if (flock) {
        w("extensions.ini", "[ExtensionDirs]\nExtension0=C:\\Flock\\extensions\\flock-theme\n");
        w("flock-data.sqlite", sqliteDatabase({{"accounts", {"service", "account"}, {{"flickr", owner}}}}));
        w("webdetective.sqlite", sqliteDatabase({{"detectives", {"service", "version"}, {{"flickr", "3"}}}}));
        w("feedcontent.sqlite",
          sqliteDatabase({{"feeds", {"url", "title"}, {{"http://blog.example.org/rss", "Example blog"}}}}));
    } else {
        w("extensions.ini",
          "[ExtensionDirs]\nExtension0=C:\\Firefox\\extensions\\{972ce4c6-7e08-4474-a285-3208198ce6fd}\n");
        w("lightweighttheme-header", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\x42'));
        w("lightweighttheme-footer", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(48, '\x24'));
        w("stylish.sqlite",
          sqliteDatabase({{"styles", {"name", "code"}, {{"Dark", "body{background:#111}"}}}}));
    }
}

void writeFirefox(const SampleMachine& m) {
    const fs::path base = m.roaming() / "Mozilla/Firefox";
    writeSampleFile(base / "profiles.ini",
                    "[General]\nStartWithLastProfile=1\n\n"
                    "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/abcd1234.default\nDefault=1\n\n"
                    "[Profile1]\nName=work\nIsRelative=1\nPath=Profiles/wxyz5678.work\n");
    writeMozillaProfile(base / "Profiles/abcd1234.default", m.user, false);
    writeMozillaProfile(base / "Profiles/wxyz5678.work", m.user + "-work", false);
    // The cache lives in the local folder and is no item.
    writeSampleFile(m.local() / "Mozilla/Firefox/Profiles/abcd1234.default/Cache/_CACHE_MAP_",
                    std::string(64, '\0'));
}

void writeFlock(const SampleMachine& m) {
    const fs::path base = m.roaming() / "Flock/Browser";
    writeSampleFile(base / "profiles.ini",
                    "[General]\nStartWithLastProfile=1\n\n"
                    "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/k3j4h5g6.default\nDefault=1\n\n"
                    "[Profile1]\nName=social\nIsRelative=1\nPath=Profiles/p9q8r7s6.social\n");
    writeMozillaProfile(base / "Profiles/k3j4h5g6.default", m.user, true);
    writeMozillaProfile(base / "Profiles/p9q8r7s6.social", m.user + "-social", true);
}

void writeChromeProfile(const fs::path& dir, const std::string& name) {
    const Writer w{dir};
    w("Bookmarks",
      "{\n   \"checksum\": \"2a8f5c3b\",\n   \"roots\": {\n      \"bookmark_bar\": {\n         \"children\": "
      "[ {\n"
      "            \"name\": \"Example (" +
          name +
          ")\",\n            \"type\": \"url\",\n"
          "            \"url\": \"http://www.example.org/\"\n         } ],\n         \"name\": \"Bookmarks "
          "bar\",\n"
          "         \"type\": \"folder\"\n      }\n   },\n   \"version\": 1\n}\n");
    w("Cookies",
      sqliteDatabase(
          {{"cookies", {"host_key", "name", "value", "path"}, {{".example.org", "sid", name, "/"}}}}));
    w("Current Session", std::string("SNSS\x01\0\0\0", 8) + std::string(40, '\x07'));
    w("Current Tabs", std::string("SNSS\x01\0\0\0", 8) + std::string(24, '\x03'));
    w("Extension Cookies",
      sqliteDatabase({{"cookies", {"host_key", "name", "value"}, {{"abc", "pref", "1"}}}}));
    w("History",
      sqliteDatabase(
          {{"urls", {"url", "title", "visit_count"}, {{"http://www.example.org/", "Example", "4"}}},
           {"visits", {"url", "visit_time"}, {{"1", "12912345678901234"}}}}));
    w("Archived History", sqliteDatabase({{"urls", {"url", "title"}, {{"http://old.example.org/", "Old"}}}}));
    w("History-journal", "");  // SQLite leaves an empty journal behind
    w("Last Session", std::string("SNSS\x01\0\0\0", 8) + std::string(32, '\x09'));
    w("Last Tabs", std::string("SNSS\x01\0\0\0", 8) + std::string(16, '\x0a'));
    w("Preferences",
      "{\n   \"homepage\": \"http://www.example.org/\",\n   \"profile\": {\n      \"name\": \"" + name +
          "\"\n   }\n}\n");
    w("QuotaManager", sqliteDatabase({{"HostQuotaTable", {"host", "quota"}, {{"example.org", "5242880"}}}}));
    w("TransportSecurity", "{\n   \"LXN5ZXRjaGVjaw==\": {\n      \"mode\": \"strict\"\n   }\n}\n");
    w("Thumbnails", sqliteDatabase({{"thumbnails", {"url_id", "boring_score"}, {{"1", "0.5"}}}}));
    w("Visited Links", std::string("VLnk\0\0\0\0", 8) + std::string(120, '\0') + "\x01\x10");
    w("Login Data",
      sqliteDatabase({{"logins", {"origin_url", "username_value"}, {{"http://mail.example.org/", name}}}}));
    w("Web Data", sqliteDatabase({{"autofill", {"name", "value"}, {{"email", "ann@example.org"}}}}));
    w("Web Data-journal", "");
    w("Top Sites", sqliteDatabase({{"thumbnails", {"url", "url_rank"}, {{"http://www.example.org/", "0"}}}}));
    w("Extensions/aapocclcgogkmnckokdopfmhonfmgoek/0.0.0.7_0/manifest.json",
      "{ \"name\": \"Sample extension\", \"version\": \"0.0.0.7\" }\n");
    w("Plugin Data/Google Gears/localhost/http_80/permissions.db",
      sqliteDatabase({{"Access", {"Name", "Value"}, {{"http://localhost", "1"}}}}));
    w("Cache/data_0", std::string(256, '\x01'));  // never carried by an item
}

void writeChrome(const SampleMachine& m) {
    const fs::path base = m.local() / "Google/Chrome/User Data";
    writeSampleFile(base / "Local State", "{ \"profile\": { \"info_cache\": {} } }\n");
    writeChromeProfile(base / "Default", "Default");
    writeChromeProfile(base / "Profile 1", "Profile 1");
}

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

void writeSafari(const SampleMachine& m) {
    const fs::path apple = m.roaming() / "Apple Computer";
    const Writer w{apple / "Safari"};
    w("Bookmarks.plist", plist("<dict><key>Title</key><string>Example</string><key>URLString</key>"
                               "<string>http://www.example.org/</string></dict>"));
    w("Downloads.plist", plist("<dict><key>DownloadHistory</key><array/></dict>"));
    w("Form Values.plist", plist("<dict><key>email</key><string>ann@example.org</string></dict>"));
    w("History.plist", plist("<dict><key>WebHistoryDates</key><array><dict><key>lastVisitedDate</key>"
                             "<string>312312312.5</string></dict></array></dict>"));
    w("LastSession.plist", plist("<dict><key>SessionWindows</key><array/></dict>"));
    w("TopSites.plist", plist("<dict><key>TopSites</key><array/></dict>"));
    w("Cookies/Cookies.plist",
      plist("<array><dict><key>Domain</key><string>.example.org</string></dict></array>"));
    w("PubSub/Database/Database.sqlite3",
      sqliteDatabase({{"Feeds", {"url", "title"}, {{"http://blog.example.org/rss", "Example blog"}}}}));
    w("WebpageIcons.db", sqliteDatabase({{"IconInfo", {"url"}, {{"http://www.example.org/favicon.ico"}}}}));
    writeSampleFile(apple / "Preferences/com.apple.Safari.plist",
                    plist("<dict><key>HomePage</key><string>http://www.example.org/</string></dict>"));
    writeSampleFile(m.local() / "Apple Computer/Safari/Cache.db",
                    sqliteDatabase({{"cfurl_cache_response", {"request_key"}, {{"x"}}}}));
}

void writeOperaProfile(const fs::path& dir, const SampleMachine& m) {
    const Writer w{dir};
    w("opera6.adr", "Opera Hotlist version 2.0\n\n#URL\n\tNAME=Example\n\tURL=http://www.example.org/\n");
    w("bookmarks.adr", "Opera Hotlist version 2.0\n\n#URL\n\tNAME=Opera\n\tURL=http://www.opera.com/\n");
    w("sessions/autosave.win", "Opera Preferences version 2.1\n\n[session]\nversion=7000\nwindow count=1\n");
    w("skin/standard_skin.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    w("toolbar/standard_toolbar.ini", "Opera Preferences version 2.1\n\n[Info]\nName=Standard\n");
    w("keyboard/standard_keyboard.ini", "Opera Preferences version 2.1\n\n[Info]\nName=Standard\n");
    w("menu/standard_menu.ini", "Opera Preferences version 2.1\n\n[Info]\nName=Standard\n");
    w("mouse/standard_mouse.ini", "Opera Preferences version 2.1\n\n[Info]\nName=Standard\n");
    w("mail/accounts.ini", "Opera Preferences version 2.1\n\n[Accounts]\nCount=1\n");
    w("opcacrt6.dat", std::string(200, '\x30'));
    w("opcert6.dat", std::string(120, '\x31'));
    w("contacts.adr", "Opera Hotlist version 2.0\n\n#CONTACT\n\tNAME=Bob\n\tMAIL=bob@example.org\n");
    w("cookies4.dat", std::string("\0\0\x10\0\0\0\0\x02", 8) + std::string(60, '\x13'));
    w("download.dat", std::string(40, '\x14'));
    w("global.dat", "Example\nhttp://www.example.org/\n1291234567\n-1\n");
    w("global_history.dat", "Example\nhttp://www.example.org/\n1291234567\n-1\n");
    w("typed_history.xml",
      "<?xml version=\"1.0\"?>\n<typed_history>\n<typed_history_item "
      "content=\"example.org\"/>\n</typed_history>\n");
    w("notes.adr", "Opera Hotlist version 2.0\n\n#NOTE\n\tNAME=Remember the milk\n");
    const std::string prefsHeader =
        "Opera Preferences version 2.1\n; Do not edit this file while Opera is running\n\n";
    w("operaprefs.ini", prefsHeader +
                            "[User Prefs]\nHot List File Ver2=" + m.windowsPath(dir / "bookmarks.adr") +
                            "\nLanguage File=C:\\Program Files\\Opera\\locale\\en\\en.lng\n");
    w("speeddial.ini", prefsHeader + "[Speed Dial 1]\nTitle=Example\nUrl=http://www.example.org/\n");
    w("search.ini", prefsHeader + "[Search Engine 1]\nName=Example\nURL=http://search.example.org/?q=%s\n");
    w("override_downloaded.ini", prefsHeader + "[Overrides]\n");
    w("urlfilter.ini", prefsHeader + "[prefs]\nprioritize excludelist=1\n[include]\n*\n[exclude]\n");
    w("tasks.xml", "<?xml version=\"1.0\"?>\n<tasks/>\n");
    w("dictionaries/en.dic", "3\nhello\nworld\nopera\n");
    w("vlink4.dat", std::string(80, '\x15'));
    w("wand.dat", std::string(96, '\x16'));
    w("widgets/widgets.dat", "<?xml version=\"1.0\"?>\n<widgets/>\n");
    w("cache/dcache4.url", std::string(32, '\x17'));  // never carried by an item
}

void writeOpera(const SampleMachine& m) {
    // Opera 9 on XP keeps its data in a "profile" subfolder; Opera 10 on Vista and 7 keeps it flat.
    const fs::path install = m.roaming() / "Opera/Opera";
    writeOperaProfile(m.version == "5" ? install / "profile" : install, m);
    writeSampleFile(m.local() / "Opera/Opera/mail/store/2010/12/01/1.mbs",
                    "From: bob@example.org\r\nSubject: Hello\r\n\r\nHello Ann.\r\n");
    writeSampleFile(m.local() / "Opera/Opera/mail/index.ini", "Opera Preferences version 2.1\n\n[Indexes]\n");
}

std::string toWindows(std::string text) {
    for (char& c : text) {
        if (c == '/')
            c = '\\';
    }
    return text;
}

}  // namespace

std::string sqliteDatabase(const std::vector<SqliteTable>& tables) {
    std::vector<std::string> master;
    std::vector<std::string> pages;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const auto& table = tables[t];
        std::string sql = "CREATE TABLE " + table.name + " (id INTEGER PRIMARY KEY";
        for (const auto& column : table.columns)
            sql += ", " + column + " TEXT";
        sql += ")";
        Value rootPage;
        rootPage.isInt = true;
        rootPage.number = static_cast<std::int64_t>(t + 2);
        master.push_back(record({{false, false, 0, "table"},
                                 {false, false, 0, table.name},
                                 {false, false, 0, table.name},
                                 rootPage,
                                 {false, false, 0, sql}}));
        std::vector<std::string> rows;
        for (const auto& row : table.rows) {
            if (row.size() != table.columns.size())
                throw std::logic_error("sample table row does not match its columns");
            std::vector<Value> values{{true, false, 0, {}}};  // the id is the row id
            for (const auto& cell : row)
                values.push_back({false, false, 0, cell});
            rows.push_back(record(values));
        }
        pages.push_back(leafPage(rows, 0));
    }

    std::string first = leafPage(master, 100);
    const std::string magic("SQLite format 3\0", 16);
    first.replace(0, 16, magic);
    put16(first, 16, kPageSize);
    first[18] = 1;  // file format write version (legacy)
    first[19] = 1;  // read version
    first[20] = 0;  // reserved bytes per page
    first[21] = 64;
    first[22] = 32;
    first[23] = 32;
    put32(first, 24, 1);                                             // file change counter
    put32(first, 28, static_cast<std::uint32_t>(pages.size() + 1));  // size in pages
    put32(first, 40, 1);                                             // schema cookie
    put32(first, 44, 4);                                             // schema format
    put32(first, 56, 1);                                             // UTF-8
    put32(first, 92, 1);                                             // version-valid-for
    put32(first, 96, 3040001);                                       // SQLite 3.40.1

    std::string file = first;
    for (const auto& page : pages)
        file += page;
    return file;
}

void writeSampleFile(const fs::path& path, const std::string& contents) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

fs::path SampleMachine::home() const {
    if (isLive())
        return liveHome();
    return root / (version == "5" ? "Documents and Settings" : "Users") / user;
}

fs::path SampleMachine::roaming() const {
    return version == "5" ? home() / "Application Data" : home() / "AppData" / "Roaming";
}

fs::path SampleMachine::local() const {
    return version == "5" ? home() / "Local Settings" / "Application Data" : home() / "AppData" / "Local";
}

std::string SampleMachine::windowsPath(const fs::path& native) const {
    const std::string relative = toWindows(native.lexically_relative(root).generic_string());
    const std::string drive = platform::usesMachineFolder() ? "C:" : toWindows(root.string());
    return relative.empty() || relative == "." ? drive : drive + "\\" + relative;
}

browsers::EnvironmentFacts SampleMachine::facts() const {
    browsers::EnvironmentFacts f;
    f.uzer = user;
    f.drv = windowsPath(root);
    f.sfp = windowsPath(roaming());
    f.loc = windowsPath(local());
    f.windoze = version;
    return f;
}

void SampleMachine::activate() const {
    if (platform::usesMachineFolder())
        platform::setMachine({root.string(), user, version, {}});
}

SampleMachine buildSampleMachine(const fs::path& root, const SampleMachineOptions& options) {
    if (options.version != "5" && options.version != "6")
        throw std::runtime_error("the sample machine is Windows version 5 or 6, not " + options.version);
    SampleMachine m{fs::absolute(root), options.user, options.version};
    fs::create_directories(m.home());
    fs::create_directories(root / "WINDOWS" / "system32");
    if (options.today) {
        writeTodaysBrowsers(m);
    } else {
        writeFirefox(m);
        writeFlock(m);
        writeChrome(m);
    }
    writeSafari(m);
    writeOpera(m);
    writeInternetExplorerData(m);
    return m;
}

}  // namespace kelvora::tools
