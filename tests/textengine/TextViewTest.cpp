// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextView.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QPageRanges>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

QString U(const char16_t *s)
{
    return QString::fromUtf16(s);
}

// The view's text with each paragraph mark as '\n'.
QString Plain(const cTextView &view)
{
    return view.buffer().Text(0, view.buffer().Length()).replace(QChar(cTextBuffer::Mark), u'\n');
}

// Words "w0 w1 ..." up to Length units, each word distinct.
QString Words(int length, const QString &prefix = QStringLiteral("w"))
{
    QString text;
    text.reserve(length + 16);
    for (int i = 0; text.size() < length; ++i)
        text += prefix + QString::number(i) + u' ';
    text.truncate(length);
    return text;
}

// Qt takes a drop only after the drag entered the widget.
void DropText(QWidget *viewport, QPoint at, const QString &text)
{
    QMimeData data;
    data.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
}

class TextViewTest : public ::testing::Test
{
protected:
    void Show(const QString &text, QSize size = {400, 300})
    {
        View.resize(size);
        View.buffer().SetText(text);
        View.show();
        QApplication::setActiveWindow(&View);
        View.setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&View));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&View, key, modifiers);
    }
    void Type(const QString &text) { QTest::keyClicks(&View, text); }
    // The centre of the caret put at Pos, in viewport coordinates.
    // The line of the top row shown.
    int TopLine() const { return View.buffer().LineFromPosition(View.cursorForPosition(QPoint(0, 0))); }
    QPoint PointOf(int pos)
    {
        View.setCursorPosition(pos);
        const QRect r = View.cursorRect();
        return {r.left(), r.center().y()};
    }
    int Caret() const { return View.cursorPosition(); }

    cTextView View;
};

// ---------------------------------------------------------------------------
// Caret moves

TEST_F(TextViewTest, ArrowsHomeEndAndDocumentKeysMoveAcrossLines)
{
    Show(QStringLiteral("ab\ncd"));
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), 2);
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), 3) << "past the paragraph mark to the next line";
    Key(Qt::Key_Left);
    EXPECT_EQ(Caret(), 2);
    Key(Qt::Key_Home);
    EXPECT_EQ(Caret(), 0);
    Key(Qt::Key_End);
    EXPECT_EQ(Caret(), 2);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Caret(), 5);
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), 5) << "nothing past the end";
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Caret(), 0);
    Key(Qt::Key_Left);
    EXPECT_EQ(Caret(), 0);
}

TEST_F(TextViewTest, UpAndDownKeepTheColumnAcrossAShortLine)
{
    Show(QStringLiteral("abcdef\nab\nabcdef"));
    View.setCursorPosition(5);
    Key(Qt::Key_Down);
    EXPECT_EQ(Caret(), 9) << "the end of the short line";
    Key(Qt::Key_Down);
    EXPECT_EQ(Caret(), 15) << "back at the first column";
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(Caret(), 5);
    Key(Qt::Key_Up);
    EXPECT_EQ(Caret(), 0) << "up from the first row goes to the start";
}

TEST_F(TextViewTest, WordMovesStopAtWordStartsAndLineEnds)
{
    Show(QStringLiteral("one two, three\nfour"));
    std::vector<int> right;
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Right, Qt::ControlModifier);
        right.push_back(Caret());
    }
    EXPECT_EQ(right, (std::vector<int>{4, 9, 14, 15, 19}));
    std::vector<int> left;
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Left, Qt::ControlModifier);
        left.push_back(Caret());
    }
    EXPECT_EQ(left, (std::vector<int>{15, 14, 9, 4, 0}));
}

TEST_F(TextViewTest, PageDownMovesCaretAndViewByAScreenful)
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    Show(text);
    Key(Qt::Key_PageDown);
    const int line = View.buffer().LineFromPosition(Caret());
    EXPECT_GT(line, 5);
    EXPECT_GT(TopLine(), 0);
    EXPECT_GE(View.cursorRect().top(), 0);
    EXPECT_LE(View.cursorRect().bottom(), View.viewport()->height());
    Key(Qt::Key_PageUp);
    EXPECT_EQ(View.buffer().LineFromPosition(Caret()), 0);
    EXPECT_EQ(TopLine(), 0);
}

TEST_F(TextViewTest, DeletingTheEndDoesNotLeaveTheViewScrolledPastIt)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    Show(text);
    Key(Qt::Key_End, Qt::ControlModifier);
    const int top = TopLine();
    EXPECT_GT(top, 250);
    // A change by the program, which does not move the view to the caret.
    View.buffer().Delete(View.buffer().LineStart(100), View.buffer().Length() - View.buffer().LineStart(100));
    EXPECT_LE(TopLine(), 100);
    EXPECT_EQ(View.verticalScrollBar()->value(), TopLine());
}

TEST_F(TextViewTest, CaretKeptVisibleWhenMovingFarAway)
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    text += Words(5000);
    Show(text);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_GT(TopLine(), 4900);
    EXPECT_GT(View.horizontalScrollBar()->value(), 0) << "the end of the long last line is shown";
    const QRect caret = View.cursorRect();
    EXPECT_TRUE(View.viewport()->rect().intersects(caret));
}

