// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/LineLayout.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString Repeat(const QString &piece, int units)
{
    QString text;
    while (text.size() < units)
        text += piece;
    text.truncate(units);
    return text;
}

// Segments cover the line in order, none too long, and each shaped segment
// holds exactly the buffer's text.
void ExpectSoundSegments(cLineLayouts &layouts, const cTextBuffer &buffer, int line)
{
    const int count = layouts.SegmentCount(line);
    int next = 0;
    for (int i = 0; i < count; ++i) {
        const tLineSegment piece = layouts.Segment(line, i);
        ASSERT_EQ(piece.Start, next) << "segment " << i;
        EXPECT_LE(piece.Length, cLineLayouts::SegmentMax);
        EXPECT_GT(piece.Length, 0);
        next += piece.Length;
        const int start = buffer.LineStart(line) + piece.Start;
        ASSERT_EQ(layouts.Layout(line, i).text(), buffer.Text(start, start + piece.Length))
            << "segment " << i;
    }
    EXPECT_EQ(next, buffer.LineLength(line));
}

TEST(LineLayoutSegments, AShortLineIsOneSegment)
{
    cTextBuffer buffer;
    buffer.SetText(QStringLiteral("short\nline"));
    cLineLayouts layouts(buffer);
    EXPECT_EQ(layouts.SegmentCount(0), 1);
    EXPECT_EQ(layouts.Layout(1, 0).text(), QStringLiteral("line"));
}

TEST(LineLayoutSegments, ALongLineIsCutAfterBlanks)
{
    cTextBuffer buffer;
    buffer.SetText(Repeat(QStringLiteral("word "), 100000));
    cLineLayouts layouts(buffer);
    const int count = layouts.SegmentCount(0);
    EXPECT_GT(count, 100000 / cLineLayouts::SegmentMax);
    ExpectSoundSegments(layouts, buffer, 0);
    for (int i = 0; i + 1 < count; ++i) {
        const tLineSegment piece = layouts.Segment(0, i);
        EXPECT_EQ(buffer.At(piece.Start + piece.Length - 1), u' ') << "segment " << i;
    }
}

TEST(LineLayoutSegments, CutsNeverSplitASurrogatePairOrACluster)
{
    for (const QString &unit : {QString::fromUtf16(u"\U0001F600"), QString::fromUtf16(u"e\u0301\u0302"),
                                QString::fromUtf16(u"\U0001F469\u200D\U0001F4BB")}) {
        cTextBuffer buffer;
        buffer.SetText(QStringLiteral("x") + Repeat(unit, 50000 - int(50000 % unit.size())));
        cLineLayouts layouts(buffer);
        ASSERT_GT(layouts.SegmentCount(0), 2);
        for (int i = 1; i < layouts.SegmentCount(0); ++i) {
            const int cut = layouts.Segment(0, i).Start;
            EXPECT_EQ((cut - 1) % unit.size(), 0) << "cut at " << cut << " splits " << unit.toStdString();
        }
    }
}

std::vector<int> SegmentLengths(cLineLayouts &layouts, int line)
{
    std::vector<int> lengths;
    for (int i = 0; i < layouts.SegmentCount(line); ++i)
        lengths.push_back(layouts.Segment(line, i).Length);
    return lengths;
}

