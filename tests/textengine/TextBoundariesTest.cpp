// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextBoundaries.h"

#include "editor/textengine/TextSearch.h"

#include <gtest/gtest.h>

namespace {

TEST(TextBoundaries, WordMovesCrossWordsLongerThanTheirWindow)
{
    cTextBuffer buffer;
    const QString longWord(5000, u'a');
    buffer.SetText(longWord + QStringLiteral(" bee\nsea"));
    EXPECT_EQ(NextWordStart(buffer, 0), 5001);
    EXPECT_EQ(NextWordStart(buffer, 5001), 5004) << "then the line's end";
    EXPECT_EQ(NextWordStart(buffer, 5004), 5005) << "then the next line";
    EXPECT_EQ(PreviousWordStart(buffer, 5004), 5001);
    EXPECT_EQ(PreviousWordStart(buffer, 5001), 0);
    EXPECT_EQ(PreviousWordStart(buffer, 4000), 0);
    EXPECT_EQ(WordAt(buffer, 2500), std::make_pair(0, 5000));
    EXPECT_EQ(WordAt(buffer, 5002), std::make_pair(5001, 5004));
}

// A symbol is no word; the underscore, a letter beyond the BMP and a
// combining mark belong to one; each ideograph is a segment of its own.
TEST(TextBoundaries, WordMovesAndWholeWordsShareOneWordRule)
{
    cTextBuffer buffer;
    buffer.SetText(QString::fromUtf16(u"x \U0001F600 _y \u4E2D\u6587 e\u0301z \U0001D400."));
    std::vector<int> stops;
    for (int pos = 0; (pos = NextWordStart(buffer, pos)) < buffer.Length();)
        stops.push_back(pos);
    EXPECT_EQ(stops, (std::vector<int>{5, 8, 9, 11, 15}));
    stops.clear();
    for (int pos = buffer.Length(); (pos = PreviousWordStart(buffer, pos)) > 0;)
        stops.push_back(pos);
    EXPECT_EQ(stops, (std::vector<int>{15, 11, 9, 8, 5}));

    auto wholeWord = [&](const QString &text) {
        return FindPlain(buffer, {text, true, true}, {0, buffer.Length()}, false);
    };
    EXPECT_EQ(wholeWord(QStringLiteral("_y")), 5);
    EXPECT_EQ(wholeWord(QStringLiteral("y")), -1);
    EXPECT_EQ(wholeWord(QStringLiteral("e")), -1);
    EXPECT_EQ(wholeWord(QString::fromUtf16(u"\U0001F600")), 2);
    EXPECT_EQ(wholeWord(QString::fromUtf16(u"\u4E2D\u6587")), 8);
    EXPECT_EQ(wholeWord(QStringLiteral(".")), -1) << "a letter beyond the BMP is a word character";
}

TEST(TextBoundaries, GraphemeStepsKeepPairsAndClustersWhole)
{
    cTextBuffer buffer;
    buffer.SetText(QString::fromUtf16(u"\U0001F469\u200D\U0001F4BBx\ny"));
    EXPECT_EQ(NextGrapheme(buffer, 0), 5) << "a joined emoji sequence is one cluster";
    EXPECT_EQ(PreviousGrapheme(buffer, 5), 0);
    EXPECT_EQ(PreviousCodePoint(buffer, 5), 3) << "a code point is one surrogate pair";
    EXPECT_EQ(NextGrapheme(buffer, 6), 7) << "the paragraph mark is a step";
    EXPECT_EQ(PreviousGrapheme(buffer, 7), 6);
    EXPECT_EQ(NextGrapheme(buffer, 8), 8) << "nothing past the end";
    EXPECT_EQ(LineAt(buffer, 2), std::make_pair(0, 7));
    EXPECT_EQ(LineAt(buffer, 7), std::make_pair(7, 8));
}

TEST(TextBoundaries, AClusterLongerThanTheWindowStillMovesOn)
{
    cTextBuffer buffer;
    buffer.SetText(QStringLiteral("e") + QString(300, QChar(0x0301)) + QStringLiteral("x"));
    int pos = 0, steps = 0;
    while (pos < buffer.Length() && steps++ < 1000)
        pos = NextGrapheme(buffer, pos);
    EXPECT_EQ(pos, buffer.Length());
    EXPECT_LT(steps, 20);
}

} // namespace
