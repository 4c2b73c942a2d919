// Private staging folders and the cleanup of leftovers of killed runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "core/staging.h"
#include "core/temp_names.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

std::size_t entriesIn(const fs::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++n;
    return n;
}

TEST(StagingFolder, IsANewPrivateFolderOfItsOwnRemovedOutrightAtTheEnd) {
    TempDir tmp;
    const auto trashed_before =
        fs::exists(test::trashHome() / "Trash/files") ? entriesIn(test::trashHome() / "Trash/files") : 0;
    {
        StagingFolder first = StagingFolder::create(tmp.str());
        StagingFolder second = StagingFolder::create(tmp.str());
        ASSERT_NE(first.path(), second.path());
        EXPECT_TRUE(IsTemporaryFolderName(platform::nativePath(first.path()).filename().string()));
        EXPECT_EQ(platform::nativePath(first.path()).parent_path(), tmp.path());
        ASSERT_TRUE(fs::is_directory(platform::nativePath(first.path())));
        EXPECT_EQ(entriesIn(platform::nativePath(first.path())), 0u);
#ifndef _WIN32
        EXPECT_EQ(fs::status(platform::nativePath(first.path())).permissions() & fs::perms::all,
                  fs::perms::owner_all);
#endif
        writeFile(platform::nativePath(first.path()) / "Default/Login Data", "passwords");
        writeFile(platform::nativePath(first.path()) / "Default/sub/cookies.sqlite", "cookies");
        fs::permissions(platform::nativePath(first.path()) / "Default/Login Data", fs::perms::owner_read);
    }
    EXPECT_EQ(entriesIn(tmp.path()), 0u);
    // Removed outright: the copies of passwords went nowhere else.
    const auto trashed_after =
        fs::exists(test::trashHome() / "Trash/files") ? entriesIn(test::trashHome() / "Trash/files") : 0;
    EXPECT_EQ(trashed_after, trashed_before);
}

TEST(StagingFolder, FailsWithTheParentAndTheReason) {
    TempDir tmp;
    writeFile(tmp / "a-file", "x");
    for (const std::string& parent : {tmp.str() + "\\missing\\deeper", tmp.str() + "\\a-file"}) {
        SCOPED_TRACE(parent);
        try {
            StagingFolder::create(parent);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(parent), std::string::npos) << text;
            EXPECT_GT(text.size(), parent.size() + 40) << "no reason in: " << text;
        }
    }
}

TEST(StagingFolder, MovesOwnershipAndRemovesOnce) {
    TempDir tmp;
    StagingFolder outer;
    std::string path;
    {
        StagingFolder inner = StagingFolder::create(tmp.str());
        path = inner.path();
        writeFile(platform::nativePath(path) / "f", "x");
        outer = std::move(inner);
        EXPECT_TRUE(inner.path().empty());
    }
    EXPECT_TRUE(fs::exists(platform::nativePath(path) / "f")) << "the moved-from object removed the folder";
    EXPECT_EQ(outer.path(), path);
    std::string reason;
    EXPECT_TRUE(outer.remove(&reason)) << reason;
    EXPECT_FALSE(fs::exists(platform::nativePath(path)));
    EXPECT_TRUE(outer.path().empty());
    EXPECT_TRUE(outer.remove());
}

TEST(HeldFolder, CreateNewNeverTakesAnExistingEntry) {
    TempDir tmp;
    fs::create_directories(tmp / "folder");
    writeFile(tmp / "folder/keep.txt", "keep");
    writeFile(tmp / "file", "keep");
    std::vector<std::string> taken = {tmp.str() + "\\folder", tmp.str() + "\\file"};
#ifndef _WIN32
    fs::create_directory_symlink(tmp / "folder", tmp / "link");
    fs::create_symlink(tmp / "nowhere", tmp / "dangling");
    taken.push_back(tmp.str() + "/link");
    taken.push_back(tmp.str() + "/dangling");
#endif
    for (const auto& path : taken) {
        SCOPED_TRACE(path);
        try {
            platform::HeldFolder::createNew(path, platform::Access::OwnerOnly);
            ADD_FAILURE() << "an existing entry was taken";
        } catch (const platform::SystemError& error) {
            EXPECT_TRUE(platform::alreadyExists(error)) << error.what();
        }
    }
    EXPECT_EQ(test::readFile(tmp / "folder/keep.txt"), "keep");
    EXPECT_EQ(test::readFile(tmp / "file"), "keep");
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(tmp / "nowhere"));
#endif
}

