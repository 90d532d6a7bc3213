// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/CaretMoves.h"

#include "editor/textengine/LineLayout.h"
#include "editor/textengine/Selection.h"
#include "editor/textengine/TextBoundaries.h"
#include "editor/textengine/TextBuffer.h"
#include "editor/textengine/ViewGeometry.h"

#include <QTextLayout>

#include <algorithm>

tCaretMove VisualMove(tCaretMove move, bool rightToLeft)
{
    if (!rightToLeft)
        return move;
    switch (move) {
    case tCaretMove::Left:
        return tCaretMove::Right;
    case tCaretMove::Right:
        return tCaretMove::Left;
    case tCaretMove::WordLeft:
        return tCaretMove::WordRight;
    case tCaretMove::WordRight:
        return tCaretMove::WordLeft;
    default:
        return move;
    }
}

bool KeepsDesiredX(tCaretMove move)
{
    return move == tCaretMove::Up || move == tCaretMove::Down || move == tCaretMove::PageUp ||
           move == tCaretMove::PageDown;
}

int MovedPosition(tCaretMove move, int from, const cTextBuffer &buffer, cLineLayouts &layouts,
                  const cViewGeometry &geometry, cSelection &selection)
{
    auto vertical = [&](int rows) {
        if (selection.DesiredX() < 0)
            selection.SetDesiredX(geometry.XOfPosition(from));
        const tViewRow here = geometry.RowOf(from);
        const tViewRow there = geometry.MoveRows(here, rows);
        if (there.Line == here.Line && there.Row == here.Row)
            return rows < 0 ? 0 : buffer.Length();
        return geometry.PositionAt(there, selection.DesiredX());
    };
    const int page = std::max(1, geometry.VisibleRows() - 1);
    switch (move) {
    case tCaretMove::Left:
        return PreviousGrapheme(buffer, from);
    case tCaretMove::Right:
        return NextGrapheme(buffer, from);
    case tCaretMove::WordLeft:
        return PreviousWordStart(buffer, from);
    case tCaretMove::WordRight:
        return NextWordStart(buffer, from);
    case tCaretMove::Up:
        return vertical(-1);
    case tCaretMove::Down:
        return vertical(1);
    case tCaretMove::PageUp:
        return vertical(-page);
    case tCaretMove::PageDown:
        return vertical(page);
    case tCaretMove::LineStart:
        return RowEdge(from, false, buffer, layouts);
    case tCaretMove::LineEnd:
        return RowEdge(from, true, buffer, layouts);
    case tCaretMove::Start:
        return 0;
    case tCaretMove::End:
        return buffer.Length();
    }
    return from;
}

// A row that wraps after a blank ends before the blank, or the caret would
// show on the next row.
int RowEdge(int from, bool end, const cTextBuffer &buffer, cLineLayouts &layouts)
{
    const int line = buffer.LineFromPosition(from);
    const int lineStart = buffer.LineStart(line);
    if (!layouts.Wraps())
        return end ? buffer.LineEnd(line) : lineStart;
    const int column = from - lineStart;
    const int segment = layouts.SegmentOf(line, column);
    const tLineSegment piece = layouts.Segment(line, segment);
    const QTextLayout &layout = layouts.Layout(line, segment);
    const QTextLine row = layout.lineForTextPosition(column - piece.Start);
    if (!row.isValid())
        return end ? buffer.LineEnd(line) : lineStart;
    const int start = lineStart + piece.Start + row.textStart();
    if (!end)
        return start;
    int pos = start + row.textLength();
    const bool lastRow =
        row.lineNumber() == layout.lineCount() - 1 && segment == layouts.SegmentCount(line) - 1;
    if (!lastRow && pos > start && QChar(buffer.At(pos - 1)).isSpace())
        --pos;
    return pos;
}

std::pair<int, int> TypedRange(const cTextBuffer &buffer, const cSelection &selection, bool overwrite)
{
    const int caret = selection.Caret();
    if (overwrite && !selection.HasSelection() && caret < buffer.LineEnd(buffer.LineFromPosition(caret)))
        return {caret, NextGrapheme(buffer, caret)};
    return {selection.Start(), selection.End()};
}

std::pair<int, int> DeletedRange(const cTextBuffer &buffer, const cSelection &selection, bool back, bool word)
{
    const int caret = selection.Caret();
    if (selection.HasSelection())
        return {selection.Start(), selection.End()};
    if (back)
        return {caret == 0 ? caret
                : word     ? PreviousWordStart(buffer, caret)
                           : PreviousCodePoint(buffer, caret),
                caret};
    if (caret >= buffer.Length())
        return {caret, caret};
    return {caret, word ? NextWordStart(buffer, caret) : NextGrapheme(buffer, caret)};
}
