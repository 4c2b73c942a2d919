// How soon the Kelvora window is on screen after the program is started, on a first start and
// warm, beside a bare Qt window (one label) started the same way. Both programs write the moment
// their window is first painted and handed to the display into the file KELVORA_SHOWN_MARK names
// (src/app/shown_mark.h); a start takes from just before fork/exec to that mark.
//
//   startup_bench [--runs N] [--program PATH] [--bare PATH]
//
// Each program runs on a private Xvfb server (1280x800x24, a free display number) and works on an
// empty Windows folder (KELVORA_ROOT), so nothing of this computer is scanned.
// - first: a new Xvfb server, empty XDG_CONFIG_HOME and XDG_CACHE_HOME folders, and the program's
//   files dropped from the page cache (posix_fadvise DONTNEED) before the run: every file a
//   previous run had mapped (the program, its libraries and plugins, fonts, the fontconfig cache)
//   and fontconfig's configuration, caches and fonts. Pages other processes have mapped stay.
// - warm: one server for all runs, the same folders, after one run that is not counted.
// The programs are copies in the bench's own folder, so the Kelvora window's settings file
// (kelvora.ini beside the program) is the bench's and not the build's.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_process.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

[[noreturn]] void fail(const std::string& message) {
    throw std::runtime_error(message);
}

using kelvora::bench::loadAverage;

// The bench's own folder, removed at the end.
class Workspace {
  public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "kelvora-startup-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            fail("no temporary folder: " + std::string(std::strerror(errno)));
        root_ = pattern;
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    const fs::path& root() const { return root_; }

  private:
    fs::path root_;
};

// A private X server; the display number is the first free one, which Xvfb reports on a pipe once
// it accepts connections.
class Xvfb {
  public:
    explicit Xvfb(const fs::path& log) {
        int fds[2];
        if (pipe(fds) != 0)
            fail("pipe: " + std::string(std::strerror(errno)));
        pid_ = fork();
        if (pid_ < 0)
            fail("fork: " + std::string(std::strerror(errno)));
        if (pid_ == 0) {
            close(fds[0]);
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
                   "1280x800x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            stop();
            fail("Xvfb did not start (is it installed? see " + log.string() + ")");
        }
        display_ = ":" + number;
    }
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    const std::string& display() const { return display_; }

  private:
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    pid_t pid_ = -1;
    std::string display_;
};

struct Target {
    std::string name;
    fs::path program;
    std::set<fs::path> files;  // what a first start drops from the page cache
    int libraries = 0;         // shared libraries mapped when the window showed
    std::vector<double> first, warm;
};

struct Folders {
    fs::path config, cache;
};

// Writes the file's pages out and drops them from the page cache (pages other processes have
// mapped stay).
void dropFromPageCache(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

void addRegularFiles(const fs::path& folder, std::set<fs::path>& files) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec))
            files.insert(it->path());
    }
}

class Bench {
  public:
    explicit Bench(const Workspace& ws) : ws_(ws) {
        fs::create_directories(ws_.root() / "machine" / "Users" / "ann");
        fs::create_directories(ws_.root() / "runtime");
        fs::permissions(ws_.root() / "runtime", fs::perms::owner_all);
    }

    // Copies the program into the bench's folder, so that its settings file is the bench's and its
    // pages can be dropped (a file just written is dirty until it reaches the disk).
    fs::path install(const fs::path& program) {
        const fs::path bin = ws_.root() / ("bin-" + program.filename().string());
        fs::create_directories(bin);
        const fs::path copy = bin / program.filename();
        fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
        return copy;
    }

    Folders freshFolders(const std::string& name) {
        const fs::path home = ws_.root() / name;
        fs::remove_all(home);
        Folders f{home / "config", home / "cache"};
        fs::create_directories(f.config);
        fs::create_directories(f.cache);
        return f;
    }

