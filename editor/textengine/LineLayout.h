// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shaped lines for a view or a printer: each line of the buffer is cut into
// segments of a few thousand units (at a blank or a grapheme boundary), and
// only the segments asked for are shaped, into a small cache. A line of
// megabytes thus costs what the screen shows of it.
#include "editor/textengine/TextBuffer.h"

#include <QFont>
#include <QString>
#include <QTextLayout>

#include <map>
#include <memory>
#include <utility>
#include <vector>

// The direction of a paragraph from its first strong character (text inside
// directional isolates does not count): LeftToRight, RightToLeft, or
// LayoutDirectionAuto when it has none.
Qt::LayoutDirection StrongDirection(QStringView text);

// A piece of a line, in units from the line's start.
struct tLineSegment
{
    int Start = 0;
    int Length = 0;
};

class cLineLayouts
{
public:
    // Segments aim at Target units; an edited one is cut again past Max and
    // joined to its neighbour below Min, so an edit reshapes one segment.
    static constexpr int SegmentTarget = 4096;
    static constexpr int SegmentMax = 2 * SegmentTarget;
    static constexpr int SegmentMin = SegmentTarget / 4;

    explicit cLineLayouts(const cTextBuffer &buffer, int cacheSize = 256);
    cLineLayouts(const cLineLayouts &) = delete;
    cLineLayouts &operator=(const cLineLayouts &) = delete;

    void SetFont(const QFont &font);
    const QFont &Font() const noexcept { return FFont; }
    // Width at which rows wrap; 0 or less: no wrapping.
    void SetWrapWidth(qreal width);
    bool Wraps() const noexcept { return FWrapWidth > 0; }
    void SetTabStopDistance(qreal distance);
    // Metrics for this device (a printer) instead of the screen.
    void SetPaintDevice(QPaintDevice *device);
    // Every row has this height, so that rows can be counted without shaping.
    qreal RowHeight() const noexcept { return FRowHeight; }
    // The composition text of an input method, shown at Pos (a buffer
    // position) in the layout of its segment only; empty: none.
    void SetPreedit(int pos, const QString &text, const QList<QTextLayout::FormatRange> &formats);

    // A line's direction: its first strong character's; without one,
    // left-to-right, unless the line is blank: then the previous line's.
    // Right-to-left lines are laid out from the right, wrapped or not.
    bool RightToLeft(int line);

    int SegmentCount(int line);
    // The columns the segment's layout holds. Wrapped, the last row of a
    // segment is carried over into the next one's layout, which starts with
    // it, so that rows fill the width across cuts: the layout then begins
    // before the segment's own text and its last row is shown by the next.
    tLineSegment Segment(int line, int index);
    // The segment whose layout shows Column; a column on a cut (or at the
    // start of a carried row) belongs to the later one unless it is the
    // line's end.
    int SegmentOf(int line, int column);
    // Shaped on first use; valid until the next call that may shape another.
    QTextLayout &Layout(int line, int segment);

    // Rows of a segment or line: exact once shaped, estimated before. A
    // segment shows the rows of its layout but a carried last one, so a
    // segment of a long wrapped line may show none.
    int SegmentRows(int line, int segment);
    int LineRows(int line);
    // Unwrapped: the x where a segment starts and the width of a line,
    // exact for the segments shaped so far, estimated for the others.
    qreal SegmentX(int line, int segment);
    qreal SegmentWidth(int line, int segment);
    qreal LineWidth(int line);

    // Where a row of a line lies: its segment and the row within it.
    std::pair<int, int> RowPlace(int line, int row);
    // The row (within its line) of a column.
    int RowOfColumn(int line, int column);

    // Segments shaped so far: what the screen cost, for checks.
    quint64 ShapedCount() const noexcept { return FShapedCount; }

    // Keep the cache in step with the buffer (call from its listener).
    void TextChanged(const tTextChange &change);
    void Reset();

private:
    struct tLongLine
    {
        std::vector<int> Lengths;
        std::vector<float> Widths; // < 0: not measured
        std::vector<int> Rows;     // < 0: not measured at the current wrap width
        // Wrapped: the column where each segment's layout starts (the start
        // of the previous one's last row); < 0: not known at this width.
        std::vector<int> From;
        // A start guessed at the segment's own start, so that a jump far into
        // the line does not shape all of it; put right once the segments
        // before it are shaped.
        std::vector<char> Guessed;
        // The line's own strong direction; -1: not looked for yet.
        int Direction = -1;
    };
    struct tEntry
    {
        std::unique_ptr<QTextLayout> Layout;
        quint64 Used = 0;
    };
    using tKey = std::pair<int, int>;

    tLongLine *LongLine(int line);
    void Segmentate(int line, tLongLine &table);
    int FindCut(int lineStart, int from, int lineEnd) const;
    void ResegmentEdited(int line, tLongLine &table, int column, int removed, int inserted);
    Qt::LayoutDirection OwnDirection(int line);
    void RecountRows(tLongLine &table);
    void ForgetRowsFrom(int line, tLongLine &table, int segment);
    static int OwnStart(const tLongLine &table, int segment);
    static int OwnSegmentOf(const tLongLine &table, int column);
    int LayoutStart(int line, tLongLine &table, int segment);
    void Measure(int line, int segment, const QTextLayout &layout);
    std::unique_ptr<QTextLayout> Shape(int line, int segment);
    int EstimatedRows(int length) const;
    qreal EstimatedWidth(int length) const;
    void DropLayouts(int line, int fromSegment);
    void ForgetRows();
    void Evict();

    const cTextBuffer &FBuffer;
    const size_t FCacheSize;
    QFont FFont;
    QPaintDevice *FDevice = nullptr;
    qreal FWrapWidth = 0;
    qreal FTabStop = 80;
    qreal FRowHeight = 1;
    qreal FAverageWidth = 1;
    qreal FAscent = 0;
    std::map<tKey, tEntry> FCache;
    quint64 FClock = 0;
    quint64 FShapedCount = 0;
    // Only lines longer than one segment have a table.
    std::map<int, tLongLine> FLongLines;
    int FPreeditPos = -1;
    QString FPreeditText;
    QList<QTextLayout::FormatRange> FPreeditFormats;
};
