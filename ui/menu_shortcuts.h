// SPDX-License-Identifier: MIT
// Gives a window's menu shortcuts the key before the focused control.
//
// A line edit claims keys such as Ctrl+C for itself (copy) by accepting the
// ShortcutOverride event Qt sends before trying shortcuts. This filter,
// installed on the application, refuses that override in the window for
// every key bound to an enabled action of its menu bar, so the menu wins.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QMenuBar;
class QWidget;

namespace vorneck {

class MenuShortcutFilter : public QObject {
    Q_OBJECT
public:
    // Watches key events for widgets of `window`, while `takesInput` says
    // the window takes input at all; the actions are those of `menuBar`,
    // its menus and sub-menus, and the menus' own headings.
    MenuShortcutFilter(QWidget* window, QMenuBar* menuBar, std::function<bool()> takesInput);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    QPointer<QMenuBar> menuBar_;
    std::function<bool()> takesInput_;
};

}  // namespace vorneck
