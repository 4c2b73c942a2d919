// The sample machine: its layout per version and its SQLite files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;

unsigned be32(const std::string& data, std::size_t at) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
}

TEST(SampleMachine, SqliteFilesFollowTheFileFormat) {
    const std::string db = tools::sqliteDatabase(
        {{"moz_places", {"url", "title"}, {{"http://www.example.org/", "Example"}, {"http://a/", "A"}}},
         {"moz_bookmarks", {"title"}, {}}});
    ASSERT_EQ(db.size(), 3u * 4096u);
    EXPECT_EQ(db.substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(static_cast<unsigned char>(db[16]) << 8 | static_cast<unsigned char>(db[17]), 4096);
    EXPECT_EQ(be32(db, 28), 3u);  // pages in the file
    EXPECT_EQ(db[100], 0x0D);     // the schema: a table leaf page
    EXPECT_EQ(db[104], 2);        // two tables
    EXPECT_NE(db.find("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT)"),
              std::string::npos);
    EXPECT_EQ(db[4096], 0x0D);
    EXPECT_EQ(db[4096 + 4], 2);  // two rows
    EXPECT_EQ(db[8192 + 4], 0);  // no rows
}

TEST(SampleMachine, LayoutFollowsTheVersion) {
    TempDir tmp;
    const auto xp = tools::buildSampleMachine(tmp / "xp", {"5", "bob"});
    const auto vista = tools::buildSampleMachine(tmp / "vista", {"6", "bob"});
    EXPECT_TRUE(
        fs::exists(tmp / "xp/Documents and Settings/bob/Application Data/Mozilla/Firefox/profiles.ini"));
    EXPECT_TRUE(fs::exists(tmp / "vista/Users/bob/AppData/Roaming/Mozilla/Firefox/profiles.ini"));
    // Opera 9 on XP keeps a "profile" subfolder, Opera 10 on Vista doesn't.
    EXPECT_TRUE(fs::exists(xp.roaming() / "Opera/Opera/profile/speeddial.ini"));
    EXPECT_TRUE(fs::exists(vista.roaming() / "Opera/Opera/speeddial.ini"));
    EXPECT_TRUE(fs::exists(vista.local() / "Google/Chrome/User Data/Profile 1/Bookmarks"));
    EXPECT_FALSE(fs::exists(vista.local() / "Microsoft/Edge"));  // today's browsers only on request
    EXPECT_EQ(vista.facts().windoze, "6");
    EXPECT_EQ(xp.facts().uzer, "bob");
    EXPECT_THROW(tools::buildSampleMachine(tmp / "other", {"7", "bob"}), std::runtime_error);
}

// The value of `key` in `section` of an INI text; empty when missing.
std::string iniValue(const std::string& text, const std::string& section, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (line.starts_with('['))
            inSection = line == "[" + section + "]";
        else if (inSection && line.starts_with(key + "="))
            return line.substr(key.size() + 1);
    }
    return {};
}

// Today's profile files: those the browsers' items carry and a few they leave behind.
const std::vector<std::string> kMozillaFiles{
    "prefs.js",
    "user.js",
    "places.sqlite",
    "favicons.sqlite",
    "bookmarkbackups/bookmarks-2026-12-01_12_abc.jsonlz4",
    "cookies.sqlite",
    "formhistory.sqlite",
    "logins.json",
    "logins-backup.json",
    "key4.db",
    "cert9.db",
    "cert_override.txt",
    "pkcs11.txt",
    "permissions.sqlite",
    "content-prefs.sqlite",
    "search.json.mozlz4",
    "sessionstore.jsonlz4",
    "sessionstore-backups/recovery.jsonlz4",
    "sessionstore-backups/previous.jsonlz4",
    "extensions.json",
    "addonStartup.json.lz4",
    "extension-preferences.json",
    "extension-settings.json",
    "browser-extension-data/{446900e4-71c2-419f-a6a7-df9c091e268b}/storage.js",
    "extensions/{446900e4-71c2-419f-a6a7-df9c091e268b}.xpi",
    "handlers.json",
    "xulstore.json",
    "containers.json",
    "chrome/userChrome.css",
    "persdict.dat",
    "places.sqlite-wal",
    "times.json",
    "compatibility.ini"};
const std::vector<std::string> kChromiumFiles{
    "Preferences",
    "Secure Preferences",
    "History",
    "Favicons",
    "Shortcuts",
    "Top Sites",
    "Visited Links",
    "Web Data",
    "Login Data",
    "Login Data For Account",
    "Network/Cookies",
    "Network/TransportSecurity",
    "Sessions/Session_13300000000000000",
    "Sessions/Tabs_13300000000000000",
    "Extensions/cjpalhdlnbpafiamejdnhcphjbkeiagm/1.0_0/manifest.json",
    "Local Extension Settings/cjpalhdlnbpafiamejdnhcphjbkeiagm/000003.log",
    "Extension State/CURRENT"};
const std::vector<std::string> kChromiumUserData{"Google/Chrome/User Data", "Microsoft/Edge/User Data",
                                                 "BraveSoftware/Brave-Browser/User Data", "Vivaldi/User Data",
                                                 "Chromium/User Data"};
const std::vector<std::string> kSqliteNames{
    "History", "Favicons", "Shortcuts", "Top Sites", "Web Data", "Login Data", "Login Data For Account",
    "Cookies"};

