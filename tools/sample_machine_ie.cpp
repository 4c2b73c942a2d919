// Internet Explorer's part of the sample machine: its cookies, favorites, recovery data and the
// user's registry hive (NTUSER.DAT). Written after the other browsers' data; the Internet Explorer
// tasks' own files go here, built with the helpers of sample_machine.h.
#include <stdexcept>

#include "browsers/ie.h"
#include "core/registry.h"
#include "platform/platform.h"
#include "tools/sample_machine.h"

namespace kelvora::tools {

namespace {

namespace fs = std::filesystem;
using platform::RegistryTree;

RegistryTree key(std::vector<platform::RegistryValue> values, std::vector<RegistryTree> subkeys = {}) {
    return RegistryTree{"", std::move(values), std::move(subkeys)};
}

RegistryTree sub(const std::string& name, std::vector<platform::RegistryValue> values,
                 std::vector<RegistryTree> subkeys = {}) {
    return RegistryTree{name, std::move(values), std::move(subkeys)};
}

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list)
        out.push_back(static_cast<char>(b));
    return out;
}

// The thirteen keys the Internet Explorer tasks save, with values of the kinds Internet Explorer
// keeps there, by the key's last name below "Software\Microsoft\Internet Explorer\".
std::vector<std::pair<std::string, RegistryTree>> registryKeys(const SampleMachine& m) {
    const std::string scope = "{0633EE93-D776-472f-A0FF-E1416B8B2E3A}";
    return {
        {"IntelliForms",
         key({RegistryDword("AskUser", 0)},
             {sub("Storage2", {RegistryBinary("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4",
                                              bytes({1, 0, 0, 0, 0xD0, 0x8C, 0x9D, 0xDF, 0x01, 0x15}))})})},
        {"TypedURLs", key({RegistryString("url1", "http://www.example.org/"),
                           RegistryString("url2", "http://news.example.com/"),
                           RegistryString("url3", "http://www.example.net/ünïcode")})},
        {"SearchScopes",
         key({RegistryString("DefaultScope", scope)},
             {sub(scope, {RegistryString("DisplayName", "Example Search"),
                          RegistryString("URL", "http://search.example.org/?q={searchTerms}")})})},
        {"Recovery",
         key({RegistryDword("ClearBrowsingHistoryOnExit", 0)}, {sub("Active", {}), sub("AdminActive", {})})},
        {"Main",
         key({RegistryString("Start Page", "http://www.example.org/"),
              RegistryString("Search Page", "http://search.example.org/"),
              RegistryString("Anchor Underline", "yes"),
              RegistryString("Default Download Directory",
                             m.version == "5" ? "C:\\Documents and Settings\\" + m.user + "\\My Documents"
                                              : "C:\\Users\\" + m.user + "\\Downloads"),
              RegistryBinary("Window_Placement", bytes({0x2C, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}))},
             {sub("WindowsSearch", {RegistryDword("Version", 4)})})},
        {"Settings",
         key({RegistryString("Anchor Color", "0,0,255"), RegistryString("Background Color", "192,192,192")})},
        {"Security",
         key({RegistryString("Sending_Security", "Medium"), RegistryString("Viewing_Security", "Low")})},
        {"Download",
         key({RegistryString("CheckExeSignatures", "no"), RegistryString("RunInvalidSignatures", "0")})},
        {"International",
         key({RegistryString("AcceptLanguage", "en-US,lt;q=0.5")},
             {sub("Scripts", {}, {sub("3", {RegistryString("IEPropFontName", "Times New Roman")})})})},
        {"PhishingFilter", key({RegistryDword("EnabledV8", 1), RegistryDword("ShownVerifyBalloon", 3)})},
        {"User Preferences",
         key({RegistryBinary("88D7D0879DAB32E14DE5B3", bytes({2, 0, 0, 0, 0x8C, 0, 0, 0}))})},
        {"Toolbar",
         key({RegistryDword("Locked", 1)},
             {sub("WebBrowser", {RegistryBinary("ITBar7Layout", bytes({0x13, 0, 0, 0, 0, 0, 0, 0}))})})},
        {"LinksBar", key({RegistryDword("Enabled", 1)}, {sub("ItemCache", {RegistryDword("Count", 2)})})},
    };
}

}  // namespace

void writeInternetExplorerKeys(const SampleMachine& m) {
    for (const auto& [name, tree] : registryKeys(m)) {
        const std::string path = "Software\\Microsoft\\Internet Explorer\\" + name + "\\";
        if (!platform::writeRegistryTree(path, tree))
            throw std::runtime_error("cannot write the registry key " + path +
                                     (platform::usesMachineFolder()
                                          ? " into " + (m.home() / "NTUSER.DAT").string()
                                          : std::string()));
    }
}

void writeInternetExplorerData(const SampleMachine& machine) {
    const SampleMachine& m = machine;
    const fs::path home = m.home();
    const fs::path cookies = m.version == "5" ? home / "Cookies" : m.roaming() / "Microsoft/Windows/Cookies";
    const std::string cookie_user = m.user + "@";
    writeSampleFile(cookies / (cookie_user + "example[1].txt"),
                    "session\nabc123\nexample.org/\n1024\n2916341248\n30256512\n1362813936\n30256404\n*\n");
    writeSampleFile(
        cookies / (cookie_user + "news.example[2].txt"),
        "prefs\nlang=en\nnews.example.com/\n1536\n2916341248\n30256512\n1362813936\n30256404\n*\n");
    writeSampleFile(cookies / "index.dat", "Client UrlCache MMF Ver 5.2" + std::string(100, '\0'));

    const fs::path favorites = home / "Favorites";
    const std::string shortcut = "[InternetShortcut]\r\nURL=";
    writeSampleFile(favorites / "Example.url", shortcut + "http://www.example.org/\r\n");
    writeSampleFile(favorites / "Links/Example News.url", shortcut + "http://news.example.com/\r\n");
    writeSampleFile(favorites / "Reading/Long Article.url", shortcut + "http://www.example.net/article\r\n");

    // brndlog.txt marks the data folder: the first candidate, the roaming one.
    const fs::path data = m.roaming() / "Microsoft/Internet Explorer";
    writeSampleFile(data / browsers::ie::kMarker, "Branding log\r\nCustomizations applied\r\n");
    writeSampleFile(data / "Recovery/Active/{5D4B3AD5-0D6B-11E0-A7B1-000C29E3C4C1}.dat",
                    std::string(64, '\x11') + "http://www.example.org/");
    writeSampleFile(data / "Recovery/Last Active/RecoveryStore.{5D4B3AD4-0D6B-11E0-A7B1-000C29E3C4C1}.dat",
                    std::string(48, '\x22'));

    // The platform writes the registry of the machine in use: this one, for as long as it takes. On
    // Windows the registry is the real one of the user running the builder: left alone here.
    if (platform::usesMachineFolder()) {
        const platform::MachineOptions previous = platform::currentMachine();
        m.activate();
        try {
            writeInternetExplorerKeys(m);
        } catch (...) {
            platform::setMachine(previous);
            throw;
        }
        platform::setMachine(previous);
    }
}

}  // namespace kelvora::tools
