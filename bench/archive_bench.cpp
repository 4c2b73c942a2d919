// Times the backup archive against tar and pigz on a browser-profile-like tree built in a
// temporary folder: SQLite-like databases, thousands of small text files, cache files of which
// part doesn't compress, empty files. Packing and unpacking run in child processes so that each
// one's peak resident memory can be read from the system.
//
//   archive_bench [--scale N] [--dir FOLDER] [--kelvora-only] [--keep]
// --scale 1 builds about 300 MB (three profiles); --scale 10 about 3 GB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "archive/zlib_multiple.h"

namespace fs = std::filesystem;

namespace {

// ---- Corpus -------------------------------------------------------------------------------------

class Corpus {
  public:
    Corpus(fs::path root, unsigned seed) : root_(std::move(root)), random_(seed) {}

    std::uint64_t bytes() const { return bytes_; }
    std::size_t files() const { return files_; }

    void write(const fs::path& relative, const std::string& contents) {
        const fs::path p = root_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        bytes_ += contents.size();
        ++files_;
    }

    std::string noise(std::size_t size) {
        std::string out(size, '\0');
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            const std::uint64_t v = random_();
            std::memcpy(out.data() + i, &v, 8);
        }
        return out;
    }

    std::string word() {
        static const char* words[] = {"https://",
                                      "www.",
                                      "mozilla",
                                      ".org/",
                                      "en-US",
                                      "firefox",
                                      "/search?q=",
                                      "news",
                                      "mail",
                                      "video",
                                      "index.html",
                                      "bookmark",
                                      "toolbar",
                                      "menu",
                                      "user_pref(\"",
                                      "browser.",
                                      "\", true);\n",
                                      "{\"id\":",
                                      "\"title\":\"",
                                      "\",\"url\":\"",
                                      "lastVisit",
                                      "frecency",
                                      "guid",
                                      "\n",
                                      " ",
                                      "0",
                                      "1"};
        return words[random_() % (sizeof words / sizeof *words)];
    }

    std::string text(std::size_t size) {
        std::string out;
        out.reserve(size + 32);
        while (out.size() < size) {
            out += word();
            if (random_() % 4 == 0)
                out += std::to_string(random_() % 100000);
        }
        out.resize(size);
        return out;
    }

    // 4 KiB pages: a header, rows of text and numbers from the top, free space left zero, and
    // now and then a page of blob data (favicons and the like).
    std::string database(std::size_t size, int blobPercent) {
        std::string out;
        out.reserve(size);
        out += "SQLite format 3";
        out.push_back('\0');
        out.resize(4096, '\0');
        while (out.size() < size) {
            std::string page;
            if (static_cast<int>(random_() % 100) < blobPercent) {
                page = noise(4096);
            } else {
                page = std::string("\x0d\x00\x00\x00", 4) + text(1500 + random_() % 2000);
                page.resize(4096, '\0');
            }
            out += page;
        }
        out.resize(size);
        return out;
    }

    std::size_t between(std::size_t low, std::size_t high) { return low + random_() % (high - low + 1); }

  private:
    fs::path root_;
    std::mt19937_64 random_;
    std::uint64_t bytes_ = 0;
    std::size_t files_ = 0;
};

void buildProfile(Corpus& c, const fs::path& profile) {
    // Databases
    c.write(profile / "places.sqlite", c.database(18u << 20, 5));
    c.write(profile / "favicons.sqlite", c.database(6u << 20, 70));
    c.write(profile / "cookies.sqlite", c.database(2u << 20, 2));
    c.write(profile / "webappsstore.sqlite", c.database(4u << 20, 10));
    c.write(profile / "formhistory.sqlite", c.database(2u << 20, 0));
    c.write(profile / "permissions.sqlite", c.database(512u << 10, 0));
    c.write(profile / "content-prefs.sqlite", c.database(256u << 10, 0));
    c.write(profile / "places.sqlite-wal", "");
    // Preferences, session, extensions: text
    c.write(profile / "prefs.js", c.text(60000));
    c.write(profile / "sessionstore.js", c.text(3u << 19));
    for (int i = 0; i < 900; ++i)
        c.write(
            profile / "extensions" / ("ext" + std::to_string(i / 30)) / ("file" + std::to_string(i) + ".js"),
            c.text(c.between(200, 40000)));
    for (int i = 0; i < 2500; ++i)
        c.write(profile / "storage/default" / ("site" + std::to_string(i / 50)) / "ls" /
                    ("data" + std::to_string(i)),
                c.text(c.between(100, 6000)));
    // Cache: pages and scripts compress, images and media don't
    for (int i = 0; i < 1200; ++i) {
        const bool binary = i % 5 < 3;
        const std::size_t size = i % 40 == 0 ? c.between(200000, 900000) : c.between(500, 60000);
        c.write(profile / "cache2/entries" / ("E" + std::to_string(100000 + i)),
                binary ? c.noise(size) : c.text(size));
    }
    c.write(profile / "startupCache/startupCache.8.little", c.noise(3u << 20));
    for (int i = 0; i < 150; ++i)
        c.write(profile / "empty" / ("lock" + std::to_string(i)), "");
    fs::create_directories(profile / "crashes/events");
}

// ---- Running and timing ---------------------------------------------------------------------------

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the command and its children
    long peakKiB = 0;
    int status = 0;
};

Run runChild(const std::vector<std::string>& argv) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    const auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    return run;
}

Run shell(const std::string& command) {
    return runChild({"/bin/sh", "-c", command});
}

