#include "ui/wizards/wizard_host.h"

#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <stdexcept>
#include <utility>

#include "ui/tf_pbar.h"

namespace kelvora::ui::wizards {

namespace {

BoxHandler box_handler;
QuestionHandler question_handler;
PauseHandler pause_handler;

// The arrow instead of the hourglass while a box waits for its click, then the hourglass again.
class ArrowWhileWaiting {
  public:
    ArrowWhileWaiting() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileWaiting() {
        if (active_)
            QApplication::restoreOverrideCursor();
    }
    ArrowWhileWaiting(const ArrowWhileWaiting&) = delete;
    ArrowWhileWaiting& operator=(const ArrowWhileWaiting&) = delete;

  private:
    bool active_;
};

// A window that was hidden is mapped by the window system through the event loop: it gets the
// loop, without user input, until it is on screen (or a short while has passed), so that the
// task's repaints reach the screen.
void waitUntilExposed(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        const QWindow* handle = window.windowHandle();
        if (handle && handle->isExposed())
            return;
    } while (waited.elapsed() < 500);
}

}  // namespace

void showBox(QWidget* parent, BoxKind kind, const QString& text) {
    if (box_handler) {
        box_handler(parent, kind, text);
        return;
    }
    ArrowWhileWaiting arrow;
    const QString title = QString::fromUtf8(kApplicationTitle);
    if (kind == BoxKind::Error)
        QMessageBox::critical(parent, title, text);
    else
        QMessageBox::information(parent, title, text);
}

bool askQuestion(QWidget* parent, const QString& text) {
    if (question_handler)
        return question_handler(parent, text);
    ArrowWhileWaiting arrow;
    return QMessageBox::question(parent, QString::fromUtf8(kApplicationTitle), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QuestionHandler setQuestionHandler(QuestionHandler handler) {
    return std::exchange(question_handler, std::move(handler));
}

BoxHandler setBoxHandler(BoxHandler handler) {
    return std::exchange(box_handler, std::move(handler));
}

QString errorBoxText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return QString::fromStdString(text);
}

void showError(QWidget* parent, const std::exception& error) {
    showBox(parent, BoxKind::Error, errorBoxText(error.what()));
}

void pauseFor(std::chrono::milliseconds duration) {
    if (pause_handler) {
        pause_handler(duration);
        return;
    }
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

PauseHandler setPauseHandler(PauseHandler handler) {
    return std::exchange(pause_handler, std::move(handler));
}

WizardHost::WizardHost(QWidget* window) : window_(window) {}

WizardHost::~WizardHost() {
    restoreCursors();
}

void WizardHost::showMessage(const std::string& text) {
    shown_.push_back(text);
    showBox(window_, BoxKind::Message, QString::fromStdString(text));
}

// The shared progress window: showing it starts the bar at 0, also when a failed task left it
// on screen; each change is painted at once, since the task holds the event loop.
void WizardHost::progressShow() {
    if (Tf_pBar* bar = f_pBar()) {
        const bool wasHidden = !bar->isVisible();
        bar->show();
        bar->raise();
        bar->FormActivate();
        if (wasHidden)
            waitUntilExposed(*bar);
        bar->repaint();
    }
}

void WizardHost::progressStep(int amount) {
    if (Tf_pBar* bar = f_pBar()) {
        bar->StepBy(amount);
        bar->repaint();
    }
}

void WizardHost::progressSet(int position) {
    if (Tf_pBar* bar = f_pBar()) {
        bar->SetPosition(position);
        bar->repaint();
    }
}

void WizardHost::progressHide() {
    if (Tf_pBar* bar = f_pBar())
        bar->hide();
}

// The archive reports every block it reads; the bar takes a new value only when its percentage
// changes (and at each file's start and end), so a large file costs at most a hundred updates.
void WizardHost::fullProgress(int position, int total) {
    if (!onFullProgress)
        return;
    const int percent = total > 0 ? static_cast<int>(static_cast<long long>(position) * 100 / total) : 0;
    if (percent == shownPercent_ && position != 0 && position != total)
        return;
    shownPercent_ = percent;
    onFullProgress(position, total);
}

void WizardHost::fullFileLabel(const std::string& text) {
    if (onFileLabel)
        onFileLabel(text);
}

// A task asks for a repaint after each file; the window is painted at most once per kRepaintGap,
// which keeps the bar and the file label moving at an even pace at any number of files.
void WizardHost::repaint() {
    if (!window_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (painted_ && now - lastRepaint_ < kRepaintGap)
        return;
    painted_ = true;
    lastRepaint_ = now;
    window_->repaint();
}

void WizardHost::setBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

void WizardHost::pause(std::chrono::milliseconds duration) {
    pauseFor(duration);
}

void WizardHost::restoreCursors() {
    while (busyDepth_ > 0)
        setBusyCursor(false);
}

bool WizardHost::confirmReplace(const std::string& question) {
    const bool replace = askQuestion(window_, QString::fromStdString(question));
    replaceRefused_ = !replace;
    return replace;
}

browsers::Host::InUseAnswer WizardHost::browserInUse(const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (question_handler)
        return question_handler(window_, shown) ? InUseAnswer::Retry : InUseAnswer::Cancel;
    ArrowWhileWaiting arrow;
    return QMessageBox::warning(window_, QString::fromUtf8(kApplicationTitle), shown,
                                QMessageBox::Retry | QMessageBox::Cancel,
                                QMessageBox::Retry) == QMessageBox::Retry
               ? InUseAnswer::Retry
               : InUseAnswer::Cancel;
}

void WizardHost::runWithResult(const std::function<TaskResult()>& work, const std::function<void()>& after) {
    shown_.clear();
    replaceRefused_ = false;
    runTask(
        [this, &work] {
            const TaskResult result = work();
            const bool said = std::find(shown_.begin(), shown_.end(), result.message()) != shown_.end();
            if (result.outcome() == Outcome::Failed && !said)
                throw std::runtime_error(result.message());
            // Nothing done is said once: the task may have said it already, and after the person
            // chose to keep an archive there is nothing to add.
            if (result.outcome() == Outcome::NothingDone && !replaceRefused_ && !said)
                showMessage(result.message());
        },
        after);
}

void WizardHost::runTask(const std::function<void()>& work, const std::function<void()>& after) {
    setBusyCursor(true);
    try {
        work();
    } catch (const std::exception& error) {
        restoreCursors();
        after();
        showError(window_, error);
        return;
    } catch (...) {
        restoreCursors();
        after();
        showError(window_, std::runtime_error("Unknown error"));
        return;
    }
    restoreCursors();
    after();
}

}  // namespace kelvora::ui::wizards
