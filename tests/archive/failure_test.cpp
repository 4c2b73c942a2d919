// Failures injected under the archive component: files that can't be opened, read errors
// half-way, a disk that fills up. Nothing outside the target is touched and no earlier archive
// is lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>

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
using ::testing::HasSubstr;

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// The platform's files, with faults on request. Files are picked by the end of their name.
class FaultyFiles : public archive::FileSystem {
  public:
    std::string refuseOpen;  // opening fails
    std::string failReadOf;  // reading fails after `readBudget` bytes
    std::uint64_t readBudget = 0;
    std::string pretendHuge;                  // reports a size of 4 GiB
    std::atomic<std::int64_t> diskSpace{-1};  // bytes that created files may still take; -1: no limit

    std::unique_ptr<archive::InputFile> openRead(std::string_view path, platform::Share share) override {
        if (!refuseOpen.empty() && endsWith(path, refuseOpen))
            throw platform::SystemError(13, "Permission denied");
        auto inner = FileSystem::openRead(path, share);
        const bool failing = !failReadOf.empty() && endsWith(path, failReadOf);
        const bool huge = !pretendHuge.empty() && endsWith(path, pretendHuge);
        return std::make_unique<Input>(std::move(inner), failing ? readBudget : UINT64_MAX, huge);
    }

    std::unique_ptr<archive::OutputFile> create(std::string_view path, platform::Access access) override {
        return std::make_unique<Output>(FileSystem::create(path, access), diskSpace);
    }

  private:
    class Input : public archive::InputFile {
      public:
        Input(std::unique_ptr<archive::InputFile> inner, std::uint64_t budget, bool huge)
            : inner_(std::move(inner)), budget_(budget), huge_(huge) {}
        std::size_t read(void* buffer, std::size_t size) override {
            if (budget_ == 0)
                throw platform::SystemError(5, "Input/output error");
            const std::size_t n = inner_->read(buffer, std::min<std::uint64_t>(size, budget_));
            if (budget_ != UINT64_MAX)
                budget_ -= n;
            return n;
        }
        std::uint64_t size() const override { return huge_ ? (1ull << 32) : inner_->size(); }
        std::uint64_t position() const override { return inner_->position(); }
        void seek(std::uint64_t offset) override { inner_->seek(offset); }

      private:
        std::unique_ptr<archive::InputFile> inner_;
        std::uint64_t budget_;
        bool huge_;
    };

    class Output : public archive::OutputFile {
      public:
        Output(std::unique_ptr<archive::OutputFile> inner, std::atomic<std::int64_t>& space)
            : inner_(std::move(inner)), space_(space) {}
        void write(const void* data, std::size_t size) override {
            if (space_ >= 0) {
                if (space_ < static_cast<std::int64_t>(size))
                    throw platform::SystemError(28, "No space left on device");
                space_ -= static_cast<std::int64_t>(size);
            }
            inner_->write(data, size);
        }
        void seek(std::uint64_t offset) override { inner_->seek(offset); }
        void flush() override { inner_->flush(); }
        void close() override { inner_->close(); }

      private:
        std::unique_ptr<archive::OutputFile> inner_;
        std::atomic<std::int64_t>& space_;
    };
};

// A folder to pack and an earlier archive that a failed run must leave as it was.
struct PackScene {
    TempDir dir;
    std::string earlier = test::record("", "old.txt", "the earlier backup");
    PackScene() {
        writeFile(dir / "in/a.txt", test::patterned(100000, 1));
        writeFile(dir / "in/b/big.bin", test::randomBytes(600000, 2));
        writeFile(dir / "in/c.txt", test::patterned(3000, 3));
        writeFile(dir / "backups/a.dat", earlier);
    }
    std::string archive() const { return (dir / "backups/a.dat").string(); }
    std::string pack(const std::shared_ptr<FaultyFiles>& files) {
        return errorOf([&] {
            TZlibMultiple z;
            z.Files = files;
            z.CompressDirectory((dir / "in").string(), true, archive());
        });
    }
    // The backup folder holds the earlier archive and nothing else.
    void expectEarlierArchiveOnly() const {
        EXPECT_EQ(test::entriesOf(dir / "backups"), (std::map<std::string, std::string>{{"a.dat", earlier}}));
    }
};

