// The browsers with profiles in folders, as data.
#include "browsers/browser.h"

#include <stdexcept>

#include "core/core.h"
#include "core/text.h"
#include "platform/platform.h"

namespace kelvora::browsers {

namespace {

using Rows = std::vector<ItemRow>;

// The four candidates most browsers use, for a data folder `suffix` below the application-data
// folders. For version "5" Firefox and Flock search "Local Settings" before "Application Data";
// Chrome and Safari the other way round. Version "6" searches Local before Roaming for all.
std::vector<CandidateFolder> fourCandidates(const std::string& suffix, bool localFirstForFive) {
    const std::string xpLocal =
        "{drv}\\Documents and Settings\\{uzer}\\Local Settings\\Application Data" + suffix;
    const std::string xpRoaming = "{drv}\\Documents and Settings\\{uzer}\\Application Data" + suffix;
    return {
        {"{sfp}" + suffix, "{sfp}" + suffix, true},
        {localFirstForFive ? xpLocal : xpRoaming, "{drv}\\Users\\{uzer}\\AppData\\Local" + suffix, false},
        {localFirstForFive ? xpRoaming : xpLocal, "{drv}\\Users\\{uzer}\\AppData\\Roaming" + suffix, false},
        {"{loc}" + suffix, "{loc}" + suffix, false},
    };
}

// The restore table: the backup table's rows in another order, each with its restore step.
Rows reorder(const Rows& backup, const std::vector<std::pair<std::string, int>>& order) {
    Rows out;
    for (const auto& [caption, step] : order) {
        for (const auto& row : backup) {
            if (row.caption == caption) {
                out.push_back(row);
                out.back().step = step;
            }
        }
    }
    if (out.size() != order.size())
        throw std::logic_error("restore table names an unknown item");
    return out;
}

// Restore in the backup order, with other steps where given.
Rows withSteps(const Rows& backup, const std::vector<int>& steps) {
    Rows out = backup;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i].step = steps.at(i);
    return out;
}

std::vector<TickBoxInfo> boxes(std::initializer_list<std::pair<const char*, const char*>> list) {
    std::vector<TickBoxInfo> out;
    for (const auto& [name, caption] : list)
        out.push_back({name, caption, true});
    return out;
}

// The window texts and the full archive's name follow from the name and the keyword.
void fillTexts(Browser& b) {
    b.backupCaption = "Backup " + b.name + " Web Browser";
    b.restoreCaption = "Restore " + b.name + " Web Browser";
    b.backupTitle = "Welcome to " + b.name + " Backup Wizard";
    b.restoreTitle = "Welcome to " + b.name + " Restore Wizard";
    b.fullBackupTitle = "Welcome to " + b.name + " Full Backup Wizard";
    b.fullRestoreTitle = "Welcome to " + b.name + " Full Restore Wizard";
    b.fullArchiveName = "allsave_" + b.keyword + ".dat";
}

// Firefox's rows; Flock shares most of them. Each row keeps the file names of 2010's Firefox, so an
// old profile still restores, and adds those of today's.
ItemRow ffRow(const char* caption, std::vector<std::string> files, std::vector<std::string> folders = {},
              int step = 5) {
    return {caption, std::move(files), std::move(folders), step, ItemPlace::Profile, false};
}

const std::vector<std::string> kFfPasswords = {
    "key3.db", "signons2.txt", "signons3.txt",      "signons.sqlite", "logins.json", "logins-backup.json",
    "key4.db", "cert9.db",     "cert_override.txt", "pkcs11.txt"};

// The rows Firefox and Flock share, by caption.
ItemRow mozillaRow(const std::string& caption) {
    if (caption == "Preferences")
        return ffRow("Preferences", {"prefs.js", "user.js", "containers.json"}, {"preferences"});
    if (caption == "Search engines")
        return ffRow("Search engines", {"search.rdf", "search.sqlite", "search.json.mozlz4"},
                     {"searchplugins"});
    if (caption == "User set preferences")
        return ffRow("User set preferences", {}, {"chrome"}, 0);
    if (caption == "Sessions")
        return ffRow("Sessions", {"sessionstore.js", "sessionstore.jsonlz4"}, {"sessionstore-backups"});
    if (caption == "Spelling dictionary")
        return ffRow("Spelling dictionary", {"persdict.dat"});
    if (caption == "Toolbar size settings")
        return ffRow("Toolbar size settings", {"localstore.rdf", "xulstore.json"});
    if (caption == "Bookmarks")
        return ffRow("Bookmarks", {"bookmarks.html", "places.sqlite", "favicons.sqlite"},
                     {"bookmarkbackups"});
    if (caption == "Cookies")
        return ffRow("Cookies", {"cookies.txt", "cookies.sqlite"});
    if (caption == "Download history")
        return ffRow("Download history", {"downloads.rdf", "downloads.sqlite"});
    if (caption == "History")
        return ffRow("History", {"history.dat", "places.sqlite"});
    if (caption == "Mime types")
        return ffRow("Mime types", {"mimeTypes.rdf", "handlers.json"});
    if (caption == "Saved form data")
        return ffRow("Saved form data", {"formhistory.dat", "formhistory.sqlite"});
    if (caption == "Saved passwords")
        return ffRow("Saved passwords", kFfPasswords);
    if (caption == "Site(s) preferences")
        return ffRow("Site(s) preferences", {"hostperm.1", "content-prefs.sqlite", "permissions.sqlite"});
    throw std::logic_error("no shared Firefox row " + caption);
}

// Today's add-on files, carried by "Extensions" in both browsers.
const std::vector<std::string> kFfExtensionFiles = {"extensions.json", "addonStartup.json.lz4",
                                                    "extension-preferences.json", "extension-settings.json"};

ItemRow ffExtensions(std::vector<std::string> oldFiles, std::vector<std::string> folders) {
    oldFiles.insert(oldFiles.end(), kFfExtensionFiles.begin(), kFfExtensionFiles.end());
    folders.push_back("browser-extension-data");
    return ffRow("Extensions", std::move(oldFiles), std::move(folders));
}

// The way Firefox and Flock are found: profiles.ini in their data folder.
Discovery profilesIni(const std::string& suffix) {
    return {"profiles.ini", fourCandidates(suffix, true), {"profiles.ini"}};
}

// A way of this computer: `marker` in the home folder's `places`, in order.
Discovery homeWay(const std::string& marker, const std::vector<std::string>& places) {
    Discovery way{marker, {}, {marker}};
    for (const auto& place : places)
        way.candidates.push_back({"{home}\\" + place, "{home}\\" + place, false});
    return way;
}

Browser makeFirefox() {
    Browser b;
    b.name = "Firefox";
    b.keyword = "firefox";
    fillTexts(b);
    b.discovery = {profilesIni("\\Mozilla\\Firefox")};
    b.homeDiscovery = {homeWay("profiles.ini", {".mozilla\\firefox", ".config\\mozilla\\firefox",
                                                "snap\\firefox\\common\\.mozilla\\firefox",
                                                ".var\\app\\org.mozilla.firefox\\.mozilla\\firefox"})};
    b.listRule = ProfileListRule::ProfilesFolder;
    b.profilesFolder = "Profiles";
    b.lock = ProfileLock::Mozilla;
    b.backupCustomName = "123456789ff_custom";
    b.restoreCustomName = "123456789ff_custom";
    b.stagingCut = 9;
    b.tickBoxes = boxes({{"CheckBox1", "Bookmarks"},
                         {"CheckBox2", "Cookies"},
                         {"CheckBox3", "Download history"},
                         {"CheckBox4", "Extensions"},
                         {"CheckBox5", "History"},
                         {"CheckBox10", "Mime types"},
                         {"CheckBox6", "Preferences"},
                         {"CheckBox7", "Saved form data"},
                         {"CheckBox8", "Saved passwords"},
                         {"CheckBox9", "Site(s) preferences"},
                         {"CheckBox11", "Search engines"},
                         {"CheckBox12", "Sessions"},
                         {"CheckBox13", "Spelling dictionary"},
                         {"CheckBox14", "Toolbar size settings"},
                         {"CheckBox15", "User set preferences"},
                         {"CheckBox18", "Themes and personas"}});
    b.backupItems = {
        ffExtensions({"extensions.ini", "addons.sqlite"}, {"extensions", "adblockplus"}),
        mozillaRow("Preferences"),
        mozillaRow("Search engines"),
        mozillaRow("User set preferences"),
        mozillaRow("Sessions"),
        mozillaRow("Spelling dictionary"),
        mozillaRow("Toolbar size settings"),
        mozillaRow("Bookmarks"),
        mozillaRow("Cookies"),
        mozillaRow("Download history"),
        mozillaRow("History"),
        mozillaRow("Mime types"),
        mozillaRow("Saved form data"),
        mozillaRow("Saved passwords"),
        mozillaRow("Site(s) preferences"),
        ffRow("Themes and personas",
              {"lightweighttheme-footer", "lightweighttheme-header", "stylish.sqlite"}),
    };
    b.restoreItems = reorder(b.backupItems, {{"Extensions", 5},
                                             {"User set preferences", 0},
                                             {"Preferences", 5},
                                             {"Search engines", 5},
                                             {"History", 5},
                                             {"Mime types", 5},
                                             {"Bookmarks", 5},
                                             {"Cookies", 5},
                                             {"Download history", 5},
                                             {"Saved form data", 5},
                                             {"Saved passwords", 5},
                                             {"Site(s) preferences", 5},
                                             {"Sessions", 5},
                                             {"Spelling dictionary", 5},
                                             {"Toolbar size settings", 5},
                                             {"Themes and personas", 5}});
    b.backupStartStep = 5;
    b.backupEndStep = 9;
    return b;
}

Browser makeFlock() {
    Browser b = makeFirefox();
    b.name = "Flock";
    b.keyword = "flock";
    fillTexts(b);
    b.discovery = {profilesIni("\\Flock\\Browser")};
    b.homeDiscovery.clear();  // Flock never ran on Linux
    b.tickBoxes = boxes({{"CheckBox1", "Bookmarks"},
                         {"CheckBox2", "Cookies"},
                         {"CheckBox3", "Download history"},
                         {"CheckBox4", "Extensions"},
                         {"CheckBox17", "Feed data"},
                         {"CheckBox16", "Flock specific data"},
                         {"CheckBox5", "History"},
                         {"CheckBox10", "Mime types"},
                         {"CheckBox6", "Preferences"},
                         {"CheckBox7", "Saved form data"},
                         {"CheckBox8", "Saved passwords"},
                         {"CheckBox9", "Site(s) preferences"},
                         {"CheckBox11", "Search engines"},
                         {"CheckBox12", "Sessions"},
                         {"CheckBox13", "Spelling dictionary"},
                         {"CheckBox14", "Toolbar size settings"},
                         {"CheckBox15", "User set preferences"}});
    b.backupItems = {
        ffExtensions({"extensions.ini"}, {"extensions"}),
        mozillaRow("Preferences"),
        mozillaRow("Search engines"),
        mozillaRow("User set preferences"),
        mozillaRow("Sessions"),
        mozillaRow("Spelling dictionary"),
        mozillaRow("Toolbar size settings"),
        mozillaRow("Bookmarks"),
        mozillaRow("Cookies"),
        mozillaRow("Download history"),
        mozillaRow("History"),
        mozillaRow("Mime types"),
        mozillaRow("Saved form data"),
        ffRow("Flock specific data", {"flock-data.sqlite", "webdetective.sqlite"}),
        ffRow("Feed data", {"feedcontent.sqlite"}),
        mozillaRow("Saved passwords"),
        mozillaRow("Site(s) preferences"),
    };
    b.restoreItems = reorder(b.backupItems, {{"Extensions", 5},
                                             {"User set preferences", 0},
                                             {"Preferences", 5},
                                             {"Search engines", 5},
                                             {"History", 5},
                                             {"Mime types", 5},
                                             {"Bookmarks", 5},
                                             {"Cookies", 5},
                                             {"Download history", 5},
                                             {"Saved form data", 5},
                                             {"Flock specific data", 5},
                                             {"Feed data", 5},
                                             {"Saved passwords", 5},
                                             {"Site(s) preferences", 5},
                                             {"Sessions", 5},
                                             {"Spelling dictionary", 5},
                                             {"Toolbar size settings", 5}});
    return b;
}

// Chrome's tick boxes and rows, shared by every Chromium browser. Each row keeps Chrome 2010's names
// and adds today's. "Local State" lives in the User Data folder, not in a profile: it travels with
// the preferences (it holds the key that decrypts the passwords and cookies).
std::vector<TickBoxInfo> chromiumBoxes() {
    auto out = boxes({{"", "Bookmarks"},
                      {"", "Cache"},
                      {"", "Cookies"},
                      {"", "Current session"},
                      {"", "Current tabs"},
                      {"", "Extensions"},
                      {"", "Extension cookies"},
                      {"", "History"},
                      {"", "Last session"},
                      {"", "Last tabs"},
                      {"", "Plugin data"},
                      {"", "Preferences"},
                      {"", "Thumbnails"},
                      {"", "Visited links"},
                      {"", "Web data"},
                      {"", "Login data"},
                      {"", "Top sites"}});
    out[1].enabled = false;  // "Cache": shown ticked, carries nothing
    return out;
}

Rows chromiumRows() {
    return {
        {"Extensions", {}, {"Extensions", "Local Extension Settings", "Extension State"}, 7},
        {"Plugin data", {}, {"Plugin Data"}, 7},
        {"Bookmarks", {"Bookmarks", "Favicons"}, {}, 7},
        {"Cookies", {"Cookies", "Network\\Cookies"}, {}, 7},
        {"Current session", {"Current Session"}, {"Sessions"}, 7},
        {"Current tabs", {"Current Tabs"}, {}, 0},
        {"Extension cookies", {"Extension Cookies"}, {}, 7},
        {"History", {"History", "Archived History", "History-journal", "Shortcuts"}, {}, 7},
        {"Last session", {"Last Session"}, {}, 0},
        {"Last tabs", {"Last Tabs"}, {}, 7},
        {"Preferences",
         {"Preferences", "QuotaManager", "TransportSecurity", "Secure Preferences",
          "Network\\TransportSecurity"},
         {},
         0},
        {"Preferences", {"Local State"}, {}, 0, ItemPlace::PreferencesRoot},
        {"Thumbnails", {"Thumbnails"}, {}, 7},
        {"Visited links", {"Visited Links"}, {}, 7},
        {"Login data", {"Login Data", "Login Data For Account"}, {}, 0},
        {"Web data", {"Web Data", "Web Data-journal"}, {}, 0},
        {"Top sites", {"Top Sites"}, {}, 0},
    };
}

// The browser encrypts them with a key of the Windows user (kept in "Local State") or of the Linux
// desktop's keyring: restored for another user or on another system, it can't read them.
constexpr const char* kChromiumNote =
    "Passwords and cookies can be read only by the user who saved them, on the same system.";

// A browser of the Chromium family: found by the "Local State" of its data folder `suffix` (in the
// local application-data folder unless `roaming`).
Browser chromiumBrowser(const std::string& keyword, const std::string& name,
                        const std::vector<std::string>& suffixes, bool roaming,
                        const std::vector<std::string>& homePlaces) {
    Browser b;
    b.name = name;
    b.keyword = keyword;
    fillTexts(b);
    b.note = kChromiumNote;
    Discovery way{"Local State", {}, {"Local State"}};
    for (const auto& suffix : suffixes) {
        const std::string folder = (roaming ? "{sfp}" : "{loc}") + suffix;
        way.candidates.push_back({folder, folder, false});
    }
    b.discovery = {way};
    b.homeDiscovery = {homeWay("Local State", homePlaces)};
    b.listRule = ProfileListRule::ChromiumProfiles;
    b.lock = ProfileLock::Chromium;
    b.defaultProfileName = "Default";
    b.backupCustomName = "ch_custom";
    b.restoreCustomName = "ch_custom";
    b.tickBoxes = chromiumBoxes();
    b.backupItems = chromiumRows();
    b.restoreItems = withSteps(b.backupItems, {7, 7, 7, 7, 7, 0, 7, 7, 0, 0, 7, 0, 7, 7, 0, 0, 0});
    b.backupStartStep = 7;
    b.backupEndStep = 7;
    return b;
}

Browser makeChrome() {
    Browser b =
        chromiumBrowser("chrome", "Chrome", {"\\Google\\Chrome\\User Data"}, false,
                        {".config\\google-chrome", ".var\\app\\com.google.Chrome\\config\\google-chrome"});
    // Chrome of 2010 is found by its default profile's bookmarks when there is no "Local State".
    b.discovery.push_back(
        {"Bookmarks", fourCandidates("\\Google\\Chrome\\User Data\\Default", false), {"Default\\Bookmarks"}});
    b.discovery.front().candidates = fourCandidates("\\Google\\Chrome\\User Data", false);
    return b;
}

Browser makeSafari() {
    Browser b;
    b.name = "Safari";
    b.keyword = "safari";
    fillTexts(b);
    b.discovery = {
        {"Bookmarks.plist", fourCandidates("\\Apple Computer\\Safari", false), {"Safari\\Bookmarks.plist"}}};
    b.listRule = ProfileListRule::RootLessPreferences;
    b.backupCustomName = "ch_custom";
    b.restoreCustomName = "ch_custom";
    b.tickBoxes = boxes({{"", "Bookmarks"},
                         {"", "Cache"},
                         {"", "Cookies"},
                         {"", "Downloads"},
                         {"", "Feeds"},
                         {"", "Form values"},
                         {"", "History"},
                         {"", "Last session"},
                         {"", "Preferences"},
                         {"", "Top sites"}});
    b.tickBoxes[1].enabled = false;
    b.backupItems = {
        {"Bookmarks", {"Bookmarks.plist"}, {}, 8},
        {"Cookies", {}, {"Cookies"}, 8},
        {"Downloads", {"Downloads.plist"}, {}, 0},
        {"Feeds", {}, {"PubSub"}, 8},
        {"Form values", {"Form Values.plist"}, {}, 0},
        {"History", {"History.plist"}, {}, 8},
        {"Last session", {"LastSession.plist"}, {}, 8},
        {"Preferences", {}, {"Preferences"}, 8, ItemPlace::PreferencesRoot},
        {"Top sites", {"TopSites.plist"}, {}, 8},
    };
    b.restoreItems = b.backupItems;
    b.backupStartStep = 8;
    b.backupEndStep = 8;
    return b;
}

Browser makeOpera() {
    Browser b;
    b.name = "Opera";
    b.keyword = "opera";
    fillTexts(b);
    const std::string xp = "{drv}\\Documents and Settings\\{uzer}";
    const std::string vista = "{drv}\\Users\\{uzer}\\AppData";
    b.discovery = {{"speeddial.ini",
                    {
                        {"{sfp}\\Opera\\{name}", "{sfp}\\Opera\\{name}", true},
                        {xp + "\\Application Data\\Opera\\{name}", vista + "\\Local\\Opera\\{name}", false},
                        {"{sfp}\\Opera\\{name}\\profile", "{sfp}\\Opera\\{name}\\profile", false},
                        {xp + "\\Application Data\\Opera\\{name}\\profile",
                         vista + "\\Local\\Opera\\{name}\\profile", false},
                        {xp + "\\Local Settings\\Application Data\\Opera\\{name}\\profile",
                         vista + "\\Roaming\\Opera\\{name}\\profile", false},
                        {"{loc}\\Opera\\{name}\\profile", "{loc}\\Opera\\{name}\\profile", false},
                    },
                    {"{name}\\profile\\speeddial.ini", "{name}\\speeddial.ini"}}};
    b.installName = "Opera";
    b.listRule = ProfileListRule::RootSubfolders;
    b.layoutTest = "{name}\\profile\\speeddial.ini";
    b.layoutSubfolder = "profile\\";
    b.backupCustomName = "op_custom";
    b.restoreCustomName = "ch_custom";
    b.localMailParent = "\\Opera\\";
    b.mailArchiveName = "allsave_opera2.dat";
    b.tickBoxes = boxes({{"CheckBox1", "Bookmarks"},
                         {"CheckBox2", "Certificate data"},
                         {"CheckBox3", "Contacts"},
                         {"CheckBox4", "Cookies"},
                         {"CheckBox5", "History"},
                         {"CheckBox10", "Keyboard configuration"},
                         {"CheckBox6", "Mail and feeds"},
                         {"CheckBox7", "Menu configuration"},
                         {"CheckBox8", "Mouse configuration"},
                         {"CheckBox9", "Notes"},
                         {"CheckBox11", "Preferences"},
                         {"CheckBox12", "Sessions"},
                         {"CheckBox13", "Skins"},
                         {"CheckBox14", "Toolbar configuration"},
                         {"CheckBox15", "Visited links"},
                         {"CheckBox16", "Wand data (passwords)"},
                         {"CheckBox17", "Widgets and extensions"}});
    b.backupItems = {
        {"Bookmarks", {"opera6.adr", "bookmarks.adr"}, {}, 5},
        {"Sessions", {}, {"sessions"}, 5},
        {"Skins", {}, {"skin"}, 5},
        {"Toolbar configuration", {}, {"toolbar"}, 5},
        {"Keyboard configuration", {}, {"keyboard"}, 5},
        {"Mail and feeds", {}, {"mail"}, 5, ItemPlace::Profile, true},
        {"Menu configuration", {}, {"menu"}, 5},
        {"Mouse configuration", {}, {"mouse"}, 5},
        {"Certificate data", {"opcacrt6.dat", "opcert6.dat"}, {}, 5},
        {"Contacts", {"contacts.adr"}, {}, 5},
        {"Cookies", {"cookies4.dat"}, {}, 5},
        {"History", {"download.dat", "global.dat", "global_history.dat", "typed_history.xml"}, {}, 5},
        {"Notes", {"notes.adr"}, {}, 5},
        {"Preferences",
         {"adprefs.ini", "opera6.ini", "operaprefs.ini", "override_downloaded.ini", "search.ini",
          "speeddial.ini", "tips.ini", "tasks.xml", "trusted_repositories.ini", "urlfilter.ini"},
         {"dictionaries"},
         5},
        {"Visited links", {"vlink4.dat"}, {}, 5},
        {"Wand data (passwords)", {"wand.dat"}, {}, 5},
        {"Widgets and extensions", {}, {"widgets", "profile\\widgets"}, 0},
    };
    b.restoreItems = b.backupItems;
    b.backupStartStep = 5;
    b.backupEndStep = 5;
    return b;
}

// The browsers of the program, in the order it lists them.
std::vector<Browser> makeAll() {
    std::vector<Browser> all;
    all.push_back(makeFirefox());
    all.push_back(makeFlock());
    all.push_back(makeChrome());
    all.push_back(makeSafari());
    all.push_back(makeOpera());
    all.push_back(chromiumBrowser(
        "edge", "Edge", {"\\Microsoft\\Edge\\User Data"}, false,
        {".config\\microsoft-edge", ".var\\app\\com.microsoft.Edge\\config\\microsoft-edge"}));
    all.push_back(chromiumBrowser("brave", "Brave", {"\\BraveSoftware\\Brave-Browser\\User Data"}, false,
                                  {".config\\BraveSoftware\\Brave-Browser",
                                   ".var\\app\\com.brave.Browser\\config\\BraveSoftware\\Brave-Browser"}));
    all.push_back(chromiumBrowser("vivaldi", "Vivaldi", {"\\Vivaldi\\User Data"}, false,
                                  {".config\\vivaldi", ".var\\app\\com.vivaldi.Vivaldi\\config\\vivaldi"}));
    all.push_back(chromiumBrowser("chromium", "Chromium", {"\\Chromium\\User Data"}, false,
                                  {".config\\chromium", "snap\\chromium\\common\\chromium",
                                   ".var\\app\\org.chromium.Chromium\\config\\chromium"}));
    all.push_back(chromiumBrowser("opera-chromium", "Opera (Chromium)",
                                  {"\\Opera Software\\Opera Stable", "\\Opera Software\\Opera GX Stable"},
                                  true, {".config\\opera", ".var\\app\\com.opera.Opera\\config\\opera"}));
    return all;
}

std::string expand(const std::string& pattern, const EnvironmentFacts& facts,
                   const std::string& installName) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] == '{') {
            const auto end = pattern.find('}', i);
            const std::string key = pattern.substr(i + 1, end - i - 1);
            if (key == "uzer")
                out += facts.uzer;
            else if (key == "drv")
                out += facts.drv;
            else if (key == "sfp")
                out += facts.sfp;
            else if (key == "loc")
                out += facts.loc;
            else if (key == "name")
                out += installName;
            else if (key == "home")
                out += facts.home;
            else
                throw std::logic_error("unknown placeholder in a candidate folder");
            i = end + 1;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

// The profile root a hit gives: the hit less the way's cuts.
std::string rootOf(const Discovery& way, const std::string& hit, const std::string& installName) {
    std::string root = hit;
    for (const auto& cut : way.rootCut)
        root = ReplaceTextIgnoreCase(root, expand(cut, {}, installName), "");
    return root;
}

}  // namespace