// ---------------------------------------------------------------------------
// Selection

TEST_F(TextViewTest, ShiftMovesSelectAndPlainMovesCollapse)
{
    Show(QStringLiteral("hello world\nsecond"));
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(View.selectedText(), QStringLiteral("he"));
    Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(View.selectedText(), QStringLiteral("hello "));
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(View.anchorPosition(), 0);
    EXPECT_EQ(View.buffer().LineFromPosition(Caret()), 1);
    EXPECT_TRUE(View.selectedText().contains(QChar(u'\r'))) << "marks read back as CR";
    Key(Qt::Key_Left);
    EXPECT_FALSE(View.hasSelection());
    EXPECT_EQ(Caret(), 0) << "Left collapses to the selection's start";
    Key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(View.selectionEnd(), View.buffer().Length());
}

TEST_F(TextViewTest, TypingReplacesTheSelectionAndSelectAllTakesEverything)
{
    Show(QStringLiteral("abc\ndef"));
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View.selectionStart(), 0);
    EXPECT_EQ(View.selectionEnd(), 7);
    Type(QStringLiteral("x"));
    EXPECT_EQ(Plain(View), QStringLiteral("x"));
    Key(Qt::Key_Return);
    Type(QStringLiteral("y"));
    EXPECT_EQ(Plain(View), QStringLiteral("x\ny"));
    EXPECT_EQ(View.buffer().LineCount(), 2);
}

// ---------------------------------------------------------------------------
// Characters beyond one unit

TEST_F(TextViewTest, SurrogatePairsAndClustersAreOneStep)
{
    Show(U(u"a\U0001F600b"));
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), 3) << "never inside the pair";
    Key(Qt::Key_Left);
    EXPECT_EQ(Caret(), 1);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Plain(View), QStringLiteral("ab"));
    View.buffer().SetText(U(u"x\U0001F600"));
    Key(Qt::Key_End);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Plain(View), QStringLiteral("x")) << "Backspace takes the whole pair";

    View.buffer().SetText(U(u"e\u0301x"));
    Key(Qt::Key_Right);
    EXPECT_EQ(Caret(), 2) << "a base and its combining mark are one step";
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Plain(View), QStringLiteral("ex")) << "Backspace takes the mark alone";
    View.buffer().SetText(U(u"e\u0301x"));
    Key(Qt::Key_Delete);
    EXPECT_EQ(Plain(View), QStringLiteral("x")) << "Delete takes the cluster";
}

TEST_F(TextViewTest, SpecialCharactersAreTextNotBreaks)
{
    Show(U(u"a\u2029b\u2028c\ufdd0d"));
    EXPECT_EQ(View.buffer().LineCount(), 1);
    Key(Qt::Key_End);
    EXPECT_EQ(Caret(), 7);
}

// ---------------------------------------------------------------------------
// Modes

TEST_F(TextViewTest, OverwriteReplacesButAppendsAtTheLineEnd)
{
    Show(QStringLiteral("abc\nd"));
    View.setOverwriteMode(true);
    Type(QStringLiteral("XY"));
    EXPECT_EQ(Plain(View), QStringLiteral("XYc\nd"));
    Key(Qt::Key_End);
    Type(QStringLiteral("Z"));
    EXPECT_EQ(Plain(View), QStringLiteral("XYcZ\nd")) << "the paragraph mark is never overwritten";
    View.setSelection(0, 2);
    Type(QStringLiteral("q"));
    EXPECT_EQ(Plain(View), QStringLiteral("qcZ\nd")) << "a selection is replaced whole";
    EXPECT_GT(View.cursorRect().width(), 1) << "a block caret";
}

TEST_F(TextViewTest, TabTypesATabUnlessItChangesFocus)
{
    Show(QStringLiteral("ab"));
    Key(Qt::Key_Tab);
    EXPECT_EQ(Plain(View), QStringLiteral("\tab"));
    View.setTabChangesFocus(true);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Plain(View), QStringLiteral("\tab"));
}

TEST_F(TextViewTest, ReadOnlyRefusesEveryEditButMovesAndCopies)
{
    Show(QStringLiteral("abc"));
    View.setReadOnly(true);
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    Type(QStringLiteral("xy"));
    Key(Qt::Key_Delete);
    Key(Qt::Key_Return);
    Key(Qt::Key_V, Qt::ControlModifier);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("im"));
    QApplication::sendEvent(&View, &commit);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Caret(), 1);
    Key(Qt::Key_X, Qt::ControlModifier);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Plain(View), QStringLiteral("abc"));
    EXPECT_FALSE(View.isModified());
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a"));
    EXPECT_FALSE(View.inputMethodQuery(Qt::ImEnabled).toBool());
}

