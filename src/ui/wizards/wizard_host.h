// How a wizard window serves a running task: the message and error boxes titled "Kelvora", the
// shared progress window for selective tasks, the window's own bar and file label for full ones,
// repaints, the busy cursor and deliberate pauses. The boxes and the pause go through replaceable
// functions so that tests watch them instead of waiting for a click or a clock.
#pragma once

#include <QPointer>
#include <QString>
#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "browsers/browser.h"
#include "browsers/host.h"
#include "core/result.h"
#include "ui/artwork.h"

class QWidget;

namespace kelvora::ui::wizards {

// The application's title, the caption of every box a wizard shows.
inline constexpr const char* kApplicationTitle = "Kelvora";

enum class BoxKind {
    Message,  // a plain box with one OK button (the wizards' fixed texts)
    Error,    // the application's error box: error icon, OK
};

// Shows a box titled "Kelvora" over `parent`. Tests replace what this does.
void showBox(QWidget* parent, BoxKind kind, const QString& text);
using BoxHandler = std::function<void(QWidget* parent, BoxKind kind, const QString& text)>;
// Replaces what showBox() does; returns the previous handler. An empty handler restores the
// default (a modal QMessageBox).
BoxHandler setBoxHandler(BoxHandler handler);

// Asks a question titled "Kelvora" with Yes and No, No the default; true for Yes. Tests replace
// what this does (an empty handler restores the modal box).
bool askQuestion(QWidget* parent, const QString& text);
using QuestionHandler = std::function<bool(QWidget* parent, const QString& text)>;
QuestionHandler setQuestionHandler(QuestionHandler handler);

// The text the error box shows for an error's message: a full stop is appended when the last
// character sorts after "." (so "I/O error 183" and "Why?" get one, "Done." and "Stop!" do not).
QString errorBoxText(const std::string& message);
// Shows the error that ended a handler in the application's error box.
void showError(QWidget* parent, const std::exception& error);

// A pause a task makes on purpose. The program sleeps; tests replace it.
void pauseFor(std::chrono::milliseconds duration);
using PauseHandler = std::function<void(std::chrono::milliseconds)>;
PauseHandler setPauseHandler(PauseHandler handler);

// The host of one wizard window. Selective tasks step the shared progress window; a full wizard
// hands its own handlers for the bar and the file label (DoProgress, DoCompressFile, ...).
class WizardHost : public browsers::Host {
  public:
    explicit WizardHost(QWidget* window);
    ~WizardHost() override;
    WizardHost(const WizardHost&) = delete;
    WizardHost& operator=(const WizardHost&) = delete;

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
    bool confirmReplace(const std::string& question) override;
    // "Close Firefox first" with Retry and Cancel (the question handler answers in tests: true is Retry).
    InUseAnswer browserInUse(const std::string& text) override;

    // Runs a task and takes its result: a failed task's message goes to the error box (after
    // `after`), as an error escaping the work does, and why nothing was done to a message box;
    // neither when the task showed that text itself, nor after the person chose to keep an
    // archive.
    void runWithResult(const std::function<TaskResult()>& work, const std::function<void()>& after);

    // Runs one handler's work with the busy cursor on. An error that escapes it goes to the
    // application's error box after `after` ran (the window copies the task's state back there
    // too) and after every busy cursor this host set is taken back.
    void runTask(const std::function<void()>& work, const std::function<void()>& after);

    std::function<void(int position, int total)> onFullProgress;
    std::function<void(const std::string& text)> onFileLabel;

    // The shortest time between two repaints a task asks for.
    static constexpr std::chrono::milliseconds kRepaintGap{30};

  private:
    void restoreCursors();

    int shownPercent_ = -1;
    bool painted_ = false;
    std::chrono::steady_clock::time_point lastRepaint_;

    QPointer<QWidget> window_;
    int busyDepth_ = 0;
    std::vector<std::string> shown_;  // messages shown during the task being run
    bool replaceRefused_ = false;
};

}  // namespace kelvora::ui::wizards
