// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RichEditEx.h"

#include "editor/text/UnicodeClipboard.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Reaches the control's own mime-data insertion, as a middle-button paste does.
class cProbeEdit : public cWRichEditEx
{
public:
    using cWRichEditEx::insertFromMimeData;
};

void MakeFocused(QWidget &widget, QWidget &focus)
{
    widget.show();
    widget.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
    focus.setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(focus.hasFocus());
}

void Select(cWRichEditEx &edit, int start, int length)
{
    edit.SetSelStart(start);
    edit.SetSelLength(length);
}

TEST(ExtraUndo, CutThenUndoReinsertsAndSelects)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("one two three"));
    Select(edit, 4, 4);
    edit.WMCut();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one three"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("two "));
    ASSERT_TRUE(edit.CanUndo());
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one two three"));
    EXPECT_EQ(edit.GetSelStart(), 4);
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("two "));
    EXPECT_FALSE(edit.CanUndo());
    ASSERT_TRUE(edit.CanRedo());
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one three"));
    EXPECT_EQ(edit.GetSelStart(), 4);
    EXPECT_EQ(edit.GetSelLength(), 0);
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one two three"));
}

TEST(ExtraUndo, PasteUndoRedoNeverDoublesText)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("ab"));
    WClipboard().FSetClipboardString(QStringLiteral("X\r\nY"));
    edit.SetSelStart(1);
    edit.WMPaste();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("aX\rYb"));
    EXPECT_EQ(edit.GetSelStart(), 4);
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("ab"));
    EXPECT_EQ(edit.GetSelStart(), 1);
    EXPECT_EQ(edit.GetSelLength(), 0);
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("aX\rYb"));
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("X\rY"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("ab"));
    edit.Undo(); // nothing left: refused
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("ab"));
    edit.Redo();
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("aX\rYb"));
}

TEST(ExtraUndo, UndoingAPasteOverASelectionGivesTheSelectionBack)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("keep OLD keep"));
    WClipboard().FSetClipboardString(QStringLiteral("new text"));
    Select(edit, 5, 3);
    edit.WMPaste();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("keep new text keep"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("keep OLD keep"));
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("OLD"));
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("keep new text keep"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("keep OLD keep"));
}

TEST(ExtraUndo, EmptyCutAndEmptyPasteKeepTheLastRecord)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("abc"));
    Select(edit, 0, 1);
    edit.WMCut();
    edit.SetSelStart(1);
    edit.WMCut(); // nothing selected
    QGuiApplication::clipboard()->clear();
    Select(edit, 0, 2);
    edit.WMPaste(); // nothing to paste: the selection stays
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("bc"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("abc"));
}

TEST(ExtraUndo, SnapshotUndoesInOneStepThenOnlyRedo)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("aaa bbb aaa"));
    Select(edit, 4, 3);
    {
        cSnapshotBracket snapshot(edit);
        for (int p = edit.FindTextW(QStringLiteral("aaa"), 0, 0, 0); p >= 0;
             p = edit.FindTextW(QStringLiteral("aaa"), p, 0, 0)) {
            Select(edit, p, 3);
            edit.SetSelTextW(QStringLiteral("x"));
        }
    }
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("x bbb x"));
    ASSERT_TRUE(edit.CanUndo());
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("aaa bbb aaa"));
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("bbb"));
    EXPECT_FALSE(edit.CanUndo());
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("aaa bbb aaa"));
    ASSERT_TRUE(edit.CanRedo());
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("x bbb x"));
}

TEST(ExtraUndo, SnapshotThatChangedNothingLeavesNothingToUndo)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("text"));
    edit.BeginSnapshot();
    EXPECT_TRUE(edit.CanUndo()); // a group in progress can be undone
    edit.EndSnapshot();
    EXPECT_FALSE(edit.CanUndo());
    EXPECT_EQ(edit.GroupDepth(), 0);
}

TEST(ExtraUndo, NestedSnapshotsUndoTheWholeOuterCommand)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("start"));
    edit.BeginSnapshot();
    edit.SetSelStart(5);
    edit.SetSelTextW(QStringLiteral(" one"));
    {
        cSnapshotBracket inner(edit);
        EXPECT_EQ(edit.GroupDepth(), 2);
    } // changed nothing: must not drop the outer record
    edit.SetSelTextW(QStringLiteral(" two"));
    edit.EndSnapshot();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("start one two"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("start"));
}

