// The application object: an error that escapes an event handler is shown in the application's
// error box (titled "Kelvora", error icon, OK) and the program goes on, instead of ending it.
#pragma once

#include <QApplication>

namespace kelvora::app {

class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kelvora::app
