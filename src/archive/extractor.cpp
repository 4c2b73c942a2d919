#include "archive/extractor.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "archive/archive_input.h"
#include "archive/archive_output.h"
#include "archive/block_deflate.h"
#include "archive/record.h"
#include "archive/zlib_codec.h"
#include "archive/zlib_multiple.h"
#include "core/core.h"
#include "core/error.h"

#ifdef KELVORA_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace kelvora::archive {

namespace {

constexpr std::size_t kWholeRecordLimit = 4u << 20;  // records inflated in one call
constexpr std::size_t kPiece = 1u << 20;             // inflated bytes per piece of a larger one
constexpr std::size_t kInputStep = 256 * 1024;
constexpr std::size_t kQueueBytes = 8u << 20;  // inflated bytes waiting for the writing side
constexpr std::size_t kQueuePieces = 1024;

// A record of up to 4 MiB: read whole, then inflated whole by whichever side comes to it first
// (the writing side when it reaches the record, the reading side when it may read no further
// ahead). Once handed on, `packed` and the fields after `state` belong to the side that set
// `state` to Inflating, and are read by the other only once it has seen Done (under the lock).
struct WholeJob {
    enum class State { Waiting, Inflating, Done };
    RecordPlan record;
    Bytes packed;
    State state = State::Waiting;
    std::vector<Bytes> output;
    std::uint64_t total = 0;
    std::exception_ptr error;  // the record's data is damaged
};

// What the reading side hands to the writing side, in record order: a record's header, then its
// data (whole, or in pieces and an end), or the error its data ended with; or an error that ends
// the extraction.
struct Piece {
    enum class Kind { Record, Whole, Data, Restart, End, RecordError, Failure, Finish };
    Kind kind = Kind::Data;
    RecordPlan record;              // Record
    std::shared_ptr<WholeJob> job;  // Whole
    Bytes data;                     // Data
    std::uint64_t total = 0;        // End
    std::exception_ptr error;       // RecordError, Failure

