// Full backup and restore: the data root each browser finds, the archives it writes, what a
// restore replaces and leaves alone, Opera's typed installation name and mail archive, the
// wizard's bar and label, and the cases where nothing may be packed or unpacked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/full.h"
#include "cli/command.h"
#include "core/core.h"
#include "platform/platform.h"
#include "support/database_content.h"
#include "support/temp_dir.h"
#include "tools/sample_machine.h"

namespace kelvora::browsers {
namespace {

namespace fs = std::filesystem;
using test::comparableContent;
using test::isDatabaseCompanion;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Records what a task tells its window.
class Recorder : public Host {
  public:
    std::vector<std::string> messages;
    std::vector<std::string> labels;
    std::vector<std::pair<int, int>> bar;
    std::vector<bool> busy;
    std::vector<std::string> questions;
    bool replaceAnswer = true;
    int repaints = 0;

    bool confirmReplace(const std::string& question) override {
        questions.push_back(question);
        return replaceAnswer;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void progressShow() override { ADD_FAILURE() << "the full wizards have no progress window"; }
    void progressStep(int) override { ADD_FAILURE() << "the full wizards have no progress window"; }
    void progressSet(int) override { ADD_FAILURE() << "the full wizards have no progress window"; }
    void progressHide() override { ADD_FAILURE() << "the full wizards have no progress window"; }
    void fullProgress(int position, int total) override { bar.emplace_back(position, total); }
    void fullFileLabel(const std::string& text) override { labels.push_back(text); }
    void repaint() override { ++repaints; }
    void setBusyCursor(bool on) override { busy.push_back(on); }
    void pause(std::chrono::milliseconds) override {}
};

// One wizard window on one machine.
struct Wizard {
    Wizard(const Browser& browser, browsers::Task task, const tools::SampleMachine& machine)
        : browser(browser), state(full::makeState(browser, task)) {
        state.readFacts = [machine] { return machine.facts(); };
    }
    void activate() { full::activate(browser, state, host); }
    TaskResult next(const fs::path& location, const std::string& operaName = "") {
        state.backupLocationText = location.string();
        state.operaNameText = operaName;
        return state.task == browsers::Task::Backup ? full::backup(browser, state, host)
                                                    : full::restore(browser, state, host);
    }

    const Browser& browser;
    full::State state;
    Recorder host;
};

// A machine with the user's folders and no browser data.
tools::SampleMachine emptyMachine(const fs::path& root, const std::string& version,
                                  const std::string& user = "ann") {
    tools::SampleMachine m{root, user, version};
    fs::create_directories(m.roaming());
    fs::create_directories(m.local());
    m.activate();
    return m;
}

// A Windows-form path of the machine in use, as a native path.
fs::path native(const std::string& windowsPath) {
    return platform::nativePath(windowsPath);
}

std::vector<std::string> storedNames(const fs::path& archive) {
    TZlibMultiple reader;
    std::vector<std::string> names;
    reader.ListStoredFiles(archive.string(), names);
    std::sort(names.begin(), names.end());
    return names;
}

// Every file below `dir` with its contents, by its relative name with "\" separators. A database
// counts by its content; its companions that hold something are left out: a backup's snapshot holds
// what waits in them, and a restore moves stale ones away.
std::map<std::string, std::string> filesBelow(const fs::path& dir) {
    std::map<std::string, std::string> files;
    if (!fs::exists(dir))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        if (entry.file_size() > 0 &&
            isDatabaseCompanion(entry.path().parent_path(), entry.path().filename().string()))
            continue;
        std::string relative = entry.path().lexically_relative(dir).generic_string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        files[relative] = comparableContent(entry.path());
    }
    return files;
}

std::vector<std::string> nonEmptyNames(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, contents] : files) {
        if (!contents.empty())
            names.push_back(name);
    }
    return names;
}

// The browsers of the 2010 sample machine.
const std::vector<const Browser*> kClassicBrowsers = {&firefox(), &flock(), &chrome(), &safari(), &opera()};

// Opera 10's candidate folders for its installation folder `name`.
std::vector<std::string> operaCandidates(const std::string& name, const EnvironmentFacts& facts,
                                         const std::vector<std::string>& previous = {}) {
    return candidateFolders(opera(), facts, previous, name);
}

