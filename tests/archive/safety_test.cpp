// What the archive does to keep people's data whole: links in a tree are neither followed nor
// packed, a name the archive can't hold exactly is left out and reported (never changed, so two
// files never merge), archives are readable by their owner only, a small record can't inflate
// without bound, and Kelvora's own unfinished files are neither packed nor left lying about.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "archive/zlib_multiple.h"
#include "archive_fixtures.h"
#include "core/error.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::listOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

// A path from a name's bytes: UTF-8 on Windows; on POSIX the bytes as they are (a name need not be
// valid UTF-8 there).
fs::path utf8Path(const std::string& text) {
#ifdef _WIN32
    return fs::path(std::u8string(text.begin(), text.end()));
#else
    return fs::path(text);
#endif
}

// The last component of each left-out path with its reason.
std::vector<std::string> leftOutNames(const TZlibMultiple& z) {
    std::vector<std::string> out;
    for (const LeftOutItem& item : z.LeftOut)
        out.push_back(item.path.substr(item.path.find_last_of("\\/") + 1) + ": " + item.reason);
    return out;
}

// Makes a symbolic link; false where the system does not let this process make one.
bool makeLink(const fs::path& target, const fs::path& link) {
    std::error_code ec;
    if (fs::is_directory(target))
        fs::create_directory_symlink(target, link, ec);
    else
        fs::create_symlink(target, link, ec);
    return !ec && fs::is_symlink(link);
}

// ---- Links --------------------------------------------------------------------------------------

TEST(ArchiveWalk, LinksInsideTheTreeAreLeftOutAndReportedNeverFollowed) {
    TempDir dir;
    writeFile(dir / "in/real/a.txt", "a");
    writeFile(dir / "in/top.txt", "top");
    writeFile(dir / "secret/passwords.txt", "not to be packed");
    fs::create_directories(dir / "in/links");
    const bool made = makeLink(dir / "in/real", dir / "in/links/again") &&    // would double the records
                      makeLink(dir / "in/top.txt", dir / "in/links/file") &&  // would store a second copy
                      makeLink(dir / "secret", dir / "in/links/outside") &&   // leads out of the tree
                      makeLink(dir / "in", dir / "in/links/loop") &&          // leads back up
                      makeLink(dir / "nowhere", dir / "in/links/dangling");
    if (!made)
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());

    EXPECT_THAT(listOf(dir / "a.dat"), UnorderedElementsAre("real\\a.txt", "top.txt"));
    const std::string reason = ": a link, which is not followed";
    EXPECT_THAT(leftOutNames(z), UnorderedElementsAre("again" + reason, "file" + reason, "outside" + reason,
                                                      "loop" + reason, "dangling" + reason));
}

TEST(ArchiveWalk, PackedFolderMayItselfBeALink) {
    TempDir dir;
    writeFile(dir / "in/sub/a.txt", "a");
    if (!makeLink(dir / "in", dir / "via-link"))
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    TZlibMultiple z;
    z.CompressDirectory((dir / "via-link").string(), true, (dir / "a.dat").string());
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("sub\\a.txt"));
    EXPECT_TRUE(z.LeftOut.empty());
}

// Extracting into a folder where a link stands on a record's way (a folder of the data replaced by
// a link to elsewhere) writes nothing through it: those records are left out, the rest restored.
TEST(ArchiveExtract, NothingIsWrittenThroughALinkInTheTarget) {
    TempDir dir;
    writeFile(dir / "in/sub/deeper/a.txt", "a");
    writeFile(dir / "in/b.txt", "b");
    TZlibMultiple writer;
    writer.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "elsewhere");
    if (!makeLink(dir / "elsewhere", dir / "out/sub"))
        GTEST_SKIP() << "this system does not let the test make symbolic links";

    TZlibMultiple z;
    z.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true);
    EXPECT_EQ(readFile(dir / "out/b.txt"), "b");
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    ASSERT_EQ(z.LeftOut.size(), 1u);
    EXPECT_THAT(z.LeftOut[0].reason, HasSubstr("is a link, which is not written through"));

    // The folder extracted into may itself be a link.
    if (!makeLink(dir / "out", dir / "via-link"))
        GTEST_SKIP();
    TZlibMultiple again;
    fs::remove(dir / "out/sub");
    again.DecompressFile((dir / "a.dat").string(), (dir / "via-link").string(), true, true);
    EXPECT_EQ(readFile(dir / "out/sub/deeper/a.txt"), "a");
    EXPECT_TRUE(again.LeftOut.empty());
}

// A file that can't take its place says why, in the system's words.
TEST(ArchiveExtract, AFileThatCannotBeReplacedSaysWhy) {
    TempDir dir;
    writeFile(dir / "in/a.txt", "a");
    TZlibMultiple writer;
    writer.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
    writeFile(dir / "out/a.txt/kept.txt", "a folder stands where the file goes");
    TZlibMultiple z;
    const std::string error =
        errorOf([&] { z.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true); });
    EXPECT_THAT(error, HasSubstr("The file could not be replaced: "));
    EXPECT_THAT(error, Not(EndsWith("replaced: .")));
    EXPECT_EQ(readFile(dir / "out/a.txt/kept.txt"), "a folder stands where the file goes");
}

