// The five browsers with profiles in folders, as data.
#include "browsers/browser.h"

#include <stdexcept>

#include "core/core.h"

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

void fillTexts(Browser& b) {
    b.backupCaption = "Backup " + b.name + " Web Browser";
    b.restoreCaption = "Restore " + b.name + " Web Browser";
    b.backupTitle = "Welcome to " + b.name + " Backup Wizard";
    b.restoreTitle = "Welcome to " + b.name + " Restore Wizard";
}

// Firefox's rows; Flock shares most of them.
ItemRow ffRow(const char* caption, std::vector<std::string> files, std::vector<std::string> folders = {},
              int step = 5) {
    return {caption, std::move(files), std::move(folders), step, ItemPlace::Profile, false};
}

Browser makeFirefox() {
    Browser b;
    b.id = BrowserId::Firefox;
    b.name = "Firefox";
    b.keyword = "firefox";
    fillTexts(b);
    b.marker = "profiles.ini";
    b.candidates = fourCandidates("\\Mozilla\\Firefox", true);
    b.rootCut = {"profiles.ini"};
    b.listRule = ProfileListRule::ProfilesFolder;
    b.profilesFolder = "Profiles";
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
        ffRow("Extensions", {"extensions.ini", "addons.sqlite"}, {"extensions", "adblockplus"}),
        ffRow("Preferences", {"prefs.js", "user.js"}, {"preferences"}),
        ffRow("Search engines", {"search.rdf", "search.sqlite"}, {"searchplugins"}),
        ffRow("User set preferences", {}, {"chrome"}, 0),
        ffRow("Sessions", {"sessionstore.js"}),
        ffRow("Spelling dictionary", {"persdict.dat"}),
        ffRow("Toolbar size settings", {"localstore.rdf"}),
        ffRow("Bookmarks", {"bookmarks.html", "places.sqlite"}),
        ffRow("Cookies", {"cookies.txt", "cookies.sqlite"}),
        ffRow("Download history", {"downloads.rdf", "downloads.sqlite"}),
        ffRow("History", {"history.dat", "places.sqlite"}),
        ffRow("Mime types", {"mimeTypes.rdf"}),
        ffRow("Saved form data", {"formhistory.dat", "formhistory.sqlite"}),
        ffRow("Saved passwords", {"key3.db", "signons2.txt", "signons3.txt", "signons.sqlite"}),
        ffRow("Site(s) preferences", {"hostperm.1", "content-prefs.sqlite"}),
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
    b.id = BrowserId::Flock;
    b.name = "Flock";
    b.keyword = "flock";
    fillTexts(b);
    b.candidates = fourCandidates("\\Flock\\Browser", true);
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
        ffRow("Extensions", {"extensions.ini"}, {"extensions"}),
        ffRow("Preferences", {"prefs.js", "user.js"}, {"preferences"}),
        ffRow("Search engines", {"search.rdf", "search.sqlite"}, {"searchplugins"}),
        ffRow("User set preferences", {}, {"chrome"}, 0),
        ffRow("Sessions", {"sessionstore.js"}),
        ffRow("Spelling dictionary", {"persdict.dat"}),
        ffRow("Toolbar size settings", {"localstore.rdf"}),
        ffRow("Bookmarks", {"bookmarks.html", "places.sqlite"}),
        ffRow("Cookies", {"cookies.txt", "cookies.sqlite"}),
        ffRow("Download history", {"downloads.rdf", "downloads.sqlite"}),
        ffRow("History", {"history.dat", "places.sqlite"}),
        ffRow("Mime types", {"mimeTypes.rdf"}),
        ffRow("Saved form data", {"formhistory.dat", "formhistory.sqlite"}),
        ffRow("Flock specific data", {"flock-data.sqlite", "webdetective.sqlite"}),
        ffRow("Feed data", {"feedcontent.sqlite"}),
        ffRow("Saved passwords", {"key3.db", "signons2.txt", "signons3.txt", "signons.sqlite"}),
        ffRow("Site(s) preferences", {"hostperm.1", "content-prefs.sqlite"}),
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

Browser makeChrome() {
    Browser b;
    b.id = BrowserId::Chrome;
    b.name = "Chrome";
    b.keyword = "chrome";
    fillTexts(b);
    b.marker = "Bookmarks";
    b.candidates = fourCandidates("\\Google\\Chrome\\User Data\\Default", false);
    b.rootCut = {"Default\\Bookmarks"};
    b.defaultProfileName = "Default";
    b.listRule = ProfileListRule::RootSubfolders;
    b.backupCustomName = "ch_custom";
    b.restoreCustomName = "ch_custom";
    b.stagingCut = 0;
    b.tickBoxes = boxes({{"", "Bookmarks"},
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
    b.tickBoxes[1].enabled = false;  // "Cache": shown ticked, carries nothing
    b.backupItems = {
        {"Extensions", {}, {"Extensions"}, 7},
        {"Plugin data", {}, {"Plugin Data"}, 7},
        {"Bookmarks", {"Bookmarks"}, {}, 7},
        {"Cookies", {"Cookies"}, {}, 7},
        {"Current session", {"Current Session"}, {}, 7},
        {"Current tabs", {"Current Tabs"}, {}, 0},
        {"Extension cookies", {"Extension Cookies"}, {}, 7},
        {"History", {"History", "Archived History", "History-journal"}, {}, 7},
        {"Last session", {"Last Session"}, {}, 0},
        {"Last tabs", {"Last Tabs"}, {}, 7},
        {"Preferences", {"Preferences", "QuotaManager", "TransportSecurity"}, {}, 0},
        {"Thumbnails", {"Thumbnails"}, {}, 7},
        {"Visited links", {"Visited Links"}, {}, 7},
        {"Login data", {"Login Data"}, {}, 0},
        {"Web data", {"Web Data", "Web Data-journal"}, {}, 0},
        {"Top sites", {"Top Sites"}, {}, 0},
    };
    b.restoreItems = withSteps(b.backupItems, {7, 7, 7, 7, 7, 0, 7, 7, 0, 0, 7, 7, 7, 0, 0, 0});
    b.backupStartStep = 7;
    b.backupEndStep = 7;
    return b;
}

Browser makeSafari() {
    Browser b;
    b.id = BrowserId::Safari;
    b.name = "Safari";
    b.keyword = "safari";
    fillTexts(b);
    b.marker = "Bookmarks.plist";
    b.candidates = fourCandidates("\\Apple Computer\\Safari", false);
    b.rootCut = {"Safari\\Bookmarks.plist"};
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
    b.id = BrowserId::Opera;
    b.name = "Opera";
    b.keyword = "opera";
    fillTexts(b);
    b.marker = "speeddial.ini";
    const std::string xp = "{drv}\\Documents and Settings\\{uzer}";
    const std::string vista = "{drv}\\Users\\{uzer}\\AppData";
    b.candidates = {
        {"{sfp}\\Opera\\Opera", "{sfp}\\Opera\\Opera", true},
        {xp + "\\Application Data\\Opera\\Opera", vista + "\\Local\\Opera\\Opera", false},
        {"{sfp}\\Opera\\Opera\\profile", "{sfp}\\Opera\\Opera\\profile", false},
        {xp + "\\Application Data\\Opera\\Opera\\profile", vista + "\\Local\\Opera\\Opera\\profile", false},
        {xp + "\\Local Settings\\Application Data\\Opera\\Opera\\profile",
         vista + "\\Roaming\\Opera\\Opera\\profile", false},
        {"{loc}\\Opera\\Opera\\profile", "{loc}\\Opera\\Opera\\profile", false},
    };
    b.rootCut = {"Opera\\profile\\speeddial.ini", "Opera\\speeddial.ini"};
    b.listRule = ProfileListRule::RootSubfolders;
    b.layoutTest = "Opera\\profile\\speeddial.ini";
    b.layoutSubfolder = "profile\\";
    b.backupCustomName = "op_custom";
    b.restoreCustomName = "ch_custom";
    b.localMailParent = "\\Opera\\";
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

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string expand(const std::string& pattern, const EnvironmentFacts& facts) {
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
            else
                throw std::logic_error("unknown placeholder in a candidate folder");
            i = end + 1;
        } else {
            out += pattern[i++];
        }
    }
    return out;
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
    return facts;
}

const Browser& firefox() {
    static const Browser b = makeFirefox();
    return b;
}
const Browser& flock() {
    static const Browser b = makeFlock();
    return b;
}
const Browser& chrome() {
    static const Browser b = makeChrome();
    return b;
}
const Browser& safari() {
    static const Browser b = makeSafari();
    return b;
}
const Browser& opera() {
    static const Browser b = makeOpera();
    return b;
}

const std::vector<const Browser*>& selectiveBrowsers() {
    static const std::vector<const Browser*> all = {&firefox(), &flock(), &chrome(), &safari(), &opera()};
    return all;
}

const Browser* findBrowser(std::string_view keywordOrName) {
    const std::string wanted = lower(keywordOrName);
    for (const Browser* b : selectiveBrowsers()) {
        if (b->keyword == wanted || lower(b->name) == wanted)
            return b;
    }
    return nullptr;
}

std::vector<std::string> candidateFolders(const Browser& browser, const EnvironmentFacts& facts,
                                          const std::vector<std::string>& previous) {
    std::vector<std::string> dirs = previous;
    dirs.resize(browser.candidates.size());
    for (std::size_t i = 0; i < browser.candidates.size(); ++i) {
        const auto& c = browser.candidates[i];
        if (!c.onlyForFive || facts.windoze == "5")
            dirs[i] = expand(c.versionFive, facts);
    }
    if (facts.windoze == "6") {
        for (std::size_t i = 0; i < browser.candidates.size(); ++i)
            dirs[i] = expand(browser.candidates[i].versionSix, facts);
    }
    return dirs;
}

}  // namespace kelvora::browsers
