// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/UnicodeControls.h"

#include "editor/platform/Exceptions.h"
#include "editor/text/UnicodeClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString U(const char16_t *s)
{
    return QString::fromUtf16(s);
}

QString WithNul()
{
    QString s = QStringLiteral("a");
    s += QChar(u'\0');
    s += QStringLiteral("b");
    return s;
}

TEST(RichEditText, LineBreaksBecomeOneParagraphMarkEach)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("a\r\nb\rc\nd\n\re"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("a\rb\rc\rd\r\re"));
    EXPECT_EQ(edit.GetTextLen(), 10);
    EXPECT_EQ(edit.GetTextViaWindowText(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
}

TEST(RichEditText, FileWithCrLfBreaksComesBackByteForByte)
{
    cWRichEdit edit;
    const QString file = QStringLiteral("first\r\n\r\nthird line\r\n");
    edit.SetTextW(file);
    EXPECT_EQ(edit.GetTextViaWindowText(), file);
}

// A program (a plug-in) reads the text with marks as CR and sets it back
// changed: the file's LF breaks must not turn into CR.
TEST(RichEditText, TextSetByTheProgramKeepsTheDocumentsBreaks)
{
    cWRichEdit edit;
    edit.LoadText([](cTextBuffer &buffer) { buffer.SetText(u"one\ntwo\nthree\r\nfour\n"); });
    edit.SetTextW(edit.GetTextW().toUpper() + QStringLiteral("FIVE\r"));
    EXPECT_EQ(edit.TextForFile(), QStringLiteral("ONE\nTWO\nTHREE\nFOUR\nFIVE\n"));
    edit.SetTextW(QStringLiteral("x\r\ny"));
    EXPECT_EQ(edit.TextForFile(), QStringLiteral("x\r\ny")); // given CR LF stays
    EXPECT_FALSE(edit.ControlCanUndo());
}

TEST(RichEditText, NulAndSpecialCharactersPassUnchanged)
{
    cWRichEdit edit;
    const QString text = WithNul() + U(u"\u00a0\u2028\u4e2d\U0001F600") + WithNul();
    edit.SetTextW(text);
    EXPECT_EQ(edit.GetTextW(), text);
    EXPECT_EQ(edit.GetTextViaWindowText(), text);
    EXPECT_EQ(edit.GetTextRange(1, 3), QString(QChar(u'\0')) + QStringLiteral("b"));
    EXPECT_EQ(edit.WLines().Get(0), text);
}

TEST(RichEditText, TextRangeAndSelectionText)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("ab\r\ncd"));
    EXPECT_EQ(edit.GetTextRange(1, 4), QStringLiteral("b\rc"));
    EXPECT_EQ(edit.GetTextRange(3, 100), QStringLiteral("cd"));
    edit.SetSel(5, 1); // caret before the anchor
    EXPECT_EQ(edit.GetSelStart(), 1);
    EXPECT_EQ(edit.GetSelLength(), 4);
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("b\rcd"));
}

TEST(RichEditSelection, StartCollapsesAndLengthKeepsStart)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("0123456789"));
    edit.SetSel(2, 6);
    edit.SetSelStart(4);
    EXPECT_EQ(edit.GetSelStart(), 4);
    EXPECT_EQ(edit.GetSelLength(), 0);
    edit.SetSelLength(3);
    EXPECT_EQ(edit.GetSelStart(), 4);
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("456"));
    edit.SetSelLength(2147483647);
    EXPECT_EQ(edit.GetSelTextW(), QStringLiteral("456789"));
}

TEST(RichEditSelection, SetSelTextLeavesCaretAfterAndIsNotUndoable)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("hello world"));
    edit.SetSel(6, 11);
    edit.SetSelTextW(QStringLiteral("there\r\nfriend"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("hello there\rfriend"));
    EXPECT_EQ(edit.GetSelStart(), 18);
    EXPECT_EQ(edit.GetSelLength(), 0);
    EXPECT_FALSE(edit.ControlCanUndo());
    edit.undo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("hello there\rfriend"));
}