TEST(ExtraUndo, ChangesInsideAGroupDoNotOverwriteTheSnapshot)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("abc def"));
    {
        cSnapshotBracket snapshot(edit);
        Select(edit, 0, 4);
        edit.WMCut();
        EXPECT_FALSE(edit.RecordUndo(ukRemoved));
    }
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("def"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("abc def"));
}

TEST(ExtraUndo, UserTypingAfterAProgramChangeIsUndoneAlone)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("abc"));
    Select(edit, 0, 1);
    edit.WMCut();
    edit.SetSelStart(2);
    QTest::keyClicks(&edit, QStringLiteral("zz"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("bczz"));
    edit.Undo(); // no CanUndo asked first: still one record at a time
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("bc"));
    EXPECT_FALSE(edit.CanUndo()); // the cut's record gave way to the typing
}

TEST(ExtraUndo, KeysTypedInsideAGroupAreUndoneWithIt)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("abc"));
    edit.SetSelStart(3);
    {
        cSnapshotBracket snapshot(edit);
        QTest::keyClicks(&edit, QStringLiteral("de"));
    }
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("abc"));
    edit.Redo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("abcde"));
}

TEST(ExtraUndo, MiddleButtonPasteIsRecorded)
{
    cProbeEdit edit;
    edit.SetTextW(QStringLiteral("ac"));
    edit.SetSelStart(1);
    QMimeData data;
    data.setText(QStringLiteral("b"));
    edit.insertFromMimeData(&data);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("abc"));
    edit.Undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("ac"));
}

TEST(ExtraUndo, ReadOnlyControlCopiesButChangesNothing)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("fixed"));
    edit.setReadOnly(true);
    Select(edit, 0, 5);
    WClipboard().FSetClipboardString(QStringLiteral("other"));
    edit.WMCut();
    edit.WMPaste();
    edit.DeleteSelection();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("fixed"));
    edit.WMCopy();
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("fixed"));
    EXPECT_FALSE(edit.CanUndo());
}

TEST(ExtraUndoKeys, KeyPressesGoThroughTheHandlers)
{
    cWRichEditEx edit;
    MakeFocused(edit, edit);
    edit.SetTextW(QStringLiteral("one two"));
    Select(edit, 3, 4);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral(" two"));
    edit.SetSelStart(0);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral(" twoone"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral(" twoone"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one"));
    QTest::keyClick(&edit, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral(" twoone"));

    Select(edit, 0, 4);
    QTest::keyClick(&edit, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one"));
    Select(edit, 0, 3);
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("one"));
    edit.SetSelStart(3);
    QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("oneone"));
}

TEST(ExtraUndoKeys, ShiftEnterMakesAParagraph)
{
    cWRichEditEx edit;
    MakeFocused(edit, edit);
    QTest::keyClicks(&edit, QStringLiteral("a"));
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&edit, QStringLiteral("b"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("a\rb"));
}

TEST(ExtraUndoKeys, MainWindowActionsReceiveUndoAndRedoKeys)
{
    QMainWindow window;
    auto *edit = new cWRichEditEx(&window);
    window.setCentralWidget(edit);
    int undos = 0, redos = 0;
    QAction undo(QStringLiteral("Undo"), &window), redo(QStringLiteral("Redo"), &window);
    undo.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo.setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z));
    QObject::connect(&undo, &QAction::triggered, [&] {
        ++undos;
        edit->Undo();
    });
    QObject::connect(&redo, &QAction::triggered, [&] {
        ++redos;
        edit->Redo();
    });
    window.addAction(&undo);
    window.addAction(&redo);
    MakeFocused(window, *edit);

    edit->SetTextW(QStringLiteral("abc"));
    Select(*edit, 0, 1);
    edit->WMCut();
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 1);
    EXPECT_EQ(edit->GetTextW(), QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(redos, 1);
    EXPECT_EQ(edit->GetTextW(), QStringLiteral("bc"));
}