TEST_F(TextViewTest, WordWrapFollowsTheWidthAndNeverScrollsSideways)
{
    Show(Words(600) + QStringLiteral("\nnext"), {250, 200});
    const int firstLineEnd = View.buffer().LineEnd(0);
    QApplication::processEvents(); // the horizontal extent is that of the lines shown
    Key(Qt::Key_Down);
    EXPECT_EQ(View.buffer().LineFromPosition(Caret()), 1) << "unwrapped, Down goes to the next line";
    EXPECT_GT(View.horizontalScrollBar()->maximum(), 0);

    View.setCursorPosition(0);
    View.setWordWrap(true);
    EXPECT_EQ(View.horizontalScrollBar()->maximum(), 0);
    Key(Qt::Key_Down);
    EXPECT_GT(Caret(), 0);
    EXPECT_LT(Caret(), firstLineEnd) << "wrapped, Down goes to the next row of the same line";
    EXPECT_GT(View.cursorRect().top(), 0);
    EXPECT_LE(View.cursorRect().right(), View.viewport()->width());
    const int rowTop = View.cursorRect().top();
    Key(Qt::Key_End);
    EXPECT_LT(Caret(), firstLineEnd) << "End goes to the end of the row";
    EXPECT_EQ(View.cursorRect().top(), rowTop) << "and stays on it";
    EXPECT_EQ(View.buffer().At(Caret()), u' ');
    Key(Qt::Key_Home);
    EXPECT_GT(Caret(), 0) << "Home goes to the start of the row";
    EXPECT_EQ(View.cursorRect().top(), rowTop);
    Key(Qt::Key_End);
    const int rowEnd = Caret();
    Key(Qt::Key_Home);
    const QPoint pastRowEnd(View.viewport()->width() - 2, View.cursorRect().center().y());
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, pastRowEnd);
    EXPECT_EQ(Caret(), rowEnd) << "a click past a row's end stays on the row";
    Key(Qt::Key_End, Qt::ControlModifier);
    Key(Qt::Key_Up);
    Key(Qt::Key_End);
    EXPECT_EQ(Caret(), firstLineEnd) << "the line's last row ends at the line's end";
    EXPECT_LE(View.cursorRect().right(), View.viewport()->width());
    EXPECT_GT(View.verticalScrollBar()->value(), 0) << "the line's end is scrolled into view";

    View.resize(500, 200);
    QApplication::processEvents();
    EXPECT_LE(View.cursorRect().bottom(), View.viewport()->height() + View.cursorRect().height());
}

// Line and paragraph separators inside a line are marks on its one row,
// wrapped or not; the next line is on the next row.
TEST_F(TextViewTest, SeparatorsInsideALineStayOnItsRow)
{
    Show(U(u"LS\u2028PS\u2029end\nnext"));
    for (const auto mode : {false, true}) {
        View.setWordWrap(mode);
        const QRect first = QRect(PointOf(0), QSize(1, 1));
        EXPECT_EQ(PointOf(3).y(), first.y()) << "wrap " << mode;
        EXPECT_EQ(PointOf(9).y(), first.y()) << "wrap " << mode;
        EXPECT_GT(PointOf(3).x(), PointOf(2).x()) << "the separator shows, wrap " << mode;
        EXPECT_GT(PointOf(6).x(), PointOf(5).x()) << "the separator shows, wrap " << mode;
        EXPECT_EQ(PointOf(10).y() - first.y(), View.cursorRect().height()) << "wrap " << mode;
        EXPECT_EQ(View.layouts().RowHeight(), View.cursorRect().height());
    }
}

// Rows of a wrapped line fill the width across the cuts between its
// segments as they do in a short line: only the last row ends short.
TEST_F(TextViewTest, WrappedRowsFillTheWidthAcrossSegments)
{
    const QString line = Words(6 * cLineLayouts::SegmentTarget);
    Show(line + QStringLiteral("\nnext"), {300, 200});
    View.setWordWrap(true);
    // The widest word and its blank may go to the next row; nothing more.
    const QFontMetricsF metrics(View.font());
    const qreal slack = metrics.horizontalAdvance(QStringLiteral("w99999 ")) + 2;
    const qreal fullRow = View.viewport()->width() - slack - 8;
    int rows = 0, shortRows = 0;
    for (int previous = -1; Caret() < View.buffer().LineEnd(0); ++rows) {
        ASSERT_GT(Caret(), previous) << "row " << rows;
        previous = Caret();
        Key(Qt::Key_End);
        if (Caret() < View.buffer().LineEnd(0) && View.cursorRect().x() < fullRow && ++shortRows < 4)
            ADD_FAILURE() << "row " << rows << " ends at x " << View.cursorRect().x() << " after \""
                          << View.buffer().Text(Caret() - 10, Caret()).toStdString() << "\"";
        Key(Qt::Key_Home);
        Key(Qt::Key_Down);
    }
    EXPECT_EQ(shortRows, 0);
    EXPECT_GT(rows, 6 * cLineLayouts::SegmentTarget / 60);
}

