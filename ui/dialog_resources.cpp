// SPDX-License-Identifier: MIT
#include "ui/dialog_resources.h"

#include <QtGlobal>

#include "ui/window_font.h"

// Resources compiled into a static library are only linked in when
// something asks for them by name.
static void InitDialogResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(dialogs);
        return true;
    }();
    (void)done;
}

namespace vorneck {

QPixmap DialogPixmap(DialogPicture picture) {
    InitDialogResources();
    switch (picture) {
        case DialogPicture::AboutLogo:
            return QPixmap(QStringLiteral(":/dialogs/about_logo.xpm"));
        case DialogPicture::DriveFloppy:
            return QPixmap(QStringLiteral(":/dialogs/drive_floppy.xpm"));
        case DialogPicture::DriveHard:
            return QPixmap(QStringLiteral(":/dialogs/drive_hard.xpm"));
        case DialogPicture::DriveNetwork:
            return QPixmap(QStringLiteral(":/dialogs/drive_network.xpm"));
        case DialogPicture::DriveCd:
            return QPixmap(QStringLiteral(":/dialogs/drive_cd.xpm"));
        case DialogPicture::DriveRam:
            return QPixmap(QStringLiteral(":/dialogs/drive_ram.xpm"));
        case DialogPicture::FolderOpen:
            return QPixmap(QStringLiteral(":/dialogs/folder_open.xpm"));
        case DialogPicture::FolderClosed:
            return QPixmap(QStringLiteral(":/dialogs/folder_closed.xpm"));
    }
    return {};
}

QFont DialogFont() { return WindowFont(); }

QFont SerifItalicFont(int pixelSize) {
    QFont font(QStringLiteral("Times New Roman"));
    // Faces drawn to the same measures come next; other serif faces are
    // wider.
    font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                      QStringLiteral("Nimbus Roman"), QStringLiteral("Tinos"), QStringLiteral("FreeSerif")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixelSize);
    font.setItalic(true);
    return font;
}

}  // namespace vorneck
