// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Editors.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace {

// Sets the Find dialog's controls as a user would before pressing a button.
struct tDialogInput
{
    explicit tDialogInput(QString find, QString replace = {}, bool regex = false, bool special = false)
        : Find(std::move(find)), Replace(std::move(replace)), Regex(regex), Special(special)
    {}
    QString Find;
    QString Replace;
    bool Regex = false;
    bool Special = false;
    bool Prompt = false;
    bool Backward = false;
    bool WholeWord = false;
    bool MatchCase = false;
    bool EntireScope = false;
    int Result = QDialog::Accepted;
};

void Fill(TFormFind &dialog, const tDialogInput &in)
{
    dialog.edwFind->SetTextW(in.Find);
    dialog.edwReplace->SetTextW(in.Replace);
    (in.Regex     ? dialog.rSpecialRegex
     : in.Special ? dialog.rSpecialChars
                  : dialog.rSpecialNone)
        ->setChecked(true);
    dialog.cbPrompt->setChecked(in.Prompt);
    (in.Backward ? dialog.rBackward : dialog.rForward)->setChecked(true);
    dialog.cbWholeWord->setChecked(in.WholeWord);
    dialog.cbCase->setChecked(in.MatchCase);
    (in.EntireScope ? dialog.rEntireScope : dialog.rFromCursor)->setChecked(true);
}

class Search : public ::testing::Test
{
protected:
    void Run(const tDialogInput &in)
    {
        FormFind()->SetExecutor([in](TFormFind &dialog) {
            Fill(dialog, in);
            return in.Result;
        });
    }
    // As a user would: the shown dialog, its radios clicked, closed by its
    // own Replace All button.
    void RunClicking(const tDialogInput &in, bool *selectedScope = nullptr)
    {
        FormFind()->SetExecutor([in, selectedScope](TFormFind &dialog) {
            dialog.show();
            Fill(dialog, in);
            for (QRadioButton *radio : {in.Backward ? dialog.rBackward : dialog.rForward,
                                        in.EntireScope ? dialog.rEntireScope : dialog.rFromCursor})
                QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(4, radio->height() / 2));
            if (selectedScope)
                *selectedScope = dialog.rSelected->isChecked() && !dialog.rGlobal->isChecked();
            dialog.btnReplaceAll->click();
            dialog.hide();
            return dialog.result();
        });
    }
    void TearDown() override { FormFind()->SetExecutor(nullptr); }

    QStringList Texts(const cMessageBoxAnswerer &answerer) const
    {
        QStringList texts;
        for (const tMessageBoxCall &call : answerer.Calls())
            texts << call.Text;
        return texts;
    }

    cEditor Doc;
};

TEST_F(Search, F3StepsThroughMatchesAndThenReportsNotFound)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("abc abc"));
    Doc.SetSelStart(0);
    Run(tDialogInput(QStringLiteral("abc")));
    Doc.Find();
    EXPECT_EQ(Doc.GetSelStart(), 3);
    EXPECT_TRUE(Doc.Highlighted());
    Doc.FindNext(false);
    EXPECT_EQ(Doc.GetSelStart(), 7);
    Doc.FindNext(false);
    EXPECT_EQ(Texts(answerer), QStringList({QStringLiteral("Text \"abc\" not found")}));
}

TEST_F(Search, BackwardSearchLeavesTheCaretAtTheMatchStart)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("abc abc"));
    Doc.SetSelStart(7);
    tDialogInput in(QStringLiteral("abc"));
    in.Backward = true;
    Run(in);
    Doc.Find();
    EXPECT_EQ(Doc.GetSelStart(), 4);
    Doc.FindNext(false);
    EXPECT_EQ(Doc.GetSelStart(), 0);
    EXPECT_TRUE(answerer.Calls().isEmpty());
}

