// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewContextMenu.h"

#include "editor/textengine/TextView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

QMenu *StandardContextMenu(cTextView &view)
{
    auto *menu = new QMenu(&view);
    const bool editable = !view.isReadOnly();
    auto add = [menu](const QString &text, bool enabled, auto handler) {
        QAction *action = menu->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, handler);
    };
    add(cTextView::tr("&Undo"), editable && view.FUndoAvailable, [&view] { view.undo(); });
    add(cTextView::tr("&Redo"), editable && view.FRedoAvailable, [&view] { view.redo(); });
    menu->addSeparator();
    add(cTextView::tr("Cu&t"), editable && view.hasSelection(), [&view] { view.cut(); });
    add(cTextView::tr("&Copy"), view.hasSelection(), [&view] { view.copy(); });
    add(cTextView::tr("&Paste"),
        editable && view.canInsertFromMimeData(QGuiApplication::clipboard()->mimeData()),
        [&view] { view.paste(); });
    menu->addSeparator();
    add(cTextView::tr("Select All"), view.buffer().Length() > 0, [&view] { view.selectAll(); });
    return menu;
}
