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

// QTextLayout ends a row at a line or paragraph separator; inside a line of
// the buffer they are text, so they are shaped as visible marks of the same
// length and every position keeps its place.
QString ShownText(QString text)
{
    for (QChar &c : text) {
        if (c == QChar::LineSeparator)
            c = QChar(0x21B5); // ↵
        else if (c == QChar::ParagraphSeparator)
            c = QChar(0x00B6); // ¶
    }
    return text;
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
    // Wrapped, the composition moves the rows after it, and a carried row
    // may hold it in two layouts.
    auto drop = [this] {
        if (FPreeditPos < 0)
            return;
        const int line = FBuffer.LineFromPosition(FPreeditPos);
        const int column = FPreeditPos - FBuffer.LineStart(line);
        const auto it = FLongLines.find(line);
        if (it == FLongLines.end()) {
            FCache.erase({line, 0});
        } else if (!Wraps()) {
            FCache.erase({line, OwnSegmentOf(it->second, column)});
        } else {
            ForgetRowsFrom(line, it->second, std::max(0, OwnSegmentOf(it->second, column) - 1));
        }
    };
    drop();
    FPreeditPos = text.isEmpty() ? -1 : pos;
    FPreeditText = text;
    FPreeditFormats = formats;
    drop();
}

// ---------------------------------------------------------------------------
// Direction

Qt::LayoutDirection StrongDirection(QStringView text)
{
    int isolates = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        switch (QChar::direction(c)) {
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
            ++isolates;
            break;
        case QChar::DirPDI:
            isolates = std::max(0, isolates - 1);
            break;
        case QChar::DirL:
            if (isolates == 0)
                return Qt::LeftToRight;
            break;
        case QChar::DirR:
        case QChar::DirAL:
            if (isolates == 0)
                return Qt::RightToLeft;
            break;
        default:
            break;
        }
    }
    return Qt::LayoutDirectionAuto;
}

namespace {

// How many blank lines up the direction of the text above is looked for.
constexpr int BlankReachLines = 256;
// Wrapped, how many segments before one are shaped at most to know where its
// layout starts; further back a start is guessed.
constexpr int ChainReach = 64;
// Units of a long line looked at in one piece for its first strong character.
constexpr int DirectionChunk = 4096;

bool IsBlankLine(const cTextBuffer &buffer, int line)
{
    const int start = buffer.LineStart(line);
    const int end = buffer.LineEnd(line);
    for (int pos = start; pos < end; ++pos) {
        if (!QChar(buffer.At(pos)).isSpace())
            return false;
    }
    return true;
}

} // namespace

Qt::LayoutDirection cLineLayouts::OwnDirection(int line)
{
    tLongLine *table = LongLine(line);
    if (table && table->Direction >= 0)
        return Qt::LayoutDirection(table->Direction);
    const int start = FBuffer.LineStart(line);
    const int end = FBuffer.LineEnd(line);
    Qt::LayoutDirection direction = Qt::LayoutDirectionAuto;
    // In pieces, so a long line is copied only as far as its first letter;
    // a piece may end inside an isolate, which then hides the rest of it.
    for (int pos = start; pos < end && direction == Qt::LayoutDirectionAuto; pos += DirectionChunk)
        direction = StrongDirection(FBuffer.Text(pos, std::min(end, pos + DirectionChunk)));
    if (table)
        table->Direction = int(direction);
    return direction;
}

bool cLineLayouts::RightToLeft(int line)
{
    for (int i = line; i >= 0 && i > line - BlankReachLines; --i) {
        const Qt::LayoutDirection direction = OwnDirection(i);
        if (direction != Qt::LayoutDirectionAuto)
            return direction == Qt::RightToLeft;
        if (!IsBlankLine(FBuffer, i))
            return false;
    }
    return false;
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
    table.From.assign(table.Lengths.size(), -1);
    table.From[0] = 0;
    table.Guessed.assign(table.Lengths.size(), 0);
}

// The rows of Segment on and where the later layouts start are measured
// again, as they follow from its text.
void cLineLayouts::ForgetRowsFrom(int line, tLongLine &table, int segment)
{
    for (size_t i = size_t(segment); i < table.Rows.size(); ++i) {
        table.Rows[i] = -1;
        if (i > size_t(segment)) {
            table.From[i] = -1;
            table.Guessed[i] = 0;
        }
    }
    DropLayouts(line, segment);
}

int cLineLayouts::OwnStart(const tLongLine &table, int segment)
{
    return std::accumulate(table.Lengths.begin(), table.Lengths.begin() + segment, 0);
}

int cLineLayouts::OwnSegmentOf(const tLongLine &table, int column)
{
    const int last = int(table.Lengths.size()) - 1;
    int start = 0;
    for (int i = 0; i < last; ++i) {
        start += table.Lengths[size_t(i)];
        if (column < start)
            return i;
    }
    return last;
}

// Wrapped, a segment's layout starts where the previous one's last row does,
// so the segments before it are shaped first (once: what they measure stays
// in the table).
int cLineLayouts::LayoutStart(int line, tLongLine &table, int segment)
{
    if (!Wraps())
        return OwnStart(table, segment);
    if (table.From[size_t(segment)] < 0) {
        int known = segment - 1;
        while (known > 0 && table.From[size_t(known)] < 0)
            --known;
        if (segment - known > ChainReach) {
            known = segment - ChainReach;
            table.From[size_t(known)] = OwnStart(table, known);
            table.Guessed[size_t(known)] = 1;
        }
        for (int i = known; i < segment; ++i)
            Layout(line, i);
    }
    return table.From[size_t(segment)];
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
    tLongLine *table = LongLine(line);
    if (!table)
        return {0, FBuffer.LineLength(line)};
    index = std::clamp(index, 0, int(table->Lengths.size()) - 1);
    const int end = OwnStart(*table, index) + table->Lengths[size_t(index)];
    const int start = LayoutStart(line, *table, index);
    return {start, end - start};
}

