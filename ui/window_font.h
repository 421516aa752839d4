// SPDX-License-Identifier: MIT
// The main window's face: "MS Sans Serif" at 8 points when the system has
// it (Debian's fonts-wine ships a bitmap version), else an 8-point sans-serif.
#pragma once

#include <QFont>

namespace vorneck {

// Registers the MS Sans Serif file of fonts-wine with the application, once,
// and returns the font the windows use. Needs a QGuiApplication.
QFont WindowFont();

// True when WindowFont() found and registered MS Sans Serif.
bool HaveMsSansSerif();

}  // namespace vorneck
