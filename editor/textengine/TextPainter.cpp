// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextPainter.h"

#include "editor/textengine/ViewGeometry.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

std::vector<tColorMark> ClampedMarks(std::vector<tColorMark> marks, int length)
{
    for (tColorMark &m : marks) {
        m.Start = std::clamp(m.Start, 0, length);
        m.End = std::clamp(m.End, m.Start, length);
    }
    std::erase_if(marks, [](const tColorMark &m) { return m.Start == m.End; });
    std::sort(marks.begin(), marks.end(),
              [](const tColorMark &a, const tColorMark &b) { return a.Start < b.Start; });
    return marks;
}

void AdjustMarks(std::vector<tColorMark> &marks, const tTextChange &change)
{
    auto adjust = [&change](int p) { return PositionAfter(change, p); };
    for (tColorMark &m : marks) {
        m.Start = adjust(m.Start);
        m.End = adjust(m.End);
    }
    std::erase_if(marks, [](const tColorMark &m) { return m.Start >= m.End; });
}

std::vector<tNumberedRow> cTextPainter::PaintView(cViewGeometry &geometry, const QRect &clip)
{
    FGeometry = &geometry;
    const qreal h = FLayouts.RowHeight();
    const QSize viewport = geometry.ViewportSize();
    const int caretLine = FBuffer.LineFromPosition(FContent.Caret);
    std::vector<tNumberedRow> numbered;
    qreal y = 0;
    for (int line = geometry.Top().Line, row = geometry.Top().Row;
         line < FBuffer.LineCount() && y < viewport.height(); ++line, row = 0) {
        if (FContent.CurrentLine && line == caretLine)
            FPainter.fillRect(QRectF(0, y, viewport.width(), (FLayouts.LineRows(line) - row) * h),
                              CurrentLineColor(FContent.Palette));
        if (row == 0)
            numbered.push_back({line, qRound(y)});
        y = PaintLine(line, row, y, clip);
    }
    FGeometry = nullptr;
    return numbered;
}

qreal cTextPainter::PaintLine(int line, int firstRow, qreal y, const QRect &clip)
{
    constexpr int margin = cViewGeometry::Margin;
    const qreal h = FLayouts.RowHeight();
    const QSize viewport = FGeometry->ViewportSize();
    const int scrolled = FGeometry->Left();
    if (FLayouts.Wraps()) {
        auto [segment, row] = FLayouts.RowPlace(line, firstRow);
        const int count = FLayouts.SegmentCount(line);
        for (; segment < count && y < viewport.height(); ++segment, row = 0) {
            FLayouts.Layout(line, segment);
            const int rows = FLayouts.SegmentRows(line, segment) - row;
            if (y + rows * h > clip.top() && y <= clip.bottom())
                DrawSegment(line, segment, QPointF(margin, y - row * h), clip);
            y += rows * h;
        }
        return y;
    }
    if (y + h > clip.top() && y <= clip.bottom() && FLayouts.RightToLeft(line)) {
        const int count = FLayouts.SegmentCount(line);
        const qreal right = scrolled + viewport.width();
        for (int segment = 0; segment < count; ++segment) {
            const qreal left = FGeometry->SegmentLeft(line, segment);
            if (left + FLayouts.SegmentWidth(line, segment) >= scrolled - margin && left <= right) {
                FLayouts.Layout(line, segment);
                DrawSegment(line, segment,
                            QPointF(margin + FGeometry->SegmentLeft(line, segment) - scrolled, y), clip);
            }
        }
        FGeometry->Widen(FLayouts.LineWidth(line));
    } else if (y + h > clip.top() && y <= clip.bottom()) {
        const int count = FLayouts.SegmentCount(line);
        const qreal right = scrolled + viewport.width();
        qreal x = 0;
        for (int segment = 0; segment < count && x <= right; ++segment) {
            qreal width = FLayouts.SegmentWidth(line, segment);
            if (x + width >= scrolled - margin) {
                FLayouts.Layout(line, segment);
                width = FLayouts.SegmentWidth(line, segment);
                DrawSegment(line, segment, QPointF(margin + x - scrolled, y), clip);
            }
            x += width;
        }
        FGeometry->Widen(count == 1 ? x : FLayouts.LineWidth(line));
    }
    return y + h;
}

void cTextPainter::PaintRow(int line, int segment, int row, QPointF at)
{
    const QTextLayout &layout = FLayouts.Layout(line, segment);
    const QTextLine textLine = layout.lineAt(row);
    const QPointF origin(at.x(), at.y() - textLine.y());
    textLine.draw(&FPainter, origin);
    if (FContent.Whitespace)
        DrawWhitespace(FPainter, layout, origin, at.y(), at.y() + FLayouts.RowHeight(),
                       WhitespaceColor(FContent.Palette));
    if (row == layout.lineCount() - 1 && segment == FLayouts.SegmentCount(line) - 1)
        DrawLineEnd(line, layout, origin);
}