// Tab stops are eight average characters of the font, whatever its size.
TEST_F(TextViewTest, TabStopsFollowTheFont)
{
    Show(QStringLiteral("a\tb"), {1000, 300});
    for (const int points : {9, 40, 72}) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(points);
        View.setFont(font);
        const qreal average = QFontMetricsF(font).averageCharWidth();
        EXPECT_DOUBLE_EQ(View.tabStopDistance(), 8 * average) << points << " pt";
        const int tab = PointOf(2).x() - PointOf(0).x();
        EXPECT_NEAR(tab, 8 * average, 2) << points << " pt";
    }
    View.setTabStopDistance(50);
    View.setFont(QFont(QStringLiteral("DejaVu Sans"), 20));
    EXPECT_EQ(View.tabStopDistance(), 50) << "a distance set stays";
}

// The columns of a row that have ink, in viewport pixels.
std::pair<int, int> InkColumns(QWidget *viewport, int top, int bottom)
{
    const QImage image = viewport->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int left = image.width(), right = -1;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

// A right-to-left line is drawn against the right edge, wrapped or not, and
// its caret goes the way the arrows point: Left goes on through the text.
TEST_F(TextViewTest, RightToLeftLinesStartAtTheRightAndArrowsFollowTheScreen)
{
    const QString hebrew = U(u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD");
    Show(hebrew + QStringLiteral("\nabc"), {400, 200});
    for (const auto mode : {false, true}) {
        View.setWordWrap(mode);
        Key(Qt::Key_Home, Qt::ControlModifier);
        QApplication::processEvents();
        const int rowHeight = View.cursorRect().height();
        const int width = View.viewport()->width();
        const auto [left, right] = InkColumns(View.viewport(), 0, rowHeight);
        EXPECT_GT(left, width / 2) << "wrap " << mode;
        EXPECT_GT(right, width - 12) << "wrap " << mode;
        const auto [latinLeft, latinRight] = InkColumns(View.viewport(), rowHeight, 2 * rowHeight);
        EXPECT_LT(latinLeft, 12) << "the Latin line stays at the left, wrap " << mode;

        EXPECT_GT(View.cursorRect().x(), width - 12) << "the line starts at the right, wrap " << mode;
        int x = View.cursorRect().x();
        for (int i = 1; i <= 4; ++i) {
            Key(Qt::Key_Left);
            EXPECT_EQ(Caret(), i) << "Left goes on through the text, wrap " << mode;
            EXPECT_LT(View.cursorRect().x(), x) << "and to the left on the screen, wrap " << mode;
            x = View.cursorRect().x();
        }
        Key(Qt::Key_Right);
        EXPECT_EQ(Caret(), 3) << "wrap " << mode;
        Key(Qt::Key_End);
        EXPECT_EQ(Caret(), int(hebrew.size())) << "End is the line's logical end, wrap " << mode;
        EXPECT_LT(View.cursorRect().x(), left + 4) << "at its left on the screen, wrap " << mode;
        Key(Qt::Key_Home);
        EXPECT_EQ(Caret(), 0) << "wrap " << mode;
        // A click at the right edge is the line's start.
        QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, QPoint(width - 3, rowHeight / 2));
        EXPECT_EQ(Caret(), 0) << "wrap " << mode;
        QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, QPoint(left - 20, rowHeight / 2));
        EXPECT_EQ(Caret(), int(hebrew.size())) << "wrap " << mode;
    }
}

// ---------------------------------------------------------------------------
// Long lines: cost follows the screen, not the line

TEST_F(TextViewTest, KeysInTheMiddleOfATenMegabyteLine)
{
    const QString line = Words(10'000'000);
    Show(line);
    for (const auto mode : {false, true}) {
        View.setWordWrap(mode);
        const int middle = View.buffer().Length() / 2;
        View.setCursorPosition(middle);
        View.ensureCursorVisible();
        View.viewport()->repaint();
        const quint64 shaped = View.layouts().ShapedCount();
        for (int i = 0; i < 10; ++i) {
            Type(QStringLiteral("x"));
            View.viewport()->repaint();
        }
        Key(Qt::Key_Left);
        Key(Qt::Key_Left, Qt::ShiftModifier);
        Key(Qt::Key_Down);
        Key(Qt::Key_Up);
        View.viewport()->repaint();
        // The widget this replaces did not handle one key within a minute: it
        // laid out the whole line, thousands of segments, on each.
        EXPECT_LT(View.layouts().ShapedCount() - shaped, 100u) << "wrap " << mode;
        EXPECT_EQ(View.buffer().Text(middle, middle + 10), QStringLiteral("xxxxxxxxxx"));
        EXPECT_EQ(View.buffer().LineCount(), 1);
        EXPECT_TRUE(View.viewport()->rect().intersects(View.cursorRect()));
    }
}

TEST_F(TextViewTest, UpAndDownCrossTheSegmentsOfAWrappedLongLineRowByRow)
{
    Show(Words(3 * cLineLayouts::SegmentMax), {300, 200});
    View.setWordWrap(true);
    std::vector<int> down{Caret()};
    while (down.back() < View.buffer().Length() - 100) {
        Key(Qt::Key_Down);
        ASSERT_GT(Caret(), down.back()) << "after " << down.size() << " rows";
        ASSERT_LT(Caret() - down.back(), 100) << "one row at a time";
        down.push_back(Caret());
    }
    EXPECT_GT(View.verticalScrollBar()->value(), 0);
    for (size_t i = down.size() - 1; i-- > 0;) {
        Key(Qt::Key_Up);
        ASSERT_EQ(Caret(), down[i]) << "back up, row " << i;
    }
}

