// How long a person waits in the window compared with the command line for the same task: a
// Chrome profile of a given size (default 30 MB) on a sample machine, backed up and restored whole
// by the full wizards (offscreen, through their host) and by kelvora-cli full-backup/full-restore,
// then backed up and restored selectively both ways (half of the profile's bytes are in the
// folders of the "Extensions" item, so the selective tasks carry real data too). Prints each time
// and the window's ratio to the command line's. Usage: wizard_bench [MEGABYTES] [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/command.h"
#include "tools/sample_machine.h"
#include "ui/directory_edit.h"
#include "ui/shell.h"
#include "ui/tf_pbar.h"
#include "ui/wizards/full_wizards.h"
#include "ui/wizards/selective_wizards.h"
#include "ui/wizards/wizard_host.h"

namespace fs = std::filesystem;
using namespace kelvora;

namespace {

// Files like a profile's: a few large databases, many small files; half of each compressible.
// Every other file is an extension's, which a selective backup of "Extensions" takes.
void fillProfile(const fs::path& dir, std::size_t megabytes) {
    std::mt19937 random(7);
    const std::size_t total = megabytes << 20;
    std::size_t written = 0;
    for (int i = 0; written < total; ++i) {
        const std::size_t size = i % 50 == 0 ? (std::size_t{2} << 20) : 4096 + random() % 60000;
        std::string data(size, '\0');
        for (std::size_t j = 0; j < size; ++j)
            data[j] = j % 2 ? static_cast<char>(random()) : static_cast<char>('a' + j % 17);
        const fs::path file =
            i % 2 ? dir / ("IndexedDB/db" + std::to_string(i % 40)) / ("blob" + std::to_string(i))
                  : dir / ("Extensions/ext" + std::to_string(i % 40)) / ("file" + std::to_string(i));
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
        written += size;
    }
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// kelvora-cli on the sample machine, in this process; its output is kept, as a pipe would take it.
const tools::SampleMachine* sample = nullptr;

int commandLine(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", sample->root.string(), "--user", sample->user});
    std::ostringstream out, err;
    cli::Context ctx{out, err, false};
    const int code = cli::runCli(args, ctx);
    if (code != 0)
        std::fprintf(stderr, "kelvora-cli %s: %s\n", args[4].c_str(), err.str().c_str());
    return code;
}

template <class Wizard>
void wizard(Wizard& w, const fs::path& folder) {
    sample->activate();
    w.show();
    w.FormActivate();
    // As a person does: through the folder box's "Browse" (which also lists a restore's archives).
    ui::setChooseFolderHandler([&folder](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(folder.string());
    });
    w.DirectoryEdit2->browse();
    w.Button2Click();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* task, const std::vector<double>& window, const std::vector<double>& command) {
    const double w = median(window), c = median(command);
    std::printf("%-18s window %7.2f s   command line %7.2f s   ratio %.2fx\n", task, w, c, w / c);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t megabytes = argc > 1 ? std::stoul(argv[1]) : 30;
    const int runs = argc > 2 ? std::stoi(argv[2]) : 3;

    const fs::path tmp = fs::temp_directory_path() / ("kelvora-wizard-bench-" + std::to_string(::getpid()));
    const auto machine = tools::buildSampleMachine(tmp / "machine", {"6", "ann", true});
    sample = &machine;
    machine.activate();
    fillProfile(machine.local() / "Google/Chrome/User Data/Default", megabytes);
    // The full and the selective archives in folders of their own, so that the restore wizards
    // list only the archive their command line counterpart restores.
    const fs::path saves = tmp / "saves", selectiveSaves = tmp / "selective-saves";
    fs::create_directories(saves);
    fs::create_directories(selectiveSaves);

    ui::wizards::setBoxHandler([](QWidget*, ui::wizards::BoxKind, const QString& text) {
        std::fprintf(stderr, "box: %s\n", text.toStdString().c_str());
    });
    ui::wizards::setQuestionHandler([](QWidget*, const QString&) { return true; });
    ui::Tf_pBar progress;
    ui::setF_pBar(&progress);

    std::vector<double> fullBackupWindow, fullBackupCli, fullRestoreWindow, fullRestoreCli, selWindow, selCli,
        selRestoreWindow, selRestoreCli;
    for (int run = 0; run < runs; ++run) {
        fullBackupCli.push_back(seconds([&] {
            commandLine({"full-backup", "chrome", "--to", saves.string(), "--overwrite"});
        }));
        fullBackupWindow.push_back(seconds([&] {
            ui::Tffb_Chrome w;
            wizard(w, saves);
        }));
        fullRestoreCli.push_back(seconds([&] {
            commandLine({"full-restore", "chrome", "--from", saves.string()});
        }));
        fullRestoreWindow.push_back(seconds([&] {
            ui::Tffr_Chrome w;
            wizard(w, saves);
        }));
        selCli.push_back(seconds([&] {
            commandLine({"backup", "chrome", "--to", selectiveSaves.string(), "--overwrite"});
        }));
        selWindow.push_back(seconds([&] {
            ui::Tfb_Chrome w;
            wizard(w, selectiveSaves);
        }));
        selRestoreCli.push_back(seconds([&] {
            commandLine({"restore", "chrome", "--from", selectiveSaves.string(), "--archive", "default.dat"});
        }));
        selRestoreWindow.push_back(seconds([&] {
            ui::Tfr_Chrome w;
            wizard(w, selectiveSaves);
        }));
    }
    std::printf("Chrome profile of %zu MB, median of %d runs\n", megabytes, runs);
    report("full backup", fullBackupWindow, fullBackupCli);
    report("full restore", fullRestoreWindow, fullRestoreCli);
    report("selective backup", selWindow, selCli);
    report("selective restore", selRestoreWindow, selRestoreCli);
    ui::setF_pBar(nullptr);
    fs::remove_all(tmp);
    return 0;
}