TEST(ExtraUndoMenu, ContextMenuActionsRouteThroughTheHandlers)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("menu text"));
    Select(edit, 0, 5);
    auto act = [&](const char *name) {
        const std::unique_ptr<QMenu> menu(edit.CreateContextMenu(nullptr));
        QAction *action = menu->findChild<QAction *>(QLatin1String(name));
        EXPECT_NE(action, nullptr) << name;
        if (action && action->isEnabled())
            action->trigger();
        return action && action->isEnabled();
    };
    EXPECT_FALSE(act("miUndo"));
    EXPECT_TRUE(act("miCut"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("text"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("menu "));
    EXPECT_TRUE(act("miUndo"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("menu text"));
    EXPECT_TRUE(act("miRedo"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("text"));
    edit.SetSelStart(4);
    EXPECT_FALSE(act("miCopy"));
    EXPECT_TRUE(act("miPaste"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("textmenu "));
    EXPECT_TRUE(act("miUndo"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("text"));
    EXPECT_TRUE(act("miSelectAll"));
    EXPECT_TRUE(act("miDelete"));
    EXPECT_EQ(edit.GetTextW(), QString());
    EXPECT_TRUE(act("miUndo"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("text"));
}

TEST(CaretMoves, GoToLineClampsToCountedLinesAndLineLength)
{
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("first line\r\nab\r\n\r\nlast one\r\n"));
    edit.SetCaretPos(7, 0);
    EXPECT_EQ(edit.GetCaretLine(), 0);
    EXPECT_EQ(edit.GetCaretColumn(), 7);
    edit.GoToLine(1); // shorter line: to its end
    EXPECT_EQ(edit.GetCaretLine(), 1);
    EXPECT_EQ(edit.GetCaretColumn(), 2);
    edit.GoToLine(2); // empty line: its start
    EXPECT_EQ(edit.GetCaretLine(), 2);
    EXPECT_EQ(edit.GetCaretColumn(), 0);
    edit.GoToColumn(5);
    EXPECT_EQ(edit.GetCaretColumn(), 0);
    edit.GoToLine(99); // the trailing empty line is not counted
    EXPECT_EQ(edit.GetCaretLine(), 3);
    edit.GoToColumn(99);
    EXPECT_EQ(edit.GetCaretColumn(), 8);
    edit.GoToColumn(3);
    EXPECT_EQ(edit.GetSelStart(), 15 + 3);
    edit.GoToLine(-4);
    EXPECT_EQ(edit.GetCaretLine(), 0);
    EXPECT_EQ(edit.GetCaretColumn(), 3);

    cWRichEditEx empty;
    empty.GoToLine(3);
    empty.GoToColumn(3);
    EXPECT_EQ(empty.GetSelStart(), 0);
}

// A character outside the BMP is two units; the caret never lands between
// them, or typing there would leave two lone surrogates.
TEST(CaretMoves, TheCaretNeverSplitsASurrogatePair)
{
    cWRichEditEx edit;
    edit.SetTextW(QString::fromUtf8("a😀b\r\n😀😀"));
    edit.GoToColumn(2);
    EXPECT_EQ(edit.GetCaretColumn(), 1);
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(edit.GetTextW(), QString::fromUtf8("ax😀b\r😀😀"));

    edit.SetCaretPos(3, 0);
    edit.GoToLine(1);
    EXPECT_EQ(edit.GetCaretColumn(), 2);
    edit.GoToColumn(3);
    EXPECT_EQ(edit.GetCaretColumn(), 2);
    edit.SetCaretPos(1, 1);
    EXPECT_EQ(edit.GetCaretColumn(), 0);

    // A selection that would end inside a pair takes the whole character.
    edit.SetSelStart(3);
    EXPECT_EQ(edit.GetSelStart(), 2);
    edit.SetSelLength(1);
    EXPECT_EQ(edit.GetSelTextW(), QString::fromUtf8("😀"));
}

TEST(CaretMoves, SetFocusLiftsTheTextLimitEvenWithoutFocus)
{
    cWRichEditEx edit;
    edit.LimitTextW(10);
    edit.SetFocus(); // hidden: cannot take the focus
    EXPECT_FALSE(edit.hasFocus());
    EXPECT_GT(edit.TextLimit(), 1000000000);
}

} // namespace
