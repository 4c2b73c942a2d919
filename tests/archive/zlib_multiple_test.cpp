// The archive component against the format: records byte for byte, round trips, events, and the
// reader's handling of damaged and hostile archives.
#include "archive/zlib_multiple.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive_fixtures.h"
#include "core/error.h"
#include "platform/platform.h"
#include "support/platform_tree.h"
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
using ::testing::HasSubstr;

// The path as the component is given it: the product's form of a folder below the temp dir.
std::string str(const fs::path& p) {
    return p.string();
}

// A path from UTF-8 text (a narrow string would be read in the ANSI code page on Windows).
fs::path utf8Path(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string pack(const fs::path& folder, const fs::path& archive, TZlibMultiple* component = nullptr) {
    TZlibMultiple own;
    (component ? *component : own).CompressDirectory(str(folder), true, str(archive));
    return readFile(archive);
}

// Extraction runs on the calling thread alone or with workers; the reading tests run both ways.
unsigned extractionThreads = 0;

class ArchiveReading : public ::testing::TestWithParam<unsigned> {
  protected:
    void SetUp() override { extractionThreads = GetParam(); }
    void TearDown() override { extractionThreads = 0; }
};

void unpack(const fs::path& archive, const fs::path& folder, bool overwrite = true, bool relative = true) {
    TZlibMultiple z;
    z.Tuning.ExtractionThreads = extractionThreads;
    z.DecompressFile(str(archive), str(folder), overwrite, relative);
}

TEST(ArchiveFormat, OneFileGivesTheDocumentedHeaderAndAZlibStream) {
    TempDir dir;
    const std::string contents = test::patterned(300);
    writeFile(dir / "in/user.js", contents);
    const std::string bytes = pack(dir / "in", dir / "a.dat");

    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(bytes.substr(0, 18),
              std::string("\x00\x07user.js\x2C\x01\x00\x00", 13) + bytes.substr(13, 4) + "\x78");
    const std::uint32_t packed = static_cast<unsigned char>(bytes[13]) | static_cast<unsigned char>(bytes[14])
                                                                             << 8;
    EXPECT_EQ(bytes.substr(15, 2), std::string("\0\0", 2));
    EXPECT_EQ(bytes.size(), 17u + packed);
    EXPECT_EQ(static_cast<unsigned char>(bytes[18]), 0x9C);
    EXPECT_EQ(test::zlibInflate(bytes.substr(17)), contents);
}

TEST_P(ArchiveReading, DocumentedExampleReadsBackAsOneFile) {
    TempDir dir;
    const std::string contents = test::patterned(300, 7);
    writeFile(dir / "example.dat", test::record("", "user.js", contents));
    unpack(dir / "example.dat", dir / "out");
    EXPECT_EQ(test::treeOf(dir / "out"), (std::map<std::string, std::string>{{"user.js", contents}}));
}

TEST_P(ArchiveReading, NoFilesGiveAnEmptyArchiveThatCreatesNothing) {
    TempDir dir;
    fs::create_directories(dir / "in/empty/deeper");
    writeFile(dir / "in/zero.txt", "");
    writeFile(dir / "in/empty/zero2", "");
    EXPECT_EQ(pack(dir / "in", dir / "a.dat"), "");
    EXPECT_TRUE(fs::exists(dir / "a.dat"));
    unpack(dir / "a.dat", dir / "out");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(ArchiveFormat, RecordsFollowTheWalkWithPathsAndNamesInTheAnsiCodePage) {
    TempDir dir;
    writeFile(dir / "in/a/b/deep.txt", "deep");
    writeFile(dir / "in/top.txt", "top");
    writeFile(dir / "in/.hidden", "h");
    writeFile(dir / "in/a" / utf8Path("caf\xC3\xA9 \xE2\x82\xAC.txt"),
              "ansi");                                              // é and € are in windows-1252
    writeFile(dir / "in/a" / utf8Path("\xE6\x97\xA5.txt"), "cjk");  // no mapping: left out
    TZlibMultiple z;
    const std::string bytes = pack(dir / "in", dir / "a.dat", &z);

    std::vector<std::string> names = listOf(dir / "a.dat");
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names,
                ElementsAre(".hidden", "a\\b\\deep.txt", "a\\caf\xC3\xA9 \xE2\x82\xAC.txt", "top.txt"));
    ASSERT_EQ(z.LeftOut.size(), 1u);
    EXPECT_THAT(z.LeftOut[0].path, ::testing::EndsWith("\xE6\x97\xA5.txt"));
    EXPECT_NE(bytes.find(std::string("\x02"
                                     "a\\\x0A"
                                     "caf\xE9 \x80.txt")),
              std::string::npos);
    EXPECT_NE(bytes.find(std::string("\x04"
                                     "a\\b\\\x08"
                                     "deep.txt")),
              std::string::npos);
}

TEST(ArchiveFormat, PathOf255BytesIsStoredWholeAndALongerOneIsLeftOutNeverCut) {
    TempDir dir;
    const std::string part(50, 'p');
    fs::path deep = dir / "in";
    std::string stored;
    for (int i = 0; i < 5; ++i) {
        deep /= part;
        stored += part + "\\";
    }
    ASSERT_EQ(stored.size(), 255u);
    writeFile(deep / "fits.txt", "x");
    writeFile(deep / "one more" / "long.txt", "y");
    TZlibMultiple z;
    pack(dir / "in", dir / "a.dat", &z);
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre(stored + "fits.txt"));
    ASSERT_EQ(z.LeftOut.size(), 1u);
    EXPECT_THAT(z.LeftOut[0].path, ::testing::EndsWith("one more"));  // the folder, once for its files
    EXPECT_EQ(z.LeftOut[0].reason, "the name is longer than the 255 bytes an archive record holds");
}

