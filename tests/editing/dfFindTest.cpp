// The Find and Replace dialog on its own: histories, modes, the pattern check.
#include "editor/editing/dfFind.h"

#include "editor/editing/UnicodeControls.h"
#include "editor/platform/MessageBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(FindDialog, HistoryKeepsTwentyOneNewestWithoutCaseDuplicates)
{
    TFormFind dialog;
    QString text;
    dialog.SetExecutor([&](TFormFind &d) {
        d.edwFind->SetTextW(text);
        return int(QDialog::Accepted);
    });
    tSearchRequest request;
    for (int i = 0; i < 25; ++i) {
        text = QStringLiteral("t%1").arg(i);
        dialog.RunDialog(false, false, request);
    }
    text = QStringLiteral("T24");
    dialog.RunDialog(false, false, request);
    ASSERT_EQ(dialog.edwFind->WItems().GetCount(), 21);
    EXPECT_EQ(dialog.edwFind->WItems().Get(0), QStringLiteral("t24"));
    EXPECT_EQ(dialog.edwFind->WItems().Get(20), QStringLiteral("t4"));
}

TEST(FindDialog, CancelHandsBackTextsButAddsNoHistory)
{
    TFormFind dialog;
    dialog.SetExecutor([](TFormFind &d) {
        d.edwFind->SetTextW(QStringLiteral("a^tb"));
        d.rSpecialChars->setChecked(true);
        d.cbCase->setChecked(true);
        return int(QDialog::Rejected);
    });
    tSearchRequest request;
    dialog.RunDialog(false, false, request);
    EXPECT_EQ(request.Action, saNone);
    EXPECT_EQ(request.FindText, QStringLiteral("a\tb"));
    EXPECT_TRUE(request.Has(soMatchCase));
    EXPECT_EQ(dialog.edwFind->WItems().GetCount(), 0);
}

TEST(FindDialog, InvalidPatternKeepsTheDialogOpenWithThePositionSelected)
{
    cMessageBoxAnswerer answerer(nullptr);
    TFormFind dialog;
    bool stayedOpen = false;
    int selectionStart = -1, selectionLength = -1;
    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        d.edwFind->SetTextW(QStringLiteral("a(b"));
        d.rSpecialRegex->setChecked(true);
        d.btnOK->click();
        stayedOpen = d.result() == 0 && answerer.Calls().size() == 1;
        selectionStart = d.edwFind->lineEdit()->selectionStart();
        selectionLength = int(d.edwFind->lineEdit()->selectedText().size());
        d.hide();
        return int(QDialog::Rejected);
    });
    tSearchRequest request;
    dialog.RunDialog(false, false, request);
    EXPECT_TRUE(stayedOpen);
    int errorOffset = -1;
    try {
        TRegExpr(QStringLiteral("a(b")).Compile();
    } catch (const ERegExpr &error) {
        errorOffset = error.ErrorOffset();
    }
    ASSERT_GE(errorOffset, 1);
    // An offset just past the end shows the last character.
    EXPECT_EQ(selectionStart, std::min(errorOffset, 2));
    EXPECT_EQ(selectionLength, 1);
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
}

TEST(FindDialog, FindAndReplaceModesAndSpecialRules)
{
    TFormFind dialog;
    bool replaceVisible = true, replaceEnabled = true;
    dialog.SetExecutor([&](TFormFind &d) {
        replaceVisible = d.btnReplaceAll->isVisibleTo(&d);
        replaceEnabled = d.edwReplace->isEnabled();
        d.rSpecialRegex->click();
        return int(QDialog::Rejected);
    });
    tSearchRequest request;
    dialog.RunDialog(true, false, request);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find Text"));
    EXPECT_FALSE(replaceVisible);
    EXPECT_FALSE(replaceEnabled);
    EXPECT_EQ(dialog.btnOK->x(), dialog.btnReplaceAll->x());
    EXPECT_TRUE(dialog.rSelected->isChecked());
    EXPECT_FALSE(dialog.rBackward->isEnabled());
    EXPECT_FALSE(dialog.cbWholeWord->isEnabled());
    dialog.SetExecutor([](TFormFind &) { return int(QDialog::Rejected); });
    dialog.RunDialog(false, true, request);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Replace Text"));
    EXPECT_FALSE(dialog.rSelected->isChecked());
    EXPECT_FALSE(dialog.rGlobal->isChecked());
    EXPECT_NE(dialog.btnOK->x(), dialog.btnReplaceAll->x());
}