EnvironmentFacts readEnvironmentFacts() {
    EnvironmentFacts facts;
    facts.uzer = GetLoginName();
    try {
        facts.drv = GetSystemDrive();
    } catch (const std::exception&) {
        facts.drv.clear();  // no Windows folder: the drive candidates can't exist
    }
    facts.sfp = GetSpecialFolderPath(CSIDL_APPDATA);
    facts.loc = GetSpecialFolderPath(CSIDL_LOCAL_APPDATA);
    facts.windoze = GetWindowsMajorVersion();
    facts.thisComputer = platform::onThisComputer();
    facts.home = platform::homeFolder();
    return facts;
}

const std::vector<const Browser*>& allBrowsers() {
    static const std::vector<Browser> browsers = makeAll();
    static const std::vector<const Browser*> all = [] {
        std::vector<const Browser*> out;
        for (const auto& b : browsers)
            out.push_back(&b);
        return out;
    }();
    return all;
}

const Browser* findBrowser(std::string_view keywordOrName) {
    for (const Browser* b : allBrowsers()) {
        if (equalsIgnoreCase(b->keyword, keywordOrName) || equalsIgnoreCase(b->name, keywordOrName))
            return b;
    }
    return nullptr;
}

const Browser& browser(std::string_view keyword) {
    for (const Browser* b : allBrowsers()) {
        if (b->keyword == keyword)
            return *b;
    }
    throw std::logic_error("no browser " + std::string(keyword));
}

