// SPDX-License-Identifier: MIT
// The windows' face: "MS Sans Serif" at 8 points when the system has it
// (Debian's fonts-wine ships a bitmap version), else an 8-point sans-serif.
//
// MS Sans Serif's strikes are bitmaps drawn for one device pixel per pixel.
// On a screen with more device pixels per pixel (a desktop scaled to 2x)
// they are drawn at their 1x size with the spacing of the scaled text:
// tiny, letter-spaced words. There the closest face that scales is used
// instead, at the same point size.
#pragma once

#include <QFont>

namespace vorneck {

// Registers the fonts-wine faces with the application, once, and returns
// the font the windows use on this display (WindowFontFor the highest
// device pixel ratio of its screens). Needs a QGuiApplication.
QFont WindowFont();

// The windows' font for text drawn at `devicePixelRatio`, at 8 points: at
// a ratio of 1, MS Sans Serif where installed, else the system's
// sans-serif; above 1, the first installed outline face of Microsoft Sans
// Serif (its scalable version), Tahoma (drawn to nearly the same widths),
// Arial and Liberation Sans, else the system's sans-serif.
QFont WindowFontFor(qreal devicePixelRatio);

// True when WindowFont() found and registered MS Sans Serif.
bool HaveMsSansSerif();

}  // namespace vorneck
