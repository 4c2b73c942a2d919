// kelvora-cli pack, unpack, list and verify: the ".dat" backup archive from the command line. On a
// terminal a progress bar runs on the error stream; otherwise each file is one plain line. Each
// ends with a task result: what was left out is listed, and the exit code follows the outcome.
#include <chrono>
#include <iomanip>
#include <ostream>
#include <vector>

#include "archive/zlib_multiple.h"
#include "browsers/task_support.h"
#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "core/core.h"
#include "core/error.h"
#include "core/result.h"
#include "core/temp_names.h"
#include "platform/platform.h"

namespace kelvora::cli {

namespace {

// A one-line bar redrawn in place, at most every 100 ms.
class ProgressBar {
  public:
    explicit ProgressBar(std::ostream& out) : out_(out) {}
    ~ProgressBar() { finish(); }

    void show(double fraction, const std::string& label, bool force = false) {
        const auto now = std::chrono::steady_clock::now();
        if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        drawn_ = true;
        fraction = std::clamp(fraction, 0.0, 1.0);
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(fraction * kWidth);
        std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                           Format("%3d%% ", static_cast<int>(fraction * 100));
        std::string shown = label;
        if (shown.size() > 40)
            shown = "..." + shown.substr(shown.size() - 37);
        line += shown;
        if (line.size() < width_)
            line += std::string(width_ - line.size(), ' ');
        width_ = line.size();
        out_ << line << std::flush;
    }
    void finish() {
        if (drawn_)
            out_ << '\n' << std::flush;
        drawn_ = false;
    }

  private:
    std::ostream& out_;
    std::chrono::steady_clock::time_point last_{};
    bool drawn_ = false;
    std::size_t width_ = 0;
};

// What a folder's files add up to, for the bar and to tell an empty folder: bytes of the files
// below it that a pack would read (links are not followed, Kelvora's unfinished files not read).
std::uint64_t bytesBelow(const std::string& folder) {
    std::uint64_t total = 0;
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        const std::string dir = IncludeTrailingBackslash(pending.back());
        pending.pop_back();
        std::vector<platform::DirEntry> entries;
        platform::listDirectory(dir, true, entries);
        for (const auto& entry : entries) {
            if (entry.isLink)
                continue;
            if (entry.isDirectory) {
                if (!IsTemporaryFolderName(entry.name))
                    pending.push_back(dir + entry.name);
            } else if (!IsTemporaryFileName(entry.name)) {
                total += entry.size;
            }
        }
    }
    return total;
}

std::string relativeTo(const std::string& path, const std::string& folder) {
    const std::string prefix = IncludeTrailingBackslash(folder);
    return printable(path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path);
}

// Runs `action`; a failure's text gains the archive's name in front unless it names it already.
template <typename Action>
void naming(const std::string& archive, Action action) {
    try {
        action();
    } catch (const std::exception& e) {
        const std::string message = e.what();
        if (message.find(archive) != std::string::npos)
            throw;
        throw Error(archive + ": " + message);
    }
}

std::size_t recordCount(const std::string& archive) {
    TZlibMultiple lister;
    std::vector<std::string> names;
    lister.ListStoredFiles(archive, names);
    return names.size();
}

class PackCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("DIR", folder_, "Folder to pack, with its subfolders")->required();
        app.add_option("ARCHIVE", archive_, "Archive file to write (replaced when complete)")->required();
    }

    int run(Context& ctx) override {
        CliHost host(ctx);
        std::size_t files = 0;
        std::uint64_t bytes = 0;
        const TaskResult result = browsers::guarded([&] {
            TZlibMultiple z;
            const bool folderThere = DirectoryExists(folder_);
            const std::uint64_t total = folderThere ? bytesBelow(folder_) : 0;
            // An empty archive in place of an earlier one would be a loss for nothing.
            if (folderThere && total == 0)
                return TaskResult::nothingDone(
                    Format("There are no files to pack in \"%s\"; %s was not written.",
                           browsers::shownPath(folder_).c_str(), archive_.c_str()));
            std::string current;
            std::uint64_t before = 0;  // bytes of the files packed before the current one
            std::shared_ptr<ProgressBar> bar;
            if (ctx.terminal) {
                bar = std::make_shared<ProgressBar>(ctx.err);
                z.OnCompressingFile = [&](TZlibMultiple&, const std::string& name) {
                    current = relativeTo(name, folder_);
                    before = bytes;
                };
                z.OnProgress = [&, bar](TZlibMultiple&, std::int32_t position, std::int32_t) {
                    bar->show(static_cast<double>(before + static_cast<std::uint32_t>(position)) /
                                  static_cast<double>(std::max<std::uint64_t>(total, 1)),
                              current);
                };
            }
            z.OnCompressedFile = [&](TZlibMultiple&, const std::string& name) {
                ++files;
                bytes += platform::fileSize(name).value_or(0);
                if (bar)
                    bar->show(
                        static_cast<double>(bytes) / static_cast<double>(std::max<std::uint64_t>(total, 1)),
                        current);
                else
                    ctx.out << relativeTo(name, folder_) << '\n';
            };
            z.CompressDirectory(folder_, true, archive_);
            if (bar) {
                bar->show(1.0, "", true);
                bar->finish();
            }
            TaskResult done;
            browsers::takeArchiveReport(z, done);
            return done;
        });
        return reportResult(
            ctx, host, result,
            Format("Packed %zu files (%llu bytes) into %s (%llu bytes)", files,
                   static_cast<unsigned long long>(bytes), archive_.c_str(),
                   static_cast<unsigned long long>(platform::fileSize(archive_).value_or(0))));
    }

  private:
    std::string folder_;
    std::string archive_;
};