#ifndef _WIN32
TEST(ArchiveOutput, ArchiveIsReadableByItsOwnerOnly) {
    TempDir dir;
    writeFile(dir / "in/cookies.sqlite", "secret");
    writeFile(dir / "a.dat", "an earlier archive, readable by all");
    fs::permissions(dir / "a.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                       fs::perms::others_read);
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
    EXPECT_EQ(fs::status(dir / "a.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("cookies.sqlite"));
}
#endif

// ---- Names ---------------------------------------------------------------------------------------

TEST(ArchiveNames, NameTheArchiveCannotHoldExactlyIsLeftOutAndReported) {
    struct Case {
        std::string name;  // UTF-8
        std::string reason;
        bool posixOnly;  // Windows does not allow such a name at all
    };
    const std::string lacks =
        "the name holds characters that the archive's " + platform::ansiCodePageName() + " lacks";
    const std::vector<Case> cases = {
        {"\xE6\x97\xA5.txt", lacks, false},  // CJK: no mapping; once stored as "?.txt"
        // Fullwidth "..\": a best-fit conversion would store "..\evil.txt"
        {"\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBC"
         "evil.txt",
         lacks, false},
        {"\xF0\x9F\x98\x80.txt", lacks, false},  // beyond the BMP
        {"caf\xE9.txt", lacks, true},            // not UTF-8 (a Latin-1 name)
        {"back\\slash.txt", "the name holds \"\\\", which Windows takes for a folder separator", true},
        {"a:b.txt", "the name holds \":\", which Windows does not allow in names", true},
        {"what?.txt", "the name holds \"?\", which Windows does not allow in names", true},
        {"aux.js", "the name is a device name", true},
        {"...", "the name ends in a dot or space, which Windows drops", true},
        {"trailing ", "the name ends in a dot or space, which Windows drops", true},
        {"line\nbreak.txt", "the name holds a control character", true},
        {"esc\x1b[31m.txt", "the name holds a control character", true},
        {"c1\xC2\x9B.txt", "the name holds a control character", true},
    };
    for (const Case& c : cases) {
#ifdef _WIN32
        if (c.posixOnly)
            continue;
#endif
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(dir / "in/keep.txt", "kept");
        writeFile(dir / "in/sub" / utf8Path(c.name), "left out");
        ASSERT_TRUE(fs::exists(dir / "in/sub" / utf8Path(c.name)));
        TZlibMultiple z;
        z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
        EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("keep.txt"));
        ASSERT_EQ(z.LeftOut.size(), 1u);
        EXPECT_EQ(z.LeftOut[0].reason, c.reason);
        EXPECT_THAT(z.LeftOut[0].path, EndsWith(c.name));
    }
}

TEST(ArchiveNames, FilesThatWouldMergeUnderOneStoredNameAreBothLeftOut) {
    TempDir dir;
    writeFile(dir / "in" / utf8Path("\xE6\x97\xA5.txt"), "one");  // both were stored as "?.txt" once
    writeFile(dir / "in" / utf8Path("\xE6\x9C\xAC.txt"), "two");
    writeFile(dir / "in/plain.txt", "plain");
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("plain.txt"));
    EXPECT_EQ(z.LeftOut.size(), 2u);
}

TEST(ArchiveNames, FolderWhoseNameCannotBeStoredIsLeftOutOnceWithItsFiles) {
    TempDir dir;
    writeFile(dir / "in" / utf8Path("\xE6\x97\xA5\xE6\x9C\xAC") / "a.txt", "a");
    writeFile(dir / "in" / utf8Path("\xE6\x97\xA5\xE6\x9C\xAC") / "deeper/b.txt", "b");
    writeFile(dir / "in/ok/c.txt", "c");
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("ok\\c.txt"));
    ASSERT_EQ(z.LeftOut.size(), 1u);
    EXPECT_THAT(z.LeftOut[0].path, EndsWith("\xE6\x97\xA5\xE6\x9C\xAC"));

    // Without stored paths the folder's name is not stored: its files are.
    TZlibMultiple flat;
    flat.StorePaths = false;
    flat.CompressDirectory((dir / "in").string(), true, (dir / "b.dat").string());
    EXPECT_THAT(listOf(dir / "b.dat"), UnorderedElementsAre("a.txt", "b.txt", "c.txt"));
    EXPECT_TRUE(flat.LeftOut.empty());
}

