// SPDX-License-Identifier: GPL-3.0-or-later
// Drags onto the real window: files open as documents wherever they land,
// in the order they were dragged; text is put into the document where it
// falls, moved (Ctrl: copied) when it comes from a document.
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

TEST(Drop, TextDroppedOnTheTextAreaIsInsertedAndOpensNothing)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "x\r\n");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));

    // The text names a file that exists: it is still only text, put where
    // it falls (below the last line: at the end).
    cDragSource source(desktop, {QStringLiteral("--text"), a});
    const cDragSource::tResult drop = source.DropAt(TextAreaPoint(WindowGeometry(desktop, window)));
    EXPECT_TRUE(drop.Accepted);
    EXPECT_EQ(drop.Action, CopyAction);

    desktop.Focus(window);
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "x\r\n" + a.toUtf8(); }));
    EXPECT_EQ(desktop.WindowName(window), x + QStringLiteral(" - Zelmar"));
    EXPECT_EQ(desktop.ReadFile(a), QByteArray("a\r\n"));
}

// Where the first line of the text area is, and a point far right on the
// second (at the default font rows are about 17 pixels high).
QPoint FirstLinePoint(const QRect &window)
{
    return {window.x() + 20, TabBarPoint(window).y() + 26};
}

QPoint SecondLineEndPoint(const QRect &window)
{
    return {window.x() + window.width() / 2, FirstLinePoint(window).y() + 17};
}

// Presses at From, moves the pointer in steps through the points and lets
// go at the last, holding Ctrl for the drop when asked.
void DragMouse(const cDesktop &desktop, QPoint from, const QList<QPoint> &through, bool control = false)
{
    auto moveTo = [&](QPoint p) {
        desktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(p.x()),
                         QString::number(p.y())});
    };
    moveTo(from);
    desktop.Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    for (const QPoint &to : through) {
        for (int i = 1; i <= 8; ++i)
            moveTo(from + (to - from) * i / 8);
        from = to;
    }
    if (control)
        desktop.Xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl")});
    // A last small move, so that the drop knows of Ctrl.
    moveTo(from + QPoint(1, 0));
    desktop.Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    if (control)
        desktop.Xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl")});
}

TEST(Drop, ADraggedSelectionMovesAsOneUndoStepAndCtrlCopiesIt)
{
    cDesktop desktop;
    const QString x = desktop.WriteFile(QStringLiteral("x.txt"), "hello world\r\nsecond line\r\n");
    cQuorvel program(desktop, {QStringLiteral("x.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, x + QStringLiteral(" - Zelmar")));
    const QRect geometry = WindowGeometry(desktop, window);

    desktop.Keys({QStringLiteral("shift+End")});
    DragMouse(desktop, FirstLinePoint(geometry), {SecondLineEndPoint(geometry)});
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "\r\nsecond linehello world\r\n"; }))
        << desktop.ReadFile(x).toStdString();
    EXPECT_EQ(desktop.WindowName(window), x + QStringLiteral(" - Zelmar"));

    desktop.Keys({QStringLiteral("ctrl+z"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "hello world\r\nsecond line\r\n"; }))
        << "one undo takes the whole move back: " << desktop.ReadFile(x).toStdString();

    desktop.Keys({QStringLiteral("ctrl+Home"), QStringLiteral("shift+End")});
    DragMouse(desktop, FirstLinePoint(geometry), {SecondLineEndPoint(geometry)}, true);
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(x) == "hello world\r\nsecond linehello world\r\n"; }))
        << "Ctrl copies: " << desktop.ReadFile(x).toStdString();
}

// Dragged over another document's tab, the text goes into that document
// and leaves the one it came from.
TEST(Drop, TextDraggedOverATabMovesIntoThatDocument)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "first\r\n");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "moving text\r\n");
    cQuorvel program(desktop, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, b + QStringLiteral(" - Zelmar")));
    const QRect geometry = WindowGeometry(desktop, window);

    desktop.Keys({QStringLiteral("shift+End")});
    DragMouse(desktop, FirstLinePoint(geometry), {TabBarPoint(geometry), TextAreaPoint(geometry)});
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+s"), QStringLiteral("ctrl+Tab"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == "first\r\nmoving text"; }))
        << desktop.ReadFile(a).toStdString();
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(b) == "\r\n"; }))
        << desktop.ReadFile(b).toStdString();
}

} // namespace
