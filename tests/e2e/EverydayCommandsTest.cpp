// SPDX-License-Identifier: GPL-3.0-or-later
// The commands every Linux editor's user expects, driven with real keys and
// the mouse: recent files, reopening the last session, zoom, reload and
// reopening in another encoding, tabs, and +LINE on the command line.
#include "tests/e2e/E2eTools.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QString RunTool(const QString &program, const QStringList &args, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QByteArray Lines(int count, const char *prefix)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += prefix + QByteArray::number(i) + '\n';
    return text;
}

// The number of the line (1-based) holding Mark; 0 when none does.
int LineOf(const QByteArray &text, char mark)
{
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains(mark))
            return int(i + 1);
    return 0;
}

class cRunning
{
public:
    cRunning(cDesktop &desktop, const QStringList &args, const QString &title = QStringLiteral("Zelmar"))
        : Desktop(desktop), Program(desktop, args)
    {
        Window = desktop.MainWindow();
        if (!Window.isEmpty()) {
            desktop.Focus(Window);
            Shown = desktop.TitleBecomes(Window, title);
        }
    }
    bool ShowsFile(const QString &name) const
    {
        return Desktop.TitleBecomes(Window, Desktop.WorkDir() + u'/' + name + QStringLiteral(" - Zelmar"));
    }
    bool Exit()
    {
        Desktop.Focus(Window);
        Desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        return Program.WaitForExit();
    }

    cDesktop &Desktop;
    cQuorvel Program;
    QString Window;
    bool Shown = false;
};

TEST(EverydayCommands, RecentFilesComeMostRecentFirstSurviveARestartAndReachTheDesktopsList)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\n");
    desktop.WriteFile(QStringLiteral("b.txt"), "b\n");
    {
        cRunning run(desktop, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        ASSERT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));
        ASSERT_TRUE(run.Exit());
    }
    // The desktop's list, read back by another program.
    const QString xbel = desktop.Home() + QStringLiteral("/.local/share/recently-used.xbel");
    int lint = -1;
    RunTool(QStringLiteral("xmllint"), {QStringLiteral("--noout"), xbel}, &lint);
    EXPECT_EQ(lint, 0) << "not well-formed";
    EXPECT_EQ(RunTool(QStringLiteral("xmllint"),
                      {QStringLiteral("--xpath"), QStringLiteral("count(/xbel/bookmark)"), xbel}),
              QStringLiteral("2"));
    EXPECT_EQ(RunTool(QStringLiteral("xmllint"),
                      {QStringLiteral("--xpath"), QStringLiteral("string(/xbel/bookmark[1]/@href)"), xbel}),
              QStringLiteral("file://") + a);

    cRunning run(desktop, {});
    ASSERT_TRUE(run.Shown);
    // Most recent first: b is 1, a is 2; choosing a makes it 1.
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("r"), QStringLiteral("2")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("a.txt")));
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("r"), QStringLiteral("2")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));

    // A file gone since is dropped from the list when chosen, with a message.
    ASSERT_TRUE(QFile::remove(a));
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("r"), QStringLiteral("2")});
    const QString box = WaitForMessageBox(desktop, run.Window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("Return")));
    const QString list = desktop.StateHome() + QStringLiteral("/Varnholt/Zelmar/RecentFiles");
    auto names = [&] {
        QStringList files;
        for (const QJsonValue &name : QJsonDocument::fromJson(desktop.ReadFile(list)).array())
            files << name.toString();
        return files;
    };
    EXPECT_TRUE(
        WaitUntil([&] { return names() == QStringList{desktop.WorkDir() + QStringLiteral("/b.txt")}; }));

    desktop.Focus(run.Window);
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("r"), QStringLiteral("c")}); // Clear List
    EXPECT_TRUE(WaitUntil([&] { return names().isEmpty() && QFile::exists(list); }));
}

