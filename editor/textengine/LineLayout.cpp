// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/LineLayout.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>
#include <numeric>

namespace {

// A row that does not wrap is given this width; QTextLayout measures in
// 26.6 fixed point, so it must stay well below 2^25.
constexpr qreal UnwrappedWidth = 1e7;
// How far back from a segment's target a blank is looked for, and how far on
// a grapheme boundary.
constexpr int BlankReach = 256;
constexpr int GraphemeReach = 64;
// Units of text shaped and kept at most (the glyphs of a unit take tens of bytes).
constexpr qsizetype CacheUnits = 32 * cLineLayouts::SegmentTarget;

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

cLineLayouts::cLineLayouts(const cTextBuffer &buffer, int cacheSize)
    : FBuffer(buffer), FCacheSize(size_t(std::max(cacheSize, 8)))
{
    SetFont(FFont);
}

void cLineLayouts::SetPaintDevice(QPaintDevice *device)
{
    FDevice = device;
    SetFont(FFont);
}

void cLineLayouts::SetFont(const QFont &font)
{
    FFont = font;
    const QFontMetricsF metrics = FDevice ? QFontMetricsF(font, FDevice) : QFontMetricsF(font);
    FRowHeight = std::max<qreal>(1, qCeil(metrics.lineSpacing()));
    FAverageWidth = std::max<qreal>(1, metrics.averageCharWidth());
    FAscent = metrics.ascent();
    FCache.clear();
    for (auto &[line, table] : FLongLines)
        std::fill(table.Widths.begin(), table.Widths.end(), -1.f);
    ForgetRows();
}

void cLineLayouts::SetWrapWidth(qreal width)
{
    width = std::max<qreal>(width, 0);
    if (width == FWrapWidth)
        return;
    FWrapWidth = width;
    FCache.clear();
    ForgetRows();
}

void cLineLayouts::SetTabStopDistance(qreal distance)
{
    if (distance == FTabStop || distance <= 0)
        return;
    FTabStop = distance;
    FCache.clear();
    for (auto &[line, table] : FLongLines)
        std::fill(table.Widths.begin(), table.Widths.end(), -1.f);
    ForgetRows();
}

void cLineLayouts::SetPreedit(int pos, const QString &text, const QList<QTextLayout::FormatRange> &formats)
{
    auto drop = [this] {
        if (FPreeditPos < 0)
            return;
        const int line = FBuffer.LineFromPosition(FPreeditPos);
        const int segment = SegmentOf(line, FPreeditPos - FBuffer.LineStart(line));
        FCache.erase({line, segment});
    };
    drop();
    FPreeditPos = text.isEmpty() ? -1 : pos;
    FPreeditText = text;
    FPreeditFormats = formats;
    drop();
}

// ---------------------------------------------------------------------------
// Segments

cLineLayouts::tLongLine *cLineLayouts::LongLine(int line)
{
    const auto it = FLongLines.find(line);
    if (it != FLongLines.end())
        return &it->second;
    if (FBuffer.LineLength(line) <= SegmentMax)
        return nullptr;
    tLongLine &table = FLongLines[line];
    Segmentate(line, table);
    return &table;
}

// After the last blank shortly before the target, so that wrapped rows break
// between words; else at the first grapheme boundary from the target on.
int cLineLayouts::FindCut(int lineStart, int from, int lineEnd) const
{
    const int target = from + SegmentTarget;
    if (target >= lineEnd)
        return lineEnd;
    const int low = std::max(from + 1, target - BlankReach);
    for (int pos = target; pos > low; --pos) {
        if (IsBlank(FBuffer.At(pos - 1)))
            return pos;
    }
    const int windowStart = std::max(lineStart, target - GraphemeReach);
    const int windowEnd = std::min(lineEnd, target + GraphemeReach);
    const QString window = FBuffer.Text(windowStart, windowEnd);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.setPosition(target - windowStart);
    if (finder.isAtBoundary())
        return target;
    const qsizetype next = finder.toNextBoundary();
    if (next > 0)
        return windowStart + int(next);
    // A cluster longer than the window: at least never split a surrogate pair.
    return QChar::isLowSurrogate(FBuffer.At(target)) ? target + 1 : target;
}

void cLineLayouts::Segmentate(int line, tLongLine &table)
{
    const int start = FBuffer.LineStart(line);
    const int end = FBuffer.LineEnd(line);
    table.Lengths.clear();
    for (int pos = start; pos < end;) {
        const int cut = end - pos > SegmentMax ? FindCut(start, pos, end) : end;
        table.Lengths.push_back(cut - pos);
        pos = cut;
    }
    table.Widths.assign(table.Lengths.size(), -1.f);
    RecountRows(table);
}

void cLineLayouts::RecountRows(tLongLine &table)
{
    table.Rows.assign(table.Lengths.size(), -1);
}

void cLineLayouts::ForgetRows()
{
    for (auto &[line, table] : FLongLines)
        RecountRows(table);
}

int cLineLayouts::SegmentCount(int line)
{
    const tLongLine *table = LongLine(line);
    return table ? int(table->Lengths.size()) : 1;
}

tLineSegment cLineLayouts::Segment(int line, int index)
{
    const tLongLine *table = LongLine(line);
    if (!table)
        return {0, FBuffer.LineLength(line)};
    index = std::clamp(index, 0, int(table->Lengths.size()) - 1);
    const int start = std::accumulate(table->Lengths.begin(), table->Lengths.begin() + index, 0);
    return {start, table->Lengths[size_t(index)]};
}

int cLineLayouts::SegmentOf(int line, int column)
{
    const tLongLine *table = LongLine(line);
    if (!table)
        return 0;
    const int last = int(table->Lengths.size()) - 1;
    int start = 0;
    for (int i = 0; i < last; ++i) {
        start += table->Lengths[size_t(i)];
        if (column < start)
            return i;
    }
    return last;
}

// A segment that grew too long is cut again, one that shrank too much joins a
// neighbour; the segments around keep their cuts, their sizes and shapes.
void cLineLayouts::ResegmentEdited(int line, tLongLine &table, int column, int removed, int inserted)
{
    std::vector<int> &lengths = table.Lengths;
    int first = 0, start = 0;
    while (first + 1 < int(lengths.size()) && start + lengths[size_t(first)] <= column)
        start += lengths[size_t(first++)];
    int last = first, end = start + lengths[size_t(first)];
    while (last + 1 < int(lengths.size()) && end < column + removed)
        end += lengths[size_t(++last)];
    int merged = end - start - removed + inserted;
    if (merged < SegmentMin && lengths.size() > size_t(last - first + 1)) {
        if (last + 1 < int(lengths.size())) {
            merged += lengths[size_t(++last)];
        } else {
            start -= lengths[size_t(--first)];
            merged += lengths[size_t(first)];
        }
    }
    std::vector<int> pieces;
    const int lineStart = FBuffer.LineStart(line);
    for (int pos = lineStart + start, stop = pos + merged; pos < stop || pieces.empty();) {
        const int cut = stop - pos > SegmentMax ? FindCut(lineStart, pos, stop) : stop;
        pieces.push_back(cut - pos);
        pos = cut;
    }
    const auto from = ptrdiff_t(first), to = ptrdiff_t(last) + 1;
    lengths.erase(lengths.begin() + from, lengths.begin() + to);
    lengths.insert(lengths.begin() + from, pieces.begin(), pieces.end());
    table.Widths.erase(table.Widths.begin() + from, table.Widths.begin() + to);
    table.Widths.insert(table.Widths.begin() + from, pieces.size(), -1.f);
    table.Rows.erase(table.Rows.begin() + from, table.Rows.begin() + to);
    table.Rows.insert(table.Rows.begin() + from, pieces.size(), -1);
    DropLayouts(line, first);
}

// ---------------------------------------------------------------------------
// Shaping

std::unique_ptr<QTextLayout> cLineLayouts::Shape(int line, int segment)
{
    const tLineSegment piece = Segment(line, segment);
    const int start = FBuffer.LineStart(line) + piece.Start;
    auto layout = std::make_unique<QTextLayout>(FBuffer.Text(start, start + piece.Length), FFont, FDevice);
    QTextOption option;
    option.setWrapMode(Wraps() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTabStopDistance(FTabStop);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    if (FPreeditPos >= start && FPreeditPos <= start + piece.Length &&
        FBuffer.LineFromPosition(FPreeditPos) == line &&
        SegmentOf(line, FPreeditPos - FBuffer.LineStart(line)) == segment) {
        const int at = FPreeditPos - start;
        layout->setPreeditArea(at, FPreeditText);
        QList<QTextLayout::FormatRange> formats = FPreeditFormats;
        for (QTextLayout::FormatRange &range : formats)
            range.start += at;
        layout->setFormats(formats);
    }
    layout->beginLayout();
    for (int row = 0;; ++row) {
        QTextLine textLine = layout->createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(Wraps() ? FWrapWidth : UnwrappedWidth);
        // Every row's baseline where the font puts it, even when a fallback
        // font for some character is taller.
        textLine.setPosition(QPointF(0, row * FRowHeight + FAscent - textLine.ascent()));
    }
    layout->endLayout();
    return layout;
}

void cLineLayouts::Measure(int line, int segment, const QTextLayout &layout)
{
    const auto it = FLongLines.find(line);
    if (it == FLongLines.end() || size_t(segment) >= it->second.Lengths.size())
        return;
    tLongLine &table = it->second;
    const auto i = size_t(segment);
    if (!Wraps()) {
        table.Widths[i] = float(layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0);
    } else {
        table.Rows[i] = std::max(1, layout.lineCount());
    }
}

QTextLayout &cLineLayouts::Layout(int line, int segment)
{
    const tKey key{line, segment};
    auto it = FCache.find(key);
    if (it == FCache.end()) {
        Evict();
        it = FCache.emplace(key, tEntry{Shape(line, segment), 0}).first;
        ++FShapedCount;
        Measure(line, segment, *it->second.Layout);
    }
    it->second.Used = ++FClock;
    return *it->second.Layout;
}

// Bounded in entries and in units: a screenful of short lines, or the few
// segments of a long line around the caret, not a long line's every segment.
void cLineLayouts::Evict()
{
    qsizetype units = 0;
    for (const auto &[key, entry] : FCache)
        units += entry.Layout->text().size();
    while (!FCache.empty() && (FCache.size() >= FCacheSize || units > CacheUnits)) {
        auto oldest = std::min_element(FCache.begin(), FCache.end(), [](const auto &a, const auto &b) {
            return a.second.Used < b.second.Used;
        });
        units -= oldest->second.Layout->text().size();
        FCache.erase(oldest);
    }
}

void cLineLayouts::DropLayouts(int line, int fromSegment)
{
    auto it = FCache.lower_bound({line, fromSegment});
    while (it != FCache.end() && it->first.first == line)
        it = FCache.erase(it);
}

// ---------------------------------------------------------------------------
// Measures

int cLineLayouts::EstimatedRows(int length) const
{
    if (!Wraps())
        return 1;
    return std::max(1, qCeil(length * FAverageWidth / FWrapWidth));
}

qreal cLineLayouts::EstimatedWidth(int length) const
{
    return length * FAverageWidth;
}

int cLineLayouts::SegmentRows(int line, int segment)
{
    if (!Wraps())
        return 1;
    tLongLine *table = LongLine(line);
    if (!table)
        return std::max(1, Layout(line, 0).lineCount());
    const auto i = size_t(std::clamp(segment, 0, int(table->Lengths.size()) - 1));
    return table->Rows[i] >= 0 ? table->Rows[i] : EstimatedRows(table->Lengths[i]);
}

int cLineLayouts::LineRows(int line)
{
    if (!Wraps())
        return 1;
    tLongLine *table = LongLine(line);
    if (!table)
        return SegmentRows(line, 0);
    int rows = 0;
    for (size_t i = 0; i < table->Lengths.size(); ++i)
        rows += table->Rows[i] >= 0 ? table->Rows[i] : EstimatedRows(table->Lengths[i]);
    return rows;
}

qreal cLineLayouts::SegmentX(int line, int segment)
{
    const tLongLine *table = LongLine(line);
    if (!table)
        return 0;
    qreal x = 0;
    for (size_t i = 0; i < size_t(segment) && i < table->Lengths.size(); ++i)
        x += table->Widths[i] >= 0 ? table->Widths[i] : EstimatedWidth(table->Lengths[i]);
    return x;
}

qreal cLineLayouts::SegmentWidth(int line, int segment)
{
    tLongLine *table = LongLine(line);
    if (!table) {
        const QTextLayout &layout = Layout(line, 0);
        return layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0;
    }
    const auto i = size_t(std::clamp(segment, 0, int(table->Lengths.size()) - 1));
    return table->Widths[i] >= 0 ? table->Widths[i] : EstimatedWidth(table->Lengths[i]);
}

qreal cLineLayouts::LineWidth(int line)
{
    const tLongLine *table = LongLine(line);
    if (!table) {
        const QTextLayout &layout = Layout(line, 0);
        return layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0;
    }
    return SegmentX(line, int(table->Lengths.size()));
}

std::pair<int, int> cLineLayouts::RowPlace(int line, int row)
{
    const int count = SegmentCount(line);
    for (int segment = 0; segment < count; ++segment) {
        const int rows = SegmentRows(line, segment);
        if (row < rows || segment == count - 1)
            return {segment, std::clamp(row, 0, rows - 1)};
        row -= rows;
    }
    return {0, 0};
}

int cLineLayouts::RowOfColumn(int line, int column)
{
    if (!Wraps())
        return 0;
    const int segment = SegmentOf(line, column);
    int row = 0;
    for (int i = 0; i < segment; ++i)
        row += SegmentRows(line, i);
    QTextLayout &layout = Layout(line, segment);
    int at = column - Segment(line, segment).Start;
    if (layout.preeditAreaText().size() > 0 && at > layout.preeditAreaPosition())
        at += int(layout.preeditAreaText().size());
    const QTextLine textLine = layout.lineForTextPosition(at);
    return row + (textLine.isValid() ? textLine.lineNumber() : std::max(0, layout.lineCount() - 1));
}

// ---------------------------------------------------------------------------
// Keeping step with the buffer

void cLineLayouts::TextChanged(const tTextChange &change)
{
    const int first = change.FirstLine;
    const int delta = change.LinesInserted - change.LinesRemoved;
    const int lastOld = first + change.LinesRemoved;
    auto shifted = [&](int line) { return line > lastOld ? line + delta : line; };

    if (change.LinesRemoved == 0 && change.LinesInserted == 0) {
        const auto it = FLongLines.find(first);
        const int column = change.Position - FBuffer.LineStart(first);
        if (it != FLongLines.end() && FBuffer.LineLength(first) > SegmentMax) {
            ResegmentEdited(first, it->second, column, change.RemovedLength, change.InsertedLength);
        } else {
            if (it != FLongLines.end())
                FLongLines.erase(it);
            DropLayouts(first, 0);
        }
        return;
    }

    std::map<tKey, tEntry> cache;
    for (auto &[key, entry] : FCache) {
        if (key.first < first || key.first > lastOld)
            cache.emplace(tKey{shifted(key.first), key.second}, std::move(entry));
    }
    FCache = std::move(cache);
    std::map<int, tLongLine> tables;
    for (auto &[line, table] : FLongLines) {
        if (line < first || line > lastOld)
            tables.emplace(shifted(line), std::move(table));
    }
    FLongLines = std::move(tables);
}

void cLineLayouts::Reset()
{
    FCache.clear();
    FLongLines.clear();
    FPreeditPos = -1;
    FPreeditText.clear();
}