std::string withoutLastFolder(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

const Browser* const kFourBrowsers[] = {&firefox(), &chrome(), &safari(), &flock()};

// ---- Discovery ------------------------------------------------------------------------------

TEST(FullDiscovery, DataRootFromEachCandidateFolder) {
    struct Case {
        const Browser* browser;
        bool markerInSubfolder;  // the data root is the candidate's parent ("Default", "Safari")
    };
    // Chrome of today is found by the "Local State" of its data root itself.
    const Case cases[] = {{&firefox(), false}, {&chrome(), false}, {&safari(), true}, {&flock(), false}};
    for (const auto& c : cases) {
        for (const std::string version : {"5", "6"}) {
            for (std::size_t i = 0; i < 4; ++i) {
                SCOPED_TRACE(c.browser->name + " version " + version + " candidate " + std::to_string(i + 1));
                TempDir tmp;
                const auto machine = emptyMachine(tmp.path(), version);
                const auto& way = c.browser->discovery.front();
                const auto candidates = candidateFolders(way, machine.facts());
                ASSERT_EQ(candidates.size(), 4u);
                writeFile(native(candidates[i] + "\\" + way.marker), "marker");

                Wizard wizard(*c.browser, browsers::Task::Backup, machine);
                wizard.activate();
                EXPECT_TRUE(wizard.host.messages.empty());
                EXPECT_EQ(wizard.state.dataRoot,
                          c.markerInSubfolder ? withoutLastFolder(candidates[i]) : candidates[i]);
            }
        }
    }
}

TEST(FullDiscovery, DataRootsAreTheBrowsersTopFolders) {
    TempDir tmp;
    const auto machine = emptyMachine(tmp.path(), "6");
    const std::string roaming = "C:\\Users\\ann\\AppData\\Roaming";
    const std::string local = "C:\\Users\\ann\\AppData\\Local";
    struct Case {
        const Browser* browser;
        std::string marker;
        std::string dataRoot;
    };
    const Case cases[] = {
        {&firefox(), roaming + "\\Mozilla\\Firefox\\profiles.ini", roaming + "\\Mozilla\\Firefox"},
        {&chrome(), local + "\\Google\\Chrome\\User Data\\Default\\Bookmarks",
         local + "\\Google\\Chrome\\User Data"},
        {&browsers::browser("edge"), local + "\\Microsoft\\Edge\\User Data\\Local State",
         local + "\\Microsoft\\Edge\\User Data"},
        {&browsers::browser("opera-chromium"), roaming + "\\Opera Software\\Opera GX Stable\\Local State",
         roaming + "\\Opera Software\\Opera GX Stable"},
        {&safari(), roaming + "\\Apple Computer\\Safari\\Bookmarks.plist", roaming + "\\Apple Computer"},
        {&flock(), roaming + "\\Flock\\Browser\\profiles.ini", roaming + "\\Flock\\Browser"},
        {&opera(), roaming + "\\Opera\\Opera\\profile\\speeddial.ini", roaming + "\\Opera"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser->name);
        writeFile(native(c.marker), "marker");
        Wizard wizard(*c.browser, browsers::Task::Restore, machine);
        wizard.activate();
        EXPECT_EQ(wizard.state.dataRoot, c.dataRoot);
        EXPECT_EQ(wizard.state.title, "Welcome to " + c.browser->name + " Full Restore Wizard");
        EXPECT_EQ(wizard.state.caption, "Restore " + c.browser->name + " Web Browser");
    }
}

TEST(FullDiscovery, NothingFoundSaysSoAndLeavesNoDataRoot) {
    TempDir tmp;
    const auto machine = emptyMachine(tmp.path(), "6");
    for (const auto* browser : kFourBrowsers) {
        Wizard wizard(*browser, browsers::Task::Backup, machine);
        wizard.activate();
        EXPECT_EQ(wizard.host.messages, std::vector<std::string>{"Settings Files Not Found."});
        EXPECT_TRUE(wizard.state.dataRoot.empty());
    }
    Wizard operaWizard(opera(), browsers::Task::Backup, machine);
    EXPECT_FALSE(operaWizard.state.operaNameVisible);
    operaWizard.activate();
    EXPECT_EQ(operaWizard.host.messages,
              std::vector<std::string>{"Settings Files Not Found. Please Type Folder Name."});
    EXPECT_TRUE(operaWizard.state.operaNameVisible);
}

TEST(FullDiscovery, OperaCandidatesFollowTheInstallationName) {
    const EnvironmentFacts vista{"ann", "C:", "C:\\Users\\ann\\AppData\\Roaming",
                                 "C:\\Users\\ann\\AppData\\Local", "6"};
    EXPECT_EQ(operaCandidates("Opera 10", vista),
              (std::vector<std::string>{
                  "C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera 10",
                  "C:\\Users\\ann\\AppData\\Local\\Opera\\Opera 10",
                  "C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera 10\\profile",
                  "C:\\Users\\ann\\AppData\\Local\\Opera\\Opera 10\\profile",
                  "C:\\Users\\ann\\AppData\\Roaming\\Opera\\Opera 10\\profile",
                  "C:\\Users\\ann\\AppData\\Local\\Opera\\Opera 10\\profile",
              }));
    const std::string xp = "C:\\Documents and Settings\\ann";
    const EnvironmentFacts xpFacts{"ann", "C:", xp + "\\Application Data",
                                   xp + "\\Local Settings\\Application Data", "5"};
    EXPECT_EQ(operaCandidates("Opera", xpFacts),
              (std::vector<std::string>{
                  xp + "\\Application Data\\Opera\\Opera",
                  xp + "\\Application Data\\Opera\\Opera",
                  xp + "\\Application Data\\Opera\\Opera\\profile",
                  xp + "\\Application Data\\Opera\\Opera\\profile",
                  xp + "\\Local Settings\\Application Data\\Opera\\Opera\\profile",
                  xp + "\\Local Settings\\Application Data\\Opera\\Opera\\profile",
              }));
    // A version the system could not tell keeps the first folder from before and searches the "5"
    // column.
    auto unknown = xpFacts;
    unknown.windoze = "";
    EXPECT_EQ(operaCandidates("Opera", unknown, {"kept"}).front(), "kept");
    EXPECT_EQ(operaCandidates("Opera", unknown).front(), "");
}

TEST(FullDiscovery, OperaDataRootFromEachCandidateForBothNames) {
    for (const std::string version : {"5", "6"}) {
        for (const std::string name : {"Opera", "Opera 10"}) {
            for (std::size_t i = 0; i < 6; ++i) {
                SCOPED_TRACE("version " + version + ", " + name + ", candidate " + std::to_string(i + 1));
                TempDir tmp;
                TempDir location;
                const auto machine = emptyMachine(tmp.path(), version);
                const std::string candidate = operaCandidates(name, machine.facts())[i];
                writeFile(native(candidate + "\\speeddial.ini"), "[Speed Dial 1]\n");
                const bool layered = candidate.ends_with("\\profile");
                const std::string expected =
                    withoutLastFolder(layered ? withoutLastFolder(candidate) : candidate);

                Wizard wizard(opera(), browsers::Task::Backup, machine);
                wizard.activate();
                if (name == "Opera") {
                    EXPECT_TRUE(wizard.host.messages.empty());
                    EXPECT_EQ(wizard.state.dataRoot, expected);
                    wizard.next(location.path());
                } else {
                    EXPECT_TRUE(wizard.state.operaNameVisible);
                    wizard.next(location.path(), name);
                    EXPECT_EQ(wizard.state.dataRoot, expected);
                }
                EXPECT_TRUE(wizard.state.finishVisible);
                EXPECT_EQ(storedNames(location / "allsave_opera.dat"),
                          std::vector<std::string>{name + (layered ? "\\profile" : "") + "\\speeddial.ini"});
            }
        }
    }
}

// ---- Backup and restore on the sample machines ----------------------------------------------

struct RoundTripCase {
    const Browser* browser;
    std::string dataRootBelow;  // "roaming" or "local", then the folder below it
    std::string folder;
    std::vector<std::string> extraFiles;    // added to the XP machine's data root, all stored
    std::vector<std::string> mustBeStored;  // names the archive holds besides those
};

fs::path dataRootOf(const tools::SampleMachine& m, const RoundTripCase& c) {
    return (c.dataRootBelow == "roaming" ? m.roaming() : m.local()) / c.folder;
}

// Backs up a browser on an XP sample machine and restores it on a Vista sample machine of another
// user that has the browser too.
TEST(FullRoundTrip, XpBackupRestoresOntoVista) {
    const RoundTripCase cases[] = {
        {&firefox(),
         "roaming",
         "Mozilla/Firefox",
         {"Profiles/zzzz0000.third/prefs.js"},
         {"profiles.ini", "Profiles\\abcd1234.default\\prefs.js", "Profiles\\wxyz5678.work\\prefs.js"}},
        {&chrome(),
         "local",
         "Google/Chrome/User Data",
         {"Profile 2/Preferences"},
         {"Local State", "Default\\Bookmarks", "Profile 1\\Bookmarks"}},
        {&safari(),
         "roaming",
         "Apple Computer",
         {"Other Program/settings.plist"},
         {"Safari\\Bookmarks.plist", "Preferences\\com.apple.Safari.plist"}},
        {&flock(), "roaming", "Flock/Browser", {}, {"profiles.ini"}},
        {&opera(),
         "roaming",
         "Opera",
         {"Opera 10/speeddial.ini", "Opera 10/profile/opera6.adr"},
         {"Opera\\profile\\speeddial.ini"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.browser->name);
        TempDir xpRoot;
        TempDir vistaRoot;
        TempDir location;
        const auto xp = tools::buildSampleMachine(xpRoot.path(), {"5", "ann"});
        const fs::path xpData = dataRootOf(xp, c);
        for (const auto& extra : c.extraFiles)
            writeFile(xpData / extra, "only on the XP machine: " + extra);
        writeFile(xpData / "kelvora-shared.txt", "from XP");
        writeFile(xpData / "kelvora-empty.txt", "");
        // An earlier archive of the same name is replaced.
        writeFile(location / c.browser->fullArchiveName, "not an archive at all");

        xp.activate();
        Wizard backup(*c.browser, browsers::Task::Backup, xp);
        backup.activate();
        backup.next(location.path());
        ASSERT_TRUE(backup.host.messages.empty()) << backup.host.messages.front();
        ASSERT_TRUE(backup.state.finishVisible);

        const auto source = filesBelow(xpData);
        const auto stored = storedNames(location / c.browser->fullArchiveName);
        EXPECT_EQ(stored, nonEmptyNames(source));
        for (std::string name : c.mustBeStored)
            EXPECT_TRUE(std::binary_search(stored.begin(), stored.end(), name)) << name;
        for (std::string extra : c.extraFiles) {
            std::replace(extra.begin(), extra.end(), '/', '\\');
            EXPECT_TRUE(std::binary_search(stored.begin(), stored.end(), extra)) << extra;
        }
        EXPECT_FALSE(std::binary_search(stored.begin(), stored.end(), std::string("kelvora-empty.txt")));

        const auto vista = tools::buildSampleMachine(vistaRoot.path(), {"6", "bob"});
        const fs::path vistaData = dataRootOf(vista, c);
        writeFile(vistaData / "kelvora-shared.txt", "from Vista, a longer text than the one from XP");
        writeFile(vistaData / "kelvora-only-here.txt", "Vista's own");
        const auto before = filesBelow(vistaData);

        vista.activate();
        Wizard restore(*c.browser, browsers::Task::Restore, vista);
        restore.activate();
        restore.next(location.path());
        ASSERT_TRUE(restore.host.messages.empty()) << restore.host.messages.front();
        EXPECT_TRUE(restore.state.finishVisible);
        EXPECT_EQ(restore.state.fileLabel, "Finished");

        const auto after = filesBelow(vistaData);
        for (const auto& [name, contents] : source) {
            if (!contents.empty()) {
                EXPECT_EQ(after.at(name), contents) << name;
            }
        }
        for (const auto& [name, contents] : before) {
            if (!source.contains(name) || source.at(name).empty()) {
                EXPECT_EQ(after.at(name), contents) << name << " was not in the archive";
            }
        }
        EXPECT_EQ(after.at("kelvora-shared.txt"), "from XP");
        EXPECT_FALSE(after.contains("kelvora-empty.txt"));
        std::size_t expectedCount = before.size();
        for (const auto& name : stored)
            expectedCount += before.contains(name) ? 0 : 1;
        EXPECT_EQ(after.size(), expectedCount) << "the restore wrote files of its own";
    }
}

TEST(FullRoundTrip, OperaMailTravelsInItsOwnArchive) {
    TempDir xpRoot;
    TempDir vistaRoot;
    TempDir location;
    const auto xp = tools::buildSampleMachine(xpRoot.path(), {"5", "ann"});
    const auto mail = filesBelow(xp.local() / "Opera/Opera/mail");
    ASSERT_FALSE(mail.empty());
    xp.activate();
    Wizard backup(opera(), browsers::Task::Backup, xp);
    backup.activate();
    backup.next(location.path());
    EXPECT_EQ(storedNames(location / "allsave_opera2.dat"), nonEmptyNames(mail));

    const auto vista = tools::buildSampleMachine(vistaRoot.path(), {"6", "bob"});
    fs::remove_all(vista.local() / "Opera/Opera/mail");
    vista.activate();
    Wizard restore(opera(), browsers::Task::Restore, vista);
    restore.activate();
    restore.next(location.path());
    EXPECT_TRUE(restore.state.finishVisible);
    EXPECT_EQ(restore.state.mailFolder, "C:\\Users\\bob\\AppData\\Local\\Opera\\Opera\\mail");
    EXPECT_EQ(filesBelow(vista.local() / "Opera/Opera/mail"), mail);
}

// ---- Opera's installation name --------------------------------------------------------------

TEST(FullOpera, TypedNameOpera10OnBackupAndRestore) {
    TempDir first;
    TempDir second;
    TempDir location;
    auto machine = emptyMachine(first.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera 10/profile/speeddial.ini", "[Speed Dial 1]\n");
    writeFile(machine.local() / "Opera/Opera 10/mail/store/1.mbs", "Hello");

    Wizard backup(opera(), browsers::Task::Backup, machine);
    backup.activate();
    EXPECT_EQ(backup.host.messages,
              std::vector<std::string>{"Settings Files Not Found. Please Type Folder Name."});
    backup.next(location.path(), "Opera 10");
    EXPECT_EQ(backup.host.messages.size(), 1u);
    EXPECT_TRUE(backup.state.finishVisible);
    EXPECT_EQ(backup.state.dataRoot, "C:\\Users\\ann\\AppData\\Roaming\\Opera");
    EXPECT_EQ(backup.state.mailFolder, "C:\\Users\\ann\\AppData\\Local\\Opera\\Opera 10\\mail");
    EXPECT_EQ(storedNames(location / "allsave_opera.dat"),
              std::vector<std::string>{"Opera 10\\profile\\speeddial.ini"});
    EXPECT_EQ(storedNames(location / "allsave_opera2.dat"), std::vector<std::string>{"store\\1.mbs"});

    machine = emptyMachine(second.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera 10/speeddial.ini", "flat layout");
    Wizard restore(opera(), browsers::Task::Restore, machine);
    restore.activate();
    restore.next(location.path(), "Opera 10");
    EXPECT_EQ(restore.host.messages.size(), 1u);  // only activation's
    EXPECT_TRUE(restore.state.finishVisible);
    EXPECT_EQ(readFile(machine.roaming() / "Opera/Opera 10/profile/speeddial.ini"), "[Speed Dial 1]\n");
    EXPECT_EQ(readFile(machine.roaming() / "Opera/Opera 10/speeddial.ini"), "flat layout");
    EXPECT_EQ(readFile(machine.local() / "Opera/Opera 10/mail/store/1.mbs"), "Hello");
}

TEST(FullOpera, WrongTypedNameAsksAgainAndWritesNothing) {
    TempDir tmp;
    TempDir location;
    const auto machine = emptyMachine(tmp.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera 10/speeddial.ini", "x");
    for (const auto task : {browsers::Task::Backup, browsers::Task::Restore}) {
        if (task == browsers::Task::Restore)
            writeFile(location / "allsave_opera.dat", "");
        Wizard wizard(opera(), task, machine);
        wizard.activate();
        wizard.next(location.path(), "Opera 11");
        EXPECT_EQ(wizard.host.messages.back(), "Settings Files Not Found. Please Re-Check Folder Name.");
        EXPECT_TRUE(wizard.state.operaNameVisible);
        EXPECT_FALSE(wizard.state.finishVisible);
        EXPECT_TRUE(wizard.host.busy.empty()) << "nothing was packed or unpacked";
        // The right name in the same window then works.
        wizard.next(location.path(), "Opera 10");
        EXPECT_TRUE(wizard.state.finishVisible);
    }
}

TEST(FullOpera, RestoreWithOnlyTheMainArchive) {
    TempDir first;
    TempDir second;
    TempDir location;
    auto machine = emptyMachine(first.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera/speeddial.ini", "saved");
    Wizard backup(opera(), browsers::Task::Backup, machine);
    backup.activate();
    backup.next(location.path());
    fs::remove(location / "allsave_opera2.dat");

    machine = emptyMachine(second.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera/speeddial.ini", "current");
    Wizard restore(opera(), browsers::Task::Restore, machine);
    restore.activate();
    restore.next(location.path());
    EXPECT_TRUE(restore.host.messages.empty());
    EXPECT_TRUE(restore.state.finishVisible);
    EXPECT_EQ(readFile(machine.roaming() / "Opera/Opera/speeddial.ini"), "saved");
    EXPECT_FALSE(fs::exists(machine.local() / "Opera"));
}

TEST(FullOpera, MissingMailFolderGivesAnEmptyMailArchive) {
    TempDir tmp;
    TempDir location;
    const auto machine = emptyMachine(tmp.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera/speeddial.ini", "x");
    writeFile(location / "allsave_opera2.dat", "an older mail archive");
    Wizard backup(opera(), browsers::Task::Backup, machine);
    backup.activate();
    backup.next(location.path());
    EXPECT_TRUE(backup.state.finishVisible);
    ASSERT_TRUE(fs::exists(location / "allsave_opera2.dat"));
    EXPECT_EQ(fs::file_size(location / "allsave_opera2.dat"), 0u);

    Wizard restore(opera(), browsers::Task::Restore, machine);
    restore.activate();
    restore.next(location.path());
    EXPECT_TRUE(restore.state.finishVisible);
    EXPECT_FALSE(fs::exists(machine.local() / "Opera"));
}

TEST(FullOpera, RestoreChecksTheMainArchiveFirst) {
    TempDir tmp;
    TempDir location;
    const auto machine = emptyMachine(tmp.path(), "6");
    writeFile(location / "allsave_opera2.dat", "");
    Wizard restore(opera(), browsers::Task::Restore, machine);
    restore.activate();  // finds nothing
    restore.next(location.path(), "No Such Opera");
    EXPECT_EQ(restore.host.messages.back(), "Backup File \"allsave_opera.dat\" Not Found");
}

// ---- Preconditions --------------------------------------------------------------------------

TEST(FullPreconditions, LocationAndArchiveMessages) {
    TempDir tmp;
    TempDir location;
    const auto machine = tools::buildSampleMachine(tmp.path(), {"6", "ann"});
    machine.activate();
    for (const auto* browser : kClassicBrowsers) {
        SCOPED_TRACE(browser->name);
        for (const auto task : {browsers::Task::Backup, browsers::Task::Restore}) {
            Wizard wizard(*browser, task, machine);
            wizard.activate();
            wizard.state.task == browsers::Task::Backup ? full::backup(*browser, wizard.state, wizard.host)
                                                        : full::restore(*browser, wizard.state, wizard.host);
            EXPECT_EQ(wizard.host.messages.back(), "Please Select Backup Location");
            EXPECT_FALSE(wizard.state.finishVisible);
        }
        Wizard restore(*browser, browsers::Task::Restore, machine);
        restore.activate();
        writeFile(location / ("x" + browser->fullArchiveName), "another name is not looked for");
        restore.next(location.path());
        EXPECT_EQ(restore.host.messages,
                  std::vector<std::string>{"Backup File \"" + browser->fullArchiveName + "\" Not Found"});
        EXPECT_TRUE(restore.host.busy.empty());
    }
    EXPECT_EQ(firefox().fullArchiveName, "allsave_firefox.dat");
    EXPECT_EQ(chrome().fullArchiveName, "allsave_chrome.dat");
    EXPECT_EQ(safari().fullArchiveName, "allsave_safari.dat");
    EXPECT_EQ(flock().fullArchiveName, "allsave_flock.dat");
}

// Changes the process's working folder for one test.
class WorkingFolder {
  public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

// Without a data root "Next >" must not pack or unpack the working folder, whether nothing was found
// or the marker was found by its bare name in the working folder.
TEST(FullPreconditions, NoDataRootNeverTouchesTheWorkingFolder) {
    for (const bool bareMarker : {false, true}) {
        for (const auto* browser : kClassicBrowsers) {
            SCOPED_TRACE(browser->name + (bareMarker ? ", marker in the working folder" : ""));
            TempDir tmp;
            TempDir work;
            TempDir location;
            const auto machine = emptyMachine(tmp.path(), "6");
            writeFile(work / "keep.txt", "the working folder's own");
            if (bareMarker)
                writeFile(work / browser->discovery.front().marker, "marker");
            const auto workBefore = filesBelow(work.path());
            // An archive that would overwrite keep.txt if it were unpacked into the working folder.
            TempDir other;
            writeFile(other / "keep.txt", "from the archive");
            {
                TZlibMultiple writer;
                writer.CompressDirectory(other.str(), true, (location / browser->fullArchiveName).string());
            }
            const std::string expected = full::asksInstallName(*browser)
                                             ? "Settings Files Not Found. Please Type Folder Name."
                                             : "Settings Files Not Found.";
            WorkingFolder cd(work.path());

            Wizard backup(*browser, browsers::Task::Backup, machine);
            backup.activate();
            const fs::path archive = location / browser->fullArchiveName;
            const auto archiveBefore = readFile(archive);
            backup.next(location.path());
            EXPECT_EQ(backup.host.messages.back(), expected);
            EXPECT_FALSE(backup.state.finishVisible);
            EXPECT_EQ(readFile(archive), archiveBefore);

            Wizard restore(*browser, browsers::Task::Restore, machine);
            restore.activate();
            restore.next(location.path());
            EXPECT_EQ(restore.host.messages.back(), expected);
            EXPECT_FALSE(restore.state.finishVisible);
            EXPECT_TRUE(restore.host.busy.empty());
            EXPECT_EQ(filesBelow(work.path()), workBefore);
        }
    }
}

// ---- Feedback -------------------------------------------------------------------------------

TEST(FullFeedback, BarRunsPerFileAndLabelNamesIt) {
    TempDir tmp;
    TempDir location;
    const auto machine = emptyMachine(tmp.path(), "6");
    writeFile(machine.roaming() / "Mozilla/Firefox/profiles.ini", std::string(3000, 'p'));
    const std::string file = "C:\\Users\\ann\\AppData\\Roaming\\Mozilla\\Firefox\\profiles.ini";

    for (const auto task : {browsers::Task::Backup, browsers::Task::Restore}) {
        SCOPED_TRACE(task == browsers::Task::Backup ? "backup" : "restore");
        Wizard wizard(firefox(), task, machine);
        wizard.activate();
        wizard.next(location.path());
        const auto& host = wizard.host;
        EXPECT_EQ(host.labels, (std::vector<std::string>{"", file, "Finished"}));
        EXPECT_EQ(host.busy, (std::vector<bool>{true, false}));
        ASSERT_GE(host.bar.size(), 3u);
        EXPECT_EQ(host.bar.front(), std::make_pair(0, 100));                   // cleared before the file
        EXPECT_EQ(host.bar[host.bar.size() - 2], std::make_pair(3000, 3000));  // the file done
        EXPECT_EQ(host.bar.back(), std::make_pair(0, 3000));                   // completion display
        EXPECT_GT(host.repaints, 1);
        EXPECT_EQ(wizard.state.fileLabel, "Finished");
        EXPECT_EQ(wizard.state.barPosition, 0);
        EXPECT_TRUE(wizard.state.finishVisible);
    }
}

// ---- A restore replaces each file whole or not at all ---------------------------------------

std::string noise(std::size_t size) {
    std::string out(size, '\0');
    std::uint32_t x = 12345;
    for (auto& c : out) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

TEST(FullRestore, DamagedRecordLeavesItsFileAsItWas) {
    TempDir tmp;
    TempDir location;
    TempDir parts;
    const auto machine = emptyMachine(tmp.path(), "6");
    const fs::path root = machine.roaming() / "Mozilla/Firefox";
    writeFile(root / "profiles.ini", "[General]\n");
    writeFile(root / "a.txt", "old a");
    writeFile(root / "b.sqlite", "old b");

    // Two archives of one file each, back to back, make one archive whose records come in a known
    // order. The second record's checksum is spoiled, which inflating finds only after all of
    // its data has been produced.
    writeFile(parts / "one/a.txt", "new a");
    writeFile(parts / "two/b.sqlite", noise(200000));
    TZlibMultiple writer;
    writer.CompressDirectory((parts / "one").string(), true, (parts / "one.dat").string());
    writer.CompressDirectory((parts / "two").string(), true, (parts / "two.dat").string());
    std::string archive = readFile(parts / "one.dat") + readFile(parts / "two.dat");
    archive.back() = static_cast<char>(archive.back() ^ 0x5A);
    writeFile(location / "allsave_firefox.dat", archive);

    Wizard restore(firefox(), browsers::Task::Restore, machine);
    restore.activate();
    EXPECT_EQ(restore.next(location.path()).outcome(), Outcome::Failed);
    EXPECT_EQ(readFile(root / "a.txt"), "new a");
    EXPECT_EQ(readFile(root / "b.sqlite"), "old b");
    EXPECT_EQ(filesBelow(root).size(), 3u) << "no partly written file is left beside the data";
    EXPECT_FALSE(restore.state.finishVisible);
    EXPECT_NE(restore.state.fileLabel, "Finished");
    EXPECT_EQ(restore.host.busy, (std::vector<bool>{true, false}));
}

// ---- Command line ---------------------------------------------------------------------------

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun runCli(const tools::SampleMachine& machine, std::vector<std::string> args) {
    const std::vector<std::string> machineArgs = {"--root",     machine.root.string(), "--user",
                                                  machine.user, "--windows-version",   machine.version};
    args.insert(args.begin(), machineArgs.begin(), machineArgs.end());
    std::ostringstream out;
    std::ostringstream err;
    cli::Context ctx{out, err, false};
    const int code = cli::runCli(args, ctx);
    return {code, out.str(), err.str()};
}

struct FullCase {
    std::string browser;
    std::string below;  // the data root below the roaming or local folder
    bool local;
};

// Each browser both ways between a version 5 and a version 6 machine, through kelvora-cli: the
// target's data root afterwards holds its own files with every non-empty file of the source's.
void roundTripBetween(bool today, const std::vector<FullCase>& cases) {
    TempDir xpRoot;
    TempDir vistaRoot;
    const auto xp = tools::buildSampleMachine(xpRoot.path(), {"5", "ann", today});
    const auto vista = tools::buildSampleMachine(vistaRoot.path(), {"6", "bob", today});
    const std::pair<const tools::SampleMachine*, const tools::SampleMachine*> directions[] = {{&xp, &vista},
                                                                                              {&vista, &xp}};
    for (const auto& [from, to] : directions) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.browser + " from version " + from->version);
            TempDir location;
            const fs::path source = (c.local ? from->local() : from->roaming()) / c.below;
            const fs::path target = (c.local ? to->local() : to->roaming()) / c.below;
            const auto saved = filesBelow(source);
            ASSERT_FALSE(saved.empty());
            auto expected = filesBelow(target);
            for (const auto& [name, contents] : saved) {
                if (!contents.empty())
                    expected[name] = contents;
            }

            const auto backup = runCli(*from, {"full-backup", c.browser, "--to", location.str()});
            ASSERT_EQ(backup.code, 0) << backup.err;
            const fs::path archive = location / ("allsave_" + c.browser + ".dat");
            const auto stored = storedNames(archive);
            EXPECT_EQ(stored, nonEmptyNames(saved));
            for (const auto& name : stored) {
                EXPECT_NE(backup.out.find(name), std::string::npos) << name << " was not shown";
            }

            const auto restore = runCli(*to, {"full-restore", c.browser, "--from", location.str()});
            ASSERT_EQ(restore.code, 0) << restore.err;
            EXPECT_EQ(filesBelow(target), expected);
            EXPECT_TRUE(restore.err.empty()) << restore.err;
        }
    }
}

TEST(FullCommandLine, EveryBrowserBetweenBothSampleMachines) {
    roundTripBetween(false, {{"firefox", "Mozilla/Firefox", false},
                             {"chrome", "Google/Chrome/User Data", true},
                             {"safari", "Apple Computer", false},
                             {"flock", "Flock/Browser", false},
                             {"opera", "Opera", false}});
}

// Today's layouts: Chromium browsers are found by their "Local State", Opera of today in its own
// data folder.
TEST(FullCommandLine, TodaysBrowsersBetweenBothSampleMachines) {
    roundTripBetween(true, {{"firefox", "Mozilla/Firefox", false},
                            {"chrome", "Google/Chrome/User Data", true},
                            {"edge", "Microsoft/Edge/User Data", true},
                            {"brave", "BraveSoftware/Brave-Browser/User Data", true},
                            {"vivaldi", "Vivaldi/User Data", true},
                            {"chromium", "Chromium/User Data", true},
                            {"opera-chromium", "Opera Software/Opera Stable", false}});
}

TEST(FullCommandLine, OperaFolderNameAndFailures) {
    TempDir root;
    TempDir location;
    const auto machine = emptyMachine(root.path(), "6");
    writeFile(machine.roaming() / "Opera/Opera 10/speeddial.ini", "x");
    writeFile(machine.local() / "Opera/Opera 10/mail/m.mbs", "mail");

    auto run = runCli(machine, {"full-backup", "opera", "--to", location.str()});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("--opera-folder"), std::string::npos);

    run = runCli(machine, {"full-backup", "opera", "--to", location.str(), "--opera-folder", "Opera 10"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(storedNames(location / "allsave_opera2.dat"), std::vector<std::string>{"m.mbs"});

    run = runCli(machine, {"full-restore", "opera", "--from", location.str(), "--opera-folder", "Opera 9"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "kelvora-cli: Settings Files Not Found. Please Re-Check Folder Name.\n");

    run = runCli(machine, {"full-restore", "firefox", "--from", location.str()});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "kelvora-cli: Firefox's data folder was not found.\n");

    writeFile(machine.roaming() / "Mozilla/Firefox/profiles.ini", "x");
    run = runCli(machine, {"full-restore", "firefox", "--from", location.str()});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "kelvora-cli: Backup File \"allsave_firefox.dat\" Not Found\n");

    run = runCli(machine, {"full-backup", "firefox", "--to", location.str(), "--opera-folder", "x"});
    EXPECT_EQ(run.code, 2);
}

}  // namespace
}  // namespace kelvora::browsers
