// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewGeometry.h"

#include "editor/textengine/TextBoundaries.h"

#include <QFontMetricsF>
#include <QtMath>

#include <algorithm>
#include <climits>
#include <tuple>

// ---------------------------------------------------------------------------
// Rows

int cViewGeometry::VisibleRows() const
{
    return std::max(1, int(FViewport.height() / FLayouts.RowHeight()));
}

tViewRow cViewGeometry::MoveRows(tViewRow from, int count) const
{
    tViewRow r = from;
    const int last = FBuffer.LineCount() - 1;
    while (count > 0) {
        const int rows = FLayouts.LineRows(r.Line);
        const int left = rows - 1 - r.Row;
        if (count <= left) {
            r.Row += count;
            return r;
        }
        if (r.Line >= last) {
            r.Row = rows - 1;
            return r;
        }
        count -= left + 1;
        ++r.Line;
        r.Row = 0;
    }
    while (count < 0) {
        if (-count <= r.Row) {
            r.Row += count;
            return r;
        }
        if (r.Line == 0) {
            r.Row = 0;
            return r;
        }
        count += r.Row + 1;
        --r.Line;
        r.Row = FLayouts.LineRows(r.Line) - 1;
    }
    return r;
}

tViewRow cViewGeometry::LastTop() const
{
    const int last = FBuffer.LineCount() - 1;
    return MoveRows({last, FLayouts.LineRows(last) - 1}, -(VisibleRows() - 1));
}

tViewRow cViewGeometry::RowOf(int pos) const
{
    const int line = FBuffer.LineFromPosition(pos);
    return {line, FLayouts.RowOfColumn(line, pos - FBuffer.LineStart(line))};
}

int cViewGeometry::RowsFromTop(tViewRow r, int limit) const
{
    if (r.Line == FTop.Line)
        return r.Row - FTop.Row;
    if (r < FTop)
        return -1;
    int rows = FLayouts.LineRows(FTop.Line) - FTop.Row;
    for (int line = FTop.Line + 1; line < r.Line; ++line) {
        rows += FLayouts.LineRows(line);
        if (rows > limit)
            return rows;
    }
    return rows + r.Row;
}

// ---------------------------------------------------------------------------
// Positions

int cViewGeometry::PositionAt(tViewRow r, qreal x) const
{
    const int lineStart = FBuffer.LineStart(r.Line);
    int segment = 0, row = 0;
    qreal left = 0;
    if (FLayouts.Wraps()) {
        std::tie(segment, row) = FLayouts.RowPlace(r.Line, r.Row);
    } else if (FLayouts.RightToLeft(r.Line)) {
        // Segments go leftwards from the right edge.
        const int count = FLayouts.SegmentCount(r.Line);
        for (; segment < count - 1; ++segment) {
            if (x >= SegmentLeft(r.Line, segment))
                break;
        }
        left = SegmentLeft(r.Line, segment);
    } else {
        const int count = FLayouts.SegmentCount(r.Line);
        for (; segment < count - 1; ++segment) {
            const qreal width = FLayouts.SegmentWidth(r.Line, segment);
            if (x < left + width)
                break;
            left += width;
        }
    }
    const tLineSegment piece = FLayouts.Segment(r.Line, segment);
    QTextLayout &layout = FLayouts.Layout(r.Line, segment);
    if (layout.lineCount() == 0)
        return lineStart + piece.Start;
    const QTextLine textLine = layout.lineAt(std::clamp(row, 0, layout.lineCount() - 1));
    int at = textLine.xToCursor(x - left);
    // A position inside the composition text is the composition's place.
    const int preeditAt = layout.preeditAreaPosition();
    const int preeditLength = int(layout.preeditAreaText().size());
    if (preeditLength > 0 && at > preeditAt)
        at = std::max(preeditAt, at - preeditLength);
    return lineStart + piece.Start + std::clamp(at, 0, piece.Length);
}

int cViewGeometry::PositionAt(QPoint viewportPos) const
{
    const int rows = qFloor(viewportPos.y() / FLayouts.RowHeight());
    return PositionAt(MoveRows(FTop, rows), viewportPos.x() - Margin + FLeft);
}

qreal cViewGeometry::XOfPosition(int pos) const
{
    const int line = FBuffer.LineFromPosition(pos);
    const int column = pos - FBuffer.LineStart(line);
    const int segment = FLayouts.SegmentOf(line, column);
    const tLineSegment piece = FLayouts.Segment(line, segment);
    QTextLayout &layout = FLayouts.Layout(line, segment);
    int at = column - piece.Start;
    if (!layout.preeditAreaText().isEmpty() && at >= layout.preeditAreaPosition())
        at += pos == FCaret ? FPreeditCursor : int(layout.preeditAreaText().size());
    const QTextLine textLine = layout.lineForTextPosition(at);
    const qreal x = textLine.isValid() ? textLine.cursorToX(at) : 0;
    return x + (FLayouts.Wraps() ? 0 : SegmentLeft(line, segment));
}

