// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewDecorations.h"

#include "editor/textengine/LineNumberGutter.h"
#include "editor/textengine/TextView.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// Pixels that differ from the colour at the widget's bottom-right corner
// (its background), in the band Top..Top+Height.
std::set<int> InkColumns(const QImage &image, int top, int height, QRgb background)
{
    std::set<int> columns;
    for (int y = std::max(0, top); y < std::min(image.height(), top + height); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background)
                columns.insert(x);
        }
    }
    return columns;
}

// Runs of columns holding Color somewhere in the band Top..Top+Height: a
// marked background shows in every column it covers, whatever glyph is on it.
int RunsOf(const QImage &image, int top, int height, QRgb color)
{
    int runs = 0;
    bool inside = false;
    for (int x = 0; x < image.width(); ++x) {
        bool on = false;
        for (int y = top; y < top + height && !on; ++y)
            on = image.pixel(x, y) == color;
        runs += on && !inside;
        inside = on;
    }
    return runs;
}

class ViewDecorationsTest : public ::testing::Test
{
protected:
    void Show(const QString &text, QSize size)
    {
        QPalette palette = View.palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        View.setPalette(palette);
        View.resize(size);
        View.buffer().SetText(text);
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    }
    QImage Viewport()
    {
        QApplication::processEvents();
        return View.viewport()->grab().toImage();
    }
    int RowHeight() const { return qRound(View.layouts().RowHeight()); }
    int LineRows(int line) { return const_cast<cLineLayouts &>(View.layouts()).LineRows(line); }

    cTextView View;
};

TEST_F(ViewDecorationsTest, GutterNumbersOnlyTheVisibleLinesAndAWrappedLineOnce)
{
    QString text;
    for (int i = 0; i < 100000; ++i)
        text +=
            i == 3 ? QString(QStringLiteral("wrapped words ")).repeated(10) + u'\n' : QStringLiteral("x\n");
    Show(text, {320, 240});
    View.setWordWrap(true);
    View.setViewOptions({.LineNumbers = true});
    QApplication::processEvents();
    const cLineNumberGutter *gutter = View.findChild<cLineNumberGutter *>();
    ASSERT_NE(gutter, nullptr);
    EXPECT_GE(View.viewport()->geometry().left(), gutter->geometry().right() + 1) << "text beside the gutter";
    EXPECT_GE(gutter->width(), gutter->fontMetrics().horizontalAdvance(QStringLiteral("100001")));

    const int h = RowHeight();
    const int height = View.viewport()->height();
    Viewport();
    std::vector<tNumberedRow> rows = gutter->Rows();
    ASSERT_GT(LineRows(3), 2);
    ASSERT_GT(rows.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].Line, int(i));
        const int expectedY = i == 0 ? 0 : rows[i - 1].Y + LineRows(rows[i - 1].Line) * h;
        EXPECT_EQ(rows[i].Y, expectedY) << "line " << i;
        EXPECT_LT(rows[i].Y, height) << "no number below the view";
    }
    EXPECT_GE(rows.back().Y + h, height) << "every line shown is numbered";

    // Painted: a number in each numbered row, nothing beside the wrapped
    // line's further rows.
    const QImage image = const_cast<cLineNumberGutter *>(gutter)->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    for (const tNumberedRow &row : rows)
        EXPECT_FALSE(InkColumns(image, row.Y + 1, h - 2, background).empty()) << "line " << row.Line;
    for (int extra = 1; extra < LineRows(3); ++extra)
        EXPECT_TRUE(InkColumns(image, rows[3].Y + extra * h + 1, h - 2, background).empty()) << extra;

    // At the end: the last lines, and only those.
    QTest::keyClick(&View, Qt::Key_End, Qt::ControlModifier);
    Viewport();
    rows = gutter->Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().Line, View.buffer().LineCount() - 1);
    EXPECT_LE(int(rows.size()), height / h + 1);
    EXPECT_LT(View.layouts().ShapedCount(), 200u) << "the rest of the text was not laid out";

    View.setViewOptions({});
    EXPECT_EQ(View.findChild<cLineNumberGutter *>(), nullptr);
    EXPECT_EQ(View.viewport()->geometry().left(), View.contentsRect().left());
}

TEST_F(ViewDecorationsTest, MatchesFollowCaseAndWholeWordAndOverlapTheRange)
{
    cTextBuffer buffer;
    buffer.SetText(QStringLiteral("foo Foo foobar _foo foo\nfoo"));
    using tMatches = std::vector<std::pair<int, int>>;
    EXPECT_EQ(MatchesAround(buffer, 0, buffer.Length(), {QStringLiteral("foo")}),
              (tMatches{{0, 3}, {4, 7}, {8, 11}, {16, 19}, {20, 23}, {24, 27}}));
    EXPECT_EQ(MatchesAround(buffer, 0, buffer.Length(), {QStringLiteral("foo"), true, true}),
              (tMatches{{0, 3}, {20, 23}, {24, 27}}));
    EXPECT_EQ(MatchesAround(buffer, 2, 21, {QStringLiteral("FOO"), false, true}),
              (tMatches{{0, 3}, {4, 7}, {20, 23}}))
        << "matches reaching into the range from either side count";
    EXPECT_TRUE(MatchesAround(buffer, 0, buffer.Length(), {QStringLiteral("foo\n")}).empty());
    EXPECT_EQ(MatchesAround(buffer, 0, buffer.Length(), {QStringLiteral("oo")}).size(), 6u);

    buffer.SetText(QStringLiteral("aaaa"));
    EXPECT_EQ(MatchesAround(buffer, 0, 4, {QStringLiteral("aa")}), (tMatches{{0, 2}, {2, 4}}))
        << "disjoint, as a find finds them one after another";
}

