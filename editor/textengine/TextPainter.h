// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drawing shaped text: the rows a view shows, with its selection, marks,
// whitespace and caret, or the rows of a printed page. The view and printing
// draw through it alike, so a page shows what the screen does.
#include "editor/textengine/LineLayout.h"
#include "editor/textengine/LineNumberGutter.h"
#include "editor/textengine/TextBuffer.h"
#include "editor/textengine/ViewDecorations.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QPointF>
#include <QRect>
#include <QTextLayout>

#include <vector>

class QPainter;
class cViewGeometry;

// View-only colours of a range (found text): neither the text nor undo sees
// them. An invalid colour leaves that part as it is.
struct tColorMark
{
    int Start = 0;
    int End = 0;
    QColor Text;
    QColor Back;
};

// Marks clamped to a text of Length, empty ones dropped, sorted by start.
std::vector<tColorMark> ClampedMarks(std::vector<tColorMark> marks, int length);
// Marks where an edit left them: an edit inside a mark keeps it, a mark
// whose text goes goes too.
void AdjustMarks(std::vector<tColorMark> &marks, const tTextChange &change);

// What is drawn on and beside the text besides the text itself; a printed
// page has none of it.
struct tPaintContent
{
    QPalette Palette;
    // Sorted and disjoint.
    const std::vector<tColorMark> *Marks = nullptr;
    const tMatchPattern *Match = nullptr;
    QColor MatchText, MatchBack;
    int SelectionStart = 0, SelectionEnd = 0;
    bool Whitespace = false;
    // Tints the caret's line.
    bool CurrentLine = false;
    int Caret = 0;
    bool CaretShown = false;
    // Overwrite: a block over the character the caret replaces.
    bool CaretBlock = false;
    // The input method's cursor within its composition text.
    int PreeditCursor = 0;
    int DropCaret = -1;
};

class cTextPainter
{
public:
    // Painter, buffer, layouts and content must outlive this.
    cTextPainter(QPainter &painter, const cTextBuffer &buffer, cLineLayouts &layouts,
                 const tPaintContent &content)
        : FPainter(painter), FBuffer(buffer), FLayouts(layouts), FContent(content)
    {}
    cTextPainter(const cTextPainter &) = delete;
    cTextPainter &operator=(const cTextPainter &) = delete;

    // The rows of a viewport that meet Clip, from the geometry's top down;
    // widens the geometry by the lines drawn. Gives where each line whose
    // first row shows starts, for the line numbers.
    std::vector<tNumberedRow> PaintView(cViewGeometry &geometry, const QRect &clip);
    // One row of a segment's layout, its top at At.
    void PaintRow(int line, int segment, int row, QPointF at);

private:
    // Paints a line from its row FirstRow on at Y; gives the y below it.
    qreal PaintLine(int line, int firstRow, qreal y, const QRect &clip);
    void DrawSegment(int line, int segment, QPointF origin, const QRect &clip);
    QList<QTextLayout::FormatRange> Selections(int start, int end, const QTextLayout &layout) const;
    void DrawMarkTail(int line, const QTextLayout &layout, QPointF origin);
    void DrawLineEnd(int line, const QTextLayout &layout, QPointF origin);

    QPainter &FPainter;
    const cTextBuffer &FBuffer;
    cLineLayouts &FLayouts;
    const tPaintContent &FContent;
    // While painting a view.
    cViewGeometry *FGeometry = nullptr;
};