std::vector<std::string> candidateFolders(const Discovery& way, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous,
                                          const std::string& installName) {
    std::vector<std::string> dirs = previous;
    dirs.resize(way.candidates.size());
    for (std::size_t i = 0; i < way.candidates.size(); ++i) {
        const auto& c = way.candidates[i];
        if (!c.onlyForFive || facts.windoze == "5")
            dirs[i] = expand(c.versionFive, facts, installName);
    }
    if (platform::usersLayout(facts.windoze)) {
        for (std::size_t i = 0; i < way.candidates.size(); ++i)
            dirs[i] = expand(way.candidates[i].versionSix, facts, installName);
    }
    return dirs;
}

const std::vector<Discovery>& waysFor(const Browser& browser, const EnvironmentFacts& facts) {
    return facts.thisComputer ? browser.homeDiscovery : browser.discovery;
}

bool existsOn(const Browser& browser, const EnvironmentFacts& facts) {
    return !waysFor(browser, facts).empty();
}

bool anyBrowserFound(const EnvironmentFacts& facts) {
    for (const Browser* b : allBrowsers()) {
        if (existsOn(*b, facts) && !locate(*b, facts, candidateFolders(*b, facts)).marker.empty())
            return true;
    }
    return false;
}

std::vector<std::string> candidateFolders(const Browser& browser, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous, const std::string& name) {
    const std::string& installName = name.empty() ? browser.installName : name;
    std::vector<std::string> all;
    for (const auto& way : waysFor(browser, facts)) {
        const std::size_t at = all.size();
        std::vector<std::string> before;
        for (std::size_t i = at; i < at + way.candidates.size() && i < previous.size(); ++i)
            before.push_back(previous[i]);
        const auto dirs = candidateFolders(way, facts, before, installName);
        all.insert(all.end(), dirs.begin(), dirs.end());
    }
    return all;
}

Found locate(const Browser& browser, const EnvironmentFacts& facts,
             const std::vector<std::string>& candidates, const std::string& name) {
    const std::string& installName = name.empty() ? browser.installName : name;
    std::size_t at = 0;
    for (const auto& way : waysFor(browser, facts)) {
        std::string folders;
        for (std::size_t i = at; i < at + way.candidates.size() && i < candidates.size(); ++i) {
            if (!candidates[i].empty())
                folders += candidates[i] + ";";
        }
        at += way.candidates.size();
        const std::string hit = SearchFileInFolders(way.marker, folders, [&](const std::string& found) {
            const std::string root = rootOf(way, found, installName);
            return !root.empty() && DirectoryExists(root);
        });
        if (!hit.empty())
            return {hit, rootOf(way, hit, installName)};
    }
    return {};
}

}  // namespace kelvora::browsers