TEST(FindDialog, ReplaceModeChecksTheReplacementAsAPatternToo)
{
    cMessageBoxAnswerer answerer(nullptr);
    TFormFind dialog;
    int firstResult = -1;
    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        d.edwFind->SetTextW(QStringLiteral("a+"));
        d.edwReplace->SetTextW(QStringLiteral("("));
        d.rSpecialRegex->click();
        d.btnReplaceAll->click();
        firstResult = d.result();
        d.edwReplace->SetTextW(QStringLiteral("x"));
        d.btnReplaceAll->click();
        d.hide();
        return d.result();
    });
    tSearchRequest request;
    dialog.RunDialog(false, true, request);
    EXPECT_EQ(firstResult, 0);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Owner, &dialog);
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[0].Flags & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(request.Action, saReplaceAll);
    EXPECT_EQ(request.FindText, QStringLiteral("a+"));
    EXPECT_EQ(request.ReplaceText, QStringLiteral("x"));
    EXPECT_EQ(request.SearchOptions, tSearchOptions(soRegex | soFromCursor));
    EXPECT_EQ(dialog.edwReplace->WItems().Get(0), QStringLiteral("x"));
}

TEST(FindDialog, RegexModeDisablesBackwardAndWholeWordsUntilNoneIsChosen)
{
    TFormFind dialog;
    dialog.rBackward->setChecked(true);
    dialog.rSpecialRegex->click();
    EXPECT_TRUE(dialog.rForward->isChecked());
    EXPECT_FALSE(dialog.rBackward->isEnabled());
    EXPECT_FALSE(dialog.cbWholeWord->isEnabled());
    dialog.rSpecialNone->click();
    EXPECT_TRUE(dialog.rBackward->isEnabled());
    EXPECT_TRUE(dialog.cbWholeWord->isEnabled());
    EXPECT_TRUE(dialog.rForward->isChecked());
    dialog.rSpecialChars->click();
    EXPECT_TRUE(dialog.rBackward->isEnabled());
}

TEST(FindDialog, OnlyWiderAndTheButtonsKeepToTheRightEdge)
{
    TFormFind dialog;
    dialog.SetExecutor([](TFormFind &) { return int(QDialog::Rejected); });
    tSearchRequest request;
    dialog.RunDialog(false, true, request);
    EXPECT_EQ(dialog.minimumHeight(), dialog.maximumHeight());
    const int width = dialog.width();
    const int findWidth = dialog.edwFind->width();
    const int cancelLeft = dialog.btnCancel->x();
    dialog.show();
    dialog.resize(width + 100, dialog.height() + 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.width(), width + 100);
    EXPECT_EQ(dialog.height(), dialog.minimumHeight());
    EXPECT_EQ(dialog.edwFind->width(), findWidth + 100);
    EXPECT_EQ(dialog.edwReplace->width(), findWidth + 100);
    EXPECT_EQ(dialog.btnCancel->x(), cancelLeft + 100);
    dialog.resize(width - 100, dialog.height());
    EXPECT_EQ(dialog.width(), width);
    dialog.hide();
}

TEST(FindDialog, SpecialCharactersAreExpandedOnlyInThatMode)
{
    TFormFind dialog;
    dialog.edwFind->SetTextW(QStringLiteral("^^p^x"));
    dialog.edwReplace->SetTextW(QStringLiteral("a^tb^"));
    dialog.rSpecialChars->setChecked(true);
    tSearchRequest request = dialog.CurrentRequest();
    EXPECT_EQ(request.Action, saFind);
    EXPECT_EQ(request.FindText, QStringLiteral("^p"));
    EXPECT_EQ(request.ReplaceText, QStringLiteral("a\tb"));
    dialog.rSpecialNone->setChecked(true);
    request = dialog.CurrentRequest();
    EXPECT_EQ(request.FindText, QStringLiteral("^^p^x"));
    EXPECT_EQ(request.ReplaceText, QStringLiteral("a^tb^"));
}

TEST(FindDialog, OneInstanceForTheRun)
{
    TFormFind *first = FormFind();
    EXPECT_EQ(FormFind(), first);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Find Text"));
}

} // namespace
