// What a task did, in one value. Every task (selective, full, Internet Explorer, conversion, the
// archive commands, the update check) ends with a TaskResult; the windows take their final state
// from it and the command line its exit code, so no front end has to guess from what was shown.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// A file, folder, registry key or archive record the task had to leave out, and why.
struct LeftOutItem {
    std::string item;    // what it belongs to (a tick box caption); may be empty
    std::string path;    // the file, folder, key or record; may be empty when the item had none
    std::string reason;  // why, as the user is told
    bool operator==(const LeftOutItem&) const = default;
};

enum class Outcome {
    Done,         // everything asked for was done
    DoneLeftOut,  // done, but `leftOut` lists what could not be
    NothingDone,  // there was nothing to do; `message` says why (no file found, no record matched)
    Failed,       // the task stopped; `message` is the error
};

class TaskResult {
  public:
    TaskResult() = default;

    static TaskResult done() { return {}; }
    static TaskResult nothingDone(std::string why) {
        return TaskResult(Outcome::NothingDone, std::move(why));
    }
    static TaskResult failed(std::string message) { return TaskResult(Outcome::Failed, std::move(message)); }

    // Done or DoneLeftOut, as the list says; Failed and NothingDone stay what they are.
    Outcome outcome() const {
        if (outcome_ == Outcome::Done && !leftOut.empty())
            return Outcome::DoneLeftOut;
        return outcome_;
    }
    bool ok() const { return outcome_ == Outcome::Done; }  // done, with or without left-outs
    const std::string& message() const { return message_; }

    void leaveOut(std::string item, std::string path, std::string reason) {
        leftOut.push_back({std::move(item), std::move(path), std::move(reason)});
    }
    void fail(std::string message) {
        outcome_ = Outcome::Failed;
        message_ = std::move(message);
    }
    void setNothingDone(std::string why) {
        outcome_ = Outcome::NothingDone;
        message_ = std::move(why);
    }

    std::vector<LeftOutItem> leftOut;
    // Records whose contents came out at another size than recorded: restored, but worth telling.
    std::vector<std::string> warnings;
    // What the person should know about work that was done ("Firefox was running: its databases
    // were copied live ...").
    std::vector<std::string> notes;

  private:
    TaskResult(Outcome outcome, std::string message) : outcome_(outcome), message_(std::move(message)) {}

    Outcome outcome_ = Outcome::Done;
    std::string message_;
};

// The command line's exit code for an outcome (2, a usage error, never comes from a task).
inline int exitCodeOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done:
            return 0;
        case Outcome::Failed:
            return 1;
        case Outcome::DoneLeftOut:
            return 3;
        case Outcome::NothingDone:
            return 4;
    }
    return 1;
}
inline constexpr int kExitUsage = 2;

}  // namespace kelvora