    std::size_t bytes() const {
        return data.size() + (job ? job->packed.size() + job->record.unpackedSize : 0);
    }
};

using Deliver = std::function<void(Piece&&)>;

Piece dataPiece(Bytes data) {
    Piece p;
    p.kind = Piece::Kind::Data;
    p.data = std::move(data);
    return p;
}

[[noreturn]] void throwEndsEarly(const RecordPlan& record) {
    throw Error(
        Format("The archive record \"%s\" is damaged: its packed data ends early.", record.stored.c_str()));
}

using Feed = std::function<std::size_t(unsigned char* buffer, std::size_t size)>;
using Sink = std::function<void(Bytes&&)>;

std::size_t pieceSize(const RecordPlan& record) {
    return std::clamp<std::size_t>(record.unpackedSize, 4096, kPiece);
}

// zlib over whatever `feed` yields, up to the end of the stream; the data goes to `sink` in pieces.
std::uint64_t inflateWithZlib(const RecordPlan& record, const Feed& feed, const Sink& sink) {
    Inflater inflater;
    z_stream& z = inflater.stream();
    Bytes input(kInputStep);
    Bytes output(pieceSize(record));
    std::size_t used = 0;
    std::uint64_t total = 0;
    const std::uint64_t limit = inflateLimit(record.unpackedSize);
    bool inputEnded = false;
    while (true) {
        if (z.avail_in == 0 && !inputEnded) {
            const std::size_t n = feed(input.data(), input.size());
            inputEnded = n == 0;
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = output.data() + used;
        z.avail_out = static_cast<uInt>(output.size() - used);
        const int result = ::inflate(&z, Z_NO_FLUSH);
        if (result == Z_NEED_DICT)
            zlibCheck(Z_DATA_ERROR);
        if (result != Z_BUF_ERROR)
            zlibCheck(result);
        const std::size_t n = output.size() - used - z.avail_out;
        used += n;
        total += n;
        if (total > limit)
            throwInflatesTooMuch(record);
        const bool ended = result == Z_STREAM_END;
        if (used == output.size() || (ended && used > 0)) {
            output.resize(used);
            sink(std::move(output));
            output = Bytes(pieceSize(record));
            used = 0;
        }
        if (ended)
            return total;
        if (n == 0 && z.avail_in == 0 && inputEnded)
            throwEndsEarly(record);
    }
}

// A record read whole: libdeflate in one call where the build has it and the header's size is
// right, zlib for everything else. A damaged record's error is kept in the job.
void inflateJob(WholeJob& job) {
    try {
#ifdef KELVORA_HAVE_LIBDEFLATE
        Bytes output(std::max<std::size_t>(job.record.unpackedSize, 1));
        if (const auto n = inflateWhole(viewOf(job.packed), output); n && *n == job.record.unpackedSize) {
            output.resize(*n);
            job.total = *n;
            job.output.push_back(std::move(output));
            Bytes().swap(job.packed);
            return;
        }
#endif
        std::size_t at = 0;
        job.total = inflateWithZlib(
            job.record,
            [&](unsigned char* buffer, std::size_t size) {
                const std::size_t n = std::min(size, job.packed.size() - at);
                std::copy_n(job.packed.data() + at, n, buffer);
                at += n;
                return n;
            },
            [&](Bytes&& piece) { job.output.push_back(std::move(piece)); });
    } catch (...) {
        job.output.clear();
        job.error = std::current_exception();
    }
    Bytes().swap(job.packed);
}

// An exception thrown where the pieces were handed on: it belongs to the writing side.
struct HandingOn {
    std::exception_ptr error;
};

// Reads the records in order; inflates the large ones, and hands the others on whole.
class Inflating {
  public:
    Inflating(ArchiveInput& in, Deliver deliver) : in_(in), deliver_(std::move(deliver)) {}

    // Every record up to the end of the archive, then Finish. An archive that can't be read on
    // ends with the error thrown; a record whose data is damaged is handed on as RecordError.
    void run() {
        while (!in_.atEnd()) {
            Piece header;
            header.kind = Piece::Kind::Record;
            header.record = readRecord(in_);
            const RecordPlan record = header.record;
            hand(std::move(header));
            const auto packedSize = static_cast<std::uint64_t>(record.packedSize);
            if (!record.refusal.empty()) {
                in_.skip(packedSize);
                continue;
            }
            if (inWhole(record)) {
                Piece whole;
                whole.kind = Piece::Kind::Whole;
                whole.job = std::make_shared<WholeJob>();
                whole.job->record = record;
                whole.job->packed.resize(static_cast<std::size_t>(packedSize));
                for (std::size_t done = 0; done < whole.job->packed.size();)
                    done += in_.readSome(whole.job->packed.data() + done, whole.job->packed.size() - done);
                hand(std::move(whole));
                continue;
            }
            const std::uint64_t start = in_.position();
            Piece end;
            try {
                end.kind = Piece::Kind::End;
                end.total = inflateInPieces(record, packedSize);
            } catch (const HandingOn&) {
                throw;
            } catch (...) {
                end.kind = Piece::Kind::RecordError;
                end.error = std::current_exception();
                in_.rewind(start + packedSize);
            }
            hand(std::move(end));
        }
        Piece finish;
        finish.kind = Piece::Kind::Finish;
        hand(std::move(finish));
    }

  private:
    static bool inWhole(const RecordPlan& record) {
#ifdef KELVORA_HAVE_LIBDEFLATE
        return static_cast<std::uint64_t>(record.packedSize) <= kWholeRecordLimit &&
               record.unpackedSize <= kWholeRecordLimit;
#else
        (void)record;
        return false;
#endif
    }

    void hand(Piece&& piece) {
        try {
            deliver_(std::move(piece));
        } catch (...) {
            throw HandingOn{std::current_exception()};
        }
    }

    std::uint64_t inflateInPieces(const RecordPlan& record, std::uint64_t packedSize) {
        const std::uint64_t start = in_.position();
        std::uint64_t left = packedSize;
        const Feed fromArchive = [&](unsigned char* buffer, std::size_t size) {
            const std::size_t n =
                in_.readSome(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
            left -= n;
            return n;
        };
        const Sink toWriter = [this](Bytes&& data) { hand(dataPiece(std::move(data))); };
#ifdef KELVORA_HAVE_ISAL
        bool begun = false;
        if (const auto total = inflateWithIsal(record, fromArchive, begun)) {
            in_.skip(left);  // bytes after the end of the zlib stream belong to no one
            return *total;
        }
        // zlib decides; a file begun is started over.
        if (begun) {
            Piece restart;
            restart.kind = Piece::Kind::Restart;
            hand(std::move(restart));
        }
        in_.rewind(start);
        left = packedSize;
#else
        (void)start;
#endif
        const std::uint64_t total = inflateWithZlib(record, fromArchive, toWriter);
        in_.skip(left);
        return total;
    }

#ifdef KELVORA_HAVE_ISAL
    // igzip over what `feed` yields: the total when it took the stream whole and sound; nothing
    // otherwise (damaged, cut short, inflating to too much, or a header zlib would not take), and
    // then `begun` tells whether pieces were handed on.
    std::optional<std::uint64_t> inflateWithIsal(const RecordPlan& record, const Feed& feed, bool& begun) {
        if (!state_)
            state_ = std::make_unique<inflate_state>();
        inflate_state& s = *state_;
        isal_inflate_init(&s);
        s.crc_flag = ISAL_ZLIB;
        Bytes input(kInputStep);
        std::size_t got = feed(input.data(), input.size());
        // The zlib header as zlib checks it: deflate, a window of at most 32 KiB, the check bits,
        // no preset dictionary.
        if (got < 2)
            return std::nullopt;
        const unsigned cmf = input[0], flags = input[1];
        if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flags) % 31 != 0 || (flags & 0x20) != 0)
            return std::nullopt;
        s.next_in = input.data();
        s.avail_in = static_cast<std::uint32_t>(got);
        Bytes output(pieceSize(record));
        std::size_t used = 0;
        std::uint64_t total = 0;
        const std::uint64_t limit = inflateLimit(record.unpackedSize);
        bool inputEnded = false;
        while (true) {
            if (s.avail_in == 0 && !inputEnded) {
                got = feed(input.data(), input.size());
                inputEnded = got == 0;
                s.next_in = input.data();
                s.avail_in = static_cast<std::uint32_t>(got);
            }
            s.next_out = output.data() + used;
            s.avail_out = static_cast<std::uint32_t>(output.size() - used);
            if (isal_inflate(&s) != ISAL_DECOMP_OK)
                return std::nullopt;
            const std::size_t n = output.size() - used - s.avail_out;
            used += n;
            total += n;
            if (total > limit)
                return std::nullopt;
            const bool ended = s.block_state == ISAL_BLOCK_FINISH;
            if (used == output.size() || (ended && used > 0)) {
                output.resize(used);
                hand(dataPiece(std::move(output)));
                begun = true;
                output = Bytes(pieceSize(record));
                used = 0;
            }
            if (ended)
                return total;
            if (n == 0 && s.avail_in == 0 && inputEnded)
                return std::nullopt;
        }
    }
    std::unique_ptr<inflate_state> state_;
#endif

    ArchiveInput& in_;
    Deliver deliver_;
};

// A signal to the inflating thread that nobody waits for its pieces any more.
struct Stopped {};

}  // namespace

