// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewDragDrop.h"

#include "editor/textengine/TextView.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

bool CarriesFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

void cViewDragDrop::StartDrag()
{
    const int start = FView.selectionStart(), end = FView.selectionEnd();
    const QString text = FView.selectedText();
    const bool readOnly = FView.isReadOnly();
    auto *drag = new QDrag(&FView);
    drag->setMimeData(FView.createMimeDataFromSelection());
    FDroppedOnSelf = false;
    const Qt::DropActions actions = readOnly ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    const Qt::DropAction action = drag->exec(actions, readOnly ? Qt::CopyAction : Qt::MoveAction);
    if (action != Qt::MoveAction || FDroppedOnSelf || FView.isReadOnly())
        return;
    // Moved out: the text goes here, unless it changed meanwhile.
    const cTextBuffer &buffer = FView.buffer();
    if (end <= buffer.Length() && buffer.Text(start, end) == text) {
        if (FView.undoRecord())
            FView.undoRecord()->BreakTyping();
        FView.replaceRange(start, end, {});
    }
}

bool cViewDragDrop::AcceptsDrop(const QMimeData *data) const
{
    return !FView.isReadOnly() && !CarriesFiles(data) && FView.canInsertFromMimeData(data);
}

void cViewDragDrop::Enter(QDragEnterEvent &event) const
{
    if (!AcceptsDrop(event.mimeData())) {
        event.ignore();
        return;
    }
    event.acceptProposedAction();
}

void cViewDragDrop::Move(QDragMoveEvent &event)
{
    if (!AcceptsDrop(event.mimeData())) {
        event.ignore();
        return;
    }
    FDropCaret = FView.cursorForPosition(event.position().toPoint());
    FView.viewport()->update();
    event.acceptProposedAction();
}

void cViewDragDrop::Leave()
{
    FDropCaret = -1;
    FView.viewport()->update();
}

void cViewDragDrop::Drop(QDropEvent &event)
{
    Leave();
    if (!AcceptsDrop(event.mimeData())) {
        event.ignore();
        return;
    }
    int pos = FView.cursorForPosition(event.position().toPoint());
    FDroppedOnSelf = event.source() == &FView;
    const bool move = FDroppedOnSelf && !(event.modifiers() & Qt::ControlModifier) &&
                      (event.possibleActions() & Qt::MoveAction);
    if (move) {
        const int start = FView.selectionStart(), end = FView.selectionEnd();
        if (pos >= start && pos <= end) {
            event.acceptProposedAction();
            return;
        }
        const QString text = FView.selectedText();
        std::optional<cUndoGroup> oneStep;
        if (FView.undoRecord())
            oneStep.emplace(*FView.undoRecord());
        FView.replaceRange(start, end, {});
        if (pos > end)
            pos -= end - start;
        FView.replaceRange(pos, pos, text);
        FView.SetCaret(FView.cursorPosition(), pos);
        event.setDropAction(Qt::MoveAction);
        event.accept();
        return;
    }
    FView.SetCaret(pos, pos);
    FView.insertFromMimeData(event.mimeData());
    FView.SetCaret(FView.cursorPosition(), pos);
    event.acceptProposedAction();
}
