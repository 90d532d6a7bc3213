// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where rows and positions of a text lie in a viewport, and how far it is
// scrolled: the numbers behind a view, kept apart from the widget so that
// they can be checked without one. Coordinates are the viewport's.
#include "editor/textengine/LineLayout.h"
#include "editor/textengine/TextBuffer.h"

#include <QPoint>
#include <QRectF>
#include <QSize>

#include <algorithm>
#include <utility>

// A visual row: the line and the row within it.
struct tViewRow
{
    int Line = 0;
    int Row = 0;
    friend bool operator<(const tViewRow &a, const tViewRow &b)
    {
        return a.Line != b.Line ? a.Line < b.Line : a.Row < b.Row;
    }
    friend bool operator==(const tViewRow &a, const tViewRow &b) = default;
};

class cViewGeometry
{
public:
    // Space left of the text, so that a caret at the start of a line shows.
    static constexpr int Margin = 4;

    // Layouts shape on demand, so reading the geometry may shape lines.
    cViewGeometry(const cTextBuffer &buffer, cLineLayouts &layouts) : FBuffer(buffer), FLayouts(layouts) {}
    cViewGeometry(const cViewGeometry &) = delete;
    cViewGeometry &operator=(const cViewGeometry &) = delete;

    void SetViewportSize(QSize size) noexcept { FViewport = size; }
    QSize ViewportSize() const noexcept { return FViewport; }
    // The width rows wrap at when they follow the viewport.
    int WrapWidth() const noexcept { return std::max(1, FViewport.width() - 2 * Margin - 1); }

    tViewRow Top() const noexcept { return FTop; }
    int Left() const noexcept { return FLeft; }
    // As given: ScrollTo keeps them in range.
    void SetTop(tViewRow top) noexcept { FTop = top; }
    void SetLeft(int left) noexcept { FLeft = left; }
    // Widest line seen so far (unwrapped): the horizontal extent.
    qreal Widest() const noexcept { return FWidest; }
    void Widen(qreal width) noexcept { FWidest = std::max(FWidest, width); }
    int MaxLeft() const;

    // Rows
    int VisibleRows() const;
    tViewRow MoveRows(tViewRow from, int count) const;
    // The top that shows the last row at the bottom.
    tViewRow LastTop() const;
    tViewRow RowOf(int pos) const;
    // Rows from the top row down to R, counting no further than Limit; -1 above it.
    int RowsFromTop(tViewRow r, int limit) const;

    // Positions. X is in the line's own coordinates (no margin, no scrolling).
    int PositionAt(tViewRow row, qreal x) const;
    int PositionAt(QPoint viewportPos) const;
    // The caret and where the input method's cursor is in its composition
    // text: a position there is after the composition unless it is the caret.
    void SetCaret(int pos, int preeditCursor) noexcept
    {
        FCaret = pos;
        FPreeditCursor = preeditCursor;
    }
    qreal XOfPosition(int pos) const;
    // Unwrapped, where a segment starts: left to right from 0, or right to
    // left from the right edge of the view (or of the line, when it is wider).
    qreal SegmentLeft(int line, int segment) const;
    // The cell of the character at Pos; null when its row is not on screen.
    QRectF CharacterRect(int pos) const;
    // The caret: a bar, or a block over the cell it replaces.
    QRectF CaretRect(bool block) const;

    // Scrolling
    // Moves top and left into range; false when nothing changed.
    bool ScrollTo(tViewRow top, int left);
    // Where to scroll so that Pos shows, with some room beside it.
    std::pair<tViewRow, int> ScrollToShow(int pos);
    // Scroll bar values. Unwrapped, the vertical bar counts lines. Wrapped,
    // rows are known only for the lines shaped so far, so the bar counts
    // lines in steps of a fraction of a line, and its own steps move by rows.
    int VerticalResolution() const;
    int ValueOf(tViewRow top) const;
    tViewRow TopOf(int value) const;
    // After an edit, a resize or new wrapping: the top row exists and the
    // view is not scrolled past the end.
    void KeepTopInRange();

    // Keep the top in step with the buffer.
    void TextChanged(const tTextChange &change);
    void Reset();
    // The rows took a new shape (a new font): the top line stays, from its
    // first row, and the widest line is measured anew.
    void Reshaped() noexcept
    {
        FTop.Row = 0;
        FWidest = 0;
    }

private:
    const cTextBuffer &FBuffer;
    cLineLayouts &FLayouts;
    QSize FViewport;
    tViewRow FTop;
    int FLeft = 0;
    qreal FWidest = 0;
    int FCaret = 0, FPreeditCursor = 0;
};
