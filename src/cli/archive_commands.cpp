// kelvora-cli pack, unpack, list and verify: the ".dat" backup archive from the command line. On a
// terminal a progress bar runs on the error stream; otherwise each file is one plain line.
#include <chrono>
#include <iomanip>
#include <ostream>
#include <vector>

#include "archive/zlib_multiple.h"
#include "cli/command.h"
#include "cli/commands_list.h"
#include "core/core.h"
#include "core/error.h"
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

// What a folder's files add up to, for the bar: bytes of the files below it.
std::uint64_t bytesBelow(const std::string& folder) {
    std::uint64_t total = 0;
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        const std::string dir = IncludeTrailingBackslash(pending.back());
        pending.pop_back();
        std::vector<platform::DirEntry> entries;
        platform::listDirectory(dir, true, entries);
        for (const auto& entry : entries) {
            if (entry.isDirectory)
                pending.push_back(dir + entry.name);
            else
                total += entry.size;
        }
    }
    return total;
}

std::string relativeTo(const std::string& path, const std::string& folder) {
    const std::string prefix = IncludeTrailingBackslash(folder);
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
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
        TZlibMultiple z;
        std::size_t files = 0;
        std::uint64_t bytes = 0;
        std::string current;
        if (ctx.terminal) {
            const std::uint64_t total = std::max<std::uint64_t>(bytesBelow(folder_), 1);
            auto bar = std::make_shared<ProgressBar>(ctx.err);
            std::uint64_t before = 0;
            z.OnCompressingFile = [&](TZlibMultiple&, const std::string& name) {
                current = relativeTo(name, folder_);
                before = bytes;
            };
            z.OnProgress = [&, bar](TZlibMultiple&, std::int32_t position, std::int32_t) {
                bar->show(static_cast<double>(before + static_cast<std::uint32_t>(position)) /
                              static_cast<double>(total),
                          current);
            };
            z.OnCompressedFile = [&, bar](TZlibMultiple&, const std::string& name) {
                bytes += platform::fileSize(name).value_or(0);
                ++files;
                bar->show(static_cast<double>(bytes) / static_cast<double>(total), current);
            };
            z.CompressDirectory(folder_, true, archive_);
            bar->show(1.0, "", true);
            bar->finish();
        } else {
            z.OnCompressedFile = [&](TZlibMultiple&, const std::string& name) {
                ++files;
                bytes += platform::fileSize(name).value_or(0);
                ctx.out << relativeTo(name, folder_) << '\n';
            };
            z.CompressDirectory(folder_, true, archive_);
        }
        ctx.out << Format("Packed %zu files (%llu bytes) into %s (%llu bytes)", files,
                          static_cast<unsigned long long>(bytes), archive_.c_str(),
                          static_cast<unsigned long long>(platform::fileSize(archive_).value_or(0)))
                << '\n';
        return 0;
    }

  private:
    std::string folder_;
    std::string archive_;
};

// Reports the warnings of an extraction; non-zero when there were any.
int finishWithWarnings(Context& ctx, const TZlibMultiple& z, const std::string& archive) {
    if (z.Warnings.empty())
        return 0;
    for (const std::string& warning : z.Warnings)
        ctx.err << "warning: " << warning << '\n';
    ctx.err << Format("kelvora-cli: %zu records of %s differ from their stated size", z.Warnings.size(),
                      archive.c_str())
            << '\n';
    return 1;
}

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
        TZlibMultiple z;
        std::size_t done = 0;
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
        ctx.out << Format("Extracted %zu files from %s into %s", done, archive_.c_str(), folder_.c_str())
                << '\n';
        return finishWithWarnings(ctx, z, archive_);
    }

  private:
    std::string archive_;
    std::string folder_;
};

class ListCommand : public Command {
  public:
    void configure(CLI::App& app) override {
        app.add_option("ARCHIVE", archive_, "Archive file to list")->required();
    }

    int run(Context& ctx) override {
        TZlibMultiple z;
        std::vector<std::string> names;
        naming(archive_, [&] { z.ListStoredFiles(archive_, names); });
        for (const std::string& name : names)
            ctx.out << name << '\n';
        return 0;
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
        TZlibMultiple z;
        z.ForceDirectoriesFlag = false;
        z.Tuning.ExtractionThreads = 1;  // workers would write temporary files ahead
        std::size_t done = 0;
        std::uint64_t bytes = 0;
        std::shared_ptr<ProgressBar> bar;
        std::size_t records = 0;
        if (ctx.terminal) {
            naming(archive_, [&] { records = recordCount(archive_); });
            bar = std::make_shared<ProgressBar>(ctx.err);
        }
        followExtraction(z, ctx, records, "", bar, done, "ok");
        const auto decompressing = z.OnDecompressingFile;
        z.OnDecompressingFile = [decompressing](TZlibMultiple& sender, const std::string& name, bool& write) {
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
        if (const int result = finishWithWarnings(ctx, z, archive_); result != 0)
            return result;
        ctx.out << Format("%s: %zu records, %llu bytes, all sound", archive_.c_str(), done,
                          static_cast<unsigned long long>(bytes))
                << '\n';
        return 0;
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
