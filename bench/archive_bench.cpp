// Times the backup archive against tar and pigz on a browser-profile-like tree built in a
// temporary folder (bench_corpus.h: large SQLite-like databases holding more than half of the
// bytes, thousands of small text files, cache files of which some don't compress, empty files).
// Packing and unpacking run in child processes so that each one's peak resident memory can be
// read from the system. Each command runs several times, in turns; the medians count.
//
//   archive_bench [--size MB] [--runs N] [--dir FOLDER] [--kelvora-only] [--keep]
// --size 30 (the default) runs in a minute; --size 300 and --size 3000 are the profiles the
// targets are set for.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "archive/zlib_multiple.h"
#include "bench_corpus.h"
#include "bench_process.h"

namespace fs = std::filesystem;

namespace {

// ---- Running and timing ---------------------------------------------------------------------------

using kelvora::bench::quote;
using kelvora::bench::Run;
using kelvora::bench::runChild;
using kelvora::bench::shell;

std::uint64_t sizeOf(const fs::path& p) {
    std::error_code ec;
    return fs::file_size(p, ec);
}

// Compares two trees file by file; returns the number of differences.
std::size_t compareTrees(const fs::path& a, const fs::path& b) {
    std::size_t differences = 0;
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
        if (!entry.is_regular_file() || entry.file_size() == 0)
            continue;
        const fs::path other = b / fs::relative(entry.path(), a);
        std::ifstream x(entry.path(), std::ios::binary), y(other, std::ios::binary);
        if (!y) {
            ++differences;
            continue;
        }
        std::vector<char> bx(1 << 16), by(1 << 16);
        while (true) {
            x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
            y.read(by.data(), static_cast<std::streamsize>(by.size()));
            if (x.gcount() != y.gcount() ||
                std::memcmp(bx.data(), by.data(), static_cast<std::size_t>(x.gcount())) != 0) {
                ++differences;
                break;
            }
            if (x.gcount() == 0)
                break;
        }
    }
    return differences;
}

// The peak resident memory of this process image (VmHWM), which starts afresh at exec.
long ownPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

void reportPeak() {
    if (const char* file = std::getenv("KELVORA_BENCH_PEAK_FILE")) {
        std::ofstream(file) << ownPeakKiB() << '\n';
    }
}