TEST_P(ArchiveReading, TreeComesBackWhole) {
    TempDir dir;
    const std::map<std::string, std::string> files = {
        {"prefs.js", test::patterned(5000)},
        {"places.sqlite", test::patterned(3 * 1024 * 1024 + 17, 3)},
        {"cache/entry1", test::randomBytes(70000, 4)},
        {"cache/sub/entry2", test::randomBytes(1, 5)},
        {"extensions/a b/manifest.json", "{}"},
        {"exactly1k", std::string(1024, 'k')},
    };
    for (const auto& [name, contents] : files)
        writeFile(dir / "in" / name, contents);
    writeFile(dir / "in/empty.txt", "");
    fs::create_directories(dir / "in/emptyfolder");

    pack(dir / "in", dir / "a.dat");
    unpack(dir / "a.dat", dir / "out");
    EXPECT_EQ(test::treeOf(dir / "out"), files);
    EXPECT_FALSE(fs::exists(dir / "out/empty.txt"));
    EXPECT_FALSE(fs::exists(dir / "out/emptyfolder"));
}

// A profile whose folder lies beyond MAX_PATH (about 400 characters), packed and extracted into a
// folder as deep: every file comes back whole. Made, listed, read and removed through the platform
// layer only. The stored names are short: the archive holds paths relative to the packed folder.
TEST(ArchiveRoundTrip, TreeBeyondMaxPathComesBackWhole) {
    TempDir dir;
    const std::string from = test::deepPath(dir.str() + "\\in", 400);
    const std::string into = test::deepPath(dir.str() + "\\out", 400);
    const std::map<std::string, std::string> files = {
        {"prefs.js", test::patterned(5000)},
        {"cache\\sub\\entry", test::randomBytes(70000, 4)},
        {"\xc3\x9c"
         "bersicht.txt",
         "a name of the code page"},
    };
    for (const auto& [name, contents] : files)
        test::writeThroughPlatform(from + "\\" + name, contents);
    ASSERT_GE((from + "\\cache\\sub\\entry").size(), 400u);

    TZlibMultiple packer;
    packer.CompressDirectory(from, true, str(dir / "deep.dat"));
    EXPECT_EQ(packer.LeftOut, std::vector<LeftOutItem>{});
    EXPECT_THAT(listOf(dir / "deep.dat"), ::testing::UnorderedElementsAre("prefs.js", "cache\\sub\\entry",
                                                                          "\xc3\x9c"
                                                                          "bersicht.txt"));

    TZlibMultiple extractor;
    extractor.DecompressFile(str(dir / "deep.dat"), into, true, true);
    std::map<std::string, std::string> expected = files;
    expected["cache"] = expected["cache\\sub"] = "<folder>";
    EXPECT_EQ(test::treeThroughPlatform(into), expected);

    for (const std::string& tree : {from, into}) {
        std::string reason;
        EXPECT_TRUE(platform::removeTreeOutright(tree, &reason)) << reason;
        EXPECT_EQ(platform::entryKind(tree), platform::EntryKind::Missing);
    }
}

