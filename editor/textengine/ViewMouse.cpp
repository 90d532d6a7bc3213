// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewMouse.h"

#include "editor/textengine/TextBoundaries.h"
#include "editor/textengine/TextView.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int AutoScrollMs = 50;

} // namespace

void cViewMouse::Press(QMouseEvent &event)
{
    const QPoint p = event.position().toPoint();
    if (event.button() != Qt::LeftButton) {
        event.setAccepted(event.button() == Qt::MiddleButton);
        return;
    }
    cSelection &selection = FView.FSelection;
    const int pos = FView.cursorForPosition(p);
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    if (FLastDoubleClick.isValid() && FLastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (p - FDoubleClickPos).manhattanLength() < QApplication::startDragDistance()) {
        FLastDoubleClick.invalidate();
        const auto [start, end] = LineAt(FView.buffer(), pos);
        FView.SetCaret(end, start);
        FSelecting = true;
        return;
    }
    FPressPos = p;
    selection.SetWordAnchor({-1, -1});
    if (!shift && selection.HasSelection() && pos >= selection.Start() && pos < selection.End()) {
        FDragPending = true;
        return;
    }
    FView.SetCaret(pos, shift ? selection.Anchor() : pos);
    FSelecting = true;
}

void cViewMouse::Move(QMouseEvent &event)
{
    const QPoint p = event.position().toPoint();
    if (FDragPending) {
        if ((p - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
            FDragPending = false;
            FView.FDragDrop.StartDrag();
        }
        return;
    }
    if (!FSelecting || !(event.buttons() & Qt::LeftButton))
        return;
    const cSelection &selection = FView.FSelection;
    const int pos = FView.cursorForPosition(p);
    if (const auto [wordStart, wordEnd] = selection.WordAnchor(); wordStart >= 0) {
        // After a double-click the selection grows by whole words.
        const auto [start, end] = WordAt(FView.buffer(), pos);
        if (pos < wordStart)
            FView.SetCaret(start, wordEnd);
        else
            FView.SetCaret(std::max(end, wordEnd), wordStart);
    } else {
        FView.SetCaret(pos, selection.Anchor());
    }
    if (FView.viewport()->rect().contains(p)) {
        FAutoScroll.stop();
    } else {
        FAutoScrollPos = p;
        if (!FAutoScroll.isActive())
            FAutoScroll.start(AutoScrollMs, &FView);
    }
}

bool cViewMouse::Timer(int timerId)
{
    if (timerId != FAutoScroll.timerId())
        return false;
    AutoScroll(FAutoScrollPos);
    return true;
}

void cViewMouse::AutoScroll(const QPoint &viewportPos)
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        FAutoScroll.stop();
        return;
    }
    const QRect area = FView.viewport()->rect();
    int rows = 0;
    if (viewportPos.y() < area.top())
        rows = -1;
    else if (viewportPos.y() > area.bottom())
        rows = 1;
    const cViewGeometry &geometry = FView.Geometry();
    int left = geometry.Left();
    if (viewportPos.x() < area.left())
        left -= FView.horizontalScrollBar()->singleStep();
    else if (viewportPos.x() > area.right())
        left += FView.horizontalScrollBar()->singleStep();
    FView.ScrollTo(geometry.MoveRows(geometry.Top(), rows), left);
    const QPoint inside(std::clamp(viewportPos.x(), area.left(), area.right()),
                        std::clamp(viewportPos.y(), area.top(), area.bottom()));
    FView.SetCaret(FView.cursorForPosition(inside), FView.anchorPosition());
}

void cViewMouse::Release(QMouseEvent &event)
{
    const QPoint p = event.position().toPoint();
    FAutoScroll.stop();
    if (event.button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!FView.isReadOnly() && clipboard->supportsSelection()) {
            const int pos = FView.cursorForPosition(p);
            FView.SetCaret(pos, pos);
            FView.insertFromMimeData(clipboard->mimeData(QClipboard::Selection));
        }
        event.accept();
        return;
    }
    if (event.button() != Qt::LeftButton)
        return;
    if (FDragPending) {
        FDragPending = false;
        const int pos = FView.cursorForPosition(p);
        FView.SetCaret(pos, pos);
    }
    if (FSelecting)
        FView.FSelection.Publish();
    FSelecting = false;
}

void cViewMouse::DoubleClick(QMouseEvent &event)
{
    if (event.button() != Qt::LeftButton)
        return;
    const QPoint p = event.position().toPoint();
    const auto [start, end] = WordAt(FView.buffer(), FView.cursorForPosition(p));
    FView.SetCaret(end, start);
    cSelection &selection = FView.FSelection;
    selection.Publish();
    FLastDoubleClick.start();
    FDoubleClickPos = p;
    FDragPending = false;
    FSelecting = true;
    selection.SetWordAnchor({start, end});
}