struct Extractor::Impl {
    TZlibMultiple& owner;
    const bool beside;
    std::string directory;
    bool overwrite = true;
    bool relativePaths = true;

    // The queue between the inflating thread and the calling thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Piece> queue;
    std::size_t queuedBytes = 0;
    bool stopping = false;
    bool producerWaits = false;
    bool consumerWaits = false;
    std::thread thread;

    // The record being written.
    RecordPlan record;
    bool skipping = false;
    std::unique_ptr<OutputFile> out;
    std::string tempName;
    std::uint64_t written = 0;

    Impl(TZlibMultiple& o, bool b) : owner(o), beside(b) {}

    ~Impl() {
        if (thread.joinable()) {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            thread.join();
        }
        dropTemporary();
    }

    void dropTemporary() {
        if (!out)
            return;
        out.reset();
        owner.Files->removeFile(tempName);
    }

    // ---- The reading thread's side of the queue ----

    std::deque<std::shared_ptr<WholeJob>> pending;  // handed on whole, perhaps not inflated yet

    // A record handed on whole that nobody inflates yet, now taken by the caller; under the lock.
    std::shared_ptr<WholeJob> claim() {
        while (!pending.empty()) {
            std::shared_ptr<WholeJob> job = std::move(pending.front());
            pending.pop_front();
            if (job->state == WholeJob::State::Waiting) {
                job->state = WholeJob::State::Inflating;
                return job;
            }
        }
        return nullptr;
    }