TEST(ArchiveRoundTrip, NonRecursiveWalkTakesOnlyTheTopFolder) {
    TempDir dir;
    writeFile(dir / "in/top.txt", "top");
    writeFile(dir / "in/sub/inner.txt", "inner");
    TZlibMultiple z;
    z.CompressDirectory(str(dir / "in"), false, str(dir / "a.dat"));
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("top.txt"));
}

TEST(ArchiveRoundTrip, WithoutStoredPathsEveryRecordHasAnEmptyPath) {
    TempDir dir;
    writeFile(dir / "in/a/b/deep.txt", "deep");
    TZlibMultiple z;
    z.StorePaths = false;
    pack(dir / "in", dir / "a.dat", &z);
    EXPECT_THAT(listOf(dir / "a.dat"), ElementsAre("deep.txt"));
}

TEST_P(ArchiveReading, WithoutRelativePathsFilesLandInTheTargetButFoldersAreStillMade) {
    TempDir dir;
    writeFile(dir / "a.dat", test::record("a\\b\\", "deep.txt", "deep") + test::record("c", "x.txt", "x"));
    unpack(dir / "a.dat", dir / "out", true, false);
    EXPECT_EQ(test::entriesOf(dir / "out"),
              (std::map<std::string, std::string>{
                  {"a/", ""}, {"a/b/", ""}, {"c/", ""}, {"deep.txt", "deep"}, {"x.txt", "x"}}));
}

TEST_P(ArchiveReading, OverwriteDecidesAboutExistingFiles) {
    struct Case {
        bool overwrite;
        std::string expected;
    };
    for (const Case& c : {Case{false, "old"}, Case{true, "new"}}) {
        TempDir dir;
        writeFile(dir / "a.dat", test::record("", "f.txt", "new") + test::record("", "g.txt", "second"));
        writeFile(dir / "out/f.txt", "old");
        unpack(dir / "a.dat", dir / "out", c.overwrite);
        EXPECT_EQ(readFile(dir / "out/f.txt"), c.expected) << "overwrite " << c.overwrite;
        EXPECT_EQ(readFile(dir / "out/g.txt"), "second") << "overwrite " << c.overwrite;
    }
}

TEST_P(ArchiveReading, ARecordRepeatedInTheArchiveMeetsItsFirstCopy) {
    for (const bool overwrite : {false, true}) {
        TempDir dir;
        writeFile(dir / "a.dat", test::record("", "f.txt", "one") + test::record("", "f.txt", "two"));
        unpack(dir / "a.dat", dir / "out", overwrite);
        EXPECT_EQ(test::entriesOf(dir / "out"),
                  (std::map<std::string, std::string>{{"f.txt", overwrite ? "two" : "one"}}));
    }
}

