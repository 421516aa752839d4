// SPDX-License-Identifier: MIT
#include "ui/desktop_windows.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace vorneck {
namespace {

// The frame the window system reports for a window on screen: empty until
// the window manager has framed it (and always without one). Not asked of
// hidden windows, whose answer would be kept until the window is next
// moved.
QMargins KnownFrame(const QWidget* window) {
    if (!window->isVisible() || window->windowHandle() == nullptr) return {};
    const QMargins frame = window->windowHandle()->frameMargins();
    const bool plausible = frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 && frame.bottom() >= 0;
    return plausible ? frame : QMargins();
}

QRect FreeArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

// Places the window itself, inside the frame: what a position means for a
// window's frame depends on whether it has been created and framed yet.
void PlaceFrameInCentre(QWidget* window, const QMargins& frame) {
    const QRect area = FreeArea(window);
    if (area.isEmpty()) return;
    const QPoint inner = CentredFramePosition(area, window->size(), frame) + QPoint(frame.left(), frame.top());
    if (inner != window->geometry().topLeft()) window->setGeometry(QRect(inner, window->size()));
}

// Centres its window once more when the window's own frame becomes known
// and differs from the one it was placed with, then goes. The window
// manager frames a window soon after it is shown; a window still without
// a frame a second later has none.
class FrameWatcher : public QObject {
public:
    FrameWatcher(QWidget* window, const QMargins& assumed) : QObject(window), window_(window), assumed_(assumed) {
        setObjectName(QStringLiteral("vorneck_frame_watcher"));
        window->installEventFilter(this);
        if (window->isVisible()) Arm();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_) return false;
        switch (event->type()) {
            case QEvent::Show:
                Arm();
                break;
            case QEvent::Hide:
                Finish();
                break;
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowActivate:
                // After the window system's own handling of the change.
                QTimer::singleShot(0, this, [this] { Check(); });
                break;
            default:
                break;
        }
        return false;
    }

private:
    void Arm() {
        for (const int ms : {50, 250, 1000}) QTimer::singleShot(ms, this, [this] { Check(); });
        QTimer::singleShot(1100, this, [this] { Finish(); });
    }

    void Check() {
        if (done_) return;
        const QMargins frame = KnownFrame(window_);
        if (frame.isNull()) return;
        if (frame != assumed_) PlaceFrameInCentre(window_, frame);
        Finish();
    }

    void Finish() {
        if (done_) return;
        done_ = true;
        window_->removeEventFilter(this);
        deleteLater();
    }

    QWidget* window_;
    QMargins assumed_;
    bool done_ = false;
};

}  // namespace

QPoint CentredFramePosition(const QRect& area, const QSize& size, const QMargins& frame) {
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size.grownBy(frame), area).topLeft();
}

void CentreOnScreen(QWidget* window) {
    QMargins frame = KnownFrame(window);
    const bool known = !frame.isNull();
    if (!known) {
        // Another window of the program on screen has the same decorations.
        for (const QWidget* other : QApplication::topLevelWidgets()) {
            if (other == window) continue;
            frame = KnownFrame(other);
            if (!frame.isNull()) break;
        }
    }
    PlaceFrameInCentre(window, frame);
    if (!known && window->findChild<QObject*>(QStringLiteral("vorneck_frame_watcher"), Qt::FindDirectChildrenOnly) ==
                      nullptr)
        new FrameWatcher(window, frame);
}

MinimisedModalGuard::MinimisedModalGuard(QObject* parent) : QObject(parent) {}

bool MinimisedModalGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && (widget->windowState() & Qt::WindowMinimized) &&
            QApplication::activeModalWidget() != nullptr && !pending_) {
            // After the window system has finished minimising.
            pending_ = true;
            QTimer::singleShot(0, this, &MinimisedModalGuard::RestoreWindows);
        }
    }
    return QObject::eventFilter(watched, event);
}

void MinimisedModalGuard::RestoreWindows() {
    pending_ = false;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    // The modal window last, so that it ends up above the others.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == modal || !window->isVisible() || !(window->windowState() & Qt::WindowMinimized)) continue;
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    if (modal->windowState() & Qt::WindowMinimized)
        modal->setWindowState(modal->windowState() & ~Qt::WindowMinimized);
    modal->raise();
    modal->activateWindow();
}

}  // namespace vorneck
