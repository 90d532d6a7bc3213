// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/UndoRecord.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct cUndoTest : testing::Test
{
    cTextBuffer Buffer;
    cUndoRecord Record{Buffer};

    QString Text() const { return Buffer.TextWithBreaks(); }
    // One key at a time, as the view sends them.
    void Type(int pos, const QString &keys)
    {
        for (const QChar c : keys)
            Buffer.Insert(pos++, QStringView(&c, 1));
    }
    void Backspace(int caret, int times)
    {
        while (times-- > 0)
            Buffer.Delete(--caret, 1);
    }
};

TEST_F(cUndoTest, CharactersTypedInARowAreOneStep)
{
    Type(0, QStringLiteral("hello"));
    EXPECT_EQ(Record.UndoSteps(), 1);
    EXPECT_EQ(Record.Undo(), (tUndoSelection{0, 0}));
    EXPECT_EQ(Text(), QString());
    EXPECT_FALSE(Record.CanUndo());
    EXPECT_EQ(Record.Redo(), (tUndoSelection{5, 0}));
    EXPECT_EQ(Text(), QStringLiteral("hello"));
    EXPECT_FALSE(Record.CanRedo());
}

TEST_F(cUndoTest, AMarkACaretMoveAndAnEraseEachEndTheTyping)
{
    Type(0, QStringLiteral("ab"));
    Buffer.Insert(2, u"\n");
    Type(3, QStringLiteral("cd"));
    EXPECT_EQ(Record.UndoSteps(), 3);
    Type(0, QStringLiteral("x")); // the caret went elsewhere
    EXPECT_EQ(Record.UndoSteps(), 4);
    Record.BreakTyping(); // clicked at the place it already was
    Type(1, QStringLiteral("y"));
    EXPECT_EQ(Record.UndoSteps(), 5);
    Backspace(2, 1);
    EXPECT_EQ(Record.UndoSteps(), 6);
    Type(1, QStringLiteral("z")); // typing after erasing
    EXPECT_EQ(Record.UndoSteps(), 7);

    const QString expected[] = {QStringLiteral("xab\ncd"),
                                QStringLiteral("xyab\ncd"),
                                QStringLiteral("xab\ncd"),
                                QStringLiteral("ab\ncd"),
                                QStringLiteral("ab\n"),
                                QStringLiteral("ab"),
                                QString()};
    for (const QString &text : expected) {
        ASSERT_TRUE(Record.Undo());
        EXPECT_EQ(Text(), text);
    }
    EXPECT_FALSE(Record.Undo());
}

TEST_F(cUndoTest, BackspaceAndDeleteRunsAreOneStepAndComeBackSelected)
{
    Buffer.SetText(u"0123456789");
    Backspace(6, 3); // 345
    Buffer.Delete(3, 1);
    Buffer.Delete(3, 1); // 67
    EXPECT_EQ(Text(), QStringLiteral("01289"));
    EXPECT_EQ(Record.UndoSteps(), 1);
    EXPECT_EQ(Record.Undo(), (tUndoSelection{3, 5}));
    EXPECT_EQ(Text(), QStringLiteral("0123456789"));
    EXPECT_EQ(Record.Redo(), (tUndoSelection{3, 0}));
    EXPECT_EQ(Text(), QStringLiteral("01289"));
}

TEST_F(cUndoTest, TypingOverASelectionAndInOverwriteModeIsOneStep)
{
    Buffer.SetText(u"one two three");
    Buffer.Replace(4, 3, u"T"); // typed over the selected "two"
    Type(5, QStringLiteral("WO"));
    Buffer.Replace(8, 1, u"X"); // overwrite mode, "three" -> "XY..."
    EXPECT_EQ(Record.UndoSteps(), 2);
    Buffer.Replace(9, 1, u"Y");
    EXPECT_EQ(Record.UndoSteps(), 2);
    EXPECT_EQ(Text(), QStringLiteral("one TWO XYree"));
    // The overwriting began past where the typing ended: a step of its own.
    EXPECT_EQ(Record.Undo(), (tUndoSelection{8, 2}));
    EXPECT_EQ(Text(), QStringLiteral("one TWO three"));
    EXPECT_EQ(Record.Undo(), (tUndoSelection{4, 3}));
    EXPECT_EQ(Text(), QStringLiteral("one two three"));
}

TEST_F(cUndoTest, AGroupIsOneStepAndGroupsNest)
{
    Buffer.SetText(u"abc");
    {
        const cUndoGroup outer(Record);
        Buffer.Delete(0, 1);
        {
            const cUndoGroup inner(Record);
            Buffer.Insert(2, u"\r\nX");
            Type(0, QStringLiteral("qq"));
        }
        Buffer.Replace(1, 2, u"Z");
    }
    Type(0, QStringLiteral("w")); // the group's end ends its typing too
    EXPECT_EQ(Record.UndoSteps(), 2);
    ASSERT_TRUE(Record.Undo());
    const QString grouped = Text();
    ASSERT_TRUE(Record.Undo());
    EXPECT_EQ(Text(), QStringLiteral("abc"));
    ASSERT_TRUE(Record.Redo());
    EXPECT_EQ(Text(), grouped);
}

