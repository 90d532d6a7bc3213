// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

TEST(Program, CommandLineFilesOpenWritableThenReadOnlyInOrder)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b\r\n");
    const QString c = desktop.WriteFile(QStringLiteral("c.txt"), "c\r\n");
    const QString d = desktop.WriteFile(QStringLiteral("d.txt"), "d\r\n");
    cQuorvel program(desktop, {QStringLiteral("a.txt"), QStringLiteral("-r:b.txt;c.txt"),
                               QStringLiteral("/x"), QStringLiteral("d.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    // The last file opened is the active tab; Ctrl+Tab walks the tab order.
    ASSERT_TRUE(desktop.TitleBecomes(window, c + QStringLiteral(" - Zelmar")));
    const QStringList order{a, d, b, c};
    for (const QString &name : order) {
        desktop.Keys({QStringLiteral("ctrl+Tab")});
        if (name == c)
            break;
        EXPECT_TRUE(desktop.TitleBecomes(window, name + QStringLiteral(" - Zelmar"))) << name.toStdString();
        // Writable documents take the typed key and save it; read-only ones refuse it.
        desktop.Type(QStringLiteral("X"));
        desktop.Keys({QStringLiteral("ctrl+s")});
    }
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == "Xa\r\n"; }));
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(d) == "Xd\r\n"; }));
    EXPECT_EQ(desktop.ReadFile(b), QByteArray("b\r\n"));
}

TEST(Program, AMissingFileIsReportedAndTheNextOneOpens)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    cQuorvel program(desktop, {QStringLiteral("missing.txt"), QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    // The error box is a second window captioned with the product name.
    const QString box = desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window);
    ASSERT_FALSE(box.isEmpty());
    desktop.Focus(box);
    desktop.Keys({QStringLiteral("Return")});
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
}

TEST(Program, NoArgumentsGiveOneUntitledDocument)
{
    cDesktop desktop;
    cQuorvel program(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    desktop.Type(QStringLiteral("hello"));
    EXPECT_EQ(desktop.WindowName(window), QStringLiteral("Zelmar"));
}

TEST(Program, ASecondStartHandsItsFileToTheRunningWindow)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b");
    cQuorvel first(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    cQuorvel second(desktop, {QStringLiteral("b.txt"), QStringLiteral("nothere.txt")});
    ASSERT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(desktop.TitleBecomes(window, b + QStringLiteral(" - Zelmar")));
}

// One running window per desktop session: a start on another display of
// the same user opens its own window there; another screen of the same
// display is the same session.
TEST(Program, ASecondStartOnAnotherDisplayOpensItsOwnWindowThere)
{
    cDesktop desktop;
    cXvfb other;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b");
    const QString c = desktop.WriteFile(QStringLiteral("c.txt"), "c");
    cQuorvel first(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));

    cQuorvel there(desktop, {QStringLiteral("b.txt")}, other.Display());
    QString own;
    ASSERT_TRUE(WaitUntil([&] {
        own = desktop.XdotoolOn(other.Display(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), QStringLiteral("Zelmar$")});
        return !own.isEmpty();
    }));
    desktop.XdotoolOn(other.Display(), {QStringLiteral("windowfocus"), own});
    EXPECT_TRUE(WaitUntil([&] {
        return desktop.XdotoolOn(other.Display(), {QStringLiteral("getwindowname"), own}) ==
               b + QStringLiteral(" - Zelmar");
    }));
    EXPECT_EQ(there.Process().state(), QProcess::Running);
    EXPECT_EQ(desktop.WindowName(window), a + QStringLiteral(" - Zelmar"));

    cQuorvel sameDisplay(desktop, {QStringLiteral("c.txt")}, desktop.Display() + QStringLiteral(".0"));
    ASSERT_TRUE(sameDisplay.WaitForExit());
    EXPECT_EQ(sameDisplay.Process().exitCode(), 0);
    EXPECT_TRUE(desktop.TitleBecomes(window, c + QStringLiteral(" - Zelmar")));
}

TEST(Program, SettingsAreSavedOnExitAndSurviveARestart)
{
    cDesktop desktop;
    const QString settings = desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar/Settings");
    {
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+v"), QStringLiteral("w")}); // View, Word Wrap
        desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")}); // File, Exit
        ASSERT_TRUE(program.WaitForExit());
    }
    QByteArray value = desktop.ReadFile(settings);
    ASSERT_GE(value.size(), 37);
    const int nameLength = int(quint8(value[0]));
    EXPECT_EQ(value.size(), 37 + nameLength);
    EXPECT_EQ(value[19 + nameLength], '1'); // word wrap
    EXPECT_EQ(value[20 + nameLength], '1'); // status bar
    {
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        ASSERT_TRUE(program.WaitForExit());
    }
    // Word wrap came back on at the restart, so it was saved on again.
    value = desktop.ReadFile(settings);
    EXPECT_EQ(value[19 + nameLength], '1');
}

} // namespace

namespace {

TEST(Program, TypographyCommandAsksForASelection)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "text\r\n");
    cQuorvel program(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+1")}); // the first plug-in command
    const QString box = desktop.WaitForWindow(QStringLiteral("^Correct typography$"));
    ASSERT_FALSE(box.isEmpty());
    desktop.Focus(box);
    desktop.Keys({QStringLiteral("Return")});
    desktop.Focus(window);
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_EQ(desktop.ReadFile(a), QByteArray("text\r\n"));
}

} // namespace
