// SPDX-License-Identifier: MIT
#include "ui/dialog_resources.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
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

void MoveToScreenCentre(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // Before its first showing a window's frame is not known; another
    // window of the program that is on screen has the same decorations.
    QMargins frame;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible()) continue;
        const QRect outer = other->frameGeometry();
        const QRect inner = other->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
        break;
    }
    const QSize outer = window->size().grownBy(frame);
    // A window's position is that of its frame.
    window->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, outer, screen->availableGeometry()).topLeft());
}

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