TEST_F(ViewDecorationsTest, HighlightMarksEveryVisibleMatchAndClearsOnEscapeAndEdit)
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("foo Foo foobar foo\n");
    Show(text, {400, 200});
    View.setFocus();
    const QRgb red = qRgb(255, 0, 0);
    auto visibleRuns = [&] {
        const QImage image = Viewport();
        const int h = RowHeight();
        std::vector<int> runs;
        for (int top = 0; top + h <= image.height(); top += h)
            runs.push_back(RunsOf(image, top, h, red));
        return runs;
    };
    View.setMatchHighlight({QStringLiteral("foo"), true, true}, Qt::blue, Qt::red);
    std::vector<int> runs = visibleRuns();
    ASSERT_GT(runs.size(), 3u);
    for (int count : runs)
        EXPECT_EQ(count, 2) << "the two whole, same-case words of each row";

    View.setMatchHighlight({QStringLiteral("foo"), false, false}, Qt::blue, Qt::red);
    QTest::keyClick(&View, Qt::Key_PageDown);
    runs = visibleRuns();
    for (int count : runs)
        EXPECT_EQ(count, 4) << "every match of each row after scrolling";

    QTest::keyClick(&View, Qt::Key_Escape);
    EXPECT_TRUE(View.matchHighlight().IsEmpty());
    for (int count : visibleRuns())
        EXPECT_EQ(count, 0);

    View.setMatchHighlight({QStringLiteral("foo")}, Qt::blue, Qt::red);
    QTest::keyClick(&View, Qt::Key_Right);
    EXPECT_FALSE(View.matchHighlight().IsEmpty()) << "moving the caret keeps them";
    QTest::keyClicks(&View, QStringLiteral("z"));
    EXPECT_TRUE(View.matchHighlight().IsEmpty()) << "an edit clears them";
    for (int count : visibleRuns())
        EXPECT_EQ(count, 0);
}

TEST_F(ViewDecorationsTest, WhitespaceMarksShowBlanksTabsAndEachLinesOwnBreak)
{
    Show(QString(), {400, 200});
    const QString line = QStringLiteral("a b\tc");
    const QChar mark(cTextBuffer::Mark);
    View.setReadOnly(true); // no caret blinking between the two pictures
    View.buffer().SetText(line + mark + line + mark + line + mark + line,
                          {tLineBreak::LF, tLineBreak::CRLF, tLineBreak::CR, tLineBreak::None});
    const QImage plain = Viewport();
    View.setViewOptions({.Whitespace = true});
    const QImage marked = Viewport();
    ASSERT_EQ(plain.size(), marked.size());
    const int h = RowHeight();
    auto xOf = [&](int column) {
        View.setCursorPosition(column);
        return View.cursorRect().left();
    };
    const int blankLeft = xOf(1), blankRight = xOf(2), tabLeft = xOf(3), tabRight = xOf(4), end = xOf(5);
    View.setCursorPosition(0);

    // Columns where the marked image differs, row by row, split at the line's end.
    struct tRowMarks
    {
        std::set<int> Inside;
        QImage Tail;
        int TailWidth = 0;
    };
    auto rowMarks = [&](int row) {
        tRowMarks marks;
        int tailLeft = INT_MAX, tailRight = -1;
        for (int y = row * h; y < (row + 1) * h; ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                if (plain.pixel(x, y) == marked.pixel(x, y))
                    continue;
                if (x < end) {
                    marks.Inside.insert(x);
                } else {
                    tailLeft = std::min(tailLeft, x);
                    tailRight = std::max(tailRight, x);
                }
            }
        }
        if (tailRight >= 0) {
            marks.TailWidth = tailRight - tailLeft + 1;
            marks.Tail = marked.copy(tailLeft, row * h, marks.TailWidth, h);
        }
        return marks;
    };
    const tRowMarks lf = rowMarks(0), crlf = rowMarks(1), cr = rowMarks(2), none = rowMarks(3);
    for (const tRowMarks *marks : {&lf, &crlf, &cr, &none}) {
        const auto inRange = [&](int a, int b) {
            return std::any_of(marks->Inside.begin(), marks->Inside.end(),
                               [&](int x) { return x >= a && x < b; });
        };
        EXPECT_TRUE(inRange(blankLeft, blankRight)) << "a mark on the blank";
        EXPECT_TRUE(inRange(tabLeft, tabRight)) << "a mark on the tab";
        EXPECT_FALSE(inRange(0, blankLeft - 1)) << "none on the letter before";
    }
    EXPECT_GT(lf.TailWidth, 0);
    EXPECT_GT(cr.TailWidth, 0);
    EXPECT_GT(crlf.TailWidth, std::max(lf.TailWidth, cr.TailWidth)) << "CR LF is named by both";
    EXPECT_NE(lf.Tail, cr.Tail) << "LF and CR look different";
    EXPECT_EQ(none.TailWidth, 0) << "the last line has no break";

    View.setViewOptions({});
    EXPECT_EQ(Viewport(), plain);
}

} // namespace
