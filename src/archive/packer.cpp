#include "archive/packer.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "archive/archive_output.h"
#include "archive/block_deflate.h"
#include "archive/record.h"
#include "archive/worker_pool.h"
#include "archive/zlib_multiple.h"
#include "core/error.h"

namespace kelvora::archive {

namespace {

std::string tooLarge(const std::string& file) {
    return Format("Cannot store file \"%s\": it is 4 GiB or larger, more than an archive record holds.",
                  file.c_str());
}

std::string packedTooLarge(const std::string& file) {
    return Format(
        "Cannot store file \"%s\": its packed form reaches 2 GiB, more than an archive record holds.",
        file.c_str());
}

// One piece of work for the threads: a whole file or one block of a large one.
struct Block {
    Bytes input;
    std::string dictionary;
    std::size_t size = 0;
    bool whole = false;
    int level = -1;
    // Set by the worker, read by the calling thread once `done` is seen under the lock.
    Bytes output;
    std::uint32_t adler = 1;
    std::exception_ptr error;
    bool done = false;
};

struct Job {
    SourceItem item;
    std::unique_ptr<InputFile> in;  // open while the file is being read
    std::uint64_t size = 0;         // at opening, the Total of the progress events
    std::uint64_t bytesRead = 0;
    bool readDone = false;
    bool whole = false;
    std::string tail;  // the last 32 KiB read: the next block's dictionary
    std::deque<std::shared_ptr<Block>> blocks;
    // Appending
    bool started = false;
    std::uint64_t headerOffset = 0;
    std::string header;
    std::uint64_t packed = 0;
    std::uint64_t appended = 0;
    std::uint32_t adler = 1;
};

}  // namespace

struct Packer::Impl {
    TZlibMultiple& owner;
    ArchiveOutput& out;
    std::size_t wholeLimit;
    std::size_t blockSize;
    std::size_t budget;
    std::mutex mutex;
    std::condition_variable blockDone;
    std::deque<Job> jobs;
    std::size_t inFlight = 0;  // bytes read and not yet appended
    bool sourceDone = false;
    std::unique_ptr<WorkerPool> pool;  // last: its threads stop before the rest goes

    Impl(TZlibMultiple& o, ArchiveOutput& a)
        : owner(o),
          out(a),
          wholeLimit(std::max<std::size_t>(o.Tuning.WholeFileLimit, 1)),
          blockSize(std::max<std::size_t>(o.Tuning.BlockSize, 1)),
          budget(o.Tuning.MemoryBudget) {
        unsigned threads = o.Tuning.Threads;
        if (threads == 0)
            threads = platform::usableProcessors();
        pool = std::make_unique<WorkerPool>(threads > 1 ? threads : 0);
    }

    void submit(Job& job, Bytes data) {
        auto block = std::make_shared<Block>();
        block->size = data.size();
        block->whole = job.whole;
        block->level = owner.CompressionLevel;
        if (!job.whole)
            block->dictionary = job.tail;
        if (!job.whole) {
            const std::string_view view = viewOf(data);
            if (view.size() >= kDictionarySize) {
                job.tail.assign(view.substr(view.size() - kDictionarySize));
            } else {
                job.tail += view;
                if (job.tail.size() > kDictionarySize)
                    job.tail.erase(0, job.tail.size() - kDictionarySize);
            }
        }
        block->input = std::move(data);
        inFlight += block->size;
        job.blocks.push_back(block);
        pool->submit([this, block] {
            Bytes output;
            std::uint32_t adler = 1;
            std::exception_ptr error;
            try {
                if (block->whole) {
                    output = compressWhole(viewOf(block->input), block->level);
                } else {
                    CompressedBlock c = compressBlock(viewOf(block->input), block->dictionary, block->level);
                    output = std::move(c.data);
                    adler = c.adler;
                }
            } catch (...) {
                error = std::current_exception();
            }
            Bytes().swap(block->input);
            std::string().swap(block->dictionary);
            {
                std::lock_guard lock(mutex);
                block->output = std::move(output);
                block->adler = adler;
                block->error = error;
                block->done = true;
            }
            blockDone.notify_all();
        });
    }

    // Reads up to `size` bytes of the job's file; fewer only at its end.
    Bytes read(Job& job, std::size_t size) {
        Bytes data(size);
        std::size_t got = 0;
        while (got < size) {
            std::size_t n = 0;
            try {
                n = job.in->read(data.data() + got, size - got);
            } catch (const std::exception& e) {
                throw Error(Format("Cannot read file \"%s\". %s", job.item.fullPath.c_str(), e.what()));
            }
            if (n == 0) {
                job.readDone = true;
                job.in.reset();
                break;
            }
            got += n;
        }
        data.resize(got);
        job.bytesRead += got;
        if (job.bytesRead > kMaxUnpackedSize)
            throw Error(tooLarge(job.item.fullPath));
        return data;
    }

    // Opens the next file and reads its first part. False when the source is exhausted.
    bool startNext() {
        std::optional<SourceItem> item = source_();
        if (!item) {
            sourceDone = true;
            return false;
        }
        Job job;
        job.item = std::move(*item);
        try {
            job.in =
                owner.Files->openRead(job.item.fullPath, owner.IgnoreExclusive ? platform::Share::DenyNone
                                                                               : platform::Share::DenyWrite);
            job.size = job.in->size();
        } catch (const std::exception& e) {
            owner.LeaveOut(job.item.fullPath, e.what());  // locked or unreadable: left out, and said so
            return true;
        }
        if (job.size == 0)
            return true;  // empty files never get a record
        if (job.size > kMaxUnpackedSize)
            throw Error(tooLarge(job.item.fullPath));
        checkCompressionLevel(owner.CompressionLevel);

        if (job.size < wholeLimit) {
            // One byte more than the size: a file that grew since is noticed and goes in blocks.
            Bytes data = read(job, static_cast<std::size_t>(job.size) + 1);
            job.whole = job.readDone;
            submit(job, std::move(data));
        }
        jobs.push_back(std::move(job));
        return true;
    }

