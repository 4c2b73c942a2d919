// Packing on several threads: small files whole, large ones in blocks joined into one zlib
// stream, each by the engine its data calls for (random-looking data by another than the rest).
// The archive and the events must not depend on the number of threads, and every record must
// inflate with plain zlib.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/zlib_multiple.h"
#include "archive_fixtures.h"
#include "core/error.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct Outcome {
    std::string archive;
    std::vector<std::string> events;
};

// Small limits so that a small tree exercises whole files, blocks and the memory bound.
Outcome packWith(const fs::path& folder, const fs::path& archive, unsigned threads, int level = -1) {
    TZlibMultiple z;
    z.Tuning.Threads = threads;
    z.Tuning.WholeFileLimit = 40000;
    z.Tuning.BlockSize = 16384 + 100;
    z.Tuning.MemoryBudget = 60000;
    z.CompressionLevel = level;
    Outcome o;
    z.OnCompressingFile = [&](TZlibMultiple&, const std::string& f) { o.events.push_back("+" + f); };
    z.OnCompressedFile = [&](TZlibMultiple&, const std::string& f) { o.events.push_back("-" + f); };
    z.OnProgress = [&](TZlibMultiple&, std::int32_t pos, std::int32_t total) {
        o.events.push_back(std::to_string(pos) + "/" + std::to_string(total));
    };
    z.CompressDirectory(folder.string(), true, archive.string());
    o.archive = readFile(archive);
    return o;
}

TEST(ArchiveParallel, SameArchiveAndEventsOnAnyNumberOfThreads) {
    TempDir dir;
    std::map<std::string, std::string> files;
    for (int i = 0; i < 30; ++i)
        files["small/f" + std::to_string(i)] = test::patterned(100 + 997 * i, i);
    files["whole-limit-minus-one"] = test::patterned(39999, 50);
    files["whole-limit"] = test::patterned(40000, 51);
    files["blocks/db.sqlite"] = test::patterned(300000, 52);
    files["blocks/cache.bin"] = test::randomBytes(123457, 53);
    files["blocks/one-block-exactly"] = test::patterned(16384 + 100, 54);
    files["blocks/mixed"] =
        test::patterned(50000, 55) + test::randomBytes(50000, 56) + test::patterned(50000, 57);
    // Random data is told apart from 16 KiB on, in whole files and in blocks (the last one short).
    files["random/below-the-sample"] = test::randomBytes(16383, 58);
    files["random/at-the-sample"] = test::randomBytes(16384, 59);
    files["random/blocks"] = test::randomBytes(3 * (16384 + 100) + 7, 60);
    files["zeros"] = std::string(100000, '\0');
    files["one-byte"] = "x";
    for (const auto& [name, contents] : files)
        writeFile(dir / "in" / name, contents);
    writeFile(dir / "in/empty", "");  // no record

    for (const int level : {-1, 0, 1, 9}) {
        const Outcome one = packWith(dir / "in", dir / "one.dat", 1, level);
        for (const unsigned threads : {2u, 4u}) {
            const Outcome many = packWith(dir / "in", dir / "many.dat", threads, level);
            EXPECT_TRUE(one.archive == many.archive) << threads << " threads, level " << level;
            EXPECT_EQ(one.events, many.events) << threads << " threads, level " << level;
        }

        std::map<std::string, std::string> unpacked;
        for (const test::ParsedRecord& r : test::parseArchive(one.archive)) {
            const std::string contents = test::zlibInflate(r.packed);  // plain zlib, one whole stream
            EXPECT_EQ(contents.size(), r.unpackedSize) << r.name;
            std::string path = r.path + r.name;
            std::replace(path.begin(), path.end(), '\\', '/');
            unpacked[path] = contents;
        }
        EXPECT_EQ(unpacked, files) << "level " << level;

        for (const unsigned threads : {1u, 2u}) {
            TZlibMultiple reader;
            reader.Tuning.ExtractionThreads = threads;
            reader.DecompressFile((dir / "one.dat").string(), (dir / "out").string(), true, true);
            EXPECT_EQ(test::treeOf(dir / "out"), files) << "level " << level << ", " << threads << " threads";
            fs::remove_all(dir / "out");
        }
    }
}

TEST(ArchiveParallel, BlocksOfALargeFileAreReportedInOrder) {
    TempDir dir;
    writeFile(dir / "in/big", test::patterned(40000, 1));
    const Outcome o = packWith(dir / "in", dir / "a.dat", 2);
    std::vector<std::string> expected = {"+" + (dir / "in").string() + "\\big"};
    for (int pos = 1024; pos < 40000; pos += 1024)
        expected.push_back(std::to_string(pos) + "/40000");
    expected.push_back("40000/40000");
    expected.push_back("40000/40000");
    expected.push_back("-" + (dir / "in").string() + "\\big");
    EXPECT_EQ(o.events, expected);
}

TEST(ArchiveParallel, LevelZlibRefusesEndsThePacking) {
    TempDir dir;
    writeFile(dir / "in/f", "data");
    writeFile(dir / "a.dat", "earlier");
    for (const int level : {-2, 10}) {
        TZlibMultiple z;
        z.CompressionLevel = level;
        try {
            z.CompressDirectory((dir / "in").string(), true, (dir / "a.dat").string());
            ADD_FAILURE() << "level " << level << " accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "zlib returned: Stream error");
        }
        EXPECT_EQ(readFile(dir / "a.dat"), "earlier");
    }
}

}  // namespace
}  // namespace kelvora
