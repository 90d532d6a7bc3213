// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/MessageBox.h"

#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxRoutine, AnswererReceivesTheCallAndItsAnswerIsReturned)
{
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDNO; });
    EXPECT_EQ(MessageBox(nullptr, QStringLiteral("Save?"), QStringLiteral("Zelmar"),
                         MB_YESNOCANCEL | MB_ICONQUESTION),
              IDNO);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("Save?"));
    EXPECT_EQ(answerer.Calls()[0].Flags, MB_YESNOCANCEL | MB_ICONQUESTION);
}

TEST(MessageBoxRoutine, EmptyCaptionFallsBackToTheProductName)
{
    cMessageBoxAnswerer answerer(nullptr);
    MessageBox(nullptr, QStringLiteral("x"), QString(), MB_OK);
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
}

TEST(MessageBoxRoutine, AnswerersNestAndRestore)
{
    cMessageBoxAnswerer outer([](const tMessageBoxCall &) { return IDYES; });
    {
        cMessageBoxAnswerer inner([](const tMessageBoxCall &) { return IDCANCEL; });
        EXPECT_EQ(MessageBox(nullptr, {}, {}, MB_YESNOCANCEL), IDCANCEL);
    }
    EXPECT_EQ(MessageBox(nullptr, {}, {}, MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(outer.Calls().size(), 1);
}

// The real box: buttons, default button and line breaks as the flags say.
TEST(MessageBoxRoutine, RealBoxHasTheFlagsButtonsAndDefault)
{
    QString seenText;
    int buttons = 0;
    bool cancelIsDefault = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        buttons = int(box->buttons().size());
        cancelIsDefault = box->defaultButton() == box->button(QMessageBox::Cancel);
        box->button(QMessageBox::Ok)->click();
    });
    const int r = MessageBox(nullptr, QStringLiteral("line1\rline2"), QStringLiteral("Zelmar"),
                             MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(seenText, QStringLiteral("line1\nline2"));
    EXPECT_EQ(buttons, 2);
    EXPECT_TRUE(cancelIsDefault);
}

// A file named "<b>x.txt" must show as such, tags and all.
TEST(MessageBoxRoutine, TextIsShownAsPlainTextNeverAsMarkup)
{
    QString shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (const QLabel *label : box->findChildren<QLabel *>())
            if (label->text().contains(QStringLiteral("x.txt")) && label->textFormat() == Qt::PlainText)
                shown = label->text();
        box->button(QMessageBox::Ok)->click();
    });
    MessageBox(nullptr, QStringLiteral("Cannot open file \"<b>x.txt\"."), {}, MB_OK);
    EXPECT_EQ(shown, QStringLiteral("Cannot open file \"<b>x.txt\"."));
}

TEST(StandardErrorBox, ExceptionEscapingAnEventHandlerIsShownAndTheProgramGoesOn)
{
    cMessageBoxAnswerer answerer(nullptr);
    QObject target;
    bool ran = false;
    QTimer::singleShot(0, &target, [&] {
        ran = true;
        throw eException(QStringLiteral("Cannot open file \"x\". No such file"));
    });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_TRUE(ran);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("Cannot open file \"x\". No such file"));
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[0].Flags & MB_ICONMASK, MB_ICONERROR);
}

TEST(StandardErrorBox, CancelIsSwallowedSilently)
{
    cMessageBoxAnswerer answerer(nullptr);
    QObject target;
    QTimer::singleShot(0, &target, [] { throw eCancel(); });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(answerer.Calls().isEmpty());
}

TEST(Resources, FormatFillsArgumentsInOrder)
{
    EXPECT_EQ(FormatRes(res::ReplacementsDone, {2, QStringLiteral("a+"), QStringLiteral("x")}),
              QStringLiteral("2 replacements done:\r\r\"a+\" replaced with \"x\""));
    EXPECT_EQ(Format(QStringLiteral("100%% of %s"), {QStringLiteral("it")}), QStringLiteral("100% of it"));
    EXPECT_EQ(Format(QStringLiteral("&%d: %s"), {1}), QStringLiteral("&1: "));
    EXPECT_EQ(LoadResString(res::ProductName), QStringLiteral("Zelmar"));
    EXPECT_TRUE(LoadResString(1).isEmpty());
}

} // namespace
