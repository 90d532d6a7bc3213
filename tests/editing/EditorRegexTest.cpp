// SPDX-License-Identifier: GPL-3.0-or-later
// The regex layer of a document, without the Find dialog.
#include "editor/editing/EditorRegex.h"

#include "editor/editing/WaitSt.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

class cRegexDocument : public cEditRegex
{
public:
    void HighlightFound(bool on) override { Highlights << on; }
    QList<bool> Highlights;
};

class RegexLayer : public ::testing::Test
{
protected:
    // Answers prompts from the list (Yes when it runs out) and reports with OK.
    void Answer(QList<int> answers) { FAnswers = std::move(answers); }

    QStringList Reports() const
    {
        QStringList texts;
        for (const tMessageBoxCall &call : FAnswerer.Calls())
            if ((call.Flags & MB_TYPEMASK) == MB_OK)
                texts << call.Text;
        return texts;
    }
    int Prompts() const
    {
        int n = 0;
        for (const tMessageBoxCall &call : FAnswerer.Calls())
            n += (call.Flags & MB_TYPEMASK) == MB_YESNOCANCEL ? 1 : 0;
        return n;
    }
    void ExpectEverythingRestored() const
    {
        EXPECT_EQ(Doc.GroupDepth(), 0);
        EXPECT_EQ(const_cast<cRegexDocument &>(Doc).WLines().UpdateCount(), 0);
        EXPECT_EQ(WaitStateSingleton().BusyCount(), 0);
    }

    static tSearchRequest Request(tSearchAction action, const QString &find, const QString &replace,
                                  tSearchOptions options)
    {
        return {action, find, replace, tSearchOptions(options | soRegex)};
    }

    QList<int> FAnswers;
    cMessageBoxAnswerer FAnswerer{[this](const tMessageBoxCall &call) {
        if ((call.Flags & MB_TYPEMASK) != MB_YESNOCANCEL)
            return IDOK;
        return FAnswers.isEmpty() ? IDYES : FAnswers.takeFirst();
    }};
    cRegexDocument Doc;
};

TEST_F(RegexLayer, FindIsCaseBlindUnlessAskedAndLinesEndAtTheParagraphMark)
{
    Doc.SetTextW(QStringLiteral("xa\rA\rb"));
    Doc.RegexFind(Request(saFind, QStringLiteral("^A"), {}, 0));
    EXPECT_EQ(Doc.GetSelStart(), 4); // the second line's start, caret after the match
    EXPECT_EQ(Doc.Highlights, QList<bool>({true}));
    Doc.SetSelStart(0);
    Doc.RegexFind(Request(saFind, QStringLiteral("^b$"), {}, soMatchCase));
    EXPECT_EQ(Doc.GetSelStart(), 6);
    Doc.RegexFind(Request(saFind, QStringLiteral("B"), {}, soMatchCase));
    EXPECT_EQ(Reports(), QStringList({QStringLiteral("Search pattern \"B\" not found")}));
}

TEST_F(RegexLayer, FindNextContinuesFromTheCaretWhateverTheScope)
{
    Doc.SetTextW(QStringLiteral("a1 a22 a3"));
    const tSearchRequest request = Request(saNone, QStringLiteral("a\\d+"), {}, soSelectedText);
    Doc.RegexFindNext(request);
    EXPECT_EQ(Doc.GetSelStart(), 2);
    Doc.RegexFindNext(request);
    EXPECT_EQ(Doc.GetSelStart(), 6);
    Doc.RegexFindNext(request);
    EXPECT_EQ(Doc.GetSelStart(), 9);
    EXPECT_TRUE(Reports().isEmpty());
    Doc.RegexFindNext(request);
    EXPECT_EQ(Reports().size(), 1);
}

