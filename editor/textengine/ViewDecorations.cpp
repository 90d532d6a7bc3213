// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewDecorations.h"

#include "editor/textengine/TextSearch.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace {

QColor Mix(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(float(a.redF() * share + b.redF() * (1 - share)),
                            float(a.greenF() * share + b.greenF() * (1 - share)),
                            float(a.blueF() * share + b.blueF() * (1 - share)));
}

} // namespace

namespace {

// A piece of a very long line is matched around the range only: anchors at its
// cut edges may then match where the whole line would not.
constexpr int MatcherReach = 4096;

std::vector<std::pair<int, int>> MatcherMatchesAround(const cTextBuffer &buffer, int from, int to,
                                                      const tMatchPattern &pattern)
{
    std::vector<std::pair<int, int>> matches;
    const int last = buffer.LineFromPosition(std::max(from, to - 1));
    for (int line = buffer.LineFromPosition(from); line <= last; ++line) {
        const int start = std::max(buffer.LineStart(line), from - MatcherReach);
        const int end = std::min(buffer.LineEnd(line), to + MatcherReach);
        if (start >= end)
            continue;
        for (const auto &[first, past] : pattern.Matcher(buffer.Text(start, end))) {
            const int matchStart = start + first;
            const int matchEnd = start + past;
            if (matchEnd > from && matchStart < to && matchEnd > matchStart &&
                (matches.empty() || matchStart >= matches.back().second))
                matches.emplace_back(matchStart, matchEnd);
        }
    }
    return matches;
}

} // namespace

std::vector<std::pair<int, int>> MatchesAround(const cTextBuffer &buffer, int from, int to,
                                               const tMatchPattern &pattern)
{
    if (pattern.Matcher)
        return MatcherMatchesAround(buffer, from, to, pattern);
    std::vector<std::pair<int, int>> matches;
    const int n = int(pattern.Text.size());
    if (n == 0 || pattern.Text.contains(QChar(cTextBuffer::Mark)))
        return matches;
    // One unit more on each side for the whole-word test.
    const int lo = std::max(0, from - n);
    const int hi = std::min(buffer.Length(), to + n);
    if (hi - lo < n)
        return matches;
    const QString text = buffer.Text(lo, hi);
    const Qt::CaseSensitivity sensitivity = pattern.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(pattern.Text, 0, sensitivity); at >= 0;
         at = text.indexOf(pattern.Text, at + 1, sensitivity)) {
        const int start = lo + int(at);
        if (start >= to)
            break;
        if (start + n <= from)
            continue;
        if (pattern.WholeWord && !StandsAsWord(buffer, start, start + n))
            continue;
        if (!matches.empty() && start < matches.back().second)
            continue;
        matches.emplace_back(start, start + n);
    }
    return matches;
}

QColor WhitespaceColor(const QPalette &palette)
{
    return Mix(palette.color(QPalette::Text), palette.color(QPalette::Base), 0.35);
}

QColor CurrentLineColor(const QPalette &palette)
{
    return Mix(palette.color(QPalette::Highlight), palette.color(QPalette::Base), 0.12);
}

void DrawWhitespace(QPainter &painter, const QTextLayout &layout, QPointF origin, qreal top, qreal bottom,
                    const QColor &color)
{
    const QString text = layout.text();
    const int preeditAt = layout.preeditAreaPosition();
    const int preeditLength = int(layout.preeditAreaText().size());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1));
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine row = layout.lineAt(i);
        const qreal y = origin.y() + row.y();
        if (y + row.height() <= top || y >= bottom)
            continue;
        const qreal middle = y + row.height() / 2;
        const int end = row.textStart() + row.textLength();
        for (int column = row.textStart(); column < end && column < text.size(); ++column) {
            const QChar c = text.at(column);
            if (c != u' ' && c != u'\t' && c != QChar(0xA0))
                continue;
            // Layout positions count the composition text the buffer does not hold.
            const int at = preeditLength > 0 && column >= preeditAt ? column + preeditLength : column;
            const qreal x0 = origin.x() + row.cursorToX(at);
            const qreal x1 = origin.x() + row.cursorToX(at + 1);
            const qreal left = std::min(x0, x1), right = std::max(x0, x1);
            if (c == u'\t') {
                const qreal head = std::min<qreal>(4, (right - left) / 2);
                const bool rtl = x1 < x0;
                const qreal tip = rtl ? left + 1 : right - 1;
                const qreal tail = rtl ? right - 1 : left + 1;
                const qreal back = rtl ? tip + head : tip - head;
                painter.drawLine(QPointF(tail, middle), QPointF(tip, middle));
                painter.drawLine(QPointF(back, middle - head), QPointF(tip, middle));
                painter.drawLine(QPointF(back, middle + head), QPointF(tip, middle));
            } else {
                const qreal r = std::clamp<qreal>(row.height() / 14, 1, 2);
                painter.setBrush(color);
                painter.drawEllipse(QPointF((left + right) / 2, middle), r, r);
                painter.setBrush(Qt::NoBrush);
            }
        }
    }
    painter.restore();
}

QString BreakMarkText(tLineBreak lineBreak)
{
    switch (lineBreak) {
    case tLineBreak::LF:
        return QStringLiteral("LF");
    case tLineBreak::CR:
        return QStringLiteral("CR");
    case tLineBreak::CRLF:
        return QStringLiteral("CR LF");
    case tLineBreak::None:
        break;
    }
    return {};
}

void DrawBreakMark(QPainter &painter, QPointF at, qreal rowHeight, bool rightToLeft, tLineBreak lineBreak,
                   const QFont &font, const QColor &color)
{
    const QString name = BreakMarkText(lineBreak);
    if (name.isEmpty())
        return;
    QFont small = font;
    small.setPointSizeF(std::max(5.0, font.pointSizeF() * 0.7));
    if (font.pointSizeF() <= 0)
        small.setPixelSize(std::max(6, qRound(rowHeight * 0.55)));
    const QFontMetricsF metrics(small);
    const qreal width = metrics.horizontalAdvance(name);
    const qreal gap = metrics.averageCharWidth() / 2;
    const qreal left = rightToLeft ? at.x() - gap - width : at.x() + gap;
    const QRectF box(left, at.y() + (rowHeight - metrics.height()) / 2, width, metrics.height());
    painter.save();
    painter.setFont(small);
    painter.setPen(color);
    painter.drawText(box, Qt::AlignCenter, name);
    painter.restore();
}
