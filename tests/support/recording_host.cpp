#include "support/recording_host.h"

namespace kelvora::test {

void RecordingHost::showMessage(const std::string& text) {
    calls.push_back("message:" + text);
    messages.push_back(text);
}

void RecordingHost::progressShow() {
    calls.push_back("show");
    progressVisible = true;
    position = 0;  // the bar starts at 0 each time the window is shown
}

void RecordingHost::progressStep(int amount) {
    calls.push_back("step:" + std::to_string(amount));
    steps.push_back(amount);
    position += amount;
}

void RecordingHost::progressSet(int value) {
    calls.push_back("set:" + std::to_string(value));
    positionBeforeSet = position;
    position = value;
}

void RecordingHost::progressHide() {
    calls.push_back("hide");
    progressVisible = false;
}

void RecordingHost::fullProgress(int pos, int total) {
    calls.push_back("full:" + std::to_string(pos) + "/" + std::to_string(total));
    fullPosition = pos;
    fullTotal = total;
}

void RecordingHost::fullFileLabel(const std::string& text) {
    calls.push_back("label:" + text);
    fullLabel = text;
}

void RecordingHost::repaint() {
    // Not in `calls`: one per archived file would drown the sequence the tests compare.
    ++repaints;
}

void RecordingHost::setBusyCursor(bool value) {
    calls.push_back(value ? "busy:1" : "busy:0");
    busy = value;
}

void RecordingHost::pause(std::chrono::milliseconds duration) {
    calls.push_back("pause:" + std::to_string(duration.count()));
    paused += duration;
}

bool RecordingHost::confirmReplace(const std::string& question) {
    calls.push_back("confirm:" + question);
    questions.push_back(question);
    return replaceAnswer;
}

browsers::Host::InUseAnswer RecordingHost::browserInUse(const std::string& text) {
    calls.push_back("in use:" + text);
    if (inUseAnswers.empty())
        return InUseAnswer::Cancel;
    const InUseAnswer answer = inUseAnswers.front();
    inUseAnswers.erase(inUseAnswers.begin());
    return answer;
}

}  // namespace kelvora::test
