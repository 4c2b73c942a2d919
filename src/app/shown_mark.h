// For the start-up benchmark (bench/startup_bench): when the environment variable
// KELVORA_SHOWN_MARK names a file, the moment a window is first on screen is written there, as
// nanoseconds of the steady clock (CLOCK_MONOTONIC on Linux) on one line. Without the variable nothing
// happens.
#pragma once

class QWidget;

namespace kelvora::app {

// Call after window->show(): the mark is written once the window's first expose has been painted
// and handed to the display.
void markWhenShown(QWidget* window);

}  // namespace kelvora::app