TEST(EverydayCommands, ReopenFilesAtStartBringsBackTheTabsTheirCaretsAndTheActiveTab)
{
    cDesktop desktop;
    desktop.WriteFile(QStringLiteral("a.txt"), Lines(60, "a"));
    desktop.WriteFile(QStringLiteral("b.txt"), "b1\nb2\n");
    {
        cRunning run(desktop, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        ASSERT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));
        desktop.Keys({QStringLiteral("alt+t"), QStringLiteral("f")}); // Reopen Files at Start: on
        desktop.Keys({QStringLiteral("ctrl+Prior")});
        ASSERT_TRUE(run.ShowsFile(QStringLiteral("a.txt")));
        desktop.Keys(
            {QStringLiteral("ctrl+End"), QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("End")});
        desktop.Keys({QStringLiteral("ctrl+Next")});
        ASSERT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));
        desktop.Keys({QStringLiteral("Down")});
        ASSERT_TRUE(run.Exit());
    }
    cRunning run(desktop, {});
    // The tab that was active is the one on show, its caret where it was.
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));
    desktop.Keys({QStringLiteral("X"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("b.txt")) == "b1\nXb2\n"; }));
    desktop.Keys({QStringLiteral("ctrl+Next")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("a.txt")));
    desktop.Keys({QStringLiteral("Y"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("a.txt")).contains("a59Y\n"); }));
}

TEST(EverydayCommands, ZoomChangesHowMuchTextShowsButNotTheEditorFont)
{
    cDesktop desktop;
    desktop.WriteFile(QStringLiteral("long.txt"), Lines(300, "line"));
    const QString settings = desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar/Settings");
    {
        cRunning run(desktop, {QStringLiteral("long.txt")});
        ASSERT_TRUE(run.ShowsFile(QStringLiteral("long.txt")));
        // Page Down moves by what shows: larger text, fewer lines.
        auto pageDownAndMark = [&](const QString &mark) {
            desktop.Keys({QStringLiteral("ctrl+Home"), QStringLiteral("Next"), mark});
        };
        pageDownAndMark(QStringLiteral("X"));
        desktop.Keys({QStringLiteral("ctrl+plus"), QStringLiteral("ctrl+plus"), QStringLiteral("ctrl+plus"),
                      QStringLiteral("ctrl+equal"), QStringLiteral("ctrl+plus")});
        pageDownAndMark(QStringLiteral("Y"));
        desktop.Keys({QStringLiteral("ctrl+0")});
        pageDownAndMark(QStringLiteral("Z"));
        desktop.Keys(
            {QStringLiteral("ctrl+minus"), QStringLiteral("ctrl+minus"), QStringLiteral("ctrl+minus")});
        pageDownAndMark(QStringLiteral("V"));
        desktop.Keys({QStringLiteral("ctrl+0")});
        // Ctrl and the wheel over the text zoom as the keys do.
        const QRect frame = WindowGeometry(desktop, run.Window);
        desktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                         QString::number(frame.center().x()), QString::number(frame.center().y())});
        desktop.Xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl")});
        for (int i = 0; i < 5; ++i)
            desktop.Xdotool({QStringLiteral("click"), QStringLiteral("4")});
        desktop.Xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl")});
        pageDownAndMark(QStringLiteral("W"));
        desktop.Keys({QStringLiteral("ctrl+s")});
        ASSERT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("long.txt")).contains('W'); }));
        ASSERT_TRUE(run.Exit());
    }
    const QByteArray text = desktop.ReadFile(QStringLiteral("long.txt"));
    const int normal = LineOf(text, 'X');
    EXPECT_GT(normal, 5);
    EXPECT_LT(LineOf(text, 'Y'), normal);
    EXPECT_EQ(LineOf(text, 'Z'), normal);
    EXPECT_GT(LineOf(text, 'V'), normal);
    EXPECT_LT(LineOf(text, 'W'), normal);
    // The stored font keeps the size chosen (10 points): name, charset,
    // colour, height, pitch, then the size.
    const QByteArray value = desktop.ReadFile(settings);
    ASSERT_GT(value.size(), 4);
    const int nameLength = int(quint8(value.at(0)));
    ASSERT_GT(value.size(), 18 + nameLength);
    EXPECT_EQ(int(quint8(value.at(14 + nameLength))), 10);
}

