// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

QString Words(int length, const QString &prefix)
{
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += prefix + QString::number(i) + u' ';
    text.truncate(length);
    return text;
}

// Short lines, a blank one, a line of several segments and right-to-left
// lines, wrapped and not: a position read back from its row and x is the
// same position, and moving by rows agrees with counting them.
TEST(ViewGeometry, PositionsAndRowsReadBackWhereTheyWerePut)
{
    cTextBuffer buffer;
    const QString hebrew = QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD ");
    buffer.SetText(QStringLiteral("first line\n\n") +
                   Words(3 * cLineLayouts::SegmentMax, QStringLiteral("w")) + QChar(cTextBuffer::Mark) +
                   hebrew.repeated(40) + QChar(cTextBuffer::Mark) +
                   hebrew.repeated(3 * cLineLayouts::SegmentMax / 5) + QStringLiteral("\nend"));
    cLineLayouts layouts(buffer);
    cViewGeometry geometry(buffer, layouts);
    geometry.SetViewportSize({300, 200});
    for (const bool wrap : {false, true}) {
        layouts.SetWrapWidth(wrap ? geometry.WrapWidth() : 0);
        std::vector<int> positions;
        for (int line = 0; line < buffer.LineCount(); ++line) {
            positions.push_back(buffer.LineStart(line));
            positions.push_back(buffer.LineEnd(line));
        }
        for (int pos = 1; pos < buffer.Length(); pos += 97)
            positions.push_back(pos);
        for (const int pos : positions) {
            // Rows are exact once the segment is shaped, which finding x does.
            const qreal x = geometry.XOfPosition(pos);
            const tViewRow row = geometry.RowOf(pos);
            // Qt's own hit test in a wrapped right-to-left row may land a unit
            // off; unwrapped, such a line still checks where its segments lie.
            if (wrap && layouts.RightToLeft(row.Line))
                continue;
            ASSERT_EQ(geometry.PositionAt(row, x), pos)
                << "wrap " << wrap << ", line " << row.Line << " row " << row.Row;
        }
        // Unwrapped, a line starts at the left, or at the right edge of the
        // text area (or of the line, when wider) if it runs right to left.
        for (int line = 0; !wrap && line < buffer.LineCount(); ++line) {
            const qreal end = geometry.XOfPosition(buffer.LineEnd(line));
            const qreal start = geometry.XOfPosition(buffer.LineStart(line));
            const qreal width = layouts.LineWidth(line);
            const qreal right = std::max<qreal>(geometry.WrapWidth(), width);
            const bool rtl = layouts.RightToLeft(line);
            EXPECT_NEAR(start, rtl ? right : 0, 1) << "line " << line;
            EXPECT_NEAR(end, rtl ? right - width : width, 1) << "line " << line;
        }
        const tViewRow top{0, 0};
        geometry.SetTop(top);
        const tViewRow end = geometry.RowOf(buffer.Length());
        for (int rows = 0;; rows += 7) {
            const tViewRow there = geometry.MoveRows(top, rows);
            ASSERT_EQ(geometry.RowsFromTop(there, INT_MAX),
                      std::min(rows, geometry.RowsFromTop(end, INT_MAX)))
                << "wrap " << wrap << ", " << rows << " rows down";
            if (there == end)
                break;
            ASSERT_EQ(geometry.MoveRows(there, -rows), top)
                << "wrap " << wrap << ", " << rows << " rows back";
        }
    }
}

} // namespace