    // Starts the program, waits for its mark, ends it; the milliseconds from start to mark.
    double run(Target& target, const std::string& display, const Folders& folders, bool survey) {
        const fs::path mark = ws_.root() / "shown";
        const fs::path log = ws_.root() / "program.log";
        fs::remove(mark);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            const auto name = v.substr(0, v.find('='));
            if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "QT_QPA_PLATFORM" ||
                name == "XDG_CONFIG_HOME" || name == "XDG_CACHE_HOME" || name == "XDG_RUNTIME_DIR" ||
                name == "SESSION_MANAGER" || name.starts_with("KELVORA_"))
                continue;
            env.emplace_back(v);
        }
        env.push_back("DISPLAY=" + display);
        env.push_back("QT_QPA_PLATFORM=xcb");
        env.push_back("XDG_CONFIG_HOME=" + folders.config.string());
        env.push_back("XDG_CACHE_HOME=" + folders.cache.string());
        env.push_back("XDG_RUNTIME_DIR=" + (ws_.root() / "runtime").string());
        env.push_back("KELVORA_ROOT=" + (ws_.root() / "machine").string());
        env.push_back("KELVORA_USER=ann");
        env.push_back("KELVORA_WINDOWS_VERSION=6");
        env.push_back("KELVORA_SHOWN_MARK=" + mark.string());
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = target.program.string();
        char* argv[] = {program.data(), nullptr};

        const std::int64_t start = monotonicNs();
        const pid_t pid = fork();
        if (pid < 0)
            fail("fork: " + std::string(std::strerror(errno)));
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execve(argv[0], argv, envp.data());
            _exit(127);
        }
        std::int64_t shown = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (shown == 0) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                fail(target.name + " ended before its window showed; its output is in " + log.string());
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                fail(target.name + " showed no window within a minute");
            }
            std::ifstream in(mark);
            std::string line;
            if (std::getline(in, line) && !in.eof())  // the whole line, newline included
                shown = std::stoll(line);
            else
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        if (survey)
            readMaps(target, pid);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return static_cast<double>(shown - start) / 1e6;
    }

  private:
    // Every file the program has mapped (its binary, libraries, plugins, fonts, caches).
    static void readMaps(Target& target, pid_t pid) {
        std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
        std::set<fs::path> libraries;
        std::string line;
        while (std::getline(maps, line)) {
            const auto slash = line.find('/');
            if (slash == std::string::npos)
                continue;
            const fs::path file = line.substr(slash);
            if (file.string().ends_with(" (deleted)"))
                continue;
            target.files.insert(file);
            if (file.filename().string().find(".so") != std::string::npos && file != target.program)
                libraries.insert(file);
        }
        target.libraries = static_cast<int>(libraries.size());
    }

    const Workspace& ws_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double minimum(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

fs::path argumentPath(const char* text) {
    std::error_code ec;
    fs::path p = fs::absolute(text, ec);
    if (ec || !fs::is_regular_file(p))
        fail(std::string("no program at ") + text);
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 11;
    fs::path program = KELVORA_PROGRAM;
    fs::path bare = KELVORA_BARE_WINDOW;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--runs" && i + 1 < argc) {
                runs = std::max(1, std::atoi(argv[++i]));
            } else if (arg == "--program" && i + 1 < argc) {
                program = argumentPath(argv[++i]);
            } else if (arg == "--bare" && i + 1 < argc) {
                bare = argumentPath(argv[++i]);
            } else {
                std::cerr << "usage: startup_bench [--runs N] [--program PATH] [--bare PATH]\n";
                return 2;
            }
        }

        Workspace ws;
        Bench bench(ws);
        const fs::path xlog = ws.root() / "xvfb.log";
        std::vector<Target> targets;
        targets.push_back({"kelvora", bench.install(program), {}, 0, {}, {}});
        targets.push_back({"bare Qt window", bench.install(bare), {}, 0, {}, {}});
        const std::string loadBefore = loadAverage();

        // One run each to learn which files a first start has to find on the disk.
        std::set<fs::path> fontFiles;
        for (const char* folder :
             {"/etc/fonts", "/usr/share/fontconfig", "/var/cache/fontconfig", "/usr/share/fonts"})
            addRegularFiles(folder, fontFiles);
        {
            Xvfb x(xlog);
            for (Target& t : targets) {
                bench.run(t, x.display(), bench.freshFolders("survey"), true);
                t.files.insert(t.program);
                t.files.insert(fontFiles.begin(), fontFiles.end());
            }
        }

        // First starts, the two programs in turn so that both see the same load.
        for (int i = 0; i < runs; ++i) {
            for (Target& t : targets) {
                Xvfb x(xlog);
                const Folders folders = bench.freshFolders("first");
                for (const fs::path& f : t.files)
                    dropFromPageCache(f);
                t.first.push_back(bench.run(t, x.display(), folders, false));
            }
        }

        // Warm starts on one server.
        {
            Xvfb x(xlog);
            const Folders folders = bench.freshFolders("warm");
            for (Target& t : targets)
                bench.run(t, x.display(), folders, false);
            for (int i = 0; i < runs; ++i) {
                for (Target& t : targets)
                    t.warm.push_back(bench.run(t, x.display(), folders, false));
            }
        }

        std::printf("startup_bench: main window on screen, %d runs each, Xvfb 1280x800x24\n", runs);
        std::printf("load average: %s before, %s after\n\n", loadBefore.c_str(), loadAverage().c_str());
        std::printf("%-16s %21s %21s %10s\n", "", "first start (ms)", "warm start (ms)", "shared");
        std::printf("%-16s %10s %10s %10s %10s %10s\n", "program", "median", "min", "median", "min",
                    "libraries");
        for (const Target& t : targets)
            std::printf("%-16s %10.1f %10.1f %10.1f %10.1f %10d\n", t.name.c_str(), median(t.first),
                        minimum(t.first), median(t.warm), minimum(t.warm), t.libraries);
        const Target& k = targets[0];
        const Target& b = targets[1];
        std::printf(
            "\nkelvora over the bare window: first %+.1f ms (%.2fx), warm %+.1f ms (%.2fx) (medians)\n",
            median(k.first) - median(b.first), median(k.first) / median(b.first),
            median(k.warm) - median(b.warm), median(k.warm) / median(b.warm));
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "startup_bench: " << e.what() << '\n';
        return 1;
    }
}
