// This computer: the user's own Linux profiles in the home folder (classic, ~/.config, snap and
// flatpak places), found as on Windows, and archives that move between a Windows machine and it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>

#include "browsers/selective.h"
#include "selective_fixture.h"

namespace kelvora::test {
namespace {

using browsers::Task;

const fs::path kReal = KELVORA_REAL_PROFILES;

// HOME points at a temporary folder and the machine is this computer while it lives.
class ThisComputer {
  public:
    ThisComputer() {
        if (const char* home = std::getenv("HOME"))
            previousHome_ = home;
        ::setenv("HOME", home.str().c_str(), 1);
        platform::setMachine({platform::kThisComputer, {}, {}, {}});
    }
    ~ThisComputer() {
        if (previousHome_)
            ::setenv("HOME", previousHome_->c_str(), 1);
        else
            ::unsetenv("HOME");
    }
    // Copies a fixture folder into the home folder.
    void place(const fs::path& fixture, const std::string& below) const {
        fs::create_directories(home / below);
        fs::copy(fixture, home / below, fs::copy_options::recursive);
    }

    TempDir home;
    RecordingHost host;

  private:
    std::optional<std::string> previousHome_;
};

browsers::SelectiveState discover(const browsers::Browser& browser, Task task, ThisComputer& here) {
    auto state = browsers::makeSelectiveState(browser, task);
    browsers::discoverProfiles(browser, state, here.host);
    return state;
}

TEST(ThisComputer, FindsEachBrowserInItsLinuxPlaces) {
    const fs::path firefox = kReal / "firefox";
    const fs::path chromium = kReal / "chromium/User Data";
    const struct {
        const char* keyword;
        const fs::path* fixture;
        const char* place;
        const char* byDefault;
    } cases[] = {
        {"firefox", &firefox, ".mozilla/firefox", "7zbmtyxw.default-esr"},
        {"firefox", &firefox, ".config/mozilla/firefox", "7zbmtyxw.default-esr"},
        {"firefox", &firefox, "snap/firefox/common/.mozilla/firefox", "7zbmtyxw.default-esr"},
        {"firefox", &firefox, ".var/app/org.mozilla.firefox/.mozilla/firefox", "7zbmtyxw.default-esr"},
        {"chromium", &chromium, ".config/chromium", "Default"},
        {"chromium", &chromium, "snap/chromium/common/chromium", "Default"},
        {"chrome", &chromium, ".config/google-chrome", "Default"},
        {"edge", &chromium, ".config/microsoft-edge", "Default"},
        {"brave", &chromium, ".config/BraveSoftware/Brave-Browser", "Default"},
        {"vivaldi", &chromium, ".var/app/com.vivaldi.Vivaldi/config/vivaldi", "Default"},
        {"opera-chromium", &chromium, ".config/opera", "Default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + " in ~/" + c.place);
        ThisComputer here;
        here.place(*c.fixture, c.place);
        const auto& browser = browsers::browser(c.keyword);
        const auto state = discover(browser, Task::Backup, here);
        ASSERT_FALSE(state.markerFound.empty());
        EXPECT_EQ(platform::nativePath(state.profileRoot), (here.home / c.place).string() + "/");
        ASSERT_GE(state.profileIndex, 0);
        EXPECT_EQ(state.profiles[static_cast<std::size_t>(state.profileIndex)], c.byDefault);
    }
    // Browsers that never ran on Linux are not looked for.
    ThisComputer here;
    for (const char* keyword : {"safari", "flock", "opera"})
        EXPECT_FALSE(browsers::existsOn(browsers::browser(keyword), browsers::readEnvironmentFacts()))
            << keyword;
}

// A Firefox backup made on a Windows machine restores into the Linux profile, and one made here
// restores into the Windows machine: every item file arrives byte for byte.
TEST(ThisComputer, FirefoxArchivesMoveBetweenWindowsAndThisComputer) {
    const auto& firefox = browsers::firefox();
    const auto files = [&](const fs::path& profile) {
        std::set<std::string> out;
        for (const auto& row : firefox.backupItems) {
            for (const auto& file : row.files) {
                if (fs::is_regular_file(profile / file) && fs::file_size(profile / file) > 0)
                    out.insert(file);
            }
        }
        return out;
    };

    // Windows -> this computer.
    SelectiveFixture windows("6", true);
    const auto backup = windows.backUp(firefox, "q1w2e3r4.default-release");
    ASSERT_EQ(windows.result.outcome(), Outcome::Done);
    const fs::path windowsProfile = platform::nativePath(backup.profileFolder);
    const std::string archive = fs::path(platform::nativePath(backup.archivePath)).filename().string();
    const fs::path saves = windows.savesDir();
    const auto carried = files(windowsProfile);
    std::map<std::string, std::string> fromWindows;
    for (const auto& name : carried)
        fromWindows[name] = readFile(windowsProfile / name);
    {
        ThisComputer here;
        here.place(kReal / "firefox", ".mozilla/firefox");
        auto state = discover(firefox, Task::Restore, here);
        state.backupLocationText = saves.string();
        browsers::backupLocationChanged(state);
        state.backupFileIndex = 0;
        ASSERT_EQ(state.backupFiles.at(0), archive);
        const auto result = browsers::runSelectiveRestore(firefox, state, here.host);
        ASSERT_EQ(result.outcome(), Outcome::Done) << result.message();
        const fs::path local = here.home / ".mozilla/firefox/7zbmtyxw.default-esr";
        for (const auto& [name, contents] : fromWindows)
            EXPECT_TRUE(readFile(local / name) == contents) << name;

        // This computer -> Windows.
        fs::remove(saves / archive);
        auto mine = discover(firefox, Task::Backup, here);
        mine.backupLocationText = saves.string();
        ASSERT_EQ(browsers::runSelectiveBackup(firefox, mine, here.host).outcome(), Outcome::Done);
        for (const auto& name : files(local))
            fromWindows[name] = readFile(local / name);
        for (const auto& name : files(local))
            writeFile(windowsProfile / name, "stale");
    }
    windows.machine.activate();
    auto state = windows.restoreWindow(firefox, "default-esr.dat");
    SelectiveFixture::choose(state, "q1w2e3r4.default-release");
    const auto result = browsers::runSelectiveRestore(firefox, state, windows.host);
    ASSERT_EQ(result.outcome(), Outcome::Done) << result.message();
    for (const auto& [name, contents] : fromWindows)
        EXPECT_TRUE(readFile(windowsProfile / name) == contents) << name;
}

}  // namespace
}  // namespace kelvora::test
