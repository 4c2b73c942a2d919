// What the selective backup's copy into its staging folder costs. A Chrome profile of about 300 MB
// on a sample machine (bench_corpus.h, placed where Chrome's items take their files from: real
// SQLite databases holding more than half of the bytes, thousands of small files in the
// extension folders) is backed up selectively, all items ticked, by kelvora-cli's `backup chrome`;
// the same task is run again through its host port to time its phases (copying into the staging
// folder; packing it; committing the archive and removing the folder); `tar czf` packs the same
// files. Each runs in a child process, in turns, several times; the medians count, in wall and
// processor time (on a shared machine the processor time is the steadier figure).
//
//   staging_bench [--size MB] [--runs N] [--dir FOLDER] [--keep]
#include <sqlite3.h>
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
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/zlib_multiple.h"
#include "bench_corpus.h"
#include "bench_process.h"
#include "browsers/selective.h"
#include "cli/command.h"
#include "tools/sample_machine.h"

namespace fs = std::filesystem;
using namespace kelvora;

namespace {

// ---- The profile ------------------------------------------------------------------------------

constexpr const char* kUser = "ann";
constexpr const char* kCorpusProfile = "Profiles/k3x9.default-release";

// The corpus's databases under the names of Chrome's, largest first.
const std::vector<std::pair<std::string, std::string>> kDatabaseNames = {
    {"places.sqlite", "History"},        {"favicons.sqlite", "Favicons"},
    {"History", "Archived History"},     {"cookies.sqlite", "Network/Cookies"},
    {"webappsstore.sqlite", "Web Data"}, {"formhistory.sqlite", "Login Data"},
    {"Web Data", "Shortcuts"},           {"storage.sqlite", "Top Sites"}};

// A Chrome extension id (32 letters a-p) made from a number.
std::string extensionId(std::size_t n) {
    std::string id(32, 'a');
    for (std::size_t i = 0; i < id.size(); ++i, n = n * 2654435761u + 7)
        id[i] = static_cast<char>('a' + (n >> 7) % 16);
    return id;
}

void check(int code, sqlite3* db, const char* what) {
    if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// A real SQLite database (rollback journal, as Chrome keeps most of its own) whose rows carry the
// corpus's database bytes, so that it compresses as they do.
void writeDatabase(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    fs::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path.string());
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> owned(db, sqlite3_close);
    check(sqlite3_exec(db,
                       "PRAGMA page_size=4096; PRAGMA synchronous=OFF; BEGIN;"
                       "CREATE TABLE rows (id INTEGER PRIMARY KEY, data BLOB)",
                       nullptr, nullptr, nullptr),
          db, "create");
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO rows (data) VALUES (?)", -1, &insert, nullptr), db, "prepare");
    constexpr std::size_t kRow = 1000;
    for (std::size_t at = 0; at < contents.size(); at += kRow) {
        sqlite3_bind_blob(insert, 1, contents.data() + at,
                          static_cast<int>(std::min(kRow, contents.size() - at)), SQLITE_STATIC);
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
}

void writePlain(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

// Puts the corpus into the Chrome profile `profile`: the databases as Chrome's, extension scripts,
// site stores and cache entries into the extension folders, reports into the session folder.
struct ChromeProfile {
    fs::path profile;
    bench::Corpus* corpus = nullptr;

    void operator()(const fs::path& relative, const std::string& contents) const {
        const fs::path inside = relative.lexically_relative(kCorpusProfile);
        const std::string top = inside.begin()->string();
        if (corpus->isDatabase()) {
            for (const auto& [from, to] : kDatabaseNames) {
                if (inside == from)
                    return writeDatabase(profile / to, contents);
            }
            throw std::runtime_error("no Chrome name for " + inside.string());
        }
        if (top == "extensions") {
            // extensions/{N}/lib/x.js
            const std::string n = std::next(inside.begin())->string();
            return writePlain(profile / "Extensions" / extensionId(std::stoul(n.substr(1))) / "1.0_0" /
                                  inside.lexically_relative(inside.begin()->string() + "/" + n),
                              contents);
        }
        if (top == "storage" && std::next(inside.begin())->string() == "default") {
            // storage/default/https+++host/ls/dataN.json
            const std::string site = std::next(inside.begin(), 2)->string();
            return writePlain(profile / "Local Extension Settings" /
                                  extensionId(std::hash<std::string>{}(site)) / inside.filename(),
                              contents);
        }
        if (top == "cache2") {
            return writePlain(profile / "Extensions" / extensionId(contents.size() % 97) / "1.0_0" /
                                  "images" / inside.filename(),
                              contents);
        }
        if (top == "datareporting")
            return writePlain(profile / "Extension State" / inside.filename(), contents);
        // The empty files: locks and markers of the session and extension stores.
        return writePlain(profile / "Sessions" / inside.filename(), contents);
    }
};

// ---- Running and timing -----------------------------------------------------------------------

using bench::quote;
using bench::Run;
using bench::runChild;
using bench::secondsOf;
using bench::shell;

// A moment of the task: wall clock and the process's processor time so far.
struct Mark {
    std::chrono::steady_clock::time_point wall;
    double cpu = 0;
    static Mark now() {
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return {std::chrono::steady_clock::now(), secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime)};
    }
};

// The task's host, taking the time at its progress steps and repaints: the task steps the bar
// before it makes its staging folder, after each item and after the last one; it repaints as each
// file goes into the archive, the last time just before the archive's end is written, committed
// and the staging folder removed.
class TimingHost : public browsers::Host {
  public:
    std::vector<Mark> steps;
    Mark lastRepaint;

    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void progressShow() override {}
    void progressStep(int) override { steps.push_back(Mark::now()); }
    void progressSet(int) override {}
    void progressHide() override {}
    void fullProgress(int, int) override {}
    void fullFileLabel(const std::string&) override {}
    void repaint() override { lastRepaint = Mark::now(); }
    void setBusyCursor(bool) override {}
    void pause(std::chrono::milliseconds) override {}
    bool confirmReplace(const std::string&) override { return true; }
};

void activate(const std::string& root) {
    tools::SampleMachine{root, kUser, "6"}.activate();
}

// kelvora-cli backup chrome, in this process.
int childCli(const std::string& root, const std::string& saves) {
    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    const int code =
        cli::runCli({"--root", root, "--user", kUser, "backup", "chrome", "--to", saves, "--overwrite"}, ctx);
    if (code != 0)
        std::fprintf(stderr, "kelvora-cli backup chrome (exit %d): %s\n", code, err.str().c_str());
    return code;
}

// The same task through the timing host; writes the wall and CPU seconds of its phases to `report`:
// copying, packing, the end (the last file packed, the archive committed, the staging folder
// removed), the whole task.
int childPhases(const std::string& root, const std::string& saves, const std::string& report) {
    activate(root);
    const browsers::Browser& chrome = browsers::chrome();
    TimingHost host;
    browsers::SelectiveState state = browsers::makeSelectiveState(chrome, browsers::Task::Backup);
    browsers::discoverProfiles(chrome, state, host);
    state.profileIndex = browsers::defaultProfileIndex(chrome, state);
    state.backupLocationText = saves;
    const Mark start = Mark::now();
    const TaskResult result = browsers::runSelectiveBackup(chrome, state, host);
    const Mark end = Mark::now();
    if (result.outcome() != Outcome::Done || host.steps.size() < 2) {
        std::fprintf(stderr, "the backup did not end as done: %s\n", result.message().c_str());
        return 1;
    }
    std::ofstream out(report);
    const auto phase = [&out](const Mark& a, const Mark& b) {
        out << std::chrono::duration<double>(b.wall - a.wall).count() << ' ' << b.cpu - a.cpu << ' ';
    };
    phase(host.steps.front(), host.steps.back());
    phase(host.steps.back(), host.lastRepaint);
    phase(host.lastRepaint, end);
    phase(start, end);
    return 0;
}

int childMain(int argc, char** argv) {
    try {
        const std::string mode = argv[1];
        if (mode == "--child-cli" && argc == 4)
            return childCli(argv[2], argv[3]);
        if (mode == "--child-phases" && argc == 5)
            return childPhases(argv[2], argv[3], argv[4]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

using bench::loadAverage;

std::uint64_t bytesBelow(const fs::path& dir) {
    std::uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file())
            total += entry.file_size();
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], "--child-", 8) == 0)
        return childMain(argc, argv);

    double megabytes = 300;
    int runs = 3;
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
        else if (a == "--keep")
            keep = true;
        else {
            std::cerr << "usage: staging_bench [--size MB] [--runs N] [--dir FOLDER] [--keep]\n"
                         "  --size 300 (default): the Chrome profile in MB; --runs 3 (default): medians\n";
            return 2;
        }
    }
    const fs::path work = base / ("kelvora-staging-bench-" + std::to_string(getpid()));
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::printf("Building the sample machine and a %.0f MB Chrome profile in %s ...\n", megabytes,
                work.c_str());
    std::fflush(stdout);
    const tools::SampleMachine machine = tools::buildSampleMachine(work / "machine", {"6", kUser, true});
    const fs::path userData = machine.local() / "Google/Chrome/User Data";
    ChromeProfile sink{userData / "Default"};
    bench::Corpus corpus(std::ref(sink), 20261210);
    sink.corpus = &corpus;
    corpus.build(megabytes);
    const fs::path saves = work / "saves";
    fs::create_directories(saves);
    const fs::path archive = saves / "Default.dat";
    const fs::path phases = work / "phases";
    const fs::path tgz = work / "tar.tgz";
    const fs::path list = work / "tar-list";
    shell("sync");