TEST_F(Search, WholeWordsAndCase)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("concatenate Cat"));
    Doc.SetSelStart(0);
    tDialogInput in(QStringLiteral("cat"));
    in.WholeWord = true;
    in.MatchCase = true;
    Run(in);
    Doc.Find();
    EXPECT_EQ(answerer.Calls().size(), 1);
    in.MatchCase = false;
    Run(in);
    Doc.SetSelStart(0);
    Doc.Find();
    EXPECT_EQ(Doc.GetSelStart(), 15);
}

TEST_F(Search, RegexReplaceAllIsOneUndoAndIsReported)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("caaab aa"));
    tDialogInput in(QStringLiteral("a+"), QStringLiteral("x"), true);
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("cxb x"));
    EXPECT_EQ(Texts(answerer),
              QStringList({QStringLiteral("2 replacements done:\r\r\"a+\" replaced with \"x\"")}));
    ASSERT_TRUE(Doc.CanUndo());
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("caaab aa"));
    EXPECT_FALSE(Doc.CanUndo());
    Doc.Redo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("cxb x"));
}

TEST_F(Search, PromptedRegexReplaceCountsOnlyAcceptedOccurrences)
{
    QList<int> answers{IDNO, IDYES, IDYES, IDOK};
    cMessageBoxAnswerer answerer([&](const tMessageBoxCall &) { return answers.takeFirst(); });
    Doc.SetTextW(QStringLiteral("a1 a2 a3"));
    tDialogInput in(QStringLiteral("a(\\d)"), QStringLiteral("<$1>"), true);
    in.Prompt = true;
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a1 <2> <3>"));
    EXPECT_EQ(Texts(answerer).last(),
              QStringLiteral("2 replacements done:\r\r\"a(\\d)\" replaced with \"<$1>\""));
}

TEST_F(Search, PlainPromptedReplaceCancelledAtOnceReportsZero)
{
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &call) {
        return (call.Flags & MB_TYPEMASK) == MB_YESNOCANCEL ? IDCANCEL : IDOK;
    });
    Doc.SetTextW(QStringLiteral("x x"));
    tDialogInput in(QStringLiteral("x"), QStringLiteral("y"));
    in.Prompt = true;
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("x x"));
    EXPECT_EQ(Texts(answerer).last(), QStringLiteral("0 replacements done:\r\r\"x\" replaced with \"y\""));
}

TEST_F(Search, PlainPromptedReplaceSkipsDeclinedOccurrences)
{
    QList<int> answers{IDNO, IDYES, IDYES, IDOK};
    cMessageBoxAnswerer answerer([&](const tMessageBoxCall &) { return answers.takeFirst(); });
    Doc.SetTextW(QStringLiteral("x x x"));
    tDialogInput in(QStringLiteral("x"), QStringLiteral("yy"));
    in.Prompt = true;
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("x yy yy"));
    EXPECT_EQ(answerer.Calls().size(), 4);
    EXPECT_EQ(Texts(answerer).last(), QStringLiteral("2 replacements done:\r\r\"x\" replaced with \"yy\""));
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("x x x"));
}

TEST_F(Search, UnpromptedPlainReplaceAllCatchesUpOnceAtTheEnd)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("ab\rab\rab ab"));
    Doc.SetModified(false);
    int changes = 0;
    QObject::connect(&Doc, &cWRichEdit::Change, [&] { ++changes; });
    tDialogInput in(QStringLiteral("ab"), QStringLiteral("xyz"));
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("xyz\rxyz\rxyz xyz"));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(Doc.Modified());
    // The widget's own caret is the one the last replacement left.
    EXPECT_EQ(Doc.cursorPosition(), 15);
    EXPECT_EQ(Doc.GetSelStart(), 15);
    EXPECT_EQ(Doc.GetSelLength(), 0);
    EXPECT_EQ(Doc.LineFromChar(-1), 2);
}

