// What the platform hands to the desktop: Kelvora's download folder, and the start of a web page
// or a downloaded program, which the program never waits for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace kelvora::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        set(value);
    }
    ~ScopedEnv() { set(saved_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(name_, value ? value->c_str() : "");
#else
        if (value)
            ::setenv(name_, value->c_str(), 1);
        else
            ::unsetenv(name_);
#endif
    }
    const char* name_;
    std::optional<std::string> saved_;
};

#ifdef _WIN32
TEST(DownloadFolder, IsKelvorasFolderInTheLocalApplicationData) {
    const std::string local = specialFolderPath(28);
    ASSERT_FALSE(local.empty());
    const std::string folder = downloadFolder();
    EXPECT_EQ(folder, local + "\\Kelvora\\Downloads");
    EXPECT_TRUE(directoryExists(folder));
}
#else
TEST(DownloadFolder, IsKelvorasFolderInTheUsersCache) {
    TempDir tmp;
    const ScopedEnv home("HOME", tmp.str() + "/home");
    struct Case {
        const char* what;
        std::optional<std::string> cache;  // XDG_CACHE_HOME
        fs::path expected;
    };
    const Case cases[] = {
        {"the cache folder the desktop names", tmp.str() + "/cache", tmp / "cache/kelvora/downloads"},
        {"no cache folder named", std::nullopt, tmp / "home/.cache/kelvora/downloads"},
        {"a relative cache folder counts for nothing", "relative/cache",
         tmp / "home/.cache/kelvora/downloads"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv cache("XDG_CACHE_HOME", c.cache);
        fs::remove_all(c.expected);
        EXPECT_EQ(downloadFolder(false), c.expected.string());
        EXPECT_FALSE(fs::exists(c.expected)) << "only named";
        EXPECT_EQ(downloadFolder(), c.expected.string());
        EXPECT_TRUE(fs::is_directory(c.expected)) << "made on demand";
    }
    EXPECT_FALSE(fs::exists(fs::current_path() / "relative"));
}

// Waits until `path` exists, for at most about half a minute; true when it does.
bool appears(const fs::path& path) {
    for (int i = 0; i < 600 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return fs::exists(path);
}

// A stand-in for the desktop's opener on PATH: it notes what it was given, then stays until the
// test lets it go (for half a minute at most) and notes that it ended.
class FakeOpener : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(bin_);
        // The address is written beside "opened" and moved there, so the test never reads it half written.
        test::writeFile(bin_ / "xdg-open",
                        "#!/bin/sh\n"
                        "printf '%s' \"$1\" > '" +
                            (tmp_ / "opened.part").string() + "' && mv '" + (tmp_ / "opened.part").string() +
                            "' '" + (tmp_ / "opened").string() +
                            "'\n"
                            "i=0\n"
                            "while [ ! -e '" +
                            (tmp_ / "release").string() +
                            "' ] && [ $i -lt 600 ]; do\n"
                            "  sleep 0.05; i=$((i+1))\n"
                            "done\n"
                            "touch '" +
                            (tmp_ / "ended").string() + "'\n");
        fs::permissions(bin_ / "xdg-open", fs::perms::owner_all);
    }
    void TearDown() override {
        // An opener still running is let go before its folder goes.
        test::writeFile(tmp_ / "release", "");
        if (fs::exists(tmp_ / "opened"))
            appears(tmp_ / "ended");
    }

    TempDir tmp_;
    fs::path bin_ = tmp_ / "bin";
};

TEST_F(FakeOpener, PagesAndProgramsStartWithoutWaitingForTheOpener) {
    test::writeFile(tmp_ / "setup.exe", "MZ");
    struct Case {
        const char* what;
        std::function<bool()> start;
        std::string opened;
    };
    const Case cases[] = {
        {"a web page", [] { return openWithShell("http://www.tolvane.example/backup/"); },
         "http://www.tolvane.example/backup/"},
        {"a downloaded program", [&] { return startFile((tmp_ / "setup.exe").string(), "/S"); },
         (tmp_ / "setup.exe").string()},
    };
    const ScopedEnv path("PATH", bin_.string() + ":/usr/bin:/bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"opened", "release", "ended"})
            fs::remove(tmp_ / name);
        EXPECT_TRUE(c.start());
        // The call came back while the opener is still running.
        EXPECT_FALSE(fs::exists(tmp_ / "ended"));
        ASSERT_TRUE(appears(tmp_ / "opened"));
        EXPECT_EQ(test::readFile(tmp_ / "opened"), c.opened);
        test::writeFile(tmp_ / "release", "");
        EXPECT_TRUE(appears(tmp_ / "ended"));
    }
}

TEST_F(FakeOpener, WithoutAnOpenerNothingStarts) {
    const ScopedEnv path("PATH", (tmp_ / "empty").string());
    EXPECT_FALSE(openWithShell("http://www.tolvane.example/"));
    EXPECT_FALSE(startFile((tmp_ / "setup.exe").string(), ""));
    EXPECT_FALSE(fs::exists(tmp_ / "opened"));
}
#endif

}  // namespace
}  // namespace kelvora::platform
