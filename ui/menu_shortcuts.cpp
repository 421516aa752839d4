#include "ui/menu_shortcuts.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

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

MenuShortcutFilter::MenuShortcutFilter(QWidget* window, QMenuBar* menuBar)
    : QObject(window), window_(window), menuBar_(menuBar) {}

bool MenuShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride || window_ == nullptr || menuBar_ == nullptr)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_ || !window_->isEnabled()) return false;
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