// The view follows the caret to the last replacement, as after any edit.
TEST_F(Search, ReplaceAllShowsWhereTheCaretEnds)
{
    cMessageBoxAnswerer answerer(nullptr);
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("line %1\r").arg(i);
    Doc.resize(400, 300);
    Doc.show();
    Doc.SetTextW(text + QStringLiteral("last word"));
    Doc.SetSelStart(0);
    ASSERT_EQ(Doc.buffer().LineFromPosition(Doc.cursorForPosition(QPoint(0, 0))), 0);
    tDialogInput in(QStringLiteral("word"), QStringLiteral("words"));
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.LineFromChar(-1), 2000);
    EXPECT_TRUE(Doc.viewport()->rect().contains(Doc.cursorRect().center()));
    // A regex Replace All over the whole text leaves the caret, and the view,
    // at its start, wherever the matches were.
    Doc.RegexReplace({saReplaceAll, QStringLiteral("last"), QStringLiteral("Last"), soRegex});
    EXPECT_EQ(Doc.GetSelStart(), 0);
    EXPECT_EQ(Doc.buffer().LineFromPosition(Doc.cursorForPosition(QPoint(0, 0))), 0);
}

// Backwards the range runs down to the selection's start, not to the text's.
TEST_F(Search, BackwardReplaceAllInTheSelectionStaysInsideIt)
{
    for (const bool entireScope : {false, true}) {
        cMessageBoxAnswerer answerer(nullptr);
        Doc.SetTextW(QStringLiteral("aaa aaa aaa"));
        Doc.SetSelStart(4);
        Doc.SetSelLength(3);
        tDialogInput in(QStringLiteral("a"), QStringLiteral("b"));
        in.Backward = true;
        in.EntireScope = entireScope;
        bool selectedScope = false;
        RunClicking(in, &selectedScope);
        Doc.Replace();
        EXPECT_TRUE(selectedScope);
        EXPECT_EQ(Doc.GetTextW(), QStringLiteral("aaa bbb aaa")) << "entire scope " << entireScope;
        EXPECT_EQ(Texts(answerer),
                  QStringList({QStringLiteral("3 replacements done:\r\r\"a\" replaced with \"b\"")}));
    }
    // From the cursor over the whole text the range still reaches its start.
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("aa aa aa"));
    Doc.SetSelStart(4);
    tDialogInput in(QStringLiteral("a"), QStringLiteral("b"));
    in.Backward = true;
    RunClicking(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("bb ba aa"));
    EXPECT_EQ(Texts(answerer),
              QStringList({QStringLiteral("3 replacements done:\r\r\"a\" replaced with \"b\"")}));
}

// Whatever the scope and origin, a replace all that finds nothing leaves the
// document as it was: text, selection, modified flag and what Undo does.
TEST_F(Search, RegexReplaceAllThatReplacesNothingLeavesTheDocumentAlone)
{
    struct tCase
    {
        bool Selected;
        bool EntireScope;
    };
    for (const tCase c : {tCase{false, true}, tCase{false, false}, tCase{true, false}}) {
        Doc.SetTextW(QStringLiteral("abc def"));
        {
            // The change Undo must still take back afterwards: a whole-text one.
            cMessageBoxAnswerer first(nullptr);
            Doc.RegexReplace({saReplaceAll, QStringLiteral("f"), QStringLiteral("fx"), soRegex});
        }
        Doc.SetModified(false);
        cMessageBoxAnswerer answerer(nullptr);
        Doc.SetSelStart(4);
        Doc.SetSelLength(c.Selected ? 3 : 0);
        tDialogInput in(QStringLiteral("z+"), QStringLiteral("y"), true);
        in.EntireScope = c.EntireScope;
        RunClicking(in);
        Doc.Replace();
        const std::string what = c.Selected ? "selection" : c.EntireScope ? "entire scope" : "from cursor";
        EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abc defx")) << what;
        EXPECT_EQ(Doc.GetSelStart(), 4) << what;
        EXPECT_EQ(Doc.GetSelLength(), c.Selected ? 3 : 0) << what;
        EXPECT_FALSE(Doc.Modified()) << what;
        EXPECT_EQ(Texts(answerer), QStringList({QStringLiteral("Search pattern \"z+\" not found")})) << what;
        ASSERT_TRUE(Doc.CanUndo()) << what;
        Doc.Undo();
        EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abc def")) << what;
    }
}

