#include "cli/cli_host.h"

#include <algorithm>
#include <ostream>

#include "browsers/task_support.h"

namespace kelvora::cli {

void CliHost::showMessage(const std::string& text) {
    messages.push_back(text);
    if (quiet)
        return;
    endLine();
    ctx_.err << text << '\n';
}

bool CliHost::confirmReplace(const std::string&) {
    replaceRefused = !overwrite;
    return overwrite;
}

browsers::Host::InUseAnswer CliHost::browserInUse(const std::string& text) {
    if (force) {
        endLine();
        ctx_.err << printable(text) << " Going on: --force was given.\n";
        return InUseAnswer::Proceed;
    }
    inUseStopped = true;
    return InUseAnswer::Cancel;
}

int reportResult(Context& ctx, CliHost& host, const TaskResult& result, const std::string& doneLine) {
    host.endLine();
    switch (result.outcome()) {
        case Outcome::Failed:
            ctx.err << "kelvora-cli: " << printable(result.message())
                    << (host.inUseStopped ? " Close it, or give --force to restore anyway." : "") << '\n';
            break;
        case Outcome::NothingDone:
            ctx.err << "kelvora-cli: nothing done: " << printable(result.message())
                    << (host.replaceRefused ? " Give --overwrite to replace it." : "") << '\n';
            break;
        case Outcome::Done:
        case Outcome::DoneLeftOut:
            if (!doneLine.empty())
                ctx.out << printable(doneLine) << '\n';
            if (!result.leftOut.empty()) {
                // Names come from folders and archives: printed escaped, never acted on.
                ctx.err << "Left out:\n";
                for (const auto& entry : result.leftOut) {
                    ctx.err << "  " << (entry.item.empty() ? "" : printable(entry.item) + ": ")
                            << printable(entry.path.empty()
                                             ? entry.reason
                                             : browsers::shownPath(entry.path) + " (" + entry.reason + ")")
                            << '\n';
                }
            }
            break;
    }
    for (const auto& warning : result.warnings)
        ctx.err << "Warning: " << printable(warning) << '\n';
    for (const auto& note : result.notes)
        ctx.err << "Note: " << printable(note) << '\n';
    return exitCodeOf(result.outcome());
}

void CliHost::progressShow() {
    shown_ = true;
    position_ = 0;
    draw(0.0, {});
}

void CliHost::progressStep(int amount) {
    position_ = std::min(position_ + amount, 100);
    if (shown_)
        draw(position_ / 100.0, {});
}

void CliHost::progressSet(int position) {
    position_ = std::clamp(position, 0, 100);
    if (shown_)
        draw(position_ / 100.0, {});
}

void CliHost::progressHide() {
    shown_ = false;
    endLine();
}

void CliHost::fullProgress(int position, int total) {
    draw(total > 0 ? static_cast<double>(position) / total : 0.0, label_);
}

void CliHost::fullFileLabel(const std::string& text) {
    label_ = text;
}

void CliHost::draw(double fraction, const std::string& label) {
    if (!ctx_.terminal)
        return;
    constexpr int kWidth = 30;
    const int filled = std::clamp(static_cast<int>(fraction * kWidth + 0.5), 0, kWidth);
    std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                       std::to_string(static_cast<int>(fraction * 100 + 0.5)) + "%";
    if (!label.empty()) {
        std::string shown = label;
        if (shown.size() > 40)
            shown = "..." + shown.substr(shown.size() - 37);
        line += " " + shown;
    }
    const std::size_t length = line.size();
    if (length < width_)
        line += std::string(width_ - length, ' ');
    width_ = length;
    ctx_.err << line << std::flush;
}

void CliHost::endLine() {
    if (width_ > 0)
        ctx_.err << '\n' << std::flush;
    width_ = 0;
}

}  // namespace kelvora::cli