TEST(ArchivePackFailure, FileThatCannotBeOpenedIsLeftOutAndReported) {
    PackScene s;
    auto files = std::make_shared<FaultyFiles>();
    files->refuseOpen = "big.bin";
    TZlibMultiple z;
    z.Files = files;
    EXPECT_EQ(errorOf([&] { z.CompressDirectory((s.dir / "in").string(), true, s.archive()); }),
              "(no error)");
    EXPECT_THAT(listOf(s.archive()), ::testing::UnorderedElementsAre("a.txt", "c.txt"));
    EXPECT_THAT(z.LeftOut,
                ElementsAre(LeftOutItem{"", (s.dir / "in").string() + "\\b\\big.bin", "Permission denied"}));
}

TEST(ArchivePackFailure, EarlierArchiveSurvivesEveryFault) {
    struct Case {
        std::string what;
        std::function<void(FaultyFiles&)> arrange;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"disk fills", [](FaultyFiles& f) { f.diskSpace = 50000; },
         "Cannot write file \"%s\". No space left on device"},
        {"read error half-way",
         [](FaultyFiles& f) {
             f.failReadOf = "big.bin";
             f.readBudget = 300000;
         },
         "Cannot read file \"%s\". Input/output error"},
        {"file of 4 GiB", [](FaultyFiles& f) { f.pretendHuge = "c.txt"; },
         "Cannot store file \"%s\": it is 4 GiB or larger, more than an archive record holds."},
    };
    for (const Case& c : cases) {
        PackScene s;
        auto files = std::make_shared<FaultyFiles>();
        c.arrange(*files);
        const std::string message = s.pack(files);
        std::string named = s.archive();
        if (c.what == "read error half-way")
            named = (s.dir / "in").string() + "\\b\\big.bin";
        if (c.what == "file of 4 GiB")
            named = (s.dir / "in").string() + "\\c.txt";
        EXPECT_EQ(message, Format(c.message.c_str(), named.c_str())) << c.what;
        s.expectEarlierArchiveOnly();
    }
}

TEST(ArchivePackFailure, MissingFolderKeepsTheEarlierArchive) {
    PackScene s;
    fs::remove_all(s.dir / "in");
    EXPECT_THAT(s.pack(std::make_shared<FaultyFiles>()), HasSubstr("Cannot open folder"));
    s.expectEarlierArchiveOnly();
}

TEST(ArchivePackFailure, ArchiveThatCannotBeCreatedNamesIt) {
    PackScene s;
    TZlibMultiple z;
    const std::string target = (s.dir / "no/such/folder/a.dat").string();
    EXPECT_THAT(errorOf([&] { z.CompressDirectory((s.dir / "in").string(), true, target); }),
                HasSubstr("Cannot create file \"" + target + "\". "));
}

TEST(ArchivePack, ArchiveInsideThePackedFolderIsNeverPackedIntoItself) {
    TempDir dir;
    writeFile(dir / "in/data.txt", "data");
    writeFile(dir / "in/backup.dat", test::record("", "old.txt", "old"));
    TZlibMultiple z;
    z.CompressDirectory((dir / "in").string(), true, (dir / "in/backup.dat").string());
    EXPECT_THAT(listOf(dir / "in/backup.dat"), ElementsAre("data.txt"));
    // A second run sees the archive of the first one and leaves it out as well.
    z.CompressDirectory((dir / "in").string(), true, (dir / "in/backup.dat").string());
    EXPECT_THAT(listOf(dir / "in/backup.dat"), ElementsAre("data.txt"));
    EXPECT_EQ(test::entriesOf(dir / "in").size(), 2u);
}

TEST(ArchiveExtractFailure, DiskFillingUpLeavesExistingFilesWhole) {
    for (const unsigned threads : {1u, 2u}) {
        TempDir dir;
        writeFile(dir / "a.dat", test::record("", "first.txt", "first") +
                                     test::record("", "big.bin", test::randomBytes(400000, 9)) +
                                     test::record("", "after.txt", "after"));
        writeFile(dir / "out/big.bin", "the file before the restore");
        auto files = std::make_shared<FaultyFiles>();
        files->diskSpace = 100000;
        TZlibMultiple z;
        z.Files = files;
        z.Tuning.ExtractionThreads = threads;
        const std::string target = (dir / "out").string() + "\\big.bin";
        EXPECT_EQ(
            errorOf([&] { z.DecompressFile((dir / "a.dat").string(), (dir / "out").string(), true, true); }),
            "Cannot write file \"" + target + "\". No space left on device")
            << threads;
        EXPECT_EQ(test::entriesOf(dir / "out"),
                  (std::map<std::string, std::string>{{"first.txt", "first"},
                                                      {"big.bin", "the file before the restore"}}))
            << threads;
    }
}

}  // namespace
}  // namespace kelvora