std::string quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

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

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], "--child-", 8) == 0)
        return childMain(argc, argv);

    int scale = 1;
    bool kelvoraOnly = false;
    bool keep = false;
    fs::path base = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc)
            scale = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            base = argv[++i];
        else if (a == "--kelvora-only")
            kelvoraOnly = true;
        else if (a == "--keep")
            keep = true;
        else {
            std::cerr << "usage: archive_bench [--scale N] [--dir FOLDER] [--kelvora-only] [--keep]\n";
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
    Corpus c(corpus, 20261210);
    for (int i = 0; i < 3 * scale; ++i)
        buildProfile(c, fs::path("Profiles") / ("profile" + std::to_string(i) + ".default"));
    shell("sync");
    const double mb = static_cast<double>(c.bytes()) / 1e6;
    std::printf("Corpus: %zu files, %.1f MB; %u processors\n\n", c.files(), mb,
                std::thread::hardware_concurrency());

    struct Row {
        std::string what;
        Run run;
        std::uint64_t size = 0;
    };
    std::vector<Row> pack, unpack;
    const fs::path tgz = work / "tar.tgz", pgz = work / "pigz.tar.gz", dat = work / "kelvora.dat";
    if (!kelvoraOnly) {
        pack.push_back({"tar czf", shell("tar czf " + quote(tgz) + " -C " + quote(corpus) + " ."), 0});
        pack.back().size = sizeOf(tgz);
        pack.push_back({"tar cf - | pigz -6 -p 2",
                        shell("tar cf - -C " + quote(corpus) + " . | pigz -6 -p 2 > " + quote(pgz)), 0});
        pack.back().size = sizeOf(pgz);
    }
    pack.push_back({"CompressDirectory", kelvora({self, "--child-pack", corpus.string(), dat.string()}), 0});
    pack.back().size = sizeOf(dat);

    // Extraction folders stay until the end: removing a large tree just before the next command
    // runs slows that command's file creation markedly (the file system is still busy freeing).
    const auto fresh = [&](const std::string& name) {
        const fs::path p = work / name;
        fs::remove_all(p);
        fs::create_directories(p);
        shell("sync");
        return p;
    };
    // Two rounds, each command's better time counts: file creation on a shared disk varies a lot
    // from one run to the next.
    fs::path x3;
    for (int round = 0; round < 2; ++round) {
        std::vector<Row> rows;
        const std::string suffix = "-" + std::to_string(round);
        if (!kelvoraOnly) {
            const fs::path x1 = fresh("x-tar" + suffix);
            rows.push_back({"tar xzf", shell("tar xzf " + quote(tgz) + " -C " + quote(x1)), 0});
            const fs::path x2 = fresh("x-pigz" + suffix);
            rows.push_back(
                {"pigz -d | tar xf -", shell("pigz -d -c " + quote(pgz) + " | tar xf - -C " + quote(x2)), 0});
        }
        x3 = fresh("x-kelvora" + suffix);
        rows.push_back({"DecompressFile", kelvora({self, "--child-unpack", dat.string(), x3.string()}), 0});
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::printf("  (unpacking, round %d: %-20s %6.2f s)\n", round + 1, rows[i].what.c_str(),
                        rows[i].run.seconds);
            if (round == 0)
                unpack.push_back(rows[i]);
            else if (rows[i].run.seconds < unpack[i].run.seconds)
                unpack[i] = rows[i];
        }
    }
    const std::size_t differences = compareTrees(corpus, x3);

    const auto table = [&](const char* title, const std::vector<Row>& rows, bool sizes) {
        std::printf("%s\n", title);
        std::printf("  %-26s %8s %8s %9s %7s %9s %11s %9s\n", "", "seconds", "MB/s", "vs first", "CPU s",
                    "CPU ratio", "archive MB", "peak MiB");
        for (const Row& r : rows) {
            std::printf("  %-26s %8.2f %8.1f %8.2fx %7.2f %8.2fx", r.what.c_str(), r.run.seconds,
                        mb / r.run.seconds, rows.front().run.seconds / r.run.seconds, r.run.cpuSeconds,
                        rows.front().run.cpuSeconds / r.run.cpuSeconds);
            if (sizes)
                std::printf(" %11.1f", static_cast<double>(r.size) / 1e6);
            else
                std::printf(" %11s", "");
            std::printf(" %9.1f%s\n", static_cast<double>(r.run.peakKiB) / 1024.0,
                        r.run.status ? "  FAILED" : "");
        }
    };
    table("Packing", pack, true);
    if (!kelvoraOnly) {
        std::printf("  CompressDirectory vs pigz -p 2: %.2fx; archive size vs tar czf: %+.2f%%\n",
                    pack[1].run.seconds / pack[2].run.seconds,
                    100.0 * (static_cast<double>(pack[2].size) / static_cast<double>(pack[0].size) - 1.0));
    }
    std::printf("\n");
    table("Unpacking (better of two rounds)", unpack, false);
    std::printf("\nExtracted tree %s the corpus (%zu differing files)\n",
                differences ? "DIFFERS FROM" : "matches", differences);
    std::printf(
        "(peak MiB: Kelvora's own resident peak (VmHWM); for tar and pigz the largest process of the\n"
        " command as the system counts it)\n");
    std::printf(
        "(vs first: time of the first row over this row's time; CPU ratio likewise for CPU seconds)\n");

    if (!keep)
        fs::remove_all(work);
    return differences ? 1 : 0;
}
