// A Host that records what a task asked of its window, so tests can assert the messages, the
// progress arithmetic and the cursor without a window. Pauses are recorded, never waited for.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "browsers/host.h"

namespace kelvora::test {

class RecordingHost : public browsers::Host {
  public:
    // Every call in order, as text: "message:TEXT", "show", "step:5", "set:100", "hide",
    // "full:POS/TOTAL", "label:TEXT", "repaint", "busy:1", "busy:0", "pause:MS".
    std::vector<std::string> calls;
    std::vector<std::string> messages;

    // The progress window as the user sees it.
    bool progressVisible = false;
    int position = 0;
    // The highest position the bar reached before it was set (to 100) by progressSet.
    int positionBeforeSet = -1;
    std::vector<int> steps;
    int repaints = 0;
    bool busy = false;
    int fullPosition = 0, fullTotal = 0;
    std::string fullLabel;
    std::chrono::milliseconds paused{0};

    void showMessage(const std::string& text) override;
    void progressShow() override;
    void progressStep(int amount) override;
    void progressSet(int position) override;
    void progressHide() override;
    void fullProgress(int position, int total) override;
    void fullFileLabel(const std::string& text) override;
    void repaint() override;
    void setBusyCursor(bool busy) override;
    void pause(std::chrono::milliseconds duration) override;
    // Records "confirm:QUESTION" and answers with `replaceAnswer`.
    bool confirmReplace(const std::string& question) override;
    bool replaceAnswer = true;
    InUseAnswer browserInUse(const std::string& text) override;
    // The answers to "Close ... first", taken in turn; Cancel once they run out.
    std::vector<InUseAnswer> inUseAnswers;
    std::vector<std::string> questions;
};

}  // namespace kelvora::test
