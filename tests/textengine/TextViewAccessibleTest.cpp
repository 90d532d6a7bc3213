// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextViewAccessible.h"

#include "editor/textengine/TextView.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct tPiece
{
    QString Text;
    int Start = 0, End = 0;
};

using tAsk = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType, int *, int *) const;

tPiece Ask(const QAccessibleTextInterface &text, tAsk ask, int offset, QAccessible::TextBoundaryType type)
{
    tPiece p;
    p.Text = (text.*ask)(offset, type, &p.Start, &p.End);
    return p;
}

} // namespace

// For every boundary, wrapped and not: each piece holds its offset and reads
// as the text there, the pieces tile the text, and the pieces before and
// after an offset are its neighbours. Offsets are UTF-16 units with a
// paragraph mark as one '\n', whatever break the file had.
TEST(TextViewAccessibleTest, PiecesTileTheTextForEveryBoundary)
{
    cTextView view;
    view.resize(160, 300);
    QString text = QString::fromUtf16(u"ab \U0001F600x e\u0301t w\u00f6rd\r\n\r\nzweite Zeile \U0001F44D \n");
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("word%1 ").arg(i);
    view.buffer().SetText(text);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::EditableText);
    QAccessibleTextInterface *access = iface->textInterface();
    ASSERT_NE(access, nullptr);
    const int count = access->characterCount();
    const QString readable = access->text(0, count);
    ASSERT_EQ(readable.size(), count);
    EXPECT_EQ(readable.left(23), QString::fromUtf16(u"ab \U0001F600x e\u0301t w\u00f6rd\n\nzweite"));

    for (const auto wrap : {false, true}) {
        view.setWordWrap(wrap);
        for (const auto type : {QAccessible::CharBoundary, QAccessible::WordBoundary,
                                QAccessible::LineBoundary, QAccessible::ParagraphBoundary}) {
            SCOPED_TRACE(testing::Message() << "wrap " << wrap << ", boundary " << type);
            std::vector<std::pair<int, int>> pieces;
            for (int offset = 0; offset < count; ++offset) {
                const tPiece at = Ask(*access, &QAccessibleTextInterface::textAtOffset, offset, type);
                ASSERT_TRUE(at.Start <= offset && offset < at.End)
                    << offset << ": " << at.Start << ".." << at.End;
                ASSERT_EQ(at.Text, readable.mid(at.Start, at.End - at.Start)) << offset;
                if (pieces.empty() || pieces.back() != std::pair(at.Start, at.End))
                    pieces.emplace_back(at.Start, at.End);
                const tPiece after = Ask(*access, &QAccessibleTextInterface::textAfterOffset, offset, type);
                const tPiece next = Ask(*access, &QAccessibleTextInterface::textAtOffset, at.End, type);
                if (at.End < count) {
                    EXPECT_TRUE(after.Start == next.Start && after.End == next.End && after.Text == next.Text)
                        << offset << ": after " << after.Start << ".." << after.End;
                } else {
                    EXPECT_TRUE(after.Text.isEmpty() && after.Start == count) << offset;
                }
                const tPiece before = Ask(*access, &QAccessibleTextInterface::textBeforeOffset, offset, type);
                if (at.Start > 0) {
                    const tPiece previous =
                        Ask(*access, &QAccessibleTextInterface::textAtOffset, at.Start - 1, type);
                    EXPECT_TRUE(before.Start == previous.Start && before.End == at.Start &&
                                before.Text == readable.mid(before.Start, before.End - before.Start))
                        << offset << ": before " << before.Start << ".." << before.End;
                } else {
                    EXPECT_TRUE(before.Text.isEmpty() && before.End == 0) << offset;
                }
            }
            ASSERT_FALSE(pieces.empty());
            EXPECT_EQ(pieces.front().first, 0);
            EXPECT_EQ(pieces.back().second, count);
            for (size_t i = 1; i < pieces.size(); ++i) {
                EXPECT_EQ(pieces[i - 1].second, pieces[i].first) << "gap or overlap at piece " << i;
            }
            if (type == QAccessible::LineBoundary && wrap) {
                EXPECT_GT(pieces.size(), 6u) << "wrapped rows are lines";
            }
        }
    }
}
