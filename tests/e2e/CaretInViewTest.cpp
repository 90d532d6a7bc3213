// SPDX-License-Identifier: GPL-3.0-or-later
// Go to and Find move the caret to a line far down: the window shows it.
#include "tests/e2e/E2eTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

class CaretInView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QByteArray bytes;
        for (int i = 1; i <= 200; ++i)
            bytes += "line " + QByteArray::number(i) + "\r\n";
        FFile = FDesktop.WriteFile(QStringLiteral("lines.txt"), bytes);
        FProgram = std::make_unique<cQuorvel>(FDesktop, QStringList{QStringLiteral("lines.txt")});
        FWindow = FDesktop.MainWindow();
        ASSERT_FALSE(FWindow.isEmpty());
        FDesktop.Focus(FWindow);
        ASSERT_TRUE(FDesktop.TitleBecomes(FWindow, FFile + QStringLiteral(" - Zelmar")));
    }

    // Types into a dialog of the program and closes it with Enter.
    bool Dialog(const QString &title, const QString &text)
    {
        const QString dialog = FDesktop.WaitForOtherWindow(QStringLiteral("^") + title + u'$', FWindow);
        if (dialog.isEmpty())
            return false;
        FDesktop.Focus(dialog);
        FDesktop.Type(text);
        FDesktop.Keys({QStringLiteral("Return")});
        const bool closed = WaitUntil([&] {
            return FDesktop
                .Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          QStringLiteral("^") + title + u'$'})
                .isEmpty();
        });
        FDesktop.Focus(FWindow);
        return closed;
    }

    // The line (1-based) that a click in the middle of the text lands on:
    // what the window shows there. Marks it with Mark and saves.
    int LineClickedInTheMiddle(const QByteArray &mark)
    {
        const QPoint middle = WindowGeometry(FDesktop, FWindow).center();
        FDesktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(middle.x()),
                          QString::number(middle.y())});
        FDesktop.Xdotool({QStringLiteral("click"), QStringLiteral("1")});
        FDesktop.Type(QString::fromLatin1(mark));
        FDesktop.Keys({QStringLiteral("ctrl+s")});
        QList<QByteArray> lines;
        if (!WaitUntil([&] {
                lines = FDesktop.ReadFile(FFile).split('\n');
                return std::any_of(lines.begin(), lines.end(),
                                   [&](const QByteArray &l) { return l.contains(mark); });
            }))
            return -1;
        for (int i = 0; i < lines.size(); ++i)
            if (lines[i].contains(mark))
                return i + 1;
        return -1;
    }

    cDesktop FDesktop;
    QString FFile, FWindow;
    std::unique_ptr<cQuorvel> FProgram;
};

TEST_F(CaretInView, GoToShowsTheLineItWentTo)
{
    FDesktop.Keys({QStringLiteral("ctrl+g")});
    ASSERT_TRUE(Dialog(QStringLiteral("Go to Line/Column"), QStringLiteral("150")));
    const int line = LineClickedInTheMiddle("@G");
    EXPECT_GT(line, 150 - 45) << "the view stayed at the top";
    EXPECT_LT(line, 150 + 45);
}

TEST_F(CaretInView, FindShowsTheTextItFound)
{
    FDesktop.Keys({QStringLiteral("ctrl+Home"), QStringLiteral("ctrl+f")});
    ASSERT_TRUE(Dialog(QStringLiteral("Find Text"), QStringLiteral("line 190")));
    const int line = LineClickedInTheMiddle("@F");
    EXPECT_GT(line, 190 - 45) << "the view stayed at the top";
    EXPECT_LE(line, 200);
}

} // namespace