TEST_F(RegexLayer, ReplaceAllAtOnceInEachScope)
{
    Doc.SetTextW(QStringLiteral("aaaa"));
    Doc.SetSelStart(1);
    Doc.SetSelLength(2);
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("a"), QStringLiteral("b"), soSelectedText));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abba"));

    Doc.SetTextW(QStringLiteral("a-a-a"));
    Doc.SetSelStart(2);
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("(a)"), QStringLiteral("[$1]"), soFromCursor));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a-[a]-[a]"));
    EXPECT_EQ(Doc.GetSelLength(), 0);
    EXPECT_EQ(Reports(),
              QStringList({QStringLiteral("2 replacements done:\r\r\"a\" replaced with \"b\""),
                           QStringLiteral("2 replacements done:\r\r\"(a)\" replaced with \"[$1]\"")}));
    ExpectEverythingRestored();
}

// Only the matches change: every other line keeps its own break, marks the
// replacement makes take the dominant one, and one undo puts back each break.
TEST_F(RegexLayer, ReplaceAllKeepsEachLinesBreakInEachScope)
{
    const QString file = QStringLiteral("a1\nb2\r\nc3\nd4\re5\nf");
    struct tCase
    {
        tSearchOptions Scope;
        int SelStart, SelLength;
        QString Replaced;
        int Caret;
    };
    const tCase cases[] = {
        {0, 0, 0, QStringLiteral("a#\nb#\r\nc#\nd#\re#\nf"), 0},
        {soFromCursor, 6, 0, QStringLiteral("a1\nb2\r\nc#\nd#\re#\nf"), 16},
        {soSelectedText, 3, 6, QStringLiteral("a1\nb#\r\nc#\nd4\re5\nf"), 9},
    };
    for (const tCase &c : cases) {
        Doc.LoadText([&file](cTextBuffer &buffer) { buffer.SetText(file); });
        Doc.SetSelStart(c.SelStart);
        Doc.SetSelLength(c.SelLength);
        Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("\\d"), QStringLiteral("#"), c.Scope));
        EXPECT_EQ(Doc.TextForFile(), c.Replaced) << int(c.Scope);
        EXPECT_EQ(Doc.GetSelStart(), c.Caret) << int(c.Scope);
        Doc.Undo();
        EXPECT_EQ(Doc.TextForFile(), file) << int(c.Scope);
        Doc.Redo();
        EXPECT_EQ(Doc.TextForFile(), c.Replaced) << int(c.Scope);
    }
    // A break the template makes is the document's dominant one (LF here).
    Doc.LoadText([&file](cTextBuffer &buffer) { buffer.SetText(file); });
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("c3"), QStringLiteral("c\\n3"), 0));
    EXPECT_EQ(Doc.TextForFile(), QStringLiteral("a1\nb2\r\nc\n3\nd4\re5\nf"));
    ExpectEverythingRestored();
}

TEST_F(RegexLayer, SingleReplacementReportsOneAndADeclinedOneNothing)
{
    Doc.SetTextW(QStringLiteral("cat cat"));
    Doc.RegexReplace(Request(saReplace, QStringLiteral("c(a)t"), QStringLiteral("d$1g"), 0));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("dag cat"));
    EXPECT_EQ(Reports(),
              QStringList({QStringLiteral("1 replacement done:\r\r\"c(a)t\" replaced with \"d$1g\"")}));
    Answer({IDNO});
    Doc.RegexReplace(Request(saReplace, QStringLiteral("cat"), QStringLiteral("x"), soPrompt));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("dag cat"));
    EXPECT_EQ(Reports().size(), 1);
    EXPECT_EQ(Prompts(), 1);
}

TEST_F(RegexLayer, CancelAtAPromptEndsSilentlyAndOneUndoRevertsWhatWasDone)
{
    Doc.SetTextW(QStringLiteral("a a a"));
    Answer({IDYES, IDCANCEL});
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("a"), QStringLiteral("bb"), soPrompt));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("bb a a"));
    EXPECT_EQ(Prompts(), 2);
    EXPECT_TRUE(Reports().isEmpty());
    ExpectEverythingRestored();
    ASSERT_TRUE(Doc.CanUndo());
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a a a"));
}