#ifndef _WIN32
TEST(StagingFolder, RemovalFollowsNoLinkInside) {
    TempDir tmp;
    writeFile(tmp / "elsewhere/precious.txt", "precious");
    writeFile(tmp / "elsewhere/sub/deep.txt", "deep");
    {
        StagingFolder staging = StagingFolder::create(tmp.str());
        const fs::path s = platform::nativePath(staging.path());
        fs::create_directory_symlink(tmp / "elsewhere", s / "dirlink");
        fs::create_symlink(tmp / "elsewhere/precious.txt", s / "filelink");
        writeFile(s / "locked/inner.txt", "x");
        fs::permissions(s / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        std::string reason;
        EXPECT_TRUE(staging.remove(&reason)) << reason;
        EXPECT_FALSE(fs::exists(s));
    }
    EXPECT_EQ(test::readFile(tmp / "elsewhere/precious.txt"), "precious");
    EXPECT_EQ(test::readFile(tmp / "elsewhere/sub/deep.txt"), "deep");
}
#endif

TEST(CleanLeftoverTemporaries, RemovesOnlyKelvorasUnheldLeftoversInThatFolder) {
    TempDir tmp;
    const std::string base = tmp.str();
    const auto native = [&](const std::string& name) { return tmp / name; };

    // Leftovers of killed runs.
    writeFile(tmp / "~kelvora-0123abcd/Default/Login Data", "old");
    writeFile(tmp / "~kv0123456789abcdef.tmp", "half an archive");
    // Not Kelvora's, or not here.
    writeFile(tmp / "~kelvora-notes/x", "user");
    writeFile(tmp / "~kelvora-/x", "user");
    writeFile(tmp / "~kv12.txt", "user");
    writeFile(tmp / "~kvxyz.tmp", "user");
    writeFile(tmp / "keep.tmp", "user");
    writeFile(tmp / "below/~kelvora-abcdef/x", "below");
    writeFile(tmp / "below/~kv00ff.tmp", "below");
    writeFile(tmp / "~kelvora-fe", "a file with a folder's name");
    fs::create_directories(tmp / "~kv00aa.tmp");
    writeFile(tmp / "~kv00aa.tmp/x", "a folder with a file's name");
#ifndef _WIN32
    writeFile(tmp / "elsewhere/x", "linked");
    fs::create_directory_symlink(tmp / "elsewhere", tmp / "~kelvora-11");
    fs::create_symlink(tmp / "elsewhere/x", tmp / "~kv11.tmp");
#endif
    // In use by running tasks.
    StagingFolder running = StagingFolder::create(base);
    writeFile(platform::nativePath(running.path()) / "data", "in use");
    const std::string writing = base + "\\~kv00000000000000ff.tmp";
    platform::File temp = platform::File::create(writing);
    temp.write("abc", 3);

    CleanLeftoverTemporaries(base);

    struct Case {
        const char* name;
        bool stays;
    };
    const Case cases[] = {
        {"~kelvora-0123abcd", false},
        {"~kv0123456789abcdef.tmp", false},
        {"~kelvora-notes/x", true},
        {"~kelvora-/x", true},
        {"~kv12.txt", true},
        {"~kvxyz.tmp", true},
        {"keep.tmp", true},
        {"below/~kelvora-abcdef/x", true},
        {"below/~kv00ff.tmp", true},
        {"~kelvora-fe", true},
        {"~kv00aa.tmp/x", true},
#ifndef _WIN32
        {"~kelvora-11", true},
        {"~kv11.tmp", true},
        {"elsewhere/x", true},
#endif
        {"~kv00000000000000ff.tmp", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fs::exists(fs::symlink_status(native(c.name))), c.stays);
    }
    EXPECT_EQ(test::readFile(platform::nativePath(running.path()) / "data"), "in use");

    // Once the writer is done with it (and did not rename it), the temporary is a leftover.
    temp.close();
    CleanLeftoverTemporaries(base);
    EXPECT_FALSE(fs::exists(native("~kv00000000000000ff.tmp")));
    EXPECT_EQ(test::readFile(platform::nativePath(running.path()) / "data"), "in use");
}

#ifndef _WIN32
// A task in another process holds its staging folder; once that process is killed, the folder is a
// leftover the next cleanup removes.
TEST(CleanLeftoverTemporaries, LeavesAnotherProcesssFolderUntilItIsKilled) {
    TempDir tmp;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        StagingFolder staging = StagingFolder::create(tmp.str());
        writeFile(platform::nativePath(staging.path()) / "Login Data", "secret");
        const platform::File temp = platform::File::create(tmp.str() + "/~kv0000000000000001.tmp");
        const char ok = 1;
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);

    CleanLeftoverTemporaries(tmp.str());
    EXPECT_EQ(entriesIn(tmp.path()), 2u) << "a running task's folder or file was taken";

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(entriesIn(tmp.path()), 2u);
    CleanLeftoverTemporaries(tmp.str());
    EXPECT_EQ(entriesIn(tmp.path()), 0u);
}
#endif

}  // namespace
}  // namespace kelvora