TEST_P(ArchiveReading, StreamIsReadFromItsCurrentPosition) {
    TempDir dir;
    writeFile(dir / "a.dat", "JUNK" + test::record("", "f.txt", "data"));
    platform::File file = platform::File::openRead(str(dir / "a.dat"));
    file.seek(4);
    TZlibMultiple z;
    z.Tuning.ExtractionThreads = GetParam();
    z.DecompressStream(file, str(dir / "out"), true, true);
    EXPECT_EQ(readFile(dir / "out/f.txt"), "data");
}

// ---- Events -----------------------------------------------------------------------------------

struct Recorder {
    std::vector<std::string> events;
    void hook(TZlibMultiple& z, bool writeFiles = true) {
        z.OnCompressingFile = [this](TZlibMultiple&, const std::string& f) { add("compressing " + base(f)); };
        z.OnCompressedFile = [this](TZlibMultiple&, const std::string& f) { add("compressed " + base(f)); };
        z.OnDecompressingFile = [this, writeFiles](TZlibMultiple&, const std::string& f, bool& write) {
            add("decompressing " + base(f));
            write = writeFiles;
        };
        z.OnDecompressedFile = [this](TZlibMultiple&, const std::string& f, std::uint32_t size) {
            add("decompressed " + base(f) + " " + std::to_string(size));
        };
        z.OnProgress = [this](TZlibMultiple&, std::int32_t pos, std::int32_t total) {
            add(std::to_string(pos) + "/" + std::to_string(total));
        };
        z.OnCompletedAction = [this](TZlibMultiple&) { add("completed"); };
    }
    void add(std::string e) { events.push_back(std::move(e)); }
    static std::string base(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }
};

TEST(ArchiveEvents, PackingReportsEachFileAndEvery1024Bytes) {
    TempDir dir;
    writeFile(dir / "in/f.bin", test::patterned(2500));
    TZlibMultiple z;
    Recorder r;
    r.hook(z);
    pack(dir / "in", dir / "a.dat", &z);
    EXPECT_THAT(r.events, ElementsAre("compressing f.bin", "1024/2500", "2048/2500", "2500/2500", "2500/2500",
                                      "compressed f.bin"));
}

TEST_P(ArchiveReading, ExtractingReportsEachFileItsChunksAndTheEnd) {
    TempDir dir;
    writeFile(dir / "a.dat", test::record("", "f.bin", test::patterned(2500)) + test::record("", "g", "g"));
    TZlibMultiple z;
    z.Tuning.ExtractionThreads = GetParam();
    Recorder r;
    r.hook(z);
    z.DecompressFile(str(dir / "a.dat"), str(dir / "out"), true, true);
    EXPECT_THAT(r.events, ElementsAre("decompressing f.bin", "1024/2500", "2048/2500", "2500/2500",
                                      "decompressed f.bin 2500", "decompressing g", "1/1", "decompressed g 1",
                                      "completed"));
}

TEST_P(ArchiveReading, ClearingWriteFileInflatesWithoutWriting) {
    TempDir dir;
    writeFile(dir / "a.dat", test::record("sub", "f.bin", test::patterned(2000)));
    TZlibMultiple z;
    z.Tuning.ExtractionThreads = GetParam();
    Recorder r;
    r.hook(z, false);
    z.DecompressFile(str(dir / "a.dat"), str(dir / "out"), true, true);
    EXPECT_THAT(r.events, ElementsAre("decompressing f.bin", "decompressed f.bin 2000", "completed"));
    EXPECT_EQ(test::entriesOf(dir / "out"), (std::map<std::string, std::string>{{"sub/", ""}}));
}

// ---- Damaged and hostile archives -------------------------------------------------------------

void checkFaults(const std::string& body);

TEST_P(ArchiveReading, EachFaultEndsWithItsMessageAndKeepsEarlierFiles) {
    // Records of up to 4 MiB inflate in one piece, larger ones in pieces by another engine.
    for (const std::size_t size : {std::size_t{5000}, std::size_t{(4u << 20) + 300000}}) {
        SCOPED_TRACE(size);
        checkFaults(test::patterned(size));
    }
}

