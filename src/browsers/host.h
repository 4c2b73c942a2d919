// What a running task may ask of the window (or terminal, or test) that hosts it. The tasks in
// this folder talk to the user only through this port; the Qt wizards, the command line and the
// tests' recorder each implement it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kelvora::browsers {

class Host {
  public:
    virtual ~Host() = default;

    // A plain message box with one OK button (the wizards' fixed texts).
    virtual void showMessage(const std::string& text) = 0;

    // The shared progress window of the selective tasks: a bar from 0 to 100, reset to 0 on show.
    virtual void progressShow() = 0;
    virtual void progressStep(int amount) = 0;
    virtual void progressSet(int position) = 0;
    virtual void progressHide() = 0;

    // The full tasks' own bar and file label.
    virtual void fullProgress(int position, int total) = 0;
    virtual void fullFileLabel(const std::string& text) = 0;

    // The window repaints (after each archived or extracted file).
    virtual void repaint() = 0;
    // The hourglass cursor on or off.
    virtual void setBusyCursor(bool busy) = 0;
    // A pause the task makes on purpose; tests record it instead of waiting.
    virtual void pause(std::chrono::milliseconds duration) = 0;

    // A question with Yes and No, No the default: "default.dat already exists (made ...). Replace
    // it?". True for Yes. The command line answers from its --overwrite option.
    virtual bool confirmReplace(const std::string& question) = 0;

    // Before a restore writes into a profile the browser is using: "Close Firefox first" with Retry
    // and Cancel. Proceed only where the person asked to restore regardless (the command line's
    // --force). A host that can't ask cancels.
    enum class InUseAnswer { Retry, Cancel, Proceed };
    virtual InUseAnswer browserInUse(const std::string& text) {
        (void)text;
        return InUseAnswer::Cancel;
    }
};

// The hourglass for as long as this object lives, also when an error passes.
class BusyCursor {
  public:
    explicit BusyCursor(Host& host) : host_(host) { host_.setBusyCursor(true); }
    ~BusyCursor() { host_.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    Host& host_;
};

}  // namespace kelvora::browsers