QList<QTextLayout::FormatRange> cTextPainter::Selections(int start, int end, const QTextLayout &layout) const
{
    QList<QTextLayout::FormatRange> ranges;
    const int preeditAt = layout.preeditAreaPosition();
    const int preeditLength = int(layout.preeditAreaText().size());
    auto add = [&](int a, int b, const QTextCharFormat &format) {
        a = std::max(a, start) - start;
        b = std::min(b, end) - start;
        if (a >= b)
            return;
        if (preeditLength > 0) {
            a += a >= preeditAt ? preeditLength : 0;
            b += b > preeditAt ? preeditLength : 0;
        }
        ranges.append({a, b - a, format});
    };
    if (FContent.Match && !FContent.Match->IsEmpty()) {
        QTextCharFormat format;
        format.setForeground(FContent.MatchText);
        format.setBackground(FContent.MatchBack);
        for (const auto &[a, b] : MatchesAround(FBuffer, start, end, *FContent.Match))
            add(a, b, format);
    }
    if (FContent.Marks) {
        const std::vector<tColorMark> &marks = *FContent.Marks;
        const auto first = std::lower_bound(marks.begin(), marks.end(), start,
                                            [](const tColorMark &m, int pos) { return m.End <= pos; });
        for (auto it = first; it != marks.end() && it->Start < end; ++it) {
            QTextCharFormat format;
            if (it->Text.isValid())
                format.setForeground(it->Text);
            if (it->Back.isValid())
                format.setBackground(it->Back);
            add(it->Start, it->End, format);
        }
    }
    if (FContent.SelectionStart < FContent.SelectionEnd) {
        QTextCharFormat format;
        format.setBackground(FContent.Palette.brush(QPalette::Highlight));
        format.setForeground(FContent.Palette.brush(QPalette::HighlightedText));
        add(FContent.SelectionStart, FContent.SelectionEnd, format);
    }
    return ranges;
}

// A selected paragraph mark shows as a selected blank after the line.
void cTextPainter::DrawMarkTail(int line, const QTextLayout &layout, QPointF origin)
{
    const int mark = FBuffer.LineEnd(line);
    if (line + 1 >= FBuffer.LineCount() || mark < FContent.SelectionStart || mark >= FContent.SelectionEnd)
        return;
    if (layout.lineCount() == 0)
        return;
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    const qreal blank = QFontMetricsF(FLayouts.Font()).horizontalAdvance(u' ');
    const QRectF text = last.naturalTextRect();
    // After the line's end: at its right, or at its left in a right-to-left line.
    const qreal x = FLayouts.RightToLeft(line) ? text.left() - blank : text.right();
    const QRectF tail(origin.x() + x, origin.y() + last.lineNumber() * FLayouts.RowHeight(), blank,
                      FLayouts.RowHeight());
    FPainter.fillRect(tail, FContent.Palette.brush(QPalette::Highlight));
}

// After the last segment of a line: its selected mark and its break's name.
void cTextPainter::DrawLineEnd(int line, const QTextLayout &layout, QPointF origin)
{
    DrawMarkTail(line, layout, origin);
    if (FContent.Whitespace && layout.lineCount() > 0) {
        const QTextLine last = layout.lineAt(layout.lineCount() - 1);
        const bool rtl = FLayouts.RightToLeft(line);
        const QRectF text = last.naturalTextRect();
        const QPointF at(origin.x() + (rtl ? text.left() : text.right()),
                         origin.y() + last.lineNumber() * FLayouts.RowHeight());
        DrawBreakMark(FPainter, at, FLayouts.RowHeight(), rtl, FBuffer.LineBreak(line), FLayouts.Font(),
                      WhitespaceColor(FContent.Palette));
    }
}

void cTextPainter::DrawSegment(int line, int segment, QPointF origin, const QRect &clip)
{
    const tLineSegment piece = FLayouts.Segment(line, segment);
    const int lineStart = FBuffer.LineStart(line);
    const int start = lineStart + piece.Start;
    auto isHere = [&](int pos) {
        return pos >= start && pos <= start + piece.Length && FBuffer.LineFromPosition(pos) == line &&
               FLayouts.SegmentOf(line, pos - lineStart) == segment;
    };
    const bool caretHere = FContent.CaretShown && isHere(FContent.Caret);
    const bool dropHere = FContent.DropCaret >= 0 && isHere(FContent.DropCaret);
    // Measured before taking the layout: measuring may shape (and evict) others.
    const QRectF caret = caretHere ? FGeometry->CaretRect(FContent.CaretBlock) : QRectF();
    QTextLayout &layout = FLayouts.Layout(line, segment);
    // A row carried over into the next segment is drawn by that one.
    QRectF rows = clip;
    const int shown = FLayouts.Wraps() ? FLayouts.SegmentRows(line, segment) : layout.lineCount();
    if (shown < layout.lineCount())
        rows.setBottom(std::min(rows.bottom(), origin.y() + (shown - 0.5) * FLayouts.RowHeight()));
    if (rows.bottom() > rows.top()) {
        layout.draw(&FPainter, origin, Selections(start, start + piece.Length, layout), rows);
        if (FContent.Whitespace)
            DrawWhitespace(FPainter, layout, origin, rows.top(), rows.bottom(),
                           WhitespaceColor(FContent.Palette));
    }
    if (segment == FLayouts.SegmentCount(line) - 1)
        DrawLineEnd(line, layout, origin);
    if (caretHere && caret.width() > 1) {
        QColor c = FContent.Palette.color(QPalette::Text);
        c.setAlpha(96);
        FPainter.fillRect(caret, c);
    } else if (caretHere) {
        int at = FContent.Caret - start;
        if (!layout.preeditAreaText().isEmpty())
            at = layout.preeditAreaPosition() + FContent.PreeditCursor;
        layout.drawCursor(&FPainter, origin, at, 1);
    }
    if (dropHere)
        layout.drawCursor(&FPainter, origin, FContent.DropCaret - start, 1);
}