void checkFaults(const std::string& body) {
    const std::string good = test::record("", "first.txt", "first");
    const auto size = static_cast<std::uint32_t>(body.size());
    const std::string packed = test::zlibCompress(body);
    std::string corrupted = packed;
    corrupted[packed.size() / 2] = static_cast<char>(corrupted[packed.size() / 2] ^ 0x55);
    std::string badCheck = packed;
    badCheck.back() = static_cast<char>(badCheck.back() ^ 1);
    struct Case {
        std::string what;
        std::string archive;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"header cut", good + std::string("\x00\x05na", 4), "Stream read error"},
        {"sizes cut", good + std::string("\x00\x01x\x05\x00", 5), "Stream read error"},
        {"data past the end", good + test::record("", "f", size, packed).substr(0, 20), "Stream read error"},
        {"damaged data", good + test::record("", "f", size, corrupted), "zlib returned: data error"},
        {"wrong checksum", good + test::record("", "f", size, badCheck), "zlib returned: data error"},
        {"not zlib", good + test::record("", "f", 5, "hello"), "zlib returned: data error"},
        {"stream cut short", good + test::record("", "f", size, packed.substr(0, packed.size() / 2)),
         "The archive record \"f\" is damaged: its packed data ends early."},
        {"packed size 0",
         good + std::string("\x00\x01"
                            "f\x05\x00\x00\x00\x00\x00\x00\x00",
                            12),
         "The archive record \"f\" is damaged: its packed size is 0."},
        {"negative packed size",
         good + std::string("\x00\x01"
                            "f\x05\x00\x00\x00\xF0\xFF\xFF\xFF",
                            12),
         "The archive record \"f\" is damaged: its packed size is -16."},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeFile(dir / "a.dat", c.archive);
        writeFile(dir / "out/f", "precious");
        EXPECT_EQ(errorOf([&] { unpack(dir / "a.dat", dir / "out"); }), c.message) << c.what;
        EXPECT_EQ(test::treeOf(dir / "out"),
                  (std::map<std::string, std::string>{{"first.txt", "first"}, {"f", "precious"}}))
            << c.what;
        const std::string listed = errorOf([&] { listOf(dir / "a.dat"); });
        if (c.message == "Stream read error" || c.message.find("packed size") != std::string::npos) {
            EXPECT_EQ(listed, c.message) << c.what;
        }
    }
}

TEST(ArchiveDamage, MissingArchiveNamesTheFile) {
    TempDir dir;
    const std::string name = str(dir / "missing.dat");
    EXPECT_THAT(errorOf([&] { unpack(dir / "missing.dat", dir / "out"); }),
                HasSubstr("Cannot open file \"" + name + "\". "));
    EXPECT_THAT(errorOf([&] { listOf(dir / "missing.dat"); }),
                HasSubstr("Cannot open file \"" + name + "\". "));
}

