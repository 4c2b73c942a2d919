// The Host of the command line: the wizards' messages go to the error stream, the progress window
// becomes a bar on one terminal line (nothing when the output is not a terminal). Any command that
// runs a task may use it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "browsers/host.h"
#include "cli/command.h"
#include "core/result.h"

namespace kelvora::cli {

class CliHost : public browsers::Host {
  public:
    explicit CliHost(Context& ctx) : ctx_(ctx) {}
    ~CliHost() override { endLine(); }
    CliHost(const CliHost&) = delete;
    CliHost& operator=(const CliHost&) = delete;

    // Every message shown, in order, so a command can decide its exit code.
    std::vector<std::string> messages;
    // Messages are recorded but not printed (a command that has its own word for the case).
    bool quiet = false;
    // The answer to "... already exists. Replace it?": the command's --overwrite.
    bool overwrite = false;
    // Set when a replace was asked and refused, so the command can name --overwrite.
    bool replaceRefused = false;
    // The command's --force: a restore goes on while the browser uses the profile.
    bool force = false;
    // Set when a restore stopped because the browser uses the profile, so the command can name --force.
    bool inUseStopped = false;

    void showMessage(const std::string& text) override;
    void progressShow() override;
    void progressStep(int amount) override;
    void progressSet(int position) override;
    void progressHide() override;
    void fullProgress(int position, int total) override;
    void fullFileLabel(const std::string& text) override;
    void repaint() override {}
    void setBusyCursor(bool) override {}
    // Pauses exist to let a window be read; a terminal keeps its lines, so none is made.
    void pause(std::chrono::milliseconds) override {}
    bool confirmReplace(const std::string& question) override;
    // A browser using the profile stops a restore, unless --force was given.
    InUseAnswer browserInUse(const std::string& text) override;

    // Ends a bar line that is still open.
    void endLine();

  private:
    void draw(double fraction, const std::string& label);

    Context& ctx_;
    bool shown_ = false;
    int position_ = 0;
    std::string label_;
    std::size_t width_ = 0;
};

// How a task ended, told on the terminal: `doneLine` on success, then the files or keys left out,
// the archive's size warnings, or why nothing was done or what failed. Returns the exit code.
int reportResult(Context& ctx, CliHost& host, const TaskResult& result, const std::string& doneLine);

}  // namespace kelvora::cli
