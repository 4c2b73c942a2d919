// DecompressStream's engine on several threads: the calling thread reads the records in order;
// worker threads inflate the small ones and write each to a temporary file beside its target;
// the calling thread then, record by record and in order, raises the events and moves each
// temporary file into place (or removes it). Large records are extracted on the calling thread
// once everything before them is in place. Files appear, events are raised and errors are
// reported exactly in record order; records after a failing one never reach their targets.
#pragma once

#include <memory>
#include <string>

namespace kelvora {
class TZlibMultiple;
}

namespace kelvora::archive {

class ArchiveInput;

class Extractor {
  public:
    Extractor(TZlibMultiple& owner, unsigned threads);
    ~Extractor();  // waits for the threads and removes temporary files not moved into place
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    void run(ArchiveInput& in, const std::string& directory, bool overwrite, bool relativePaths);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kelvora::archive
