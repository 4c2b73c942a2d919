#include "archive/extractor.h"

#include <zlib.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "archive/archive_input.h"
#include "archive/archive_output.h"
#include "archive/block_deflate.h"
#include "archive/record.h"
#include "archive/worker_pool.h"
#include "archive/zlib_codec.h"
#include "archive/zlib_multiple.h"
#include "core/core.h"
#include "core/error.h"

namespace kelvora::archive {

namespace {

constexpr std::size_t kRecordLimit = 4u << 20;  // records up to this size go to the threads
constexpr std::size_t kMaxPending = 64;
constexpr std::size_t kPendingBytes = 16u << 20;

struct Outcome {
    std::size_t size = 0;          // bytes inflated
    std::exception_ptr dataError;  // damaged or cut-short packed data
    std::exception_ptr fileError;  // the temporary file could not be created or written
    bool tooLarge = false;         // inflates to more than fits here: extracted on the calling thread
    std::string tempName;          // written when not empty
    bool done = false;
};

// Inflates one whole record in memory: libdeflate when built and the header's size is right,
// zlib for everything else, whose verdict counts.
Bytes inflateRecord(const std::string& packed, const RecordPlan& record, Outcome& outcome) {
    Bytes output(std::max<std::size_t>(record.unpackedSize, 1));
    if (const auto n = inflateWhole(packed, output); n && *n == record.unpackedSize) {
        output.resize(*n);
        return output;
    }
    Inflater inflater;
    z_stream& z = inflater.stream();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    output.resize(std::clamp<std::size_t>(record.unpackedSize, 4096, kRecordLimit));
    std::size_t used = 0;
    while (true) {
        if (used == output.size()) {
            if (output.size() >= kRecordLimit) {
                outcome.tooLarge = true;
                return {};
            }
            output.resize(std::min(output.size() * 2, kRecordLimit));
        }
        z.next_out = output.data() + used;
        z.avail_out = static_cast<uInt>(output.size() - used);
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_NEED_DICT)
            zlibCheck(Z_DATA_ERROR);
        if (result != Z_BUF_ERROR)
            zlibCheck(result);
        const std::size_t n = output.size() - used - z.avail_out;
        used += n;
        if (used > inflateLimit(record.unpackedSize))
            throwInflatesTooMuch(record);
        if (result == Z_STREAM_END)
            break;
        if (n == 0 && z.avail_in == 0)
            throw Error(Format("The archive record \"%s\" is damaged: its packed data ends early.",
                               record.stored.c_str()));
    }
    output.resize(used);
    return output;
}

}  // namespace

struct Extractor::Impl {
    struct Pending {
        RecordPlan record;
        std::string packed;
        std::shared_ptr<Outcome> outcome;
    };

    TZlibMultiple& owner;
    std::mutex mutex;
    std::condition_variable finished;
    std::deque<Pending> pending;
    std::size_t pendingBytes = 0;
    std::unique_ptr<WorkerPool> pool;

    Impl(TZlibMultiple& o, unsigned threads) : owner(o), pool(std::make_unique<WorkerPool>(threads)) {}

    ~Impl() {
        pool.reset();  // no worker touches an outcome from here on
        for (const Pending& p : pending) {
            if (!p.outcome->tempName.empty())
                owner.Files->removeFile(p.outcome->tempName);
        }
    }

    void submit(Pending p) {
        pendingBytes += p.packed.size() + p.record.unpackedSize;
        auto outcome = p.outcome = std::make_shared<Outcome>();
        const RecordPlan* record = nullptr;
        const std::string* packed = nullptr;
        pending.push_back(std::move(p));
        record = &pending.back().record;
        packed = &pending.back().packed;
        std::shared_ptr<FileSystem> files = owner.Files;
        pool->submit([this, outcome, record, packed, files] {
            Outcome result;
            Bytes data;
            try {
                data = inflateRecord(*packed, *record, result);
            } catch (...) {
                result.dataError = std::current_exception();
            }
            if (!result.dataError && !result.tooLarge) {
                result.size = data.size();
                const std::string temp = temporarySibling(record->target);
                std::unique_ptr<OutputFile> out;
                try {
                    try {
                        out = files->create(temp, platform::Access::Everyone);
                    } catch (const std::exception& e) {
                        throw Error(
                            Format("Cannot create file \"%s\". %s", record->target.c_str(), e.what()));
                    }
                    result.tempName = temp;
                    try {
                        out->write(data.data(), data.size());
                        out->close();
                    } catch (const std::exception& e) {
                        throw Error(Format("Cannot write file \"%s\". %s", record->target.c_str(), e.what()));
                    }
                } catch (...) {
                    result.fileError = std::current_exception();
                    out.reset();
                    if (!result.tempName.empty())
                        files->removeFile(temp);
                    result.tempName.clear();
                }
            }
            {
                std::lock_guard lock(mutex);
                result.done = true;
                *outcome = std::move(result);
            }
            finished.notify_all();
        });
    }