TEST(EverydayCommands, ReloadAsksWhenModifiedAndReopenWithEncodingKeepsTheCodePageForSaving)
{
    cDesktop desktop;
    desktop.WriteFile(QStringLiteral("cyr.txt"), "\xCF\xF0\xE8"); // "При" in WINDOWS-1251
    cRunning run(desktop, {QStringLiteral("cyr.txt")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("cyr.txt")));

    desktop.Keys({QStringLiteral("z"), QStringLiteral("z"), QStringLiteral("F5")});
    QString box = WaitForMessageBox(desktop, run.Window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("n"))); // keep the changes
    desktop.Focus(run.Window);
    desktop.Keys({QStringLiteral("F5")});
    box = WaitForMessageBox(desktop, run.Window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("y"))); // read it again
    desktop.Focus(run.Window);
    desktop.Keys({QStringLiteral("ctrl+Home"), QStringLiteral("A"), QStringLiteral("ctrl+s")});
    ASSERT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("cyr.txt")) == "A\xCF\xF0\xE8"; }));

    // File, Reopen with Encoding, Cyrillic, WINDOWS-1251: a letter typed then
    // is saved in that code page.
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("n"), QStringLiteral("y"), QStringLiteral("w")});
    desktop.Type(QStringLiteral("\u0414"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("cyr.txt")) == "A\xC4\xCF\xF0\xE8"; }))
        << desktop.ReadFile(QStringLiteral("cyr.txt")).toHex().toStdString();
}

TEST(EverydayCommands, TabsFollowADragSwitchWithCtrlPageKeysAndCloseOnAMiddleClickAfterAsking)
{
    cDesktop desktop;
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        desktop.WriteFile(QLatin1String(name), "x\n");
    cRunning run(desktop, {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("c.txt")));
    desktop.Keys({QStringLiteral("ctrl+Next")}); // wraps to the first
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("a.txt")));
    desktop.Keys({QStringLiteral("ctrl+Prior")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("c.txt")));

    // The first tab dragged past the others goes last; Alt+1 then takes
    // the tab now numbered 1.
    const QRect frame = WindowGeometry(desktop, run.Window);
    const int tabsY = frame.top() + 32;
    auto mouseTo = [&](int x) {
        desktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                         QString::number(frame.left() + x), QString::number(tabsY)});
    };
    mouseTo(20);
    desktop.Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    // In small steps, as a hand moves: a tab passes one neighbour per move.
    for (int x = 25; x <= 300; x += 5)
        mouseTo(x);
    desktop.Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("a.txt")));
    desktop.Keys({QStringLiteral("alt+1")});
    EXPECT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));

    // Middle click on the first tab (b, modified): the question of Close;
    // Cancel keeps it, No closes it.
    desktop.Keys({QStringLiteral("q")});
    mouseTo(20);
    desktop.Xdotool({QStringLiteral("click"), QStringLiteral("2")});
    QString box = WaitForMessageBox(desktop, run.Window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("Escape")));
    EXPECT_TRUE(run.ShowsFile(QStringLiteral("b.txt")));
    desktop.Xdotool({QStringLiteral("click"), QStringLiteral("2")});
    box = WaitForMessageBox(desktop, run.Window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("n")));
    desktop.Focus(run.Window);
    desktop.Keys({QStringLiteral("alt+1")});
    EXPECT_TRUE(run.ShowsFile(QStringLiteral("c.txt")));
    EXPECT_EQ(desktop.ReadFile(QStringLiteral("b.txt")), "x\n");
}

TEST(EverydayCommands, PlusLineColumnBeforeAFilePutsTheCaretThereUnlessAFileHasThatName)
{
    cDesktop desktop;
    desktop.WriteFile(QStringLiteral("+2"), "plus\n");
    desktop.WriteFile(QStringLiteral("f.txt"), "l1\nl2\nl3xyz\n");
    cRunning run(desktop, {QStringLiteral("+2"), QStringLiteral("+3:2"), QStringLiteral("f.txt")});
    ASSERT_TRUE(run.ShowsFile(QStringLiteral("f.txt")));
    desktop.Keys({QStringLiteral("Q"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("f.txt")) == "l1\nl2\nlQ3xyz\n"; }));
    desktop.Keys({QStringLiteral("ctrl+Prior")});
    EXPECT_TRUE(run.ShowsFile(QStringLiteral("+2")));
}

} // namespace