TEST(SampleMachine, TodaysLayoutForBothVersions) {
    for (const std::string version : {"5", "6"}) {
        SCOPED_TRACE("Windows " + version);
        TempDir tmp;
        const auto m = tools::buildSampleMachine(tmp / "machine", {version, "ann", true});
        const fs::path firefox = m.roaming() / "Mozilla/Firefox";

        // The install section names the default, not the old Default=1 marker.
        const std::string ini = readFile(firefox / "profiles.ini");
        const std::string installDefault = iniValue(ini, "Install308046B0AF4A39CB", "Default");
        EXPECT_EQ(installDefault, "Profiles/q1w2e3r4.default-release");
        EXPECT_EQ(iniValue(readFile(firefox / "installs.ini"), "308046B0AF4A39CB", "Default"),
                  installDefault);
        EXPECT_NE(iniValue(ini, "Profile1", "Path"), installDefault);
        EXPECT_EQ(iniValue(ini, "Profile1", "Default"), "1");
        // The absolute profile resolves, through the machine, to a folder in the user's tree.
        ASSERT_EQ(iniValue(ini, "Profile2", "IsRelative"), "0");
        m.activate();
        const fs::path portable = platform::nativePath(iniValue(ini, "Profile2", "Path"));
        EXPECT_EQ(portable.lexically_relative(m.home()).begin()->string(),
                  version == "5" ? "My Documents" : "Documents");

        // Every profile holds today's files, each with contents of its own.
        std::map<std::string, std::vector<fs::path>> families{
            {"mozilla",
             {firefox / installDefault, firefox / "Profiles/z9x8c7v6.default", portable,
              m.roaming() / "Flock/Browser/Profiles/k3j4h5g6.default"}},
            {"chromium",
             {m.roaming() / "Opera Software/Opera Stable",
              m.roaming() / "Opera Software/Opera GX Stable/Default"}}};
        for (const auto& userData : kChromiumUserData) {
            for (const char* profile : {"Default", "Profile 1"})
                families["chromium"].push_back(m.local() / userData / profile);
            EXPECT_TRUE(fs::exists(m.local() / userData / "Local State")) << userData;
            EXPECT_TRUE(fs::exists(m.local() / userData / "Default/Bookmarks")) << userData;
            EXPECT_FALSE(fs::exists(m.local() / userData / "Profile 1/Bookmarks"))
                << userData;  // a new profile
            EXPECT_TRUE(fs::exists(m.local() / userData / "Crashpad/settings.dat")) << userData;
            EXPECT_TRUE(fs::exists(m.local() / userData / "CertificateRevocation/6498/crl-set")) << userData;
            EXPECT_FALSE(fs::exists(m.local() / userData / "Crashpad/Preferences")) << userData;
        }
        for (const auto& [family, profiles] : families) {
            for (const auto& file : family == "mozilla" ? kMozillaFiles : kChromiumFiles) {
                std::set<std::string> contents;
                for (const auto& profile : profiles) {
                    ASSERT_TRUE(fs::is_regular_file(profile / file)) << (profile / file);
                    contents.insert(readFile(profile / file));
                }
                EXPECT_EQ(contents.size(), profiles.size()) << file << " is the same in two profiles";
            }
        }
        const std::string localState = readFile(m.local() / "Google/Chrome/User Data/Local State");
        for (const char* text : {"\"info_cache\"", "\"Person 1\"", "\"Work\"", "\"encrypted_key\""})
            EXPECT_NE(localState.find(text), std::string::npos) << text;
        // Opera Stable keeps its profile beside Local State, Opera GX in "Default".
        EXPECT_TRUE(fs::exists(m.roaming() / "Opera Software/Opera Stable/Local State"));
        EXPECT_FALSE(fs::exists(m.roaming() / "Opera Software/Opera Stable/Default"));
        EXPECT_TRUE(fs::exists(m.roaming() / "Opera Software/Opera GX Stable/Local State"));
        // Files no item carries, and the browsers that stay as they were.
        for (const fs::path& path :
             {m.local() / "Mozilla/Firefox/Profiles/q1w2e3r4.default-release/cache2/entries",
              firefox / installDefault / "storage/default",
              m.local() / "Google/Chrome/User Data/Default/History-journal",
              m.local() / "Google/Chrome/User Data/Default/Cache/Cache_Data/data_0",
              m.roaming() / "Apple Computer/Safari/Bookmarks.plist"})
            EXPECT_TRUE(fs::exists(path)) << path;
#ifndef _WIN32
        // The registry is a machine folder's NTUSER.DAT only on POSIX.
        EXPECT_TRUE(fs::exists(m.home() / "NTUSER.DAT"));
#endif
        EXPECT_GT(fs::file_size(firefox / installDefault / "places.sqlite-wal"), 0u);
        EXPECT_TRUE(fs::exists(m.roaming() / (version == "5" ? "Opera/Opera/profile" : "Opera/Opera") /
                               "speeddial.ini"));
        EXPECT_FALSE(fs::exists(firefox / "Profiles/abcd1234.default"));  // no 2010 profile

        // Every SQLite file of the machine is one.
        int databases = 0;
        for (const auto& entry : fs::recursive_directory_iterator(m.root)) {
            const auto name = entry.path().filename().string();
            const auto ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".sqlite" || ext == ".db" ||
                                            std::ranges::find(kSqliteNames, name) != kSqliteNames.end())) {
                ++databases;
                EXPECT_EQ(readFile(entry.path()).substr(0, 16), std::string("SQLite format 3\0", 16))
                    << entry.path();
            }
        }
        EXPECT_GT(databases, 100);
    }
}

}  // namespace
}  // namespace kelvora::test