TEST_F(Search, PlainReplaceAllWithSpecialCharacters)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("a\rb a\rb"));
    tDialogInput in(QStringLiteral("a^pb"), QStringLiteral("^t"), false, true);
    in.EntireScope = true;
    in.Result = TFormFind::mrAll;
    Run(in);
    Doc.Replace();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("\t \t"));
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("a\rb a\rb"));
}

TEST_F(Search, EqualTextsAndNothingFound)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("abc"));
    tDialogInput same(QStringLiteral("b"), QStringLiteral("b"));
    same.Result = TFormFind::mrAll;
    Run(same);
    Doc.Replace();
    tDialogInput missing(QStringLiteral("zz"), QStringLiteral("y"));
    missing.Result = TFormFind::mrAll;
    missing.EntireScope = true;
    Run(missing);
    Doc.Replace();
    EXPECT_EQ(Texts(answerer),
              QStringList({QStringLiteral("Text to find is identical to the text to replace:\r\r\"b\""),
                           QStringLiteral("Text \"zz\" not found")}));
    EXPECT_FALSE(Doc.CanUndo());
}

TEST_F(Search, RegexCompileErrorLeavesNoBracketOpen)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("abc"));
    tSearchRequest request{saReplaceAll, QStringLiteral("a(b"), QStringLiteral("x"), soRegex};
    EXPECT_THROW(Doc.RegexReplace(request), ERegExpr);
    EXPECT_EQ(Doc.GroupDepth(), 0);
    EXPECT_EQ(Doc.WLines().UpdateCount(), 0);
    EXPECT_EQ(WaitStateSingleton().BusyCount(), 0);
}

TEST_F(Search, RegexInAnEmptySelectionDoesNotSearch)
{
    cMessageBoxAnswerer answerer(nullptr);
    Doc.SetTextW(QStringLiteral("aaa"));
    Doc.SetSelStart(1);
    Doc.RegexFind({saFind, QStringLiteral("a"), {}, tSearchOptions(soRegex | soSelectedText)});
    EXPECT_EQ(Texts(answerer), QStringList({QStringLiteral("Search pattern \"a\" not found")}));
    Doc.RegexReplace(
        {saReplaceAll, QStringLiteral("a"), QStringLiteral("b"), tSearchOptions(soRegex | soSelectedText)});
    EXPECT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("aaa"));
}

// Without prompts Replace All is made in one change; with every prompt
// answered Yes it is made step by step. Both must give the same text, breaks,
// caret and report, whatever the options, scope and neighbours of the finds.
class ReplaceAllAtOnce : public Search
{
protected:
    enum tScope
    {
        FromCursor,
        Entire,
        Selected
    };
    struct tOutcome
    {
        QString Text;
        int SelStart = 0, SelLength = 0;
        QStringList Reports;
    };

