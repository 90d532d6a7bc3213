// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditTransaction.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// In every mode, left normally or by an exception: the steps are one undo,
// and afterwards nothing is left open (the view repaints and follows the
// selection, the user's typing is recorded).
TEST(EditTransaction, IsOneUndoAndLeavesNothingOpenOnEveryWayOut)
{
    for (const tEditSteps steps : {tEditSteps::Shown, tEditSteps::Unpainted, tEditSteps::Batched}) {
        for (const bool fails : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << int(steps) << (fails ? ", failing" : ""));
            cWRichEditEx edit;
            edit.SetTextW(QStringLiteral("one two one"));
            QSignalSpy changes(&edit, &cWRichEdit::Change);
            try {
                const cEditTransaction transaction(edit, steps);
                EXPECT_EQ(edit.viewport()->updatesEnabled(), steps == tEditSteps::Shown);
                for (const int at : {8, 0}) {
                    edit.SetSel(at, at + 3);
                    edit.ReplaceSel(QStringLiteral("1"));
                }
                if (fails)
                    throw std::runtime_error("failed half-way");
            } catch (const std::runtime_error &) {
            }
            EXPECT_EQ(changes.count(), steps == tEditSteps::Batched ? 1 : 2);
            EXPECT_EQ(edit.GetTextW(), QStringLiteral("1 two 1"));
            EXPECT_EQ(edit.GroupDepth(), 0);
            EXPECT_EQ(edit.WLines().UpdateCount(), 0);
            EXPECT_TRUE(edit.viewport()->updatesEnabled());
            edit.SetSel(2, 2);
            EXPECT_EQ(edit.cursorPosition(), 2) << "no batch keeps the selection";
            edit.Undo();
            EXPECT_EQ(edit.GetTextW(), QStringLiteral("one two one"));
            QTest::keyClicks(&edit, QStringLiteral("x"));
            EXPECT_TRUE(edit.ControlCanUndo()) << "the user's typing is recorded again";
        }
    }
}

} // namespace
