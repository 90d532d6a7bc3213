// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/ShortcutKeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

bool IsModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case 0:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

QKeyCombination CombinationOf(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return QKeyCombination(mods, Qt::Key(key.key()));
}

// First carrier of Key among Actions and, depth first, their submenus.
QAction *FindCarrier(const QList<QAction *> &actions, const QKeySequence &key)
{
    for (QAction *action : actions) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        if (QMenu *menu = action->menu()) {
            if (QAction *found = FindCarrier(menu->actions(), key))
                return found;
            continue;
        }
        if (action->shortcuts().contains(key))
            return action;
    }
    return nullptr;
}

} // namespace

cShortcutKeys::cShortcutKeys(QMainWindow &window, std::function<QList<QAction *>()> actions,
                             std::function<void()> refresh)
    : FWindow(window), FActions(std::move(actions)), FRefresh(std::move(refresh))
{
    qApp->installEventFilter(this);
}

cShortcutKeys::~cShortcutKeys()
{
    qApp->removeEventFilter(this);
}

QAction *cShortcutKeys::Carrier(const QKeySequence &key) const
{
    if (QAction *found = FindCarrier(FWindow.menuBar()->actions(), key))
        return found;
    return FindCarrier(FActions(), key);
}

bool cShortcutKeys::Resolve(QWidget *receiver, QKeyEvent &key)
{
    // The override travels up from the focused control; it is resolved once.
    QWidget *focus = QApplication::focusWidget();
    if (receiver != (focus ? focus : &FWindow) || IsModifierKey(key.key()))
        return false;
    const QKeyCombination combination = CombinationOf(key);
    const bool commandKey =
        (combination.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) ||
        (key.key() >= Qt::Key_F1 && key.key() <= Qt::Key_F35);
    // Shortcuts move with the state (the macro key), so the state comes first.
    if (commandKey)
        FRefresh();
    QAction *carrier = Carrier(QKeySequence(combination));
    if (!carrier)
        return false;
    key.accept();
    FResolvedKey = tResolvedKey{receiver, combination, carrier};
    return true;
}

bool cShortcutKeys::TakeResolved(QKeyEvent &key)
{
    if (!FResolvedKey)
        return false;
    const tResolvedKey resolved = *FResolvedKey;
    FResolvedKey.reset();
    if (resolved.Key != CombinationOf(key))
        return false;
    key.accept();
    if (resolved.Carrier && resolved.Carrier->isEnabled())
        resolved.Carrier->trigger();
    return true;
}

bool cShortcutKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() == &FWindow) {
            auto &key = *static_cast<QKeyEvent *>(event);
            return type == QEvent::ShortcutOverride ? Resolve(widget, key) : TakeResolved(key);
        }
    }
    return QObject::eventFilter(watched, event);
}