// Hooks the bar or the plain lines to an extraction that runs over `records` records.
void followExtraction(TZlibMultiple& z, Context& ctx, std::size_t records, const std::string& folder,
                      const std::shared_ptr<ProgressBar>& bar, std::size_t& done, const char* verb) {
    auto current = std::make_shared<std::string>();
    const double count = static_cast<double>(std::max<std::size_t>(records, 1));
    z.OnDecompressingFile = [current, folder, bar](TZlibMultiple&, const std::string& name, bool&) {
        *current = relativeTo(name, folder);
    };
    if (bar) {
        z.OnProgress = [&done, current, bar, count](TZlibMultiple&, std::int32_t position,
                                                    std::int32_t total) {
            const double within = total > 0 ? static_cast<double>(static_cast<std::uint32_t>(position)) /
                                                  static_cast<double>(static_cast<std::uint32_t>(total))
                                            : 0.0;
            bar->show((static_cast<double>(done) + std::min(within, 1.0)) / count, *current);
        };
    }
    z.OnDecompressedFile = [&done, &ctx, current, bar, count, verb](TZlibMultiple&, const std::string&,
                                                                    std::uint32_t) {
        ++done;
        if (bar)
            bar->show(static_cast<double>(done) / count, *current);
        else
            ctx.out << verb << ' ' << *current << '\n';
    };
}

class UnpackCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("ARCHIVE", archive_, "Archive file to extract")->required();
        app.add_option("DIR", folder_, "Folder to extract into (existing files are replaced)")->required();
    }

    int run(Context& ctx) override {
        CliHost host(ctx);
        std::size_t done = 0;
        const TaskResult result = browsers::guarded([&] {
            TZlibMultiple z;
            std::shared_ptr<ProgressBar> bar;
            std::size_t records = 0;
            if (ctx.terminal) {
                naming(archive_, [&] { records = recordCount(archive_); });
                bar = std::make_shared<ProgressBar>(ctx.err);
            }
            followExtraction(z, ctx, records, folder_, bar, done, "extracted");
            naming(archive_, [&] { z.DecompressFile(archive_, folder_, true, true); });
            if (bar)
                bar->finish();
            TaskResult extracted;
            browsers::takeArchiveReport(z, extracted);
            if (done == 0 && extracted.leftOut.empty())
                extracted.setNothingDone(Format("%s holds no files.", archive_.c_str()));
            return extracted;
        });
        return reportResult(
            ctx, host, result,
            Format("Extracted %zu files from %s into %s", done, archive_.c_str(), folder_.c_str()));
    }

  private:
    std::string archive_;
    std::string folder_;
};