    // The files the backup picks up, from its archive: what tar packs.
    if (const Run first = runChild({self, "--child-cli", machine.root.string(), saves.string()});
        first.status != 0)
        return 1;
    {
        std::vector<std::string> records;
        TZlibMultiple().ListStoredFiles(archive.string(), records);
        std::ofstream out(list);
        for (std::string record : records) {
            std::replace(record.begin(), record.end(), '\\', '/');
            out << (record == "Local State" ? record : "Default/" + record) << '\n';
        }
        std::printf(
            "Profile: %.1f MB; the backup holds %zu files (%.1f MB archive); %d runs each, load average "
            "%s\n\n",
            static_cast<double>(bytesBelow(userData / "Default")) / 1e6, records.size(),
            static_cast<double>(fs::file_size(archive)) / 1e6, runs, loadAverage().c_str());
    }

    struct Command {
        std::string what;
        std::function<Run()> run;
        std::vector<Run> runs;
    };
    // Wall and CPU seconds of the copy, the packing, the end and the whole task, per run.
    std::vector<std::vector<double>> phaseRuns;
    std::vector<Command> commands = {
        {"kelvora-cli backup chrome",
         [&] {
             return runChild({self, "--child-cli", machine.root.string(), saves.string()});
         },
         {}},
        {"the same task, phases timed",
         [&] {
             const Run run =
                 runChild({self, "--child-phases", machine.root.string(), saves.string(), phases.string()});
             std::ifstream in(phases);
             std::vector<double> figures(8);
             for (double& f : figures)
                 in >> f;
             if (run.status == 0 && in)
                 phaseRuns.push_back(figures);
             return run;
         },
         {}},
        {"tar czf (the same files)",
         [&] { return shell("tar czf " + quote(tgz) + " -C " + quote(userData) + " -T " + quote(list)); },
         {}},
    };
    for (int round = 0; round < runs; ++round) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            Command& command = commands[(k + static_cast<std::size_t>(round)) % commands.size()];
            shell("sync");
            command.runs.push_back(command.run());
            std::printf("  (run %d: %-30s %6.2f s, CPU %6.2f s)\n", round + 1, command.what.c_str(),
                        command.runs.back().seconds, command.runs.back().cpuSeconds);
            std::fflush(stdout);
        }
    }

    const auto medianOf = [](const std::vector<Run>& rs, double Run::*field) {
        std::vector<double> v;
        for (const Run& r : rs)
            v.push_back(r.*field);
        return median(v);
    };
    std::printf("\nMedians of %d runs (load average now %s)\n", runs, loadAverage().c_str());
    std::printf("  %-40s %8s %8s\n", "", "wall s", "CPU s");
    bool failed = false;
    for (const Command& c : commands) {
        const bool bad =
            std::any_of(c.runs.begin(), c.runs.end(), [](const Run& r) { return r.status != 0; });
        failed = failed || bad;
        std::printf("  %-40s %8.2f %8.2f%s\n", c.what.c_str(), medianOf(c.runs, &Run::seconds),
                    medianOf(c.runs, &Run::cpuSeconds), bad ? "  FAILED" : "");
    }
    if (!phaseRuns.empty()) {
        const auto phase = [&](std::size_t i) {
            std::vector<double> v;
            for (const auto& p : phaseRuns)
                v.push_back(p[i]);
            return median(v);
        };
        std::vector<double> wallShares, cpuShares;
        for (const auto& p : phaseRuns) {
            wallShares.push_back(p[0] / p[6]);
            cpuShares.push_back(p[1] / p[7]);
        }
        std::printf("  %-40s %8.2f %8.2f\n", "  copying into the staging folder", phase(0), phase(1));
        std::printf("  %-40s %8.2f %8.2f\n", "  packing it", phase(2), phase(3));
        std::printf("  %-40s %8.2f %8.2f\n", "  committing, removing the staging folder", phase(4), phase(5));
        std::printf("  %-40s %8.2f %8.2f\n", "  the task in all", phase(6), phase(7));
        std::printf(
            "\nThe copy's share of the selective backup: %.1f%% of the wall time, %.1f%% of the CPU time "
            "(target <= 20%%)\n",
            100 * median(wallShares), 100 * median(cpuShares));
    }
    const double kelvoraWall = medianOf(commands[0].runs, &Run::seconds);
    const double kelvoraCpu = medianOf(commands[0].runs, &Run::cpuSeconds);
    std::printf(
        "tar czf against kelvora-cli (tar's time over Kelvora's: above 1 is faster): wall %.2fx, CPU %.2fx\n",
        medianOf(commands[2].runs, &Run::seconds) / kelvoraWall,
        medianOf(commands[2].runs, &Run::cpuSeconds) / kelvoraCpu);
    if (!keep)
        fs::remove_all(work);
    return failed ? 1 : 0;
}
