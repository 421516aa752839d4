// SPDX-License-Identifier: MIT
// How start-up joins the main window to the directory chooser and the About
// window.
#pragma once

class TAboutBox;
class TForm2;

namespace vorneck {

class TForm1;

// The main window's buttons, menu items and shortcuts open the chooser and
// the About window. Both are windows of their own, not children of the main
// window (whose input is blocked while they are open), but the desktop
// keeps them above it while they are open.
void ConnectDialogs(TForm1& form1, TForm2& form2, TAboutBox& aboutBox);

}  // namespace vorneck