    // Puts the first pending record in place, raising its events.
    void commitFront(ArchiveInput& in, bool overwrite) {
        Pending& p = pending.front();
        {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return p.outcome->done; });
        }
        Outcome& o = *p.outcome;
        const RecordPlan& record = p.record;
        const auto forget = [&] {
            if (!o.tempName.empty())
                owner.Files->removeFile(o.tempName);
            o.tempName.clear();
        };
        if (o.tooLarge) {
            const std::string packed = std::move(p.packed);
            owner.ExtractBody(in, record, overwrite, packed);
            pop();
            return;
        }
        if (!overwrite && FileExists(record.target)) {
            forget();
            pop();
            return;
        }
        bool writeFile = true;
        if (owner.OnDecompressingFile)
            owner.OnDecompressingFile(owner, record.target, writeFile);
        if (o.dataError)
            std::rethrow_exception(o.dataError);
        if (writeFile) {
            if (o.fileError)
                std::rethrow_exception(o.fileError);
            owner.RaiseProgress(0, o.size, record.unpackedSize, false);
            owner.RaiseProgress(o.size, o.size, record.unpackedSize, true);
            if (std::string why; !owner.Files->replaceFile(o.tempName, record.target, &why)) {
                forget();
                throw Error(Format("Cannot create file \"%s\". The file could not be replaced: %s.",
                                   record.target.c_str(), why.c_str()));
            }
            o.tempName.clear();
        } else {
            forget();
        }
        const RecordPlan done = record;
        const std::size_t size = o.size;
        pop();
        owner.FinishRecord(done, size);
    }

    void pop() {
        pendingBytes -= pending.front().packed.size() + pending.front().record.unpackedSize;
        pending.pop_front();
    }

    bool frontDone() {
        std::lock_guard lock(mutex);
        return !pending.empty() && pending.front().outcome->done;
    }

    void commitAll(ArchiveInput& in, bool overwrite) {
        while (!pending.empty())
            commitFront(in, overwrite);
    }
};

Extractor::Extractor(TZlibMultiple& owner, unsigned threads)
    : impl_(std::make_unique<Impl>(owner, threads)) {}

Extractor::~Extractor() = default;

void Extractor::run(ArchiveInput& in, const std::string& directory, bool overwrite, bool relativePaths) {
    Impl& x = *impl_;
    while (!in.atEnd()) {
        RecordPlan record;
        try {
            record = x.owner.PlanRecord(in, directory, relativePaths);
        } catch (...) {
            x.commitAll(in, overwrite);  // the records before come first, their errors too
            throw;
        }
        const auto packedSize = static_cast<std::size_t>(record.packedSize);
        if (!record.refusal.empty()) {
            x.commitAll(in, overwrite);  // reported in record order
            x.owner.RefuseRecord(record);
            in.skip(packedSize);
            continue;
        }
        if (packedSize > kRecordLimit || record.unpackedSize > kRecordLimit) {
            x.commitAll(in, overwrite);
            x.owner.ExtractBody(in, record, overwrite, std::string());
            continue;
        }
        Impl::Pending p;
        p.packed = in.readString(packedSize);
        p.record = std::move(record);
        x.submit(std::move(p));
        while (x.frontDone())
            x.commitFront(in, overwrite);
        while (x.pending.size() >= kMaxPending || x.pendingBytes > kPendingBytes)
            x.commitFront(in, overwrite);
    }
    x.commitAll(in, overwrite);
}

}  // namespace kelvora::archive