TEST_F(TextViewTest, TheCaretStaysInViewAlongAnUnwrappedLongLine)
{
    Show(Words(3 * cLineLayouts::SegmentMax) + QStringLiteral("\nnext"), {300, 200});
    const QRect area = View.viewport()->rect();
    Key(Qt::Key_End);
    View.viewport()->repaint();
    EXPECT_TRUE(area.contains(View.cursorRect().center()));
    for (int i = 0; i < 3; ++i) {
        // Word by word across the cut between two segments and back.
        View.setCursorPosition(View.buffer().LineEnd(0) / 3 * (i + 1) - 20);
        View.ensureCursorVisible();
        for (int step = 0; step < 8; ++step) {
            Key(Qt::Key_Right, Qt::ControlModifier);
            View.viewport()->repaint();
            ASSERT_TRUE(area.contains(View.cursorRect().center())) << "step " << step;
        }
    }
    Key(Qt::Key_Home);
    EXPECT_EQ(View.horizontalScrollBar()->value(), 0);
    EXPECT_TRUE(area.contains(View.cursorRect().center()));
}

TEST_F(TextViewTest, NothingShapesMoreThanTheScreenShows)
{
    QString text;
    for (int i = 0; i < 200000; ++i)
        text += QStringLiteral("line number %1 of many\n").arg(i);
    Show(text);
    // A screenful is a few dozen rows; the whole text would be 200 000.
    auto shapedBy = [this](auto step) {
        const quint64 before = View.layouts().ShapedCount();
        step();
        QApplication::processEvents();
        View.viewport()->repaint();
        return View.layouts().ShapedCount() - before;
    };
    EXPECT_LT(shapedBy([] {}), 200u) << "showing";
    EXPECT_LT(shapedBy([this] { View.resize(500, 400); }), 200u) << "resizing";
    EXPECT_LT(shapedBy([this] { View.setFont(QFont(QStringLiteral("Monospace"), 14)); }), 200u) << "a font";
    EXPECT_LT(shapedBy([this] { View.setWordWrap(true); }), 300u) << "wrapping";
    EXPECT_LT(shapedBy([this] { View.resize(300, 400); }), 300u) << "rewrapping";
    EXPECT_LT(shapedBy([this] { Key(Qt::Key_End, Qt::ControlModifier); }), 300u) << "the end";
    EXPECT_LT(
        shapedBy([this] { View.verticalScrollBar()->setValue(View.verticalScrollBar()->maximum() / 2); }),
        300u)
        << "the middle";
    EXPECT_LT(shapedBy([this] { Type(QStringLiteral("abc")); }), 300u) << "typing";
}

// ---------------------------------------------------------------------------
// Input method

TEST_F(TextViewTest, CompositionShowsWithoutTouchingTheTextUntilCommitted)
{
    Show(QStringLiteral("ab"));
    View.setCursorPosition(1);
    QSignalSpy changed(&View, &cTextView::textChanged);
    QInputMethodEvent preedit(QStringLiteral("ni"), {{QInputMethodEvent::Cursor, 2, 1, {}}});
    QApplication::sendEvent(&View, &preedit);
    EXPECT_EQ(Plain(View), QStringLiteral("ab"));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(View.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("ab"));
    EXPECT_EQ(View.inputMethodQuery(Qt::ImCursorPosition).toInt(), 1);
    const QRect composing = View.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    View.viewport()->repaint();

    QInputMethodEvent commit;
    commit.setCommitString(U(u"\u4f60"));
    QApplication::sendEvent(&View, &commit);
    EXPECT_EQ(Plain(View), U(u"a\u4f60b"));
    EXPECT_EQ(Caret(), 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_GT(composing.left(), View.inputMethodQuery(Qt::ImCursorRectangle).toRect().left() - 40);

    QInputMethodEvent replace;
    replace.setCommitString(QStringLiteral("Z"), -1, 1);
    QApplication::sendEvent(&View, &replace);
    EXPECT_EQ(Plain(View), QStringLiteral("aZb")) << "a commit may replace text before the caret";
}

// ---------------------------------------------------------------------------
// Mouse

TEST_F(TextViewTest, ClickDragDoubleAndTripleClick)
{
    Show(QStringLiteral("alpha beta\ngamma"));
    const QPoint at3 = PointOf(3), at8 = PointOf(8), at13 = PointOf(13);
    View.setCursorPosition(0);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, at8);
    EXPECT_EQ(Caret(), 8);
    QTest::mouseClick(View.viewport(), Qt::LeftButton, Qt::ShiftModifier, at13);
    EXPECT_EQ(View.anchorPosition(), 8);
    EXPECT_EQ(Caret(), 13);

    QTest::mousePress(View.viewport(), Qt::LeftButton, {}, at3);
    QTest::mouseMove(View.viewport(), at8);
    QTest::mouseRelease(View.viewport(), Qt::LeftButton, {}, at8);
    EXPECT_EQ(View.selectedText(), QStringLiteral("ha be"));

    View.setCursorPosition(0);
    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, at8);
    EXPECT_EQ(View.selectedText(), QStringLiteral("beta"));
    QTest::mouseClick(View.viewport(), Qt::LeftButton, {}, at8);
    EXPECT_EQ(View.selectedText(), QStringLiteral("alpha beta\r"))
        << "a third click takes the line and its mark";

    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, at8);
    QTest::mouseMove(View.viewport(), at3);
    QTest::mouseRelease(View.viewport(), Qt::LeftButton, {}, at3);
    EXPECT_EQ(View.selectedText(), QStringLiteral("alpha beta"))
        << "dragging after a double-click takes words";
}

