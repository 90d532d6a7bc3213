// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfLine.h"

#include "editor/platform/MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

// Runs the dialog with Act driving it while it is open.
tLineColumnRequest RunWith(TFormGotoLine &dialog, std::function<void()> act)
{
    QTimer::singleShot(0, &dialog, std::move(act));
    tLineColumnRequest request{123, 456, true};
    dialog.RunDialog(request);
    return request;
}

TEST(GotoLineDialog, DesignAsTheUserSeesIt)
{
    TFormGotoLine dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Go to Line/Column"));
    EXPECT_TRUE(QSize(227, 111).boundedTo(dialog.size()) == QSize(227, 111)) << "at least the design size";
    EXPECT_EQ(dialog.edLine->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog.edCol->text(), QStringLiteral("1"));
    EXPECT_TRUE(dialog.btnOK->isDefault());
    EXPECT_EQ(dialog.focusWidget(), dialog.edLine);
}

TEST(GotoLineDialog, OnlyDigitsAndBackspaceCanBeTyped)
{
    TFormGotoLine dialog;
    dialog.edLine->clear();
    QTest::keyClicks(dialog.edLine, QStringLiteral("1a2 -x3"));
    EXPECT_EQ(dialog.edLine->text(), QStringLiteral("123"));
    QTest::keyClick(dialog.edLine, Qt::Key_Backspace);
    EXPECT_EQ(dialog.edLine->text(), QStringLiteral("12"));
    QTest::keyClick(dialog.edLine, Qt::Key_Left);
    QTest::keyClicks(dialog.edLine, QStringLiteral("9"));
    EXPECT_EQ(dialog.edLine->text(), QStringLiteral("192"));
}

TEST(GotoLineDialog, BlankLineAndColumnFiveMoveOnlyTheColumn)
{
    TFormGotoLine dialog;
    const tLineColumnRequest request = RunWith(dialog, [&] {
        dialog.edLine->clear();
        dialog.edCol->setText(QStringLiteral(" 5 "));
        dialog.btnOK->click();
    });
    EXPECT_TRUE(request.Accepted);
    EXPECT_EQ(request.Line, -1);
    EXPECT_EQ(request.Column, 4);
}

TEST(GotoLineDialog, CancelFillsNothingAndTextsStayForTheNextShowing)
{
    TFormGotoLine dialog;
    tLineColumnRequest request = RunWith(dialog, [&] {
        dialog.edLine->setText(QStringLiteral("42"));
        dialog.edCol->setText(QStringLiteral("7"));
        dialog.btnOK->click();
    });
    EXPECT_EQ(request.Line, 41);
    EXPECT_EQ(request.Column, 6);

    QString lineSeen, columnSeen;
    request = RunWith(dialog, [&] {
        lineSeen = dialog.edLine->text();
        columnSeen = dialog.edCol->text();
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(lineSeen, QStringLiteral("42"));
    EXPECT_EQ(columnSeen, QStringLiteral("7"));
    EXPECT_FALSE(request.Accepted);
    EXPECT_EQ(request.Line, 456);
    EXPECT_EQ(request.Column, 123);
}

TEST(GotoLineDialog, PastedNumberTooLargeIsRefusedAndTheDialogStaysOpen)
{
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    TFormGotoLine dialog;
    bool stayedOpen = false;
    QWidget *focusAfter = nullptr;
    const tLineColumnRequest request = RunWith(dialog, [&] {
        QApplication::clipboard()->setText(QStringLiteral("12345678901"));
        dialog.edLine->clear();
        QTest::keyClick(dialog.edLine, Qt::Key_V, Qt::ControlModifier);
        dialog.edCol->setFocus();
        dialog.btnOK->click();
        stayedOpen = dialog.isVisible();
        focusAfter = dialog.focusWidget();
        dialog.btnCancel->click();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(focusAfter, dialog.edLine);
    EXPECT_FALSE(request.Accepted);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("'12345678901' is not a valid integer value"));
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[0].Flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(answerer.Calls()[0].Owner, &dialog);
}

TEST(GotoLineDialog, ColumnBoxIsCheckedBeforeTheLineBox)
{
    cMessageBoxAnswerer answerer(nullptr);
    TFormGotoLine dialog;
    QWidget *focusAfter = nullptr;
    RunWith(dialog, [&] {
        dialog.edLine->setText(QStringLiteral("1x"));
        dialog.edCol->setText(QStringLiteral("2y"));
        dialog.btnOK->click();
        focusAfter = dialog.focusWidget();
        dialog.reject();
    });
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("'2y' is not a valid integer value"));
    EXPECT_EQ(focusAfter, dialog.edCol);
}

TEST(GotoLineDialog, SmallestNumberDoesNotWrapToTheLargest)
{
    TFormGotoLine dialog;
    const tLineColumnRequest request = RunWith(dialog, [&] {
        dialog.edLine->setText(QStringLiteral("-2147483648"));
        dialog.edCol->setText(QStringLiteral("2147483647"));
        dialog.btnOK->click();
    });
    EXPECT_TRUE(request.Accepted);
    EXPECT_LT(request.Line, 0);
    EXPECT_EQ(request.Column, std::numeric_limits<std::int32_t>::max() - 1);
}

} // namespace
