#include "tests/e2e/E2eHarness.h"

#include <QDirIterator>

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
