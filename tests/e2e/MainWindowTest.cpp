// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands in the real program: printing through the print
// dialog, the status bar setting, and "Uninstall Now".
#include "tests/e2e/E2eTools.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// The stored value: font name length at 0, then fixed items; the status
// bar flag follows the word-wrap flag.
char StatusBarFlag(const QByteArray &value)
{
    const int nameLength = int(quint8(value.at(0)));
    return value.size() > 20 + nameLength ? value.at(20 + nameLength) : '?';
}

TEST(MainWindow, PrintWritesTheDocumentToTheDialogsPdfFile)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "printed text\r\n");
    cQuorvel program(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));

    desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("p")}); // File, Print
    const QString dialog = desktop.WaitForWindow(QStringLiteral("^Print$"));
    ASSERT_FALSE(dialog.isEmpty());
    desktop.Focus(dialog);
    // Without a printer the dialog offers a PDF file below the working
    // directory, named after the (empty) job title.
    desktop.Keys({QStringLiteral("Return")});
    const QString pdf = desktop.WorkDir() + QStringLiteral("/print.pdf");
    ASSERT_TRUE(WaitUntil([&] { return desktop.ReadFile(pdf).size() > 100; }));
    const QByteArray bytes = desktop.ReadFile(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    // Text was drawn: a font was embedded for it (no PDF text extractor here).
    EXPECT_TRUE(bytes.contains("/FontFile"));
}

TEST(MainWindow, TheStatusBarSettingSurvivesARestartAndUninstallRemovesTheSettings)
{
    cDesktop desktop;
    const QString settings = desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar/Settings");
    {
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+v"), QStringLiteral("s")}); // View, Status Bar: off
        desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")}); // File, Exit
        ASSERT_TRUE(program.WaitForExit());
    }
    ASSERT_EQ(StatusBarFlag(desktop.ReadFile(settings)), '0');
    {
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Type(QStringLiteral("unsaved"));
        // Tools: the item above the first one is the last, "Uninstall Now".
        desktop.Keys({QStringLiteral("alt+t"), QStringLiteral("Up"), QStringLiteral("Return")});
        // The unsaved text is asked about first; Cancel keeps everything.
        const QString box = WaitForMessageBox(desktop, window);
        ASSERT_FALSE(box.isEmpty());
        ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("Escape")));
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+t"), QStringLiteral("Up"), QStringLiteral("Return")});
        // Still running, still unsaved, and nothing was removed.
        const QString again = WaitForMessageBox(desktop, window);
        ASSERT_FALSE(again.isEmpty());
        EXPECT_TRUE(QFileInfo::exists(settings));
        ASSERT_TRUE(AnswerMessageBox(desktop, again, QStringLiteral("n"))); // not saved
        ASSERT_TRUE(program.WaitForExit());
        EXPECT_EQ(program.Process().exitCode(), 0);
    }
    EXPECT_FALSE(QFileInfo::exists(settings));
    EXPECT_FALSE(QFileInfo::exists(desktop.ConfigHome() + QStringLiteral("/Varnholt")));
    {
        // The next start shows the defaults, and saves them again.
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        ASSERT_TRUE(program.WaitForExit());
    }
    EXPECT_EQ(StatusBarFlag(desktop.ReadFile(settings)), '1');
}

TEST(MainWindow, UninstallSavesADocumentTheUserSaysYesToBeforeRemovingTheSettings)
{
    cDesktop desktop;
    const QString settings = desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar/Settings");
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a\r\n");
    {
        cQuorvel program(desktop, {});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")});
        ASSERT_TRUE(program.WaitForExit());
    }
    ASSERT_TRUE(QFileInfo::exists(settings));
    cQuorvel program(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Type(QStringLiteral("X"));
    desktop.Keys({QStringLiteral("alt+t"), QStringLiteral("Up"), QStringLiteral("Return")});
    const QString box = WaitForMessageBox(desktop, window);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(AnswerMessageBox(desktop, box, QStringLiteral("y")));
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(desktop.ReadFile(a), QByteArray("Xa\r\n"));
    EXPECT_FALSE(QFileInfo::exists(settings));
}

TEST(MainWindow, ShiftCtrlRRecordsAMacroThatShiftCtrlPPlays)
{
    cDesktop desktop;
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "");
    cQuorvel program(desktop, {QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    desktop.Keys({QStringLiteral("ctrl+r")}); // not the recording key
    desktop.Keys({QStringLiteral("shift+ctrl+r")});
    desktop.Type(QStringLiteral("ab"));
    desktop.Keys({QStringLiteral("shift+ctrl+r")});
    desktop.Keys({QStringLiteral("shift+ctrl+p")});
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == "abab"; }));
}

// What a layout's keys type, and what the server types for characters no key
// of the layout has, a macro types again; German keys are read otherwise by
// the US table (/ is Shift+7, @ is AltGr+Q, z and y swap places).
TEST(MainWindow, AMacroTypesKeysOfAnyLayoutAsTheyWereTyped)
{
    struct tLayout
    {
        const char *Name;
        QString Typed;
        QString Letters; // of the layout's own, or none of its keys: must be typed
    };
    const tLayout layouts[] = {
        {"us", QStringLiteral("a\u00fcb\u20ac\u00e7;:x"), QStringLiteral("\u00fc\u20ac\u00e7")},
        {"de", QStringLiteral("zy\u00f6\u00df/@x"), QStringLiteral("\u00f6\u00df")},
    };
    const QByteArray bom = "\xEF\xBB\xBF"; // keeps the file in UTF-8
    for (const tLayout &layout : layouts) {
        cDesktop desktop;
        QProcess keyboard;
        keyboard.setProcessEnvironment(desktop.Environment());
        keyboard.start(QStringLiteral("setxkbmap"),
                       {QStringLiteral("-layout"), QString::fromLatin1(layout.Name)});
        if (!keyboard.waitForFinished(15000) || keyboard.exitStatus() != QProcess::NormalExit)
            GTEST_SKIP() << "setxkbmap is not available";
        ASSERT_EQ(keyboard.exitCode(), 0) << layout.Name;
        const QString a = desktop.WriteFile(QStringLiteral("a.txt"), bom);
        cQuorvel program(desktop, {QStringLiteral("a.txt")});
        const QString window = desktop.MainWindow();
        ASSERT_FALSE(window.isEmpty());
        desktop.Focus(window);
        ASSERT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
        desktop.Keys({QStringLiteral("shift+ctrl+r")});
        desktop.Type(layout.Typed);
        desktop.Keys({QStringLiteral("shift+ctrl+r"), QStringLiteral("ctrl+s")});
        ASSERT_TRUE(WaitUntil([&] { return desktop.ReadFile(a).size() > bom.size(); })) << layout.Name;
        // The server may stumble over characters it has to map to a spare key
        // first; the macro must give back whatever arrived.
        const QByteArray once = desktop.ReadFile(a);
        const QString typed = QString::fromUtf8(once.mid(bom.size()));
        for (const QChar letter : layout.Letters)
            EXPECT_TRUE(typed.contains(letter)) << layout.Name << " typed: " << typed.toStdString();
        desktop.Keys({QStringLiteral("shift+ctrl+p"), QStringLiteral("ctrl+s")});
        EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == once + typed.toUtf8(); }))
            << layout.Name << " played: " << desktop.ReadFile(a).toStdString();
    }
}

} // namespace
