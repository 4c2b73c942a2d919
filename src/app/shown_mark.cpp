#include "app/shown_mark.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QWidget>
#include <QWindow>
#include <chrono>

namespace kelvora::app {

namespace {

class ShownMark : public QObject {
  public:
    ShownMark(QString path, QWindow* window) : QObject(window), path_(std::move(path)) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !window->isExposed())
            return false;
        // The window paints its widgets and flushes them to the display while it handles its
        // expose event: the event is handed on here, the mark follows, and the event goes no further.
        window->removeEventFilter(this);
        QCoreApplication::sendEvent(window, event);
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        QFile file(path_);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QByteArray::number(static_cast<qint64>(
                           std::chrono::duration_cast<std::chrono::nanoseconds>(now).count())) +
                       '\n');
        deleteLater();
        return true;
    }

  private:
    QString path_;
};

}  // namespace

void markWhenShown(QWidget* window) {
    const QString path = qEnvironmentVariable("KELVORA_SHOWN_MARK");
    if (path.isEmpty() || !window->windowHandle())
        return;
    new ShownMark(path, window->windowHandle());
}

}  // namespace kelvora::app