    // Inflates a claimed record outside the lock; returns with the lock held again.
    void inflateClaimed(std::unique_lock<std::mutex>& lock, WholeJob& job) {
        lock.unlock();
        inflateJob(job);
        lock.lock();
        job.state = WholeJob::State::Done;
        if (consumerWaits)
            changed.notify_all();
    }

    void push(Piece&& piece) {
        std::unique_lock lock(mutex);
        const std::size_t bytes = piece.bytes();
        while (true) {
            if (stopping)
                throw Stopped{};
            if (queue.empty() || (queuedBytes + bytes <= kQueueBytes && queue.size() < kQueuePieces))
                break;
            // As far ahead as it may read: it inflates what the writing side has not come to.
            if (const std::shared_ptr<WholeJob> job = claim()) {
                inflateClaimed(lock, *job);
                continue;
            }
            producerWaits = true;
            changed.wait(lock);
            producerWaits = false;
        }
        if (piece.job)
            pending.push_back(piece.job);
        queuedBytes += bytes;
        queue.push_back(std::move(piece));
        if (consumerWaits)
            changed.notify_all();
    }

    void inflateBeside(ArchiveInput& in) {
        try {
            try {
                Inflating(in, [this](Piece&& p) { push(std::move(p)); }).run();
            } catch (const HandingOn& h) {
                std::rethrow_exception(h.error);
            }
            // The archive is read: what is left to inflate is shared with the writing side.
            std::unique_lock lock(mutex);
            while (!stopping) {
                const std::shared_ptr<WholeJob> job = claim();
                if (!job)
                    break;
                inflateClaimed(lock, *job);
            }
        } catch (const Stopped&) {
        } catch (...) {
            Piece failure;
            failure.kind = Piece::Kind::Failure;
            failure.error = std::current_exception();
            try {
                push(std::move(failure));
            } catch (const Stopped&) {
            }
        }
    }

    // ---- The calling thread: files and events ----

    // False once the archive is done.
    bool handle(Piece& piece) {
        switch (piece.kind) {
            case Piece::Kind::Record:
                begin(std::move(piece.record));
                return true;
            case Piece::Kind::Whole:
                whole(*piece.job);
                return true;
            case Piece::Kind::Data:
                write(piece.data);
                return true;
            case Piece::Kind::Restart:
                restart();
                return true;
            case Piece::Kind::End:
                finish(piece.total);
                return true;
            case Piece::Kind::RecordError:
                // A record left alone (refused, or not overwriting a file) may be damaged.
                if (!skipping)
                    std::rethrow_exception(piece.error);
                return true;
            case Piece::Kind::Failure:
                std::rethrow_exception(piece.error);
            case Piece::Kind::Finish:
                break;
        }
        return false;
    }