int cLineLayouts::SegmentOf(int line, int column)
{
    tLongLine *table = LongLine(line);
    if (!table)
        return 0;
    int segment = OwnSegmentOf(*table, column);
    if (!Wraps())
        return segment;
    const int last = int(table->Lengths.size()) - 1;
    while (segment < last && LayoutStart(line, *table, segment + 1) <= column)
        ++segment;
    return segment;
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
    // Where the first edited layout starts lies before the edit; every later
    // one may move with it.
    const int firstFrom = table.From[size_t(first)];
    const char firstGuessed = table.Guessed[size_t(first)];
    table.From.erase(table.From.begin() + from, table.From.begin() + to);
    table.From.insert(table.From.begin() + from, pieces.size(), -1);
    table.From[size_t(first)] = first == 0 ? 0 : firstFrom;
    table.Guessed.erase(table.Guessed.begin() + from, table.Guessed.begin() + to);
    table.Guessed.insert(table.Guessed.begin() + from, pieces.size(), 0);
    table.Guessed[size_t(first)] = first == 0 ? 0 : firstGuessed;
    table.Direction = -1;
    ForgetRowsFrom(line, table, first);
}

// ---------------------------------------------------------------------------
// Shaping

std::unique_ptr<QTextLayout> cLineLayouts::Shape(int line, int segment)
{
    const tLineSegment piece = Segment(line, segment);
    const int start = FBuffer.LineStart(line) + piece.Start;
    auto layout =
        std::make_unique<QTextLayout>(ShownText(FBuffer.Text(start, start + piece.Length)), FFont, FDevice);
    QTextOption option;
    option.setWrapMode(Wraps() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    // Every segment takes its line's direction. Wrapped, Qt puts the rows of
    // a right-to-left line at the right edge; unwrapped, the row starts at 0
    // and the view places the segments.
    if (RightToLeft(line)) {
        option.setTextDirection(Qt::RightToLeft);
        option.setAlignment(Wraps() ? Qt::AlignRight | Qt::AlignAbsolute : Qt::AlignLeft | Qt::AlignAbsolute);
    } else {
        option.setTextDirection(Qt::LeftToRight);
        option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    }
    option.setTabStopDistance(FTabStop);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    // Unwrapped, in the segment that shows it; wrapped, in every layout
    // holding its place, so that a carried row has it too.
    const bool preeditHere = FPreeditPos >= start && FPreeditPos <= start + piece.Length &&
                             FBuffer.LineFromPosition(FPreeditPos) == line &&
                             (Wraps() || SegmentOf(line, FPreeditPos - FBuffer.LineStart(line)) == segment);
    if (preeditHere) {
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
        if (table.Widths[i] < 0)
            table.Widths[i] = float(layout.lineCount() > 0 ? layout.lineAt(0).naturalTextWidth() : 0);
        return;
    }
    if (table.Rows[i] >= 0 &&
        (i + 1 == table.Rows.size() || (table.From[i + 1] >= 0 && !table.Guessed[i + 1])))
        return;
    const int rows = std::max(1, layout.lineCount());
    if (i + 1 == table.Rows.size()) {
        table.Rows[i] = rows;
        return;
    }
    // The last row goes on in the next segment's layout.
    table.Rows[i] = rows - 1;
    int carried = layout.lineCount() > 0 ? layout.lineAt(rows - 1).textStart() : 0;
    const int preeditAt = layout.preeditAreaPosition();
    const int preeditLength = int(layout.preeditAreaText().size());
    if (preeditLength > 0 && carried > preeditAt)
        carried = std::max(preeditAt, carried - preeditLength);
    const int next = table.From[i] + carried;
    if (table.Guessed[i + 1] && table.From[i] >= 0 && !table.Guessed[i]) {
        // The guess is known now; a wrong one moves every later layout.
        table.Guessed[i + 1] = 0;
        if (table.From[i + 1] != next) {
            table.From[i + 1] = next;
            ForgetRowsFrom(line, table, int(i) + 1);
        }
        return;
    }
    if (table.From[i + 1] < 0)
        table.From[i + 1] = next;
}

QTextLayout &cLineLayouts::Layout(int line, int segment)
{
    const tKey key{line, segment};
    auto it = FCache.find(key);
    if (it == FCache.end()) {
        Evict();
        it = FCache.emplace(key, tEntry{Shape(line, segment), 0}).first;
        ++FShapedCount;
    }
    // Also for a kept layout whose measures an edit after it forgot.
    Measure(line, segment, *it->second.Layout);
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
    // Blank lines below take their direction from the text above them.
    struct tBlankBelow
    {
        cLineLayouts &Layouts;
        int Line;
        ~tBlankBelow()
        {
            const int count = Layouts.FBuffer.LineCount();
            for (int line = Line;
                 line < count && line < Line + BlankReachLines && IsBlankLine(Layouts.FBuffer, line); ++line)
                Layouts.DropLayouts(line, 0);
        }
    } blankBelow{*this, first + change.LinesInserted + 1};

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