TEST(RichEditUndo, TypingIsUndoableAndAProgramChangeClearsIt)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("ab"));
    edit.SetSelStart(1);
    QTest::keyClicks(&edit, QStringLiteral("xy"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("axyb"));
    ASSERT_TRUE(edit.ControlCanUndo());
    edit.ControlUndo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("ab"));
    ASSERT_TRUE(edit.ControlCanRedo());
    edit.ControlRedo();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("axyb"));
    edit.SetSel(0, 1);
    edit.ReplaceSel(QStringLiteral("Z"));
    EXPECT_FALSE(edit.ControlCanUndo());
    EXPECT_FALSE(edit.ControlCanRedo());
    QTest::keyClicks(&edit, QStringLiteral("q"));
    EXPECT_TRUE(edit.ControlCanUndo());
    QSignalSpy undoAvailable(&edit, &cTextView::undoAvailable);
    edit.EmptyUndoBuffer();
    EXPECT_FALSE(edit.ControlCanUndo());
    ASSERT_FALSE(undoAvailable.isEmpty()) << "the Undo command hears of it";
    EXPECT_FALSE(undoAvailable.last().at(0).toBool());
}

TEST(RichEditBatch, SelectionAndChangeCatchUpOnceAtTheEnd)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("one two one two"));
    QSignalSpy changes(&edit, &cWRichEdit::Change);
    {
        cEditBatch batch(edit);
        for (int from = 0; (from = edit.FindTextW(QStringLiteral("one"), from, 0, ftMatchCase)) >= 0;) {
            edit.SetSel(from, from + 3);
            edit.ReplaceSel(QStringLiteral("1"));
            from = edit.GetSelStart();
        }
        EXPECT_EQ(edit.GetSelStart(), 7);
        EXPECT_EQ(edit.cursorPosition(), 0) << "the view's caret waits for the batch";
        EXPECT_EQ(changes.count(), 0);
    }
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("1 two 1 two"));
    EXPECT_EQ(edit.cursorPosition(), 7);
    EXPECT_EQ(changes.count(), 1);
}

TEST(RichEditFind, FindsAcrossTheEditPointAfterEdits)
{
    cWRichEdit edit;
    edit.SetTextW(QString(5000, QChar(u'a')) + QStringLiteral(" word ") + QString(5000, QChar(u'b')));
    edit.SetSel(5003, 5003);
    edit.ReplaceSel(QStringLiteral("XX"));
    edit.SetSel(100, 100);
    edit.ReplaceSel(QStringLiteral("\r\n"));
    // The text is now "a..." CR "a... woXXrd b..."; the caret sits far from the match.
    EXPECT_EQ(edit.FindTextW(QStringLiteral("woxxrd"), 0, 0, ftWholeWord), 5002);
    EXPECT_EQ(edit.FindTextW(QStringLiteral("woXXrd"), edit.GetTextLen(), 0, ftBackward | ftMatchCase), 5002);
    EXPECT_EQ(edit.FindTextW(QStringLiteral("a\ra"), 0, 0, 0), 99);
    EXPECT_EQ(edit.FindTextW(QStringLiteral("woXXrd"), 0, 5007, 0), -1)
        << "a match must end within the range";
    EXPECT_EQ(edit.FindTextW(QStringLiteral("woXXrd"), 0, 5008, 0), 5002);
}

TEST(RichEditChange, NotifiesProgramChangesUnlessSwitchedOff)
{
    cWRichEdit edit;
    QSignalSpy changes(&edit, &cWRichEdit::Change);
    edit.SetSelTextW(QStringLiteral("x"));
    EXPECT_GE(changes.count(), 1);
    changes.clear();
    edit.SetChangeNotification(false);
    edit.SetSelTextW(QStringLiteral("y"));
    EXPECT_EQ(changes.count(), 0);
}