TEST_F(cUndoTest, ProgramChangesAreNotUndoableAndClearTheRecord)
{
    Type(0, QStringLiteral("ab"));
    {
        const cNotUndoable program(Record);
        EXPECT_TRUE(Record.CanUndo()); // suspending alone changes nothing
        Buffer.Insert(2, u"c");
    }
    EXPECT_FALSE(Record.CanUndo());
    Type(3, QStringLiteral("d"));
    ASSERT_TRUE(Record.Undo());
    EXPECT_EQ(Text(), QStringLiteral("abc"));
    EXPECT_TRUE(Record.CanRedo());
    Buffer.SetText(u"new");
    EXPECT_FALSE(Record.CanUndo());
    EXPECT_FALSE(Record.CanRedo());
    EXPECT_FALSE(Record.Redo());
}

TEST_F(cUndoTest, ANewChangeDropsWhatCouldBeRedone)
{
    Type(0, QStringLiteral("ab"));
    ASSERT_TRUE(Record.Undo());
    EXPECT_TRUE(Record.CanRedo());
    Type(0, QStringLiteral("c"));
    EXPECT_FALSE(Record.CanRedo());
}

TEST_F(cUndoTest, EachLineGetsItsOwnBreakBack)
{
    const QString file = QStringLiteral("a\r\nb\nc\rd\r\ne");
    Buffer.SetText(file);
    Buffer.Delete(1, 6);         // every kind of break goes
    Buffer.Insert(1, u"\n\n\n"); // typed marks take the dominant CR LF
    EXPECT_EQ(Text(), QStringLiteral("a\r\n\r\n\r\n\r\ne"));
    ASSERT_TRUE(Record.Undo());
    ASSERT_TRUE(Record.Undo());
    EXPECT_EQ(Text(), file);
    ASSERT_TRUE(Record.Redo());
    ASSERT_TRUE(Record.Redo());
    EXPECT_EQ(Text(), QStringLiteral("a\r\n\r\n\r\n\r\ne"));
}

// Random edits, some typed key by key, some undone and redone in between:
// every undo and redo must give back exactly an earlier text with its breaks.
TEST(UndoRecord, RandomHistoriesReturnToEachEarlierText)
{
    static const char16_t *const pieces[] = {u"a",    u"bc",     u"\r",         u"\n",
                                             u"\r\n", u"\u2029", u"\U0001F600", u" "};
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        auto pick = [&random](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        cTextBuffer buffer;
        buffer.SetText(u"first\r\nsecond\nthird\rlast");
        cUndoRecord record(buffer);
        std::vector<QString> states{buffer.TextWithBreaks()};
        size_t now = 0;
        for (int step = 0; step < 40; ++step) {
            const int choice = pick(0, 9);
            if (choice == 0 && now > 0) {
                ASSERT_TRUE(record.Undo());
                ASSERT_EQ(buffer.TextWithBreaks(), states[--now]);
                continue;
            }
            if (choice == 1 && now + 1 < states.size()) {
                ASSERT_TRUE(record.Redo());
                ASSERT_EQ(buffer.TextWithBreaks(), states[++now]);
                continue;
            }
            // Every step of the model is one group, so one undo step.
            const int pos = pick(0, buffer.Length());
            const int span = pick(0, std::min(8, buffer.Length() - pos));
            QString text;
            for (int i = pick(0, 5); i > 0; --i)
                text += QString::fromUtf16(pieces[pick(0, int(std::size(pieces)) - 1)]);
            const std::vector<tLineBreak> breaks(size_t(pick(0, 3)), tLineBreak(pick(1, 3)));
            {
                const cUndoGroup group(record);
                switch (pick(0, 4)) {
                case 0:
                    buffer.Replace(pos, span, text, tLineBreak(pick(0, 3)));
                    break;
                case 1:
                    buffer.Restore(pos, span, text, breaks);
                    break;
                case 2: { // typed key by key
                    int at = pos;
                    for (const QChar c : text)
                        buffer.Insert(at++, QStringView(&c, 1));
                    break;
                }
                case 3: // erased with Backspace
                    for (int i = 0; i < span; ++i)
                        buffer.Delete(pos + span - 1 - i, 1);
                    break;
                default:
                    buffer.Delete(pos, span);
                    buffer.Insert(pick(0, buffer.Length()), text);
                    break;
                }
            }
            if (record.UndoSteps() == int(now)) // nothing changed
                continue;
            ASSERT_EQ(record.UndoSteps(), int(now) + 1);
            ASSERT_FALSE(record.CanRedo());
            states.resize(now + 1);
            states.push_back(buffer.TextWithBreaks());
            ++now;
        }
        while (now > 0) {
            ASSERT_TRUE(record.Undo());
            ASSERT_EQ(buffer.TextWithBreaks(), states[--now]);
        }
        EXPECT_FALSE(record.CanUndo());
    }
}

} // namespace
