#include "ui/window_factory.h"

namespace kelvora::ui {

WindowFactories& WindowFactories::instance() {
    static WindowFactories factories;
    return factories;
}

void WindowFactories::add(const QString& command, Make make, Placement placement) {
    entries_[command] = Entry{std::move(make), placement};
}

void WindowFactories::remove(const QString& command) {
    entries_.erase(command);
}

const WindowFactories::Entry* WindowFactories::find(const QString& command) const {
    const auto it = entries_.find(command);
    return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace kelvora::ui