TEST(RichEditLines, CountIgnoresTrailingEmptyLine)
{
    cWRichEdit edit;
    EXPECT_EQ(edit.WLines().GetCount(), 0);
    edit.SetTextW(QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(edit.WLines().GetCount(), 2);
    edit.SetTextW(QStringLiteral("a\r\n\r\nb"));
    EXPECT_EQ(edit.WLines().GetCount(), 3);
    EXPECT_EQ(edit.WLines().Get(1), QString());
    EXPECT_EQ(edit.WLines().Get(2), QStringLiteral("b"));
    EXPECT_EQ(edit.WLines().Get(3), QString());
    EXPECT_EQ(edit.WLines().Get(-5), QString());
}

TEST(RichEditLines, GetKeepsWideCharacters)
{
    cWRichEdit edit;
    edit.SetTextW(U(u"x\r\n\u4e2d\u6587\r\ny"));
    EXPECT_EQ(edit.WLines().Get(1), U(u"\u4e2d\u6587"));
}

TEST(RichEditLines, InsertEdgeCases)
{
    cWRichEdit edit;
    cWStrings &lines = edit.WLines();
    lines.Insert(0, QStringLiteral("only"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("only\r"));
    EXPECT_EQ(lines.GetCount(), 1);

    // Just past the last line onto the empty trailing line: an ordinary insert.
    lines.Insert(1, QStringLiteral("second"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("only\rsecond\r"));
    // Two past: the line before is empty, nothing happens.
    lines.Insert(3, QStringLiteral("never"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("only\rsecond\r"));

    // A last line without a break gets a leading one.
    edit.SetTextW(QStringLiteral("a\r\nb"));
    lines.Insert(2, QStringLiteral("c"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("a\rb\rc"));
    EXPECT_EQ(lines.GetCount(), 3);
    lines.Insert(0, QStringLiteral("top"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("top\ra\rb\rc"));
    lines.Insert(-1, QStringLiteral("no"));
    lines.Insert(9, QStringLiteral("no"));
    EXPECT_EQ(lines.GetCount(), 4);
    EXPECT_EQ(lines.Add(QStringLiteral("end")), 4);
    EXPECT_EQ(lines.Get(4), QStringLiteral("end"));
}

TEST(RichEditLines, PutDeleteAndClear)
{
    cWRichEdit edit;
    cWStrings &lines = edit.WLines();
    edit.SetTextW(QStringLiteral("one\rtwo\rthree"));
    lines.Put(1, QStringLiteral("TWO"));
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("one\rTWO\rthree"));
    lines.Put(7, QStringLiteral("x"));
    lines.Delete(0);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("TWO\rthree"));
    lines.Delete(1);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("TWO\r"));
    EXPECT_EQ(lines.GetCount(), 1);
    lines.Clear();
    EXPECT_EQ(edit.GetTextLen(), 0);
    EXPECT_FALSE(edit.isModified());
}

TEST(RichEditLines, TextRoundTripsThroughTheList)
{
    cWRichEdit edit;
    edit.WLines().SetTextStr(QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(edit.WLines().GetTextStr(), QStringLiteral("a\r\nb\r\n"));
    // Unlike the plain list, the control keeps text after a NUL.
    edit.WLines().SetTextStr(WithNul());
    EXPECT_EQ(edit.GetTextW(), WithNul());
}

TEST(RichEditLines, SetTextStrIsSilentAndRestoresNotificationOnFailure)
{
    cWRichEdit edit;
    QSignalSpy changes(&edit, &cWRichEdit::Change);
    edit.WLines().SetTextStr(QStringLiteral("quiet"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("quiet"));

    edit.LimitTextW(3);
    try {
        edit.WLines().SetTextStr(QStringLiteral("too long"));
        FAIL() << "no exception";
    } catch (const EInvalidOperation &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Text exceeds memo capacity"));
    }
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("quiet"));
    EXPECT_TRUE(edit.ChangeNotification());
}

TEST(RichEditLines, UpdateBracketSwitchesRedrawOnlyAtTheOuterPair)
{
    cWRichEdit edit;
    {
        cUpdateBracket outer(edit.WLines());
        {
            cUpdateBracket inner(edit.WLines());
            EXPECT_FALSE(edit.viewport()->updatesEnabled());
        }
        EXPECT_FALSE(edit.viewport()->updatesEnabled());
    }
    EXPECT_TRUE(edit.viewport()->updatesEnabled());
}

TEST(RichEditLines, ListHoldsAReferenceWithoutOwningTheControl)
{
    cWRichEdit edit;
    EXPECT_EQ(edit.AddRef(), 2); // the line list holds the first
    EXPECT_EQ(edit.Release(), 1);
    EXPECT_EQ(edit.GetWindowHandle(), WId(0)); // never shown: no window made for asking
}

TEST(RichEditFind, ParagraphSeparatorIsTextNotABreak)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("a\r\nb"));
    EXPECT_EQ(edit.FindTextW(U(u"a\u2029b"), 0, 0, 0), -1);
    EXPECT_EQ(edit.FindTextW(QStringLiteral("A\rB"), 0, 0, 0), 0);
    edit.SetTextW(U(u"x a\u2029b"));
    EXPECT_EQ(edit.LineCount(), 1);
    EXPECT_EQ(edit.FindTextW(U(u"a\u2029b"), 0, 0, 0), 2);
    EXPECT_EQ(edit.FindTextW(QStringLiteral("a\rb"), 0, 0, 0), -1);
}

TEST(RichEditClipboard, CopyPutsCrLfAndEmptyCopyKeepsClipboard)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("one\rtwo\rthree"));
    WClipboard().FSetClipboardString(QStringLiteral("before"));
    edit.SetSelStart(2);
    edit.CopyToClipboardW();
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("before"));
    edit.SetSel(0, 7);
    edit.CopyToClipboardW();
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("one\r\ntwo"));
}