TEST_F(TextViewTest, WheelScrollsByRows)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    Show(text);
    const QPoint centre = View.viewport()->rect().center();
    QWheelEvent wheel(centre, View.viewport()->mapToGlobal(centre), {}, {0, -120}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View.viewport(), &wheel);
    EXPECT_EQ(TopLine(), QApplication::wheelScrollLines());
    EXPECT_EQ(View.verticalScrollBar()->value(), TopLine());
    View.verticalScrollBar()->setValue(100);
    EXPECT_EQ(TopLine(), 100);
    EXPECT_EQ(Caret(), 0) << "scrolling leaves the caret";
}

// ---------------------------------------------------------------------------
// Handlers: every clipboard, undo and drop path reaches an overridable one

class cCountingView : public cTextView
{
public:
    int Cuts = 0, Copies = 0, Pastes = 0, Undos = 0, Redos = 0, Inserts = 0;
    void cut() override { ++Cuts; }
    void copy() override { ++Copies; }
    void paste() override { ++Pastes; }
    void undo() override { ++Undos; }
    void redo() override { ++Redos; }
    using cTextView::createStandardContextMenu;

protected:
    void insertFromMimeData(const QMimeData *) override { ++Inserts; }
};

TEST(TextViewHandlers, KeysMenuAndDropsGoThroughTheVirtualHandlers)
{
    cCountingView view;
    view.resize(300, 200);
    view.buffer().SetText(QStringLiteral("some text"));
    view.show();
    view.setSelection(0, 4);
    for (const QKeySequence::StandardKey key : {QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste,
                                                QKeySequence::Undo, QKeySequence::Redo}) {
        for (const QKeySequence &sequence : QKeySequence::keyBindings(key))
            QTest::keySequence(&view, sequence);
    }
    QTest::keyClick(&view, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_GE(view.Cuts, 2) << "Ctrl+X and Shift+Delete";
    EXPECT_GE(view.Copies, 2) << "Ctrl+C and Ctrl+Insert";
    EXPECT_GE(view.Pastes, 3) << "Ctrl+V and Shift+Insert";
    EXPECT_GE(view.Undos, 1);
    EXPECT_GE(view.Redos, 1);
    EXPECT_EQ(Plain(view), QStringLiteral("some text"));

    view.setUndoAvailable(true);
    view.setRedoAvailable(true);
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    const std::unique_ptr<QMenu> menu(view.createStandardContextMenu());
    const int before = view.Cuts + view.Copies + view.Pastes + view.Undos + view.Redos;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator() && !action->text().contains(QStringLiteral("All")))
            action->trigger();
    }
    EXPECT_EQ(view.Cuts + view.Copies + view.Pastes + view.Undos + view.Redos, before + 5);

    const QPoint at = view.viewport()->rect().center();
    DropText(view.viewport(), at, QStringLiteral("dropped"));
    EXPECT_EQ(view.Inserts, 1);
    EXPECT_EQ(Plain(view), QStringLiteral("some text"));

    if (QGuiApplication::clipboard()->supportsSelection()) {
        QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, at);
        EXPECT_EQ(view.Inserts, 2);
    }
}

TEST(TextViewHandlers, EditingKeysAreNotTakenByShortcuts)
{
    cTextView view;
    for (const QKeySequence::StandardKey key :
         {QKeySequence::Copy, QKeySequence::SelectAll, QKeySequence::MoveToNextWord}) {
        const QKeyCombination combination = QKeySequence::keyBindings(key).first()[0];
        QKeyEvent override(QEvent::ShortcutOverride, combination.key(), combination.keyboardModifiers());
        override.ignore();
        QApplication::sendEvent(&view, &override);
        EXPECT_TRUE(override.isAccepted()) << QKeySequence(key).toString().toStdString();
    }
    QKeyEvent function(QEvent::ShortcutOverride, Qt::Key_F3, Qt::NoModifier);
    function.ignore();
    QApplication::sendEvent(&view, &function);
    EXPECT_FALSE(function.isAccepted());
}