    void whole(WholeJob& job) {
        if (beside) {
            std::unique_lock lock(mutex);
            if (job.state == WholeJob::State::Waiting && skipping) {
                job.state = WholeJob::State::Done;  // nobody needs it inflated
            } else if (job.state == WholeJob::State::Waiting) {
                job.state = WholeJob::State::Inflating;
                lock.unlock();
                inflateJob(job);
                lock.lock();
                job.state = WholeJob::State::Done;
            } else {
                consumerWaits = true;
                changed.wait(lock, [&] { return job.state == WholeJob::State::Done; });
                consumerWaits = false;
            }
        } else if (!skipping) {
            inflateJob(job);
        }
        if (skipping)
            return;
        if (job.error)
            std::rethrow_exception(job.error);
        for (const Bytes& data : job.output)
            write(data);
        finish(job.total);
    }

    void createTemporary() {
        try {
            out = owner.Files->create(tempName, platform::Access::Everyone);
        } catch (const std::exception& e) {
            throw Error(Format("Cannot create file \"%s\". %s", record.target.c_str(), e.what()));
        }
    }

    void begin(RecordPlan next) {
        record = std::move(next);
        written = 0;
        skipping = true;
        if (record.refusal.empty())
            owner.PrepareRecord(record, directory, relativePaths);
        if (!record.refusal.empty()) {
            owner.RefuseRecord(record);
            return;
        }
        if (!overwrite && FileExists(record.target))
            return;
        skipping = false;
        bool writeFile = true;
        if (owner.OnDecompressingFile)
            owner.OnDecompressingFile(owner, record.target, writeFile);
        // The data goes to a temporary file beside the target, which takes the target's place
        // only once the record has inflated without fault: a damaged record never spoils a file.
        if (writeFile) {
            tempName = temporarySibling(record.target);
            createTemporary();
        }
    }

    void write(const Bytes& data) {
        if (skipping || !out)
            return;
        try {
            out->write(data.data(), data.size());
        } catch (const std::exception& e) {
            throw Error(Format("Cannot write file \"%s\". %s", record.target.c_str(), e.what()));
        }
        owner.RaiseProgress(written, written + data.size(), record.unpackedSize, false);
        written += data.size();
    }

    void restart() {
        written = 0;
        if (skipping || !out)
            return;
        out.reset();
        createTemporary();
    }

    void finish(std::uint64_t total) {
        if (skipping)
            return;
        if (out) {
            owner.RaiseProgress(total, total, record.unpackedSize, true);
            try {
                out->close();
            } catch (const std::exception& e) {
                throw Error(Format("Cannot write file \"%s\". %s", record.target.c_str(), e.what()));
            }
            out.reset();
            if (std::string why; !owner.Files->replaceFile(tempName, record.target, &why)) {
                owner.Files->removeFile(tempName);
                throw Error(Format("Cannot create file \"%s\". The file could not be replaced: %s.",
                                   record.target.c_str(), why.c_str()));
            }
        }
        owner.FinishRecord(record, total);
    }

    void run(ArchiveInput& in) {
        if (!beside) {
            try {
                Inflating(in, [this](Piece&& p) { handle(p); }).run();
            } catch (const HandingOn& h) {
                std::rethrow_exception(h.error);
            }
            return;
        }
        thread = std::thread([this, &in] { inflateBeside(in); });
        std::deque<Piece> batch;
        while (true) {
            {
                std::unique_lock lock(mutex);
                consumerWaits = true;
                changed.wait(lock, [&] { return !queue.empty(); });
                consumerWaits = false;
                batch.swap(queue);
                queuedBytes = 0;
                if (producerWaits)
                    changed.notify_all();
            }
            for (Piece& piece : batch) {
                if (!handle(piece)) {
                    thread.join();
                    return;
                }
            }
            batch.clear();
        }
    }
};

Extractor::Extractor(TZlibMultiple& owner, bool inflateBeside)
    : impl_(std::make_unique<Impl>(owner, inflateBeside)) {}

Extractor::~Extractor() = default;

void Extractor::run(ArchiveInput& in, const std::string& directory, bool overwrite, bool relativePaths) {
    impl_->directory = directory;
    impl_->overwrite = overwrite;
    impl_->relativePaths = relativePaths;
    impl_->run(in);
}

}  // namespace kelvora::archive
