// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a key pressed in the main window starts: its shortcut, if an action
// carries it, is resolved before Qt's shortcut map or the focused control
// sees the key.
//
// A key goes to the first item carrying it, menu tree first, then the action
// list; a disabled carrier swallows it. Qt instead gives a disabled action's
// key to the focused control (a disabled Copy would let Ctrl+C reach the
// document) and fires neither of two enabled actions with one key. So the key
// is resolved on its shortcut override: taking the override keeps Qt's
// shortcut map out, and the key press that follows runs the carrier. A key
// no action carries goes on to the focused control (for a document:
// cEditor::event, then the key table of cTextView::keyPressEvent).
#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QAction;
class QKeyEvent;
class QKeySequence;
class QMainWindow;
class QWidget;

class cShortcutKeys final : public QObject
{
public:
    // Actions: the window's action list, searched after its menus. Refresh
    // brings the actions' states (and shortcuts) up to date.
    cShortcutKeys(QMainWindow &window, std::function<QList<QAction *>()> actions,
                  std::function<void()> refresh);
    ~cShortcutKeys() override;
    cShortcutKeys(const cShortcutKeys &) = delete;
    cShortcutKeys &operator=(const cShortcutKeys &) = delete;

    // The action that takes Key: the first carrier of it in the menu tree,
    // depth first, then in the action list; hidden actions carry nothing.
    QAction *Carrier(const QKeySequence &key) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool Resolve(QWidget *receiver, QKeyEvent &key);
    bool TakeResolved(QKeyEvent &key);

    QMainWindow &FWindow;
    std::function<QList<QAction *>()> FActions;
    std::function<void()> FRefresh;

    // A key whose shortcut was resolved on its override: the key press that
    // follows runs the carrier (or nothing, when it is disabled).
    struct tResolvedKey
    {
        QPointer<QWidget> Receiver;
        QKeyCombination Key;
        QPointer<QAction> Carrier;
    };
    std::optional<tResolvedKey> FResolvedKey;
};
