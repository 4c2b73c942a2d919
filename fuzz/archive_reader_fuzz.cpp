// Feeds arbitrary bytes to the archive lister and to the extraction, with a file system in memory
// that stops the run when anything would be created outside the target folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zlib_multiple.h"
#include "core/error.h"

namespace {

using kelvora::TZlibMultiple;
namespace archive = kelvora::archive;

constexpr std::string_view kTarget = "T";

// Every file must land below the target: lexically, after "\" became "/", and without drive or
// stream names.
bool insideTarget(std::string_view path) {
    if (path.substr(0, 2) != "T\\")
        return false;
    std::string rest(path.substr(2));
    if (rest.find(':') != std::string::npos || rest.find('\0') != std::string::npos)
        return false;
    for (char& c : rest) {
        if (c == '\\')
            c = '/';
    }
    const std::filesystem::path normal = std::filesystem::path("/T/" + rest).lexically_normal();
    const std::string s = normal.generic_string();
    return s.rfind("/T/", 0) == 0;
}

class DiscardOutput : public archive::OutputFile {
  public:
    void write(const void*, std::size_t size) override { written_ += size; }
    void seek(std::uint64_t) override {}
    void flush() override {}
    void close() override {}

  private:
    std::uint64_t written_ = 0;
};

class CheckingFiles : public archive::FileSystem {
  public:
    std::unique_ptr<archive::InputFile> openRead(std::string_view, kelvora::platform::Share) override {
        throw kelvora::platform::SystemError(2, "not here");
    }
    std::unique_ptr<archive::OutputFile> create(std::string_view path, kelvora::platform::Access) override {
        check(path);
        return std::make_unique<DiscardOutput>();
    }
    bool replaceFile(std::string_view from, std::string_view to, std::string*) override {
        check(from);
        check(to);
        return true;
    }
    bool removeFile(std::string_view path) override {
        check(path);
        return true;
    }

  private:
    static void check(std::string_view path) {
        if (!insideTarget(path)) {
            std::fprintf(stderr, "written outside the target: %.*s\n", static_cast<int>(path.size()),
                         path.data());
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20))
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const auto files = std::make_shared<CheckingFiles>();

    {
        TZlibMultiple z;
        archive::MemoryInput in(bytes);
        std::vector<std::string> names;
        try {
            z.ListStoredFiles(in, names);
        } catch (const kelvora::Error&) {
        }
    }
    for (const bool relative : {true, false}) {
        TZlibMultiple z;
        z.Files = files;
        z.ForceDirectoriesFlag = false;
        z.Tuning.ExtractionThreads = relative ? 1 : 2;  // both the calling thread alone and with workers
        std::uint64_t events = 0;
        z.OnProgress = [&events](TZlibMultiple&, std::int32_t, std::int32_t) { ++events; };
        archive::MemoryInput in(bytes);
        try {
            z.DecompressStream(in, std::string(kTarget), true, relative);
        } catch (const kelvora::Error&) {
        }
    }
    return 0;
}
