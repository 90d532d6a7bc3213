// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <QDirIterator>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// Every file below Dir, relative to it, sorted and joined with blanks.
std::string FilesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    files.sort();
    return files.join(u' ').toStdString();
}

// Runs the desktop's program to its end, with or without the display, and
// gives its standard output.
QString RunToEnd(const cDesktop &desktop, const QStringList &args, bool withDisplay, int *exitCode)
{
    QProcess process;
    QProcessEnvironment env = desktop.Environment();
    if (!withDisplay)
        env.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(desktop.WorkDir());
    process.start(desktop.Program(), args);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        *exitCode = -1;
        return {};
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(Desktop, HelpAndVersionNeedNoDisplay)
{
    cDesktop desktop;
    int exitCode = -1;
    EXPECT_TRUE(RunToEnd(desktop, {QStringLiteral("--help")}, false, &exitCode)
                    .startsWith(QStringLiteral("Usage: quorvel [OPTION]... [FILE]...\n")));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(RunToEnd(desktop, {QStringLiteral("--version")}, false, &exitCode)
                    .startsWith(QStringLiteral("quorvel (Zelmar) ")));
    EXPECT_EQ(exitCode, 0);
}

TEST(Desktop, HelpAndVersionHandNothingToARunningInstance)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    const QString b = desktop.WriteFile(QStringLiteral("b.txt"), "b");
    const QString c = desktop.WriteFile(QStringLiteral("c.txt"), "c");
    cQuorvel first(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    int exitCode = -1;
    EXPECT_TRUE(RunToEnd(desktop, {QStringLiteral("b.txt"), QStringLiteral("--help")}, true, &exitCode)
                    .startsWith(QStringLiteral("Usage: ")));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(RunToEnd(desktop, {QStringLiteral("--version"), QStringLiteral("b.txt")}, true, &exitCode)
                    .startsWith(QStringLiteral("quorvel ")));
    EXPECT_EQ(exitCode, 0);
    // A plain start still hands over; after it exactly the tabs a and c exist.
    EXPECT_TRUE(RunToEnd(desktop, {QStringLiteral("c.txt")}, true, &exitCode).isEmpty());
    EXPECT_EQ(exitCode, 0);
    ASSERT_TRUE(desktop.TitleBecomes(window, c + QStringLiteral(" - Zelmar")));
    desktop.Focus(window);
    desktop.Keys({QStringLiteral("ctrl+Tab")});
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+Tab")});
    EXPECT_TRUE(desktop.TitleBecomes(window, c + QStringLiteral(" - Zelmar")));
}

TEST(Desktop, TheWindowCarriesTheIconAndTheLaunchersClass)
{
    const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
    ASSERT_FALSE(xprop.isEmpty()) << "xprop (x11-utils) is missing";
    cDesktop desktop;
    cQuorvel program(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    QProcess tool;
    tool.setProcessEnvironment(desktop.Environment());
    tool.start(xprop,
               {QStringLiteral("-id"), window, QStringLiteral("WM_CLASS"), QStringLiteral("_NET_WM_ICON")});
    ASSERT_TRUE(tool.waitForFinished(15000));
    const QString properties = QString::fromUtf8(tool.readAllStandardOutput());
    EXPECT_TRUE(properties.contains(QStringLiteral("WM_CLASS(STRING) = \"quorvel\", \"quorvel\"")));
    for (const char *size : {"16 x 16", "32 x 32", "48 x 48"})
        EXPECT_TRUE(properties.contains(QStringLiteral("Icon (%1)").arg(QLatin1String(size)))) << size;
}

TEST(Desktop, CtrlWClosesTheTabAndCtrlQEndsTheProgram)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    desktop.WriteFile(QStringLiteral("b.txt"), "b");
    cQuorvel program(desktop, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, desktop.WorkDir() + QStringLiteral("/b.txt - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+w")});
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+q")});
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_EQ(desktop.ReadFile(a), QByteArray("a"));
}

TEST(Desktop, FileDialogsLeaveNothingInTheConfigurationDirectory)
{
    cDesktop desktop;
    cQuorvel program(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    // Qt's file dialog keeps its history when it is destroyed, at exit.
    desktop.Keys({QStringLiteral("ctrl+o")});
    const QString dialog = desktop.WaitForWindow(QStringLiteral("^Open$"));
    ASSERT_FALSE(dialog.isEmpty());
    desktop.Focus(dialog);
    desktop.Keys({QStringLiteral("Escape")});
    desktop.Focus(window);
    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(FilesBelow(desktop.ConfigHome()), "Varnholt/Zelmar/Settings");
}

} // namespace
