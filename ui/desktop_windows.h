// SPDX-License-Identifier: MIT
// The program's windows among a window manager's: where they first appear,
// and that a modal window can never be minimised out of the user's reach.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>

class QWidget;

namespace vorneck {

// Centres a top-level window's frame, title bar included, on the free area
// of its screen. The frame is known only once the window manager has framed
// the window: until then the frame of another shown window of the program
// stands in for it (none without a window manager), and once the window's
// own frame is known it is centred again. Meant for a window's first
// showing; later showings keep the place the window was left at.
void CentreOnScreen(QWidget* window);

// Where a window of client size `size` goes so that its frame, with
// `frame` margins, lies in the middle of `area`: the frame's top-left
// corner, which is what a top-level window's position names.
QPoint CentredFramePosition(const QRect& area, const QSize& size, const QMargins& frame);

// While a modal window is open (the directory chooser, the About window,
// an error box), the user can do nothing but answer it. Some window
// managers give such windows a minimise button whatever the window asks
// for, and minimise the main window with them; with no task bar nothing
// brings them back. Installed on the application, this restores at once
// every window of the program minimised while a modal window is open, and
// gives the modal window the keyboard again. A main window minimised with
// no modal window open stays minimised.
class MinimisedModalGuard : public QObject {
    Q_OBJECT
public:
    explicit MinimisedModalGuard(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RestoreWindows();

    bool pending_ = false;
};

}  // namespace vorneck