TEST_P(ArchiveReading, RefusedRecordsAreSkippedWithAWarningAndTheRestRestored) {
    struct Case {
        std::string path;
        std::string name;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"..\\", "escaped.txt", "the name leads out of its folder (\"..\")"},
        {"a\\..\\..\\", "escaped.txt", "the name leads out of its folder (\"..\")"},
        {"", "..\\escaped.txt", "the name leads out of its folder (\"..\")"},
        {"", "../escaped.txt", "the name leads out of its folder (\"..\")"},
        {"a/../../", "escaped.txt", "the name leads out of its folder (\"..\")"},
        {"\\", "escaped.txt", "the name starts at the root of a drive"},
        {"/tmp/", "escaped.txt", "the name starts at the root of a drive"},
        {"\\\\server\\share\\", "x", "the name starts at the root of a drive"},
        {"C:\\", "escaped.txt", "the name holds a drive or stream (\":\")"},
        {"", "C:escaped.txt", "the name holds a drive or stream (\":\")"},
        {"", "f.txt:stream", "the name holds a drive or stream (\":\")"},
        {"... \\", "escaped.txt", "the name leads out of its folder (\"..\")"},
        {"", "CON", "the name is a device name"},
        {"a\\", "nul.txt", "the name is a device name"},
        {"lpt1\\", "x", "the name is a device name"},
        {"", std::string("a\0b", 3), "the name holds a zero character"},
        {"a\\", "\\escaped.txt", "the name starts at the root of a drive"},
        {"a\\", "", "the name is empty"},
        {"", "line\nbreak.txt", "the name holds a control character"},
        {"", "bell\a.txt", "the name holds a control character"},
        {"esc\x1b[31m\\", "red.txt", "the name holds a control character"},
        // 0x9D, undefined in windows-1252, reads as the C1 control U+009D, or is invalid in the code page
        {"", "c1\x9d.txt", ""},
    };
    for (const Case& c : cases) {
        for (const bool relative : {true, false}) {
            SCOPED_TRACE(c.path + c.name + (relative ? " relative" : " flat"));
            TempDir dir;
            writeFile(dir / "a.dat", test::record("", "first.txt", "first") +
                                         test::record(c.path, c.name, "evil") +
                                         test::record("", "last.txt", "last"));
            TZlibMultiple z;
            z.Tuning.ExtractionThreads = GetParam();
            std::vector<std::string> warnings;
            z.OnWarning = [&](TZlibMultiple&, const std::string& m) { warnings.push_back(m); };
            // Without relative paths the name alone is joined to the target: it is checked too.
            EXPECT_EQ(
                errorOf([&] { z.DecompressFile(str(dir / "a.dat"), str(dir / "sub/out"), true, relative); }),
                "(no error)");
            EXPECT_EQ(test::entriesOf(dir.path()),
                      (std::map<std::string, std::string>{{"a.dat", readFile(dir / "a.dat")},
                                                          {"sub/", ""},
                                                          {"sub/out/", ""},
                                                          {"sub/out/first.txt", "first"},
                                                          {"sub/out/last.txt", "last"}}));
            ASSERT_EQ(z.LeftOut.size(), 1u);
            if (!c.reason.empty()) {
                EXPECT_EQ(z.LeftOut[0].reason, c.reason);
            }
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_THAT(warnings[0], ::testing::StartsWith("Refused the archive record \""));
            EXPECT_TRUE(z.Warnings.empty());
        }
    }
}

TEST_P(ArchiveReading, SizeDifferingFromTheHeaderIsReported) {
    // A small record, and one beyond 4 MiB (inflated in pieces) as older writers made it.
    const std::string large = test::patterned((4u << 20) + 300000, 3);
    struct Case {
        std::string contents;
        std::uint32_t header;
    };
    for (const Case& c : {Case{"12345", 3}, Case{large, static_cast<std::uint32_t>(large.size() - 1000)}}) {
        TempDir dir;
        writeFile(dir / "a.dat", test::record("", "f.txt", c.header, test::zlibCompress(c.contents)));
        TZlibMultiple z;
        z.Tuning.ExtractionThreads = GetParam();
        std::vector<std::string> seen;
        z.OnWarning = [&](TZlibMultiple&, const std::string& m) { seen.push_back(m); };
        z.DecompressFile(str(dir / "a.dat"), str(dir / "out"), true, true);
        EXPECT_TRUE(readFile(dir / "out/f.txt") == c.contents);
        EXPECT_THAT(z.Warnings,
                    ElementsAre("The archive record \"f.txt\" holds " + std::to_string(c.contents.size()) +
                                " bytes, but its header says " + std::to_string(c.header) + "."));
        EXPECT_EQ(seen, z.Warnings);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, ArchiveReading, ::testing::Values(1u, 2u),
                         [](const auto& info) { return "Threads" + std::to_string(info.param); });

}  // namespace
}  // namespace kelvora