TEST_F(TextViewTest, TextDroppedFromOutsideIsInsertedWhereItFallsAndSelected)
{
    Show(QStringLiteral("one two three"));
    const QPoint at = PointOf(4);
    View.setCursorPosition(0);
    DropText(View.viewport(), at, QStringLiteral("new "));
    EXPECT_EQ(Plain(View), QStringLiteral("one new two three"));
    EXPECT_EQ(View.selectedText(), QStringLiteral("new "));

    // Files are for the window to open, not text; a read-only view takes nothing.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    files.setText(QStringLiteral("/tmp/a.txt"));
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    View.setReadOnly(true);
    DropText(View.viewport(), at, QStringLiteral("more "));
    EXPECT_EQ(Plain(View), QStringLiteral("one new two three"));
}

// ---------------------------------------------------------------------------
// Undo

TEST_F(TextViewTest, UndoTakesBackTypingRunsPastesAndDeletionsAsUsersExpect)
{
    Show(QStringLiteral("start"));
    QSignalSpy undoAvailable(&View, &cTextView::undoAvailable);
    Key(Qt::Key_End);
    Type(QStringLiteral(" one"));
    Key(Qt::Key_Home);
    Type(QStringLiteral("two "));
    QGuiApplication::clipboard()->setText(QStringLiteral("P"));
    Key(Qt::Key_V, Qt::ControlModifier);
    Type(QStringLiteral("x"));
    EXPECT_EQ(Plain(View), QStringLiteral("two Pxstart one"));
    EXPECT_EQ(undoAvailable.count(), 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("two Pstart one")) << "typing after a paste is its own step";
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("two start one")) << "a paste is its own step";
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("start one")) << "a moved caret starts a new run";
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("start"));
    EXPECT_FALSE(View.undoRecord()->CanUndo());
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("start one"));
    EXPECT_EQ(Caret(), 9);

    View.setSelection(0, 5);
    Key(Qt::Key_Delete);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("start one"));
    EXPECT_EQ(View.selectedText(), QStringLiteral("start")) << "the text put back is selected";
    View.setReadOnly(true);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("start one"));
}

TEST_F(TextViewTest, SettingTheTextLeavesNothingToUndo)
{
    Show(QStringLiteral("a"));
    Type(QStringLiteral("bc"));
    View.buffer().SetText(QStringLiteral("new"));
    EXPECT_FALSE(View.undoRecord()->CanUndo());
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Plain(View), QStringLiteral("new"));
}

// ---------------------------------------------------------------------------
// Marks, signals, idle

TEST_F(TextViewTest, ColorMarksFollowEditsAndLeaveTheTextAlone)
{
    Show(QStringLiteral("find the word here"));
    View.setColorMarks({{9, 13, QColor(Qt::yellow), QColor(Qt::black)}});
    View.viewport()->repaint();
    View.setCursorPosition(0);
    Type(QStringLiteral("xx"));
    ASSERT_EQ(View.colorMarks().size(), 1u);
    EXPECT_EQ(View.colorMarks()[0].Start, 11);
    EXPECT_EQ(View.colorMarks()[0].End, 15);
    EXPECT_EQ(Plain(View), QStringLiteral("xxfind the word here"));
    View.setSelection(10, 16);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(View.colorMarks().empty()) << "a mark whose text went goes too";
}

TEST_F(TextViewTest, SignalsTellEachChangeOnce)
{
    Show(QStringLiteral("ab"));
    QSignalSpy text(&View, &cTextView::textChanged);
    QSignalSpy caret(&View, &cTextView::cursorPositionChanged);
    QSignalSpy modified(&View, &cTextView::modificationChanged);
    QSignalSpy copy(&View, &cTextView::copyAvailable);
    QSignalSpy selection(&View, &cTextView::selectionChanged);
    Type(QStringLiteral("xy"));
    EXPECT_EQ(text.count(), 2);
    EXPECT_EQ(caret.count(), 2);
    EXPECT_EQ(modified.count(), 1);
    EXPECT_TRUE(View.isModified());
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(copy.count(), 1);
    EXPECT_EQ(selection.count(), 1);
    View.setModified(false);
    EXPECT_EQ(modified.count(), 2);
}

TEST_F(TextViewTest, NoTimerRunsWithoutFocus)
{
    Show(QStringLiteral("text"));
    Type(QStringLiteral("x"));
    auto timers = [this] { return QAbstractEventDispatcher::instance()->registeredTimers(&View).size(); };
    View.clearFocus();
    QWidget other;
    other.show();
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(timers(), 0);
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    View.setFocus();
    Type(QStringLiteral("y"));
    EXPECT_EQ(timers(), 0) << "a flash time of 0 means a steady caret";
    QGuiApplication::styleHints()->setCursorFlashTime(flash);
}

// ---------------------------------------------------------------------------
// Printing

