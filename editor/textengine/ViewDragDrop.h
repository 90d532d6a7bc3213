// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drag and drop in a view. Selected text moves (Ctrl: is copied) to where it
// is dropped, here or in another view or program; a move here is one undo
// step, and a move elsewhere takes the text out here once the drop is done.
// Files are not text to insert: their drags go on to the window.

class cTextView;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;

class cViewDragDrop
{
public:
    explicit cViewDragDrop(cTextView &view) noexcept : FView(view) {}
    cViewDragDrop(const cViewDragDrop &) = delete;
    cViewDragDrop &operator=(const cViewDragDrop &) = delete;

    // Drags the selection out; returns when the drop is done.
    void StartDrag();

    void Enter(QDragEnterEvent &event) const;
    void Move(QDragMoveEvent &event);
    void Leave();
    void Drop(QDropEvent &event);

    // Where a drop would go, shown as a caret; negative while nothing is
    // dragged over the view.
    int DropCaret() const noexcept { return FDropCaret; }
    // An edit or a new text moves what the drop caret pointed at.
    void ForgetDropCaret() noexcept { FDropCaret = -1; }

private:
    bool AcceptsDrop(const QMimeData *data) const;

    cTextView &FView;
    int FDropCaret = -1;
    // Set when a drag from here was dropped here (and moved or copied here).
    bool FDroppedOnSelf = false;
};