int childMain(int argc, char** argv) {
    try {
        kelvora::TZlibMultiple z;
        if (const char* threads = std::getenv("KELVORA_BENCH_THREADS"))
            z.Tuning.Threads = z.Tuning.ExtractionThreads = static_cast<unsigned>(std::atoi(threads));
        if (std::strcmp(argv[1], "--child-pack") == 0 && argc == 4) {
            z.CompressDirectory(argv[2], true, argv[3]);
            reportPeak();
            return 0;
        }
        if (std::strcmp(argv[1], "--child-unpack") == 0 && argc == 4) {
            z.DecompressFile(argv[2], argv[3], true, true);
            reportPeak();
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}

Run median(std::vector<Run> runs) {
    const auto middle = [&](auto field) {
        std::vector<double> values;
        for (const Run& r : runs)
            values.push_back(static_cast<double>(r.*field));
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    Run m;
    m.seconds = middle(&Run::seconds);
    m.cpuSeconds = middle(&Run::cpuSeconds);
    for (const Run& r : runs) {
        m.peakKiB = std::max(m.peakKiB, r.peakKiB);
        m.status = std::max(m.status, r.status);
    }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], "--child-", 8) == 0)
        return childMain(argc, argv);

    double megabytes = 30;
    int runs = 3;
    bool kelvoraOnly = false;
    bool keep = false;
    fs::path base = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size" && i + 1 < argc)
            megabytes = std::max(1.0, std::atof(argv[++i]));
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            base = argv[++i];
        else if (a == "--kelvora-only")
            kelvoraOnly = true;
        else if (a == "--keep")
            keep = true;
        else {
            std::cerr
                << "usage: archive_bench [--size MB] [--runs N] [--dir FOLDER] [--kelvora-only] [--keep]\n"
                   "  --size 30 (default), 300 or 3000: the corpus in MB; --runs 3 (default): medians\n";
            return 2;
        }
    }
    const fs::path work = base / ("kelvora-bench-" + std::to_string(getpid()));
    const fs::path corpus = work / "corpus";
    fs::create_directories(corpus);
    const std::string self = fs::canonical("/proc/self/exe").string();
    const fs::path peakFile = work / "peak";
    setenv("KELVORA_BENCH_PEAK_FILE", peakFile.c_str(), 1);
    // Runs this program as a child and takes the peak it reports of itself.
    const auto kelvora = [&](const std::vector<std::string>& args) {
        fs::remove(peakFile);
        Run run = runChild(args);
        std::ifstream in(peakFile);
        long peak = 0;
        if (in >> peak)
            run.peakKiB = peak;
        return run;
    };

    std::printf("Building the corpus in %s ...\n", corpus.c_str());
    std::fflush(stdout);
    kelvora::bench::Corpus c(kelvora::bench::Corpus::writeBelow(corpus), 20261210);
    c.build(megabytes);
    shell("sync");
    const double mb = static_cast<double>(c.bytes()) / 1e6;
    std::printf("Corpus: %zu files, %.1f MB, of which %zu databases %.1f MB; %u processors; %d runs each\n\n",
                c.files(), mb, c.databases(), static_cast<double>(c.databaseBytes()) / 1e6,
                std::thread::hardware_concurrency(), runs);

    const fs::path tgz = work / "tar.tgz", pgz = work / "pigz.tar.gz", dat = work / "kelvora.dat";
    struct Command {
        std::string what;
        std::function<Run()> run;
        fs::path archive;  // packing: what it wrote
        std::vector<Run> runs;
    };
    std::vector<Command> pack, unpack;
    if (!kelvoraOnly) {
        pack.push_back({"tar czf",
                        [&] { return shell("tar czf " + quote(tgz) + " -C " + quote(corpus) + " ."); },
                        tgz,
                        {}});
        pack.push_back(
            {"tar cf - | pigz -6 -p 2",
             [&] { return shell("tar cf - -C " + quote(corpus) + " . | pigz -6 -p 2 > " + quote(pgz)); },
             pgz,
             {}});
    }
    pack.push_back({"CompressDirectory",
                    [&] {
                        return kelvora({self, "--child-pack", corpus.string(), dat.string()});
                    },
                    dat,
                    {}});

    // Each round runs every command once, starting with another one each time, so that a noisy
    // neighbour and the disk's writing behind spread over all of them.
    const auto rounds = [&](const char* phase, std::vector<Command>& commands) {
        for (int round = 0; round < runs; ++round) {
            shell("sync");
            for (std::size_t k = 0; k < commands.size(); ++k) {
                Command& command = commands[(k + static_cast<std::size_t>(round)) % commands.size()];
                command.runs.push_back(command.run());
                std::printf("  (%s, run %d: %-26s %6.2f s)\n", phase, round + 1, command.what.c_str(),
                            command.runs.back().seconds);
                std::fflush(stdout);
            }
        }
    };
    rounds("packing", pack);

    // Every extraction goes into a folder of its own, and all stay until the end: on ext4 a tree
    // removed shortly before makes the next command's file creation much slower (new inodes are
    // searched for past the ones just freed), whichever command comes next.
    int folders = 0;
    const auto fresh = [&](const std::string& name) {
        const fs::path p = work / (name + "-" + std::to_string(++folders));
        fs::create_directories(p);
        return p;
    };
    fs::path checked;
    if (!kelvoraOnly) {
        unpack.push_back({"tar xzf",
                          [&] { return shell("tar xzf " + quote(tgz) + " -C " + quote(fresh("x-tar"))); },
                          {},
                          {}});
        unpack.push_back(
            {"pigz -d | tar xf -",
             [&] { return shell("pigz -d -c " + quote(pgz) + " | tar xf - -C " + quote(fresh("x-pigz"))); },
             {},
             {}});
    }
    unpack.push_back({"DecompressFile",
                      [&] {
                          checked = fresh("x-kelvora");
                          return kelvora({self, "--child-unpack", dat.string(), checked.string()});
                      },
                      {},
                      {}});
    rounds("unpacking", unpack);
    const std::size_t differences = compareTrees(corpus, checked);

    std::map<std::string, Run> medians;
    const auto table = [&](const char* title, const std::vector<Command>& rows, bool sizes) {
        std::printf("\n%s (medians of %d runs)\n", title, runs);
        std::printf("  %-26s %8s %8s %8s %11s %9s\n", "", "seconds", "MB/s", "CPU s", "archive MB",
                    "peak MiB");
        for (const Command& r : rows) {
            const Run m = median(r.runs);
            medians[r.what] = m;
            std::printf("  %-26s %8.2f %8.1f %8.2f", r.what.c_str(), m.seconds, mb / m.seconds, m.cpuSeconds);
            if (sizes)
                std::printf(" %11.2f", static_cast<double>(sizeOf(r.archive)) / 1e6);
            else
                std::printf(" %11s", "");
            std::printf(" %9.1f%s\n", static_cast<double>(m.peakKiB) / 1024.0, m.status ? "  FAILED" : "");
        }
    };
    table("Packing", pack, true);
    table("Unpacking", unpack, false);

    std::printf("\nKelvora against the others (their time over Kelvora's: above 1 is faster)\n");
    std::printf("  %-34s %8s %8s %9s\n", "", "wall", "CPU", "target");
    const auto compare = [&](const char* label, const std::string& other, const std::string& ours,
                             const char* target) {
        const Run& o = medians[other];
        const Run& k = medians[ours];
        std::printf("  %-34s %7.2fx %7.2fx %9s\n", label, o.seconds / k.seconds, o.cpuSeconds / k.cpuSeconds,
                    target);
    };
    if (!kelvoraOnly) {
        compare("pack vs tar czf", "tar czf", "CompressDirectory", ">= 4.5x");
        compare("pack vs tar cf | pigz -6 -p 2", "tar cf - | pigz -6 -p 2", "CompressDirectory", ">= 2.2x");
        compare("unpack vs tar xzf", "tar xzf", "DecompressFile", ">= 2x");
        compare("unpack vs pigz -d | tar xf", "pigz -d | tar xf -", "DecompressFile", "");
        std::printf("  archive size vs tar czf: %+.2f%% (target <= +3%%)\n",
                    100.0 * (static_cast<double>(sizeOf(dat)) / static_cast<double>(sizeOf(tgz)) - 1.0));
    }
    std::printf("  Kelvora's peak memory: packing %.1f MiB, unpacking %.1f MiB (target <= 64 MiB)\n",
                static_cast<double>(medians["CompressDirectory"].peakKiB) / 1024.0,
                static_cast<double>(medians["DecompressFile"].peakKiB) / 1024.0);
    std::printf("\nExtracted tree %s the corpus (%zu differing files)\n",
                differences ? "DIFFERS FROM" : "matches", differences);
    std::printf(
        "(peak MiB: Kelvora's own resident peak (VmHWM), the highest of the runs; for tar and pigz the\n"
        " largest process of the command as the system counts it)\n");

    if (!keep)
        fs::remove_all(work);
    return differences ? 1 : 0;
}
