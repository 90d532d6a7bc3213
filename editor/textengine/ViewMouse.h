// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mouse in a view: a click puts the caret, a drag selects (scrolling
// when it leaves the viewport), a double-click selects a word and a drag
// after it grows by words, a triple click selects the line; a press inside
// the selection may start a drag of it; the middle button pastes the
// primary selection.
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPoint>

class cTextView;
class QMouseEvent;

class cViewMouse
{
public:
    explicit cViewMouse(cTextView &view) noexcept : FView(view) {}
    cViewMouse(const cViewMouse &) = delete;
    cViewMouse &operator=(const cViewMouse &) = delete;

    void Press(QMouseEvent &event);
    void Move(QMouseEvent &event);
    void Release(QMouseEvent &event);
    void DoubleClick(QMouseEvent &event);
    // False when TimerId is not the auto-scroll's.
    bool Timer(int timerId);

private:
    void AutoScroll(const QPoint &viewportPos);

    cTextView &FView;
    QPoint FPressPos;
    bool FSelecting = false, FDragPending = false;
    QElapsedTimer FLastDoubleClick;
    QPoint FDoubleClickPos;
    QBasicTimer FAutoScroll;
    QPoint FAutoScrollPos;
};