qreal cViewGeometry::SegmentLeft(int line, int segment) const
{
    if (!FLayouts.RightToLeft(line))
        return FLayouts.SegmentX(line, segment);
    const qreal right = std::max<qreal>(FViewport.width() - 2 * Margin - 1, FLayouts.LineWidth(line));
    return right - FLayouts.SegmentX(line, segment) - FLayouts.SegmentWidth(line, segment);
}

QRectF cViewGeometry::CaretRect(bool block) const
{
    const qreal h = FLayouts.RowHeight();
    const int rows = RowsFromTop(RowOf(FCaret), VisibleRows() + 1);
    const qreal x = XOfPosition(FCaret) + Margin - FLeft;
    qreal width = 1;
    if (block && FCaret < FBuffer.LineEnd(FBuffer.LineFromPosition(FCaret)))
        width = std::max<qreal>(1, XOfPosition(NextGrapheme(FBuffer, FCaret)) + Margin - FLeft - x);
    return {x, rows * h, width, h};
}

QRectF cViewGeometry::CharacterRect(int pos) const
{
    pos = std::clamp(pos, 0, FBuffer.Length());
    const tViewRow row = RowOf(pos);
    const int lineStart = FBuffer.LineStart(row.Line);
    const int visible = VisibleRows();
    const int rows = RowsFromTop(row, visible + 1);
    if (rows < 0 || rows > visible)
        return {};
    const qreal x = XOfPosition(pos);
    qreal left = x, width = 0;
    if (pos < FBuffer.LineEnd(row.Line)) {
        const int next = NextGrapheme(FBuffer, pos);
        if (FLayouts.RowOfColumn(row.Line, next - lineStart) == row.Row ||
            next == FBuffer.LineEnd(row.Line)) {
            const qreal nextX = XOfPosition(next);
            left = std::min(x, nextX);
            width = std::abs(nextX - x);
        }
    }
    if (width <= 0)
        width = QFontMetricsF(FLayouts.Font()).horizontalAdvance(u' ');
    const qreal h = FLayouts.RowHeight();
    return {left + Margin - FLeft, rows * h, width, h};
}

// ---------------------------------------------------------------------------
// Scrolling

int cViewGeometry::MaxLeft() const
{
    return std::max(0, qCeil(FWidest) + 2 * Margin + 1 - FViewport.width());
}

bool cViewGeometry::ScrollTo(tViewRow top, int left)
{
    const tViewRow last = LastTop();
    if (last < top)
        top = last;
    top.Row = std::clamp(top.Row, 0, FLayouts.LineRows(top.Line) - 1);
    if (FLayouts.Wraps())
        left = 0;
    left = std::clamp(left, 0, MaxLeft());
    if (top == FTop && left == FLeft)
        return false;
    FTop = top;
    FLeft = left;
    return true;
}

std::pair<tViewRow, int> cViewGeometry::ScrollToShow(int pos)
{
    const tViewRow caret = RowOf(pos);
    const int visible = VisibleRows();
    tViewRow newTop = FTop;
    if (caret < FTop)
        newTop = caret;
    else if (RowsFromTop(caret, visible) >= visible)
        newTop = MoveRows(caret, -(visible - 1));
    int left = FLeft;
    if (!FLayouts.Wraps()) {
        const qreal x = XOfPosition(pos);
        const int width = FViewport.width() - 2 * Margin - 1;
        Widen(std::max(x + 1, FLayouts.LineWidth(caret.Line)));
        if (x < left)
            left = std::max(0, qFloor(x) - width / 4);
        else if (x > left + width)
            left = qCeil(x) - width + width / 4;
    }
    return {newTop, left};
}

int cViewGeometry::VerticalResolution() const
{
    if (!FLayouts.Wraps())
        return 1;
    return std::clamp(INT_MAX / 4 / std::max(1, FBuffer.LineCount()), 1, 1024);
}

int cViewGeometry::ValueOf(tViewRow top) const
{
    const int resolution = VerticalResolution();
    if (resolution == 1)
        return top.Line;
    const int rows = std::max(1, FLayouts.LineRows(top.Line));
    return top.Line * resolution + int(qint64(top.Row) * resolution / rows);
}

tViewRow cViewGeometry::TopOf(int value) const
{
    const int resolution = VerticalResolution();
    const int line = std::clamp(value / resolution, 0, FBuffer.LineCount() - 1);
    if (resolution == 1)
        return {line, 0};
    const int rows = FLayouts.LineRows(line);
    return {line, int(qint64(value % resolution) * rows / resolution)};
}

void cViewGeometry::KeepTopInRange()
{
    FTop.Row = std::clamp(FTop.Row, 0, FLayouts.LineRows(FTop.Line) - 1);
    const tViewRow last = LastTop();
    if (last < FTop)
        FTop = last;
}

// ---------------------------------------------------------------------------
// Keeping step with the buffer

void cViewGeometry::TextChanged(const tTextChange &change)
{
    const int lastOld = change.FirstLine + change.LinesRemoved;
    if (FTop.Line > lastOld) {
        FTop.Line += change.LinesInserted - change.LinesRemoved;
    } else if (FTop.Line > change.FirstLine) {
        FTop.Line = change.FirstLine;
        FTop.Row = 0;
    }
}

void cViewGeometry::Reset()
{
    FTop = {};
    FLeft = 0;
    FWidest = 0;
}
