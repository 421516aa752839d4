// SPDX-License-Identifier: MIT
// The pictures and fonts the directory chooser and the About window share.
#pragma once

#include <QFont>
#include <QPixmap>

class QWidget;

namespace vorneck {

// The directory chooser and the About window have a title bar without
// minimise and maximise buttons. The close hint is what makes Qt spell that
// out to the window manager (decorations of title, border and window menu,
// no minimise or maximise function); a title alone would leave every
// button to the window manager. The window manager's close (Alt+F4) still
// reaches the windows' close handlers.
inline constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

enum class DialogPicture {
    AboutLogo,
    DriveFloppy,
    DriveHard,
    DriveNetwork,
    DriveCd,
    DriveRam,
    FolderOpen,
    FolderClosed,
};

QPixmap DialogPixmap(DialogPicture picture);

// The windows' own font, the main window's: "MS Sans Serif" at 8 points
// where the program has it, otherwise an 8-point sans-serif face.
QFont DialogFont();

// "Times New Roman" (or another serif face) at `pixelSize`, italic.
QFont SerifItalicFont(int pixelSize);

}  // namespace vorneck