    // Reads one more block of the file being read, or starts the next file. False when there is
    // nothing left to read.
    bool feed() {
        if (!jobs.empty() && !jobs.back().readDone) {
            Job& job = jobs.back();
            Bytes data = read(job, blockSize);
            if (!data.empty())
                submit(job, std::move(data));
            return true;
        }
        return !sourceDone && startNext();
    }

    void raiseProgress(std::uint64_t from, std::uint64_t to, std::uint64_t total, bool end) {
        owner.RaiseProgress(from, to, total, end);
    }

    void rethrow(const Block& block) {
        if (block.error)
            std::rethrow_exception(block.error);
    }

    void countPacked(Job& job, std::size_t n) {
        job.packed += n;
        if (job.packed > kMaxPackedSize)
            throw Error(packedTooLarge(job.item.fullPath));
    }

    void finishWhole(Job& job) {
        const Block& block = *job.blocks.front();
        rethrow(block);
        const std::string& path = job.item.fullPath;
        if (owner.OnCompressingFile)
            owner.OnCompressingFile(owner, path);
        raiseProgress(0, block.size, job.size, true);
        if (owner.OnProgress)
            owner.OnProgress(owner, lowBits(block.size), lowBits(job.size));
        if (owner.OnCompressedFile)
            owner.OnCompressedFile(owner, path);
        countPacked(job, block.output.size());
        const std::string header = encodeHeader(job.item.stored, static_cast<std::uint32_t>(block.size),
                                                static_cast<std::uint32_t>(block.output.size()));
        out.write(header.data(), header.size());
        out.write(block.output.data(), block.output.size());
        inFlight -= block.size;
    }

    // Appends what is ready at the head of the queue. True when anything was appended.
    bool drain() {
        bool appended = false;
        std::unique_lock lock(mutex);
        while (!jobs.empty()) {
            Job& job = jobs.front();
            if (job.whole) {
                if (!job.blocks.front()->done)
                    return appended;
                lock.unlock();
                finishWhole(job);
                jobs.pop_front();
                appended = true;
                lock.lock();
                continue;
            }
            if (!job.started) {
                lock.unlock();
                if (owner.OnCompressingFile)
                    owner.OnCompressingFile(owner, job.item.fullPath);
                job.header = encodeHeader(job.item.stored, 0, 0);
                job.headerOffset = out.offset();
                out.write(job.header.data(), job.header.size());
                const auto zlib = zlibHeader(owner.CompressionLevel);
                out.write(zlib.data(), zlib.size());
                countPacked(job, zlib.size());
                job.started = true;
                lock.lock();
            }
            while (!job.blocks.empty() && job.blocks.front()->done) {
                const std::shared_ptr<Block> block = job.blocks.front();
                job.blocks.pop_front();
                lock.unlock();
                rethrow(*block);
                countPacked(job, block->output.size());
                out.write(block->output.data(), block->output.size());
                job.adler = static_cast<std::uint32_t>(
                    adler32_combine(job.adler, block->adler, static_cast<z_off_t>(block->size)));
                raiseProgress(job.appended, job.appended + block->size, job.size, false);
                job.appended += block->size;
                inFlight -= block->size;
                appended = true;
                lock.lock();
            }
            if (!job.blocks.empty() || !job.readDone)
                return appended;
            lock.unlock();
            const auto trailer = zlibTrailer(job.adler);
            countPacked(job, trailer.size());
            out.write(trailer.data(), trailer.size());
            raiseProgress(job.appended, job.appended, job.size, true);
            if (owner.OnProgress)
                owner.OnProgress(owner, lowBits(job.appended), lowBits(job.size));
            if (owner.OnCompressedFile)
                owner.OnCompressedFile(owner, job.item.fullPath);
            char sizes[8];
            putLittleEndian32(sizes, static_cast<std::uint32_t>(job.appended));
            putLittleEndian32(sizes + 4, static_cast<std::uint32_t>(job.packed));
            out.patch(job.headerOffset + sizeFieldsOffset(job.header), sizes, 8);
            jobs.pop_front();
            appended = true;
            lock.lock();
        }
        return appended;
    }

    void waitForHead() {
        std::unique_lock lock(mutex);
        blockDone.wait(lock, [this] {
            return jobs.empty() || jobs.front().blocks.empty() || jobs.front().blocks.front()->done;
        });
    }

    static std::int32_t lowBits(std::uint64_t value) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
    }

    std::function<std::optional<SourceItem>()> source_;
};

Packer::Packer(TZlibMultiple& owner, ArchiveOutput& out) : impl_(std::make_unique<Impl>(owner, out)) {}

Packer::~Packer() = default;

void Packer::runLoop() {
    Impl& p = *impl_;
    p.source_ = source_;
    while (true) {
        const bool appended = p.drain();
        if (p.jobs.empty() && p.sourceDone)
            return;
        if (p.inFlight < p.budget || p.jobs.empty()) {
            if (p.feed())
                continue;
        }
        if (!appended)
            p.waitForHead();
    }
}

}  // namespace kelvora::archive
