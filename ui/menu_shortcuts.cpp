// SPDX-License-Identifier: MIT
#include "ui/menu_shortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <utility>

namespace vorneck {
namespace {

bool ActionsClaim(const QList<QAction*>& actions, const QKeySequence& key) {
    for (QAction* action : actions) {
        if (action->isSeparator()) continue;
        if (action->isEnabled() && action->shortcuts().contains(key)) return true;
        if (QMenu* menu = action->menu(); menu != nullptr && action->isEnabled() &&
                                          ActionsClaim(menu->actions(), key))
            return true;
    }
    return false;
}

}  // namespace

MenuShortcutFilter::MenuShortcutFilter(QWidget* window, QMenuBar* menuBar, std::function<bool()> takesInput)
    : QObject(window), window_(window), menuBar_(menuBar), takesInput_(std::move(takesInput)) {}

bool MenuShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride || window_ == nullptr || menuBar_ == nullptr)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_ || !takesInput_()) return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    const QKeySequence key(QKeyCombination(keyEvent->modifiers() & ~Qt::KeypadModifier,
                                           static_cast<Qt::Key>(keyEvent->key())));
    if (!ActionsClaim(menuBar_->actions(), key)) return false;
    // Left unaccepted, the event lets Qt try the shortcut instead of
    // delivering the key to the focused control.
    event->ignore();
    return true;
}

}  // namespace vorneck