TEST_F(RegexLayer, PromptedReplaceOfEmptyMatchesComesToAnEnd)
{
    // An empty match replaced by nothing would otherwise be found again at
    // the same place for ever.
    Doc.SetTextW(QStringLiteral("ab"));
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("x*"), QString(), soPrompt));
    EXPECT_EQ(Prompts(), 3); // before a, before b, at the end
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("ab"));
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("x*"), QStringLiteral("-"), 0));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("-a-b-")); // the same three at once

    Doc.SetTextW(QStringLiteral("ab"));
    Answer({IDNO, IDNO, IDNO, IDNO});
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("^"), QStringLiteral("-"), soPrompt));
    EXPECT_EQ(Prompts(), 4); // one line, one start
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("ab"));
    ExpectEverythingRestored();
}

TEST_F(RegexLayer, CompileErrorPropagatesFromEveryCommand)
{
    Doc.SetTextW(QStringLiteral("abc"));
    EXPECT_THROW(Doc.RegexFind(Request(saFind, QStringLiteral("("), {}, 0)), ERegExpr);
    EXPECT_THROW(
        Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("a(b"), QStringLiteral("x"), soPrompt)),
        ERegExpr);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abc"));
    EXPECT_TRUE(Reports().isEmpty());
    ExpectEverythingRestored();
}

TEST_F(RegexLayer, PromptedReplacementSeesTheMatchInItsContext)
{
    const QString pattern = QStringLiteral("(?<=a)b");
    Doc.SetTextW(QStringLiteral("ab cb ab"));
    Doc.RegexReplace(Request(saReplaceAll, pattern, QStringLiteral("[$&]"), soPrompt));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a[b] cb a[b]"));
    EXPECT_EQ(Prompts(), 2);
    // The same request at once gives the same text.
    Doc.SetTextW(QStringLiteral("ab cb ab"));
    Doc.RegexReplace(Request(saReplaceAll, pattern, QStringLiteral("[$&]"), 0));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a[b] cb a[b]"));
    EXPECT_EQ(Reports(),
              QStringList(2, QStringLiteral("2 replacements done:\r\r\"(?<=a)b\" replaced with \"[$&]\"")));
}

TEST_F(RegexLayer, PromptedReplacementDoesNotTakeTheCaretForALineStart)
{
    // Each replacement leaves the caret behind it; a search that began
    // there would let ^ match in mid-line.
    const tSearchRequest prompted =
        Request(saReplaceAll, QStringLiteral("^\\d"), QStringLiteral("x"), soPrompt);
    Doc.SetTextW(QStringLiteral("12\r34"));
    Doc.RegexReplace(prompted);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("x2\rx4"));
    EXPECT_EQ(Prompts(), 2);
    Doc.SetTextW(QStringLiteral("12\r34"));
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("^\\d"), QStringLiteral("x"), 0));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("x2\rx4"));
    // In a selection the scope still begins where the selection does.
    Doc.SetTextW(QStringLiteral("12\r34"));
    Doc.SetSelStart(1);
    Doc.SetSelLength(4);
    Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("^\\d"), QStringLiteral("x"),
                             tSearchOptions(soPrompt | soSelectedText)));
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("1x\rx4"));
    ExpectEverythingRestored();
}

TEST_F(RegexLayer, ATextTheControlRefusesIsAFailureNotAReport)
{
    Doc.SetTextW(QStringLiteral("aaaa"));
    Doc.LimitTextW(6);
    EXPECT_THROW(Doc.RegexReplace(Request(saReplaceAll, QStringLiteral("a"), QStringLiteral("bb"), 0)),
                 EInvalidOperation);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("aaaa"));
    EXPECT_TRUE(Reports().isEmpty());
    ExpectEverythingRestored();
}

} // namespace
