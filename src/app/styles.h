// The ribbon's part of the three looks: its command buttons in each look's colours. The colours
// themselves and the application-wide sheet live with the windows (ui/theme.h).
#pragma once

#include <QString>

#include "ui/theme.h"

namespace kelvora::app {

QString ribbonStyleSheet(ui::Style style);

}  // namespace kelvora::app
