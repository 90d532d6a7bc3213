// SPDX-License-Identifier: GPL-3.0-or-later
// The Find and Replace dialog on its own: histories, modes, the pattern check.
#include "editor/editing/dfFind.h"

#include "editor/editing/UnicodeControls.h"
#include "editor/platform/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

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

// The gap between the button left of Cancel and Cancel, in the shown dialog.
int GapBeforeCancel(TFormFind &d, QPushButton *button)
{
    d.show();
    QCoreApplication::processEvents();
    const int gap = d.btnCancel->x() - button->geometry().right();
    d.hide();
    return gap;
}

TEST(FindDialog, FindAndReplaceModesAndSpecialRules)
{
    TFormFind dialog;
    bool replaceVisible = true, replaceEnabled = true;
    int findGap = -1, replaceGap = -2;
    dialog.SetExecutor([&](TFormFind &d) {
        replaceVisible = d.btnReplaceAll->isVisibleTo(&d);
        replaceEnabled = d.edwReplace->isEnabled();
        findGap = GapBeforeCancel(d, d.btnOK);
        d.rSpecialRegex->click();
        return int(QDialog::Rejected);
    });
    tSearchRequest request;
    dialog.RunDialog(true, false, request);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find Text"));
    EXPECT_FALSE(replaceVisible);
    EXPECT_FALSE(replaceEnabled);
    EXPECT_TRUE(dialog.rSelected->isChecked());
    EXPECT_FALSE(dialog.rBackward->isEnabled());
    EXPECT_FALSE(dialog.cbWholeWord->isEnabled());
    dialog.SetExecutor([&](TFormFind &d) {
        replaceGap = GapBeforeCancel(d, d.btnReplaceAll);
        return int(QDialog::Rejected);
    });
    dialog.RunDialog(false, true, request);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Replace Text"));
    EXPECT_FALSE(dialog.rSelected->isChecked());
    EXPECT_FALSE(dialog.rGlobal->isChecked());
    // In find mode OK stands where Replace All stands in replace mode.
    EXPECT_EQ(findGap, replaceGap);
    EXPECT_GT(findGap, 0);
    EXPECT_LT(dialog.btnOK->geometry().right(), dialog.btnReplaceAll->x());
}

// The replacement is a substitution template, checked as the substitution
// reads it: every form it expands closes the dialog, a reference to a group
// the pattern lacks keeps it open with the reference selected.
TEST(FindDialog, ReplaceModeChecksTheReplacementAsATemplate)
{
    cMessageBoxAnswerer answerer(nullptr);
    TFormFind dialog;
    QList<int> results;
    int selectionStart = -1;
    QString selected;
    const QStringList valid{QStringLiteral("${1}"),  QStringLiteral("${1}0"), QStringLiteral("\\u$1"),
                            QStringLiteral("\\U$1"), QStringLiteral("\\l$1"), QStringLiteral("\\L$1"),
                            QStringLiteral("(")};
    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        d.edwFind->SetTextW(QStringLiteral("(\\w+)"));
        d.rSpecialRegex->click();
        for (const QString &templ : valid) {
            d.setResult(0);
            d.edwReplace->SetTextW(templ);
            d.btnReplaceAll->click();
            results << d.result();
        }
        d.setResult(0);
        d.edwReplace->SetTextW(QStringLiteral("<$1$2>"));
        d.btnReplaceAll->click();
        results << d.result();
        selectionStart = d.edwReplace->lineEdit()->selectionStart();
        selected = d.edwReplace->lineEdit()->selectedText();
        d.edwReplace->SetTextW(QStringLiteral("x"));
        d.btnReplaceAll->click();
        d.hide();
        return d.result();
    });
    tSearchRequest request;
    dialog.RunDialog(false, true, request);
    EXPECT_EQ(results, QList<int>({8, 8, 8, 8, 8, 8, 8, 0}));
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Owner, &dialog);
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[0].Flags & MB_ICONMASK, MB_ICONERROR);
    EXPECT_TRUE(answerer.Calls()[0].Text.contains(u'2')) << answerer.Calls()[0].Text.toStdString();
    EXPECT_EQ(selectionStart, 3);
    EXPECT_EQ(selected, QStringLiteral("$"));
    EXPECT_EQ(request.Action, saReplaceAll);
    EXPECT_EQ(request.FindText, QStringLiteral("(\\w+)"));
    EXPECT_EQ(request.ReplaceText, QStringLiteral("x"));
    EXPECT_EQ(request.SearchOptions, tSearchOptions(soRegex | soFromCursor));
    EXPECT_EQ(dialog.edwReplace->WItems().Get(0), QStringLiteral("x"));
}

