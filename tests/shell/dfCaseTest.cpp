// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfCase.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

int Show(TFormCase &dialog, std::function<void()> act)
{
    QTimer::singleShot(0, &dialog, std::move(act));
    return dialog.GetCase(true);
}

TEST(ChangeCaseDialog, ListsUpperCaseFirstAndOpensWithItSelected)
{
    TFormCase dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Change Case"));
    EXPECT_TRUE(QSize(175, 144).boundedTo(dialog.size()) == QSize(175, 144)) << "at least the design size";
    EXPECT_EQ(dialog.RadioButton1->text(), QStringLiteral("&UPPER CASE"));
    EXPECT_EQ(dialog.RadioButton2->text(), QStringLiteral("&lower case"));
    EXPECT_EQ(dialog.RadioButton3->text(), QStringLiteral("&Title Case"));
    EXPECT_EQ(dialog.RadioButton4->text(), QStringLiteral("tO&GGLE cASE"));
    EXPECT_TRUE(dialog.RadioButton1->isChecked());
    EXPECT_EQ(dialog.CaseButtons[1], dialog.RadioButton2);
    EXPECT_EQ(dialog.CaseButtons[2], dialog.RadioButton1);
    EXPECT_FALSE(dialog.CaseChosen);
    // Top to bottom in the order of the buttons' names.
    dialog.show();
    EXPECT_LT(dialog.RadioButton1->y(), dialog.RadioButton2->y());
    EXPECT_LT(dialog.RadioButton2->y(), dialog.RadioButton3->y());
    EXPECT_LT(dialog.RadioButton3->y(), dialog.RadioButton4->y());
}

TEST(ChangeCaseDialog, NothingIsRememberedBeforeTheFirstConfirmation)
{
    TFormCase dialog;
    EXPECT_EQ(dialog.GetCase(false), 0);
    EXPECT_EQ(Show(dialog, [&] { dialog.btnCancel->click(); }), 0);
    EXPECT_FALSE(dialog.CaseChosen);
    EXPECT_EQ(dialog.GetCase(false), 0);
}

TEST(ChangeCaseDialog, FirstConfirmationGivesUpperCaseAndRepeatsIt)
{
    TFormCase dialog;
    EXPECT_EQ(Show(dialog, [&] { dialog.btnOK->click(); }), 2);
    EXPECT_TRUE(dialog.CaseChosen);
    EXPECT_EQ(dialog.GetCase(false), 2);
    EXPECT_EQ(Show(dialog,
                   [&] {
                       dialog.RadioButton4->click();
                       dialog.btnOK->click();
                   }),
              4);
    EXPECT_EQ(dialog.GetCase(false), 4);
}

TEST(ChangeCaseDialog, ButtonClickedBeforeCancelBecomesTheRememberedCase)
{
    TFormCase dialog;
    Show(dialog, [&] { dialog.btnOK->click(); });
    EXPECT_EQ(Show(dialog,
                   [&] {
                       dialog.RadioButton2->click();
                       dialog.reject();
                   }),
              0);
    EXPECT_EQ(dialog.GetCase(false), 1);
}

} // namespace
