// DecompressStream's engine. The records are read in order by one side, and their files created
// and written, with every event raised, by the calling thread. With `inflateBeside` the reading runs
// on a thread of their own, ahead of the writing, through a queue that holds a few MiB at most:
// while one file is being created, the next records inflate. Records of up to 4 MiB are handed on
// whole and inflated by whichever side comes to them first (the writing side when it reaches one,
// the reading side when it may read no further ahead), so the work divides itself between the two;
// larger records are inflated in pieces by the reading side. Without `inflateBeside` everything
// takes turns on the calling thread. Either way files appear, events are raised and errors are
// reported exactly in record order, and records after a failing one never reach their targets.
//
// Inflating: a record read whole in one call of libdeflate where the build has it; larger ones in
// pieces, by ISA-L's igzip where the build has it. Whatever these do not take whole and sound goes
// through zlib, whose verdict counts (a file begun by igzip is then started over).
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
    Extractor(TZlibMultiple& owner, bool inflateBeside);
    ~Extractor();  // stops the inflating thread; a file being written is removed
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    void run(ArchiveInput& in, const std::string& directory, bool overwrite, bool relativePaths);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kelvora::archive
