// Which window a ribbon command opens. The main window looks a command up here by its name
// ("B_Firefox", "c_Opera", "Updates"...) and creates a new window each time the command runs;
// a command with no entry yet opens a plain frame with the command's caption.
//
// A module offers its windows from a registration function of its own, listed once in
// registerProductWindows() (window_list.cpp):
//
//     void registerBrowserWindows(WindowFactories& f) {
//         f.add<Tfb_Firefox>("B_Firefox");
//         f.add("Updates", [] { return new Tf_Update; }, Placement::TopLevel);
//     }
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <map>

namespace kelvora::ui {

// Child: a child window placed at the top left of the main window's client area.
// TopLevel: a free-standing window (About, the update window), shown as it is.
enum class Placement { Child, TopLevel };

class WindowFactories {
  public:
    using Make = std::function<QWidget*()>;  // a new window without parent
    struct Entry {
        Make make;
        Placement placement = Placement::Child;
    };

    static WindowFactories& instance();

    // Adds or replaces the window of `command`.
    void add(const QString& command, Make make, Placement placement = Placement::Child);
    template <class Window>
    void add(const QString& command, Placement placement = Placement::Child) {
        add(
            command, [] { return new Window; }, placement);
    }
    void remove(const QString& command);
    const Entry* find(const QString& command) const;  // nullptr when the command has none

  private:
    std::map<QString, Entry> entries_;
};

}  // namespace kelvora::ui