    // Runs Replace All on a document holding Text (breaks as given).
    tOutcome RunOn(const QString &text, tDialogInput in, tScope scope, int start, int length)
    {
        cEditor doc;
        doc.LoadText([&text](cTextBuffer &buffer) { buffer.SetText(text); });
        doc.SetSelStart(start);
        doc.SetSelLength(length);
        in.EntireScope = scope == Entire;
        in.Result = TFormFind::mrAll;
        FormFind()->SetExecutor([in, scope](TFormFind &dialog) {
            Fill(dialog, in);
            (scope == Selected ? dialog.rSelected : dialog.rGlobal)->setChecked(true);
            return in.Result;
        });
        cMessageBoxAnswerer answerer([](const tMessageBoxCall &call) {
            return (call.Flags & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : IDOK;
        });
        doc.Replace();
        tOutcome outcome{doc.TextForFile(), doc.GetSelStart(), doc.GetSelLength(), {}};
        for (const tMessageBoxCall &call : answerer.Calls())
            if ((call.Flags & MB_TYPEMASK) == MB_OK)
                outcome.Reports << call.Text;
        if (!in.Prompt && outcome.Text != text) {
            // One undo gives back the text with every break as it was.
            doc.Undo();
            EXPECT_EQ(doc.TextForFile(), text);
        }
        return outcome;
    }

    void ExpectSame(const QString &text, tDialogInput in, tScope scope, int start, int length)
    {
        in.Prompt = false;
        const tOutcome atOnce = RunOn(text, in, scope, start, length);
        in.Prompt = true;
        const tOutcome stepwise = RunOn(text, in, scope, start, length);
        EXPECT_EQ(atOnce.Text, stepwise.Text);
        EXPECT_EQ(atOnce.SelStart, stepwise.SelStart);
        EXPECT_EQ(atOnce.SelLength, stepwise.SelLength);
        EXPECT_EQ(atOnce.Reports, stepwise.Reports);
    }
};

// Whole words that touch: what the last replacement left beside the next
// find decides whether it is a whole word, in either direction.
TEST_F(ReplaceAllAtOnce, WholeWordsThatTouch)
{
    for (const QString &text : {QStringLiteral("   "), QStringLiteral(" a  a \r\n \r")})
        for (const QString &replace : {QStringLiteral("x"), QString(), QStringLiteral(" ")})
            for (const bool backward : {false, true}) {
                SCOPED_TRACE(testing::Message() << "replace \"" << replace.toStdString() << "\" backward "
                                                << backward << " in \"" << text.toStdString() << '"');
                tDialogInput in(QStringLiteral(" "), replace);
                in.WholeWord = true;
                in.Backward = backward;
                ExpectSame(text, in, Entire, 0, 0);
            }
}

TEST_F(ReplaceAllAtOnce, EqualsReplacingOneByOne)
{
    static const QString pieces[] = {QStringLiteral("ab"), QStringLiteral("Ab"), QStringLiteral("a"),
                                     QStringLiteral("b"),  QStringLiteral("_"),  QStringLiteral(" "),
                                     QStringLiteral("\r"), QStringLiteral("\n"), QStringLiteral("\r\n"),
                                     QStringLiteral("é"),  QStringLiteral("x1")};
    static const QString finds[] = {QStringLiteral("ab"),  QStringLiteral("a"),  QStringLiteral("b"),
                                    QStringLiteral("aba"), QStringLiteral("AB"), QStringLiteral(" "),
                                    QStringLiteral("a "),  QStringLiteral(" a")};
    static const QString replacements[] = {QString(),
                                           QStringLiteral("x"),
                                           QStringLiteral("ab"),
                                           QStringLiteral("b_a"),
                                           QStringLiteral("abab"),
                                           QStringLiteral("y\rz"),
                                           QStringLiteral(" ")};
    for (unsigned seed = 1; seed <= 800; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        QString text;
        for (int i = pick(40); i > 0; --i)
            text += pieces[pick(int(std::size(pieces)))];
        tDialogInput in(finds[pick(int(std::size(finds)))], replacements[pick(int(std::size(replacements)))]);
        in.Backward = pick(2);
        in.WholeWord = pick(2);
        in.MatchCase = pick(2);
        const tScope scope = tScope(pick(3));
        // Mostly long ranges, so that most runs find something.
        const int length = int(text.size());
        const int start = pick(length / 4 + 1);
        if (scope == Selected)
            ExpectSame(text, in, scope, start, (length - start) / 2 + pick((length - start) / 2 + 1));
        else
            ExpectSame(text, in, scope, in.Backward ? length - start : start, 0);
        if (HasFailure())
            break;
    }
}

} // namespace