// The words pdftotext reads back from a PDF printed by the view.
QSet<QString> PrintedWords(cTextView &view, const QString &dir, const QPageRanges &pages = {})
{
    const QString pdf = dir + QStringLiteral("/out.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageRanges(pages);
        view.print(&writer);
    }
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    // Ligatures (fi) come back as one character.
    const QString text =
        QString::fromUtf8(process.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return QSet<QString>(words.begin(), words.end());
}

TEST(TextViewPrinting, OnlyThePagesAskedForArePrinted)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    cTextView view;
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("line%1\n").arg(i);
    view.buffer().SetText(text);
    const QSet<QString> all = PrintedWords(view, dir.path(), {});
    EXPECT_TRUE(all.contains(QStringLiteral("line0")));
    EXPECT_TRUE(all.contains(QStringLiteral("line399")));
    QPageRanges second;
    second.addPage(2);
    const QSet<QString> page2 = PrintedWords(view, dir.path(), second);
    EXPECT_FALSE(page2.contains(QStringLiteral("line0")));
    EXPECT_FALSE(page2.contains(QStringLiteral("line399")));
    EXPECT_FALSE(page2.isEmpty());
    EXPECT_LT(page2.size(), all.size() / 2);
}

// What pdftotext reads back from the view printed to PDF, row by row.
QStringList PrintedRows(cTextView &view, const QString &dir)
{
    const QString pdf = dir + QStringLiteral("/rows.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        view.print(&writer);
    }
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC)
        .split(QRegularExpression(QStringLiteral("[\n\f]")), Qt::SkipEmptyParts);
}

// The page wraps every line whether the view wraps or not: both print the
// same rows, and no word is lost at the page's edge.
TEST(TextViewPrinting, EveryWordOfALongLineIsPrintedWrapOnAndOff)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    cTextView view;
    view.resize(300, 200);
    const QString line = Words(30000, QStringLiteral("long")).trimmed();
    view.buffer().SetText(QStringLiteral("first line\n") + line + QStringLiteral("\n\tlast"));
    view.show();
    const QStringList expected = (QStringLiteral("first line last ") + line).split(u' ', Qt::SkipEmptyParts);
    view.setWordWrap(false);
    const QStringList unwrapped = PrintedRows(view, dir.path());
    view.setWordWrap(true);
    ASSERT_TRUE(view.layouts().Wraps());
    EXPECT_EQ(PrintedRows(view, dir.path()), unwrapped);
    const QStringList words = unwrapped.join(u' ').split(QRegularExpression(QStringLiteral("\\s+")));
    const QSet<QString> printed(words.begin(), words.end());
    int missing = 0;
    for (const QString &word : expected) {
        if (!printed.contains(word) && ++missing < 5)
            ADD_FAILURE() << "missing " << word.toStdString();
    }
    EXPECT_EQ(missing, 0);
}

// A long line prints in rows as full as a short line's; separators inside a
// line print on its row.
TEST(TextViewPrinting, RowsOfALongLineAreFullAcrossSegments)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    cTextView view;
    view.buffer().SetText(U(u"LS\u2028PS\u2029end\n") + Words(100000).trimmed());
    QStringList rows = PrintedRows(view, dir.path());
    ASSERT_GT(rows.size(), 100);
    EXPECT_TRUE(rows.first().contains(QStringLiteral("LS")) && rows.first().contains(QStringLiteral("end")))
        << rows.first().toStdString();
    rows.removeFirst();
    rows.removeLast();
    std::vector<qsizetype> lengths;
    for (const QString &row : rows)
        lengths.push_back(row.trimmed().size());
    std::vector<qsizetype> sorted = lengths;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype median = sorted[sorted.size() / 2];
    // A row may end one word (up to "w99999 ") earlier than another, and
    // proportional glyphs differ in width; a cut row was 10 to 80 long.
    int shortRows = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] < median * 3 / 4 && ++shortRows < 4)
            ADD_FAILURE() << "row " << i << " of " << lengths[i] << " (median " << median
                          << "): " << rows[qsizetype(i)].toStdString();
    }
    EXPECT_EQ(shortRows, 0);
}

// A right-to-left line prints against the right edge of the page.
TEST(TextViewPrinting, RightToLeftLinesPrintAtTheRight)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    cTextView view;
    const QString hebrew = U(u"\u05E9\u05DC\u05D5\u05DD");
    view.buffer().SetText(hebrew + QStringLiteral("\nlatin"));
    const QString pdf = dir.path() + QStringLiteral("/rtl.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        view.print(&writer);
    }
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    const auto number = [&](const QString &pattern) {
        const QRegularExpressionMatch m = QRegularExpression(pattern).match(html);
        return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
    };
    const double page = number(QStringLiteral("<page width=\"([0-9.]+)\""));
    // pdftotext may give the word letter by letter: its first letter.
    const double hebrewLeft = number(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>[^<]*") + hebrew.front() +
                                     QStringLiteral("[^<]*<"));
    const double latinLeft = number(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>latin<"));
    ASSERT_GT(page, 0) << html.toStdString();
    EXPECT_GT(hebrewLeft, page / 2) << html.toStdString();
    EXPECT_GE(latinLeft, 0);
    EXPECT_LT(latinLeft, page / 4);
}

} // namespace