TEST(RichEditClipboard, CutAndPaste)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("keep cut keep"));
    edit.SetSel(5, 9);
    edit.CutToClipboardW();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("keep keep"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("cut "));
    edit.SetSelStart(0);
    edit.PasteFromClipboardW();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("cut keep keep"));
    EXPECT_EQ(edit.GetSelStart(), 4);
}

TEST(RichEditClipboard, PastingAnEmptyClipboardKeepsTheSelection)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("selected"));
    QGuiApplication::clipboard()->clear();
    edit.SetSel(0, -1);
    edit.PasteFromClipboardW();
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("selected"));
}

TEST(LineBreaks, AdjustedToCrLf)
{
    EXPECT_EQ(AdjustLineBreaksW(u"a\rb\nc\r\nd\n\re"), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    EXPECT_EQ(AdjustLineBreaksW(u"\r"), QStringLiteral("\r\n"));
    EXPECT_EQ(AdjustLineBreaksW(u"plain"), QStringLiteral("plain"));
}

TEST(RichEditColours, MarksNeitherChangeTextNorUndo)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("find me here"));
    QSignalSpy changes(&edit, &cWRichEdit::Change);
    const QColor black(Qt::black), yellow(Qt::yellow);
    edit.SetCharColors(5, 7, &yellow, &black);
    ASSERT_EQ(edit.colorMarks().size(), 1u);
    EXPECT_EQ(edit.TextRange(edit.colorMarks()[0].Start, edit.colorMarks()[0].End), QStringLiteral("me"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(edit.ControlCanUndo());
    // Normal colours over a wider range remove the mark.
    const QColor text = edit.palette().color(QPalette::Text), base = edit.palette().color(QPalette::Base);
    edit.SetCharColors(5, 8, &text, &base);
    EXPECT_TRUE(edit.colorMarks().empty());
}

TEST(RichEditColours, PartialRecolourSplitsAMark)
{
    cWRichEdit edit;
    edit.SetTextW(QStringLiteral("0123456789"));
    const QColor red(Qt::red);
    edit.SetCharColors(2, 8, nullptr, &red);
    const QColor base = edit.palette().color(QPalette::Base);
    edit.SetCharColors(4, 6, nullptr, &base);
    QStringList marked;
    for (const tColorMark &m : edit.colorMarks())
        marked << edit.TextRange(m.Start, m.End);
    marked.sort();
    EXPECT_EQ(marked, QStringList({QStringLiteral("23"), QStringLiteral("67")}));
}

TEST(ComboBox, ItemsIgnoreCaseInIndexOfAndKeepEditText)
{
    cWComboBox combo;
    combo.SetTextW(QStringLiteral("typed"));
    cWStrings &items = combo.WItems();
    EXPECT_EQ(items.Add(QStringLiteral("Alpha")), 0);
    items.Add(QStringLiteral("beta"));
    items.Insert(0, QStringLiteral("first"));
    items.Insert(-1, QStringLiteral("last"));
    EXPECT_EQ(combo.GetTextW(), QStringLiteral("typed"));
    EXPECT_EQ(items.GetCount(), 4);
    EXPECT_EQ(items.Get(0), QStringLiteral("first"));
    EXPECT_EQ(items.Get(3), QStringLiteral("last"));
    EXPECT_EQ(items.IndexOf(QStringLiteral("ALPHA")), 1);
    EXPECT_EQ(items.IndexOf(QStringLiteral("alph")), -1);
    items.Delete(1);
    EXPECT_EQ(items.IndexOf(QStringLiteral("alpha")), -1);
    EXPECT_EQ(combo.GetTextW(), QStringLiteral("typed"));
    items.Clear();
    EXPECT_EQ(items.GetCount(), 0);
    EXPECT_EQ(combo.GetTextW(), QStringLiteral("typed"));
}

TEST(ComboBox, ObjectsAndErrors)
{
    cWComboBox combo;
    cWStrings &items = combo.WItems();
    int tag = 0;
    items.AddObject(QStringLiteral("one"), &tag);
    items.Add(QStringLiteral("two"));
    EXPECT_EQ(items.GetObject(0), &tag);
    EXPECT_EQ(items.GetObject(1), nullptr);
    items.Exchange(0, 1);
    EXPECT_EQ(items.Get(1), QStringLiteral("one"));
    EXPECT_EQ(items.GetObject(1), &tag);
    try {
        items.GetObject(2);
        FAIL() << "no exception";
    } catch (const EStringListError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (2)"));
    }
    try {
        items.Insert(5, QStringLiteral("x"));
        FAIL() << "no exception";
    } catch (const EOutOfResources &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unable to insert a line"));
    }
}

} // namespace
