// SPDX-License-Identifier: GPL-3.0-or-later
// Drags from another program onto the real window: files open as documents
// wherever they land, in the order they were dragged; text opens nothing.
#include "tests/e2e/E2eTools.h"

#include <gtest/gtest.h>

namespace {

// Places on the main window at the default font: the menu bar is about 19
// pixels high, the tab bar below it about 24, the first tab about 60 wide.
QPoint MenuBarPoint(const QRect &window)
{
    return {window.x() + window.width() * 3 / 4, window.y() + 9};
}

QPoint TabBarPoint(const QRect &window)
{
    return {window.x() + 30, window.y() + 31};
}

QPoint TextAreaPoint(const QRect &window)
{
    return window.center();
}

constexpr int CopyAction = 1;

TEST(Drop, FilesDroppedOnTheTextAreaOpenInDropOrder)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "x\r\n");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b\r\n");
    const QString c = desktop.WriteFile(QStringLiteral("c.txt"), "c\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));

    // Not in name order, so that an order of their own would show.
    cDragSource source(desktop, {b, c, a});
    const cDragSource::tResult drop = source.DropAt(TextAreaPoint(WindowGeometry(desktop, window)));
    EXPECT_TRUE(drop.Accepted);
    EXPECT_EQ(drop.Action, CopyAction);
    // The last one dropped is on show; the tabs follow the drop order.
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Focus(window);
    for (const QString &name : {x, b, c, a}) {
        desktop.Keys({QStringLiteral("ctrl+Tab")});
        EXPECT_TRUE(desktop.TitleBecomes(window, name + QStringLiteral(" - Zelmar"))) << name.toStdString();
    }
    // A dropped file is a document like any other: edited and saved.
    desktop.Type(QStringLiteral("Z"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == "Za\r\n"; }));
}

TEST(Drop, FilesDroppedOnTheTabBarOrTheMenuBarOpen)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "x\r\n");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));
    const QRect geometry = WindowGeometry(desktop, window);
    {
        cDragSource source(desktop, {a});
        const cDragSource::tResult drop = source.DropAt(TabBarPoint(geometry));
        EXPECT_TRUE(drop.Accepted);
        EXPECT_EQ(drop.Action, CopyAction);
        EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    }
    {
        cDragSource source(desktop, {b});
        const cDragSource::tResult drop = source.DropAt(MenuBarPoint(geometry));
        EXPECT_TRUE(drop.Accepted);
        EXPECT_EQ(drop.Action, CopyAction);
        EXPECT_TRUE(desktop.TitleBecomes(window, b + QStringLiteral(" - Zelmar")));
    }
}

TEST(Drop, AFolderAmongTheFilesIsReportedAndTheNextFileOpens)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "x\r\n");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    const QString folder = desktop.WorkDir();
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));

    cDragSource source(desktop, {folder, a});
    const cDragSource::tResult drop = source.DropAt(TextAreaPoint(WindowGeometry(desktop, window)));
    EXPECT_EQ(drop.Action, CopyAction);
    const QString box = WaitForMessageBox(desktop, window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("Return")));
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
}

TEST(Drop, TextDroppedOnTheTextAreaOpensNothingAndChangesNothing)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "x\r\n");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));

    // The text names a file that exists: it is still only text.
    cDragSource source(desktop, {QStringLiteral("--text"), a});
    const cDragSource::tResult drop = source.DropAt(TextAreaPoint(WindowGeometry(desktop, window)));
    EXPECT_TRUE(drop.Answered);
    EXPECT_FALSE(drop.Accepted);
    EXPECT_EQ(drop.Action, 0);

    // The document on show is still the one it was, as it was.
    desktop.Focus(window);
    desktop.Type(QStringLiteral("Y"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "Yx\r\n"; }));
    EXPECT_EQ(desktop.WindowName(window), x + QStringLiteral(" - Zelmar"));
    EXPECT_EQ(desktop.ReadFile(a), QByteArray("a\r\n"));
}

TEST(Drop, ADraggedSelectionLosesNoTextAndOpensNothing)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "hello world\r\nsecond line\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("shift+End")});

    // From the selection on the first line down into the text, and let go.
    const QRect geometry = WindowGeometry(desktop, window);
    const QPoint start(geometry.x() + 20, TabBarPoint(geometry).y() + 26);
    desktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(start.x()),
                     QString::number(start.y())});
    desktop.Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    for (int i = 1; i <= 8; ++i)
        desktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                         QString::number(start.x() + 10 * i), QString::number(start.y() + 12 * i)});
    desktop.Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});

    desktop.Keys({QStringLiteral("ctrl+Home")});
    desktop.Type(QStringLiteral("Y"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "Yhello world\r\nsecond line\r\n"; }));
    EXPECT_EQ(desktop.WindowName(window), x + QStringLiteral(" - Zelmar"));
}

} // namespace