#ifndef _WIN32
// Sets an environment variable for one test, and puts back what was there.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ArchiveCodePage, EnvironmentChoosesTheCodePageOfNames) {
    TempDir dir;
    const std::string cyrillic = "\xD0\x96\xD1\x83\xD0\xBA.txt";  // "Жук.txt"
    writeFile(dir / "in" / utf8Path(cyrillic), "beetle");
    writeFile(dir / "in" / utf8Path("caf\xC3\xA9.txt"), "not in windows-1251");
    {
        ScopedEnvironment page("KELVORA_CODEPAGE", "windows-1251");
        TZlibMultiple z;
        z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
        EXPECT_THAT(
            leftOutNames(z),
            ElementsAre("caf\xC3\xA9.txt: the name holds characters that the archive's code page 1251 "
                        "lacks"));
        const auto records = test::parseArchive(readFile(dir / "a.dat"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].name, "\xC6\xF3\xEA.txt");
        EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre(cyrillic));
        TZlibMultiple reader;
        reader.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true);
        EXPECT_EQ(readFile(dir / "out" / utf8Path(cyrillic)), "beetle");
    }
    // The same bytes read in windows-1252, the default.
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("\xC3\x86\xC3\xB3\xC3\xAA.txt"));
}

TEST(ArchiveCodePage, UnknownCodePageStopsThePackAndKeepsTheEarlierArchive) {
    TempDir dir;
    writeFile(dir / "in/a.txt", "a");
    writeFile(dir / "a.dat", "earlier");
    ScopedEnvironment page("KELVORA_CODEPAGE", "no-such-code-page");
    TZlibMultiple z;
    EXPECT_THAT(errorOf([&] { z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string()); }),
                HasSubstr("\"no-such-code-page\" (KELVORA_CODEPAGE) is not known"));
    EXPECT_EQ(test::entriesOf(dir.path()),
              (std::map<std::string, std::string>{{"a.dat", "earlier"}, {"in/", ""}, {"in/a.txt", "a"}}));
}
#endif

// ---- Inflation is bounded -----------------------------------------------------------------------

class ArchiveBound : public ::testing::TestWithParam<unsigned> {};

TEST_P(ArchiveBound, RecordInflatingFarBeyondItsHeaderStopsWithAnError) {
    struct Case {
        std::uint32_t claimed;
        std::size_t actual;
    };
    // Zeros pack to a few kilobytes: the records are small, their contents are not.
    for (const Case& c : {Case{1000, 4u << 20}, Case{0, 1u << 20}, Case{3u << 20, 6u << 20}}) {
        SCOPED_TRACE(c.claimed);
        TempDir dir;
        const std::string bomb = test::zlibCompress(std::string(c.actual, '\0'));
        ASSERT_LT(bomb.size(), 16u * 1024);
        writeFile(dir / "a.dat", test::record("", "first.txt", "first") +
                                     test::record("", "f.txt", c.claimed, bomb) +
                                     test::record("", "after.txt", "after"));
        writeFile(dir / "out/f.txt", "precious");
        TZlibMultiple z;
        z.Tuning.ExtractionThreads = GetParam();
        EXPECT_EQ(
            errorOf([&] { z.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true); }),
            Format("The archive record \"f.txt\" is damaged: it inflates to more than the %u bytes its "
                   "header states.",
                   c.claimed));
        EXPECT_EQ(test::entriesOf(dir / "out"),
                  (std::map<std::string, std::string>{{"first.txt", "first"}, {"f.txt", "precious"}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, ArchiveBound, ::testing::Values(1u, 2u),
                         [](const auto& info) { return "Threads" + std::to_string(info.param); });

// ---- Kelvora's own temporary files --------------------------------------------------------------

TEST(ArchiveTemporaries, NeverPackedAndLeftoversBesideTheArchiveRemoved) {
    TempDir dir;
    writeFile(dir / "in/data.txt", "data");
    writeFile(dir / "in/~kv00000000000000aa.tmp", "half an archive of a killed run");
    writeFile(dir / "in/~kelvora-00000000000000bb/copy.txt", "a killed run's staging copy");
    writeFile(dir / "in/~kvnot-ours.tmp", "a file of the person's own");
    writeFile(dir / "backups/~kv00000000000000cc.tmp", "half an archive of a killed run");
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "backups/a.dat").string());
    EXPECT_THAT(listOf(dir / "backups/a.dat"), UnorderedElementsAre("data.txt", "~kvnot-ours.tmp"));
    EXPECT_TRUE(z.LeftOut.empty());
    EXPECT_FALSE(fs::exists(dir / "backups/~kv00000000000000cc.tmp"));
}

TEST(ArchiveTemporaries, LeftoversInTheFoldersExtractedIntoAreRemoved) {
    TempDir dir;
    writeFile(dir / "a.dat", test::record("", "f.txt", "f") + test::record("sub\\", "g.txt", "g"));
    writeFile(dir / "out/~kv00000000000000dd.tmp", "a killed extraction's file");
    writeFile(dir / "out/sub/~kv00000000000000ee.tmp", "a killed extraction's file");
    writeFile(dir / "out/~kvnot-ours.tmp", "the person's own");
    TZlibMultiple z;
    z.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true);
    EXPECT_EQ(
        test::entriesOf(dir / "out"),
        (std::map<std::string, std::string>{
            {"f.txt", "f"}, {"sub/", ""}, {"sub/g.txt", "g"}, {"~kvnot-ours.tmp", "the person's own"}}));
}

}  // namespace
}  // namespace kelvora
