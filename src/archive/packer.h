// CompressDirectory's engine: files are read on the calling thread, compressed on worker threads
// (small files whole, large ones in blocks), and appended to the archive in walk order, with the
// component's events raised on the calling thread as each record is appended. The bytes held in
// flight are bounded, whatever the size of the tree or of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/record.h"

namespace kelvora {
class TZlibMultiple;
}

namespace kelvora::archive {

class ArchiveOutput;

struct SourceItem {
    std::string fullPath;
    StoredName stored;  // the record's path and name, as encodeName made them
};

class Packer {
  public:
    Packer(TZlibMultiple& owner, ArchiveOutput& out);
    ~Packer();
    Packer(const Packer&) = delete;
    Packer& operator=(const Packer&) = delete;

    // Packs every item `next` yields (std::nullopt at the end), then returns.
    template <typename Source>
    void run(Source&& next) {
        source_ = [&next]() -> std::optional<SourceItem> { return next(); };
        runLoop();
    }

  private:
    struct Impl;
    void runLoop();

    std::function<std::optional<SourceItem>()> source_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kelvora::archive