// Clicking a radio button checks it and never unchecks it; only the dialog
// itself leaves both scopes unchecked, when it opens without a selection.
TEST(FindDialog, ScopeRadiosAreCheckedByClicksNeverUnchecked)
{
    TFormFind dialog;
    const auto click = [](QRadioButton *radio) {
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(4, radio->height() / 2));
    };
    QList<std::pair<bool, bool>> states; // global, selected after each step
    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        const auto note = [&] { states << std::pair(d.rGlobal->isChecked(), d.rSelected->isChecked()); };
        note();
        click(d.rSelected);
        note();
        click(d.rGlobal);
        note();
        click(d.rGlobal);
        note();
        d.rGlobal->setFocus();
        QTest::keyClick(d.rGlobal, Qt::Key_Space);
        note();
        d.hide();
        return int(QDialog::Rejected);
    });
    tSearchRequest request;
    dialog.RunDialog(true, false, request);
    using tState = std::pair<bool, bool>;
    EXPECT_EQ(states,
              QList<tState>({{false, true}, {false, true}, {true, false}, {true, false}, {true, false}}));

    states.clear();
    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        states << std::pair(d.rGlobal->isChecked(), d.rSelected->isChecked());
        d.hide();
        return int(QDialog::Rejected);
    });
    dialog.RunDialog(true, false, request);
    dialog.RunDialog(false, false, request);
    EXPECT_EQ(states, QList<tState>({{false, true}, {false, false}}));
    EXPECT_FALSE(request.Has(soSelectedText));

    dialog.SetExecutor([&](TFormFind &d) {
        d.show();
        click(d.rGlobal);
        states << std::pair(d.rGlobal->isChecked(), d.rSelected->isChecked());
        click(d.rSelected);
        states << std::pair(d.rGlobal->isChecked(), d.rSelected->isChecked());
        d.hide();
        return int(QDialog::Rejected);
    });
    states.clear();
    dialog.RunDialog(false, false, request);
    EXPECT_EQ(states, QList<tState>({{true, false}, {false, true}}));
}

// Every line of the special-characters hint is shown, inside its box and the
// dialog, whatever font the desktop gives the dialog.
TEST(FindDialog, SpecialCharactersHintShowsEveryLineAtAnyFontSize)
{
    const QFont original = QApplication::font();
    for (const int points : {8, 11, 16, 24}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        TFormFind dialog;
        dialog.SetExecutor([](TFormFind &d) {
            d.show();
            QCoreApplication::processEvents();
            return int(QDialog::Rejected);
        });
        tSearchRequest request;
        dialog.RunDialog(false, true, request);
        QLabel *hint = dialog.lbSpecialCharsHint;
        ASSERT_EQ(hint->text().split(u'\n').size(), 6);
        const QRect area = hint->contentsRect();
        const QRect needed = hint->fontMetrics().boundingRect(
            QRect(area.topLeft(), QSize(area.width(), 100000)), int(hint->alignment()), hint->text());
        EXPECT_GE(area.height(), needed.height()) << points << " pt";
        EXPECT_GE(area.width(), needed.width()) << points << " pt";
        const QRect inBox(hint->mapTo(dialog.gbSpecial, QPoint()), hint->size());
        EXPECT_TRUE(dialog.gbSpecial->contentsRect().contains(inBox)) << points << " pt";
        const QRect box = dialog.gbSpecial->geometry();
        EXPECT_TRUE(dialog.rect().contains(box)) << points << " pt";
        EXPECT_LT(box.bottom(), dialog.btnOK->y()) << points << " pt";
        EXPECT_EQ(dialog.height(), dialog.maximumHeight());
        dialog.hide();
    }
    QApplication::setFont(original);
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
    dialog.show();
    QCoreApplication::processEvents();
    const int width = dialog.width();
    EXPECT_GE(width, 537);
    EXPECT_GE(dialog.height(), 340);
    const int findWidth = dialog.edwFind->width();
    const int cancelLeft = dialog.btnCancel->x();
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