// Lists the records as stored; when a later record is damaged, the sound ones before it come first.
class ListCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("ARCHIVE", archive_, "Archive file to list")->required();
    }

    int run(Context& ctx) override {
        CliHost host(ctx);
        std::vector<std::string> names;
        const TaskResult result = browsers::guarded([&] {
            TZlibMultiple z;
            naming(archive_, [&] { z.ListStoredFiles(archive_, names); });
            return TaskResult::done();
        });
        for (const std::string& name : names)
            ctx.out << printable(name) << '\n';
        ctx.out << std::flush;
        return reportResult(ctx, host, result, "");
    }

  private:
    std::string archive_;
};

// Inflates every record, checking sizes and checksums, without writing anything.
class VerifyCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("ARCHIVE", archive_, "Archive file to check")->required();
    }

    int run(Context& ctx) override {
        CliHost host(ctx);
        std::size_t done = 0;
        std::uint64_t bytes = 0;  // records may add up to far more than 4 GiB
        const TaskResult result = browsers::guarded([&] {
            TZlibMultiple z;
            z.ForceDirectoriesFlag = false;
            z.Tuning.ExtractionThreads = 1;  // workers would write temporary files ahead
            std::shared_ptr<ProgressBar> bar;
            std::size_t records = 0;
            if (ctx.terminal) {
                naming(archive_, [&] { records = recordCount(archive_); });
                bar = std::make_shared<ProgressBar>(ctx.err);
            }
            followExtraction(z, ctx, records, "", bar, done, "ok");
            const auto decompressing = z.OnDecompressingFile;
            z.OnDecompressingFile = [decompressing](TZlibMultiple& sender, const std::string& name,
                                                    bool& write) {
                decompressing(sender, name, write);
                write = false;
            };
            const auto decompressed = z.OnDecompressedFile;
            z.OnDecompressedFile = [decompressed, &bytes](TZlibMultiple& sender, const std::string& name,
                                                          std::uint32_t size) {
                bytes += size;
                decompressed(sender, name, size);
            };
            // Without writing, the target folder only shapes the names; the archive's own records
            // are checked as an extraction would check them.
            naming(archive_, [&] { z.DecompressFile(archive_, "", true, true); });
            if (bar)
                bar->finish();
            TaskResult checked;
            browsers::takeArchiveReport(z, checked);
            if (!z.Warnings.empty())
                checked.fail(Format("%zu records of %s differ from their stated size", z.Warnings.size(),
                                    archive_.c_str()));
            return checked;
        });
        return reportResult(ctx, host, result,
                            Format("%s: %zu records, %llu bytes, %s", archive_.c_str(), done,
                                   static_cast<unsigned long long>(bytes),
                                   result.leftOut.empty() ? "all sound" : "sound, and records refused"));
    }

  private:
    std::string archive_;
};

}  // namespace

std::unique_ptr<Command> makePackCommand() {
    return std::make_unique<PackCommand>();
}
std::unique_ptr<Command> makeUnpackCommand() {
    return std::make_unique<UnpackCommand>();
}
std::unique_ptr<Command> makeListCommand() {
    return std::make_unique<ListCommand>();
}
std::unique_ptr<Command> makeVerifyCommand() {
    return std::make_unique<VerifyCommand>();
}

}  // namespace kelvora::cli