// An edit cuts again only the segments it touches (and a neighbour too short
// to stand alone): the others keep their cuts, and the layouts shaped before
// it stay shaped.
TEST(LineLayoutSegments, EditsReshapeOnlyTheirSegmentAndKeepTheRestSound)
{
    cTextBuffer buffer;
    buffer.SetText(QStringLiteral("before\n") + Repeat(QStringLiteral("abc de "), 60000) +
                   QStringLiteral("\nafter"));
    cLineLayouts layouts(buffer);
    QRandomGenerator random(3);
    for (int step = 0; step < 300; ++step) {
        const int lineStart = buffer.LineStart(1);
        const int length = buffer.LineLength(1);
        const int column = int(random.bounded(length + 1));
        const int kind = int(random.bounded(3));
        const int removed =
            kind == 0 ? 0 : std::min(length - column, int(random.bounded(kind == 1 ? 3 : 12000)));
        const QString inserted =
            kind == 2 ? QString() : Repeat(QStringLiteral("xy z"), int(random.bounded(9000)));
        const std::vector<int> before = SegmentLengths(layouts, 1);
        const int first = layouts.SegmentOf(1, column);
        const int last = layouts.SegmentOf(1, column + removed);
        // The segments a screen above the edit shows.
        const int shownFrom = std::max(0, first - 4);
        std::vector<const QTextLayout *> shown;
        for (int i = shownFrom; i < first - 1; ++i)
            shown.push_back(&layouts.Layout(1, i));

        buffer.Replace(lineStart + column, removed, inserted);
        tTextChange change;
        change.Position = lineStart + column;
        change.RemovedLength = removed;
        change.InsertedLength = int(inserted.size());
        change.FirstLine = 1;
        layouts.TextChanged(change);

        const quint64 shaped = layouts.ShapedCount();
        for (size_t k = 0; k < shown.size(); ++k)
            ASSERT_EQ(&layouts.Layout(1, shownFrom + int(k)), shown[k]) << "step " << step;
        ASSERT_EQ(layouts.ShapedCount(), shaped) << "step " << step;
        const std::vector<int> after = SegmentLengths(layouts, 1);
        size_t head = 0, tail = 0;
        while (head < before.size() && head < after.size() && before[head] == after[head])
            ++head;
        while (head + tail < before.size() && head + tail < after.size() &&
               before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
            ++tail;
        ASSERT_GE(int(head), first - 1) << "step " << step;
        ASSERT_GE(int(tail), int(before.size()) - last - 2) << "step " << step;
        if (step % 60 == 0)
            ExpectSoundSegments(layouts, buffer, 1);
    }
    ExpectSoundSegments(layouts, buffer, 1);
    EXPECT_EQ(layouts.Layout(0, 0).text(), QStringLiteral("before"));
    EXPECT_EQ(layouts.Layout(2, 0).text(), QStringLiteral("after"));
}

TEST(LineLayoutCache, LinesInsertedAboveShiftTheShapedLines)
{
    cTextBuffer buffer;
    buffer.SetText(QStringLiteral("a\nb\nc\nd"));
    cLineLayouts layouts(buffer);
    for (int line = 0; line < 4; ++line)
        layouts.Layout(line, 0);
    struct cForward : ITextBufferListener
    {
        cLineLayouts &Layouts;
        explicit cForward(cLineLayouts &layouts) : Layouts(layouts) {}
        void TextChanged(const tTextChange &change, QStringView, const std::vector<tLineBreak> &) override
        {
            Layouts.TextChanged(change);
        }
        void TextReset() override { Layouts.Reset(); }
    } forward(layouts);
    buffer.AddListener(&forward);
    buffer.Insert(buffer.LineStart(1), QStringLiteral("new\nlines\n"));
    buffer.Delete(buffer.LineStart(4), 2); // "c\n"
    const QStringList expected{QStringLiteral("a"), QStringLiteral("new"), QStringLiteral("lines"),
                               QStringLiteral("b"), QStringLiteral("d")};
    ASSERT_EQ(buffer.LineCount(), 5);
    for (int line = 0; line < 5; ++line)
        EXPECT_EQ(layouts.Layout(line, 0).text(), expected[line]) << "line " << line;
    buffer.RemoveListener(&forward);
}

TEST(LineLayoutMeasures, RowsAreEstimatedUntilShapedAndExactAfter)
{
    cTextBuffer buffer;
    buffer.SetText(Repeat(QStringLiteral("word "), 50000));
    cLineLayouts layouts(buffer);
    layouts.SetWrapWidth(300);
    const int estimated = layouts.LineRows(0);
    EXPECT_GT(estimated, 100);
    for (int i = 0; i < layouts.SegmentCount(0); ++i)
        layouts.Layout(0, i);
    // Each segment's last row but the line's last is carried over into the
    // next segment's layout, which shows it as its first.
    const int count = layouts.SegmentCount(0);
    int exact = 0;
    for (int i = 0; i < count; ++i)
        exact += layouts.Layout(0, i).lineCount() - (i + 1 < count ? 1 : 0);
    EXPECT_EQ(layouts.LineRows(0), exact);
    EXPECT_NEAR(estimated, exact, exact / 2);
    const auto [segment, row] = layouts.RowPlace(0, exact - 1);
    EXPECT_EQ(segment, layouts.SegmentCount(0) - 1);
    EXPECT_EQ(row, layouts.Layout(0, segment).lineCount() - 1);
    const int lastColumn = buffer.LineLength(0);
    EXPECT_EQ(layouts.RowOfColumn(0, lastColumn), exact - 1);
}

// A line's direction is its first strong character's; digits and blanks are
// not strong, text inside an isolate does not count, a line without a
// strong character is left-to-right unless it is blank: then it goes with
// the line above.
TEST(LineLayoutDirection, FirstStrongCharacterAndBlankLinesFollowTheLineAbove)
{
    struct tCase
    {
        const char16_t *Text;
        bool RightToLeft;
    };
    const tCase lines[] = {
        {u"\u05E9\u05DC\u05D5\u05DD world", true},     // Hebrew first
        {u"", true},                                   // blank: as above
        {u"  \t", true},                               // blank too
        {u"hello \u05E9\u05DC\u05D5\u05DD", false},    // Latin first
        {u"", false},                                  // blank: as above
        {u"\u0645\u0631\u062D\u0628\u0627 abc", true}, // Arabic first
        {u"123 abc", false},                           // digits are not strong
        {u"2024 - \u05E9\u05E0\u05D4", true},          // digits, then Hebrew
        {u"42 + 7", false},                            // none, not blank: left to right
        {u"\u2067abc\u2069 \u05D0", true},             // Latin inside an isolate does not count
        {u"\u202Babc", false},                         // an embedding is not an isolate
        {u"\U00010900 x", true},                       // Phoenician, a surrogate pair
    };
    QString text;
    for (const tCase &c : lines)
        text += QString::fromUtf16(c.Text) + u'\n';
    text.chop(1);
    cTextBuffer buffer;
    buffer.SetText(text);
    cLineLayouts layouts(buffer);
    for (int wrap : {0, 300}) {
        layouts.SetWrapWidth(wrap);
        for (int line = 0; line < int(std::size(lines)); ++line) {
            EXPECT_EQ(layouts.RightToLeft(line), lines[line].RightToLeft)
                << "line " << line << ": " << QString::fromUtf16(lines[line].Text).toStdString();
            EXPECT_EQ(layouts.Layout(line, 0).textOption().textDirection(),
                      lines[line].RightToLeft ? Qt::RightToLeft : Qt::LeftToRight)
                << "line " << line;
        }
    }
    EXPECT_EQ(StrongDirection(u"123 ... !"), Qt::LayoutDirectionAuto);

    // A long Hebrew line keeps its direction in every segment, even one that
    // starts with Latin text.
    cTextBuffer longBuffer;
    longBuffer.SetText(QString::fromUtf16(u"\u05D0 ") + Repeat(QStringLiteral("word "), 30000));
    cLineLayouts longLayouts(longBuffer);
    ASSERT_GT(longLayouts.SegmentCount(0), 2);
    EXPECT_TRUE(longLayouts.RightToLeft(0));
    EXPECT_EQ(longLayouts.Layout(0, 2).textOption().textDirection(), Qt::RightToLeft);
}

// A jump far into a long wrapped line shapes a bounded part of it, guessing
// where a row starts further back; once the rows before are shaped, every
// guess is put right and the rows are those of shaping the line in order.
TEST(LineLayoutMeasures, AJumpFarIntoAWrappedLineIsPutRightByTheRowsBefore)
{
    cTextBuffer buffer;
    buffer.SetText(Repeat(QStringLiteral("abc defgh ij "), 1'200'000));
    cLineLayouts inOrder(buffer), jumped(buffer);
    for (cLineLayouts *layouts : {&inOrder, &jumped})
        layouts->SetWrapWidth(333);
    const int count = inOrder.SegmentCount(0);
    ASSERT_GT(count, 250);
    for (int i = 0; i < count; ++i)
        inOrder.Layout(0, i);

    const quint64 before = jumped.ShapedCount();
    jumped.Layout(0, count - 1);
    EXPECT_LT(jumped.ShapedCount() - before, 100u) << "a jump shapes a bounded part";
    jumped.Layout(0, count / 2);
    for (int i = 0; i < count; ++i)
        jumped.Layout(0, i);
    EXPECT_EQ(jumped.LineRows(0), inOrder.LineRows(0));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(jumped.Segment(0, i).Start, inOrder.Segment(0, i).Start) << "segment " << i;
    const int column = buffer.LineLength(0) - 5;
    EXPECT_EQ(jumped.RowOfColumn(0, column), inOrder.RowOfColumn(0, column));
}

} // namespace
