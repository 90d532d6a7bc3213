// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A pipe on the command line would wait for a writer in open(), and the
// endless device would be read until memory runs out: both are reported
// and the next file opens.
TEST(NonRegularFiles, APipeAndADeviceOnTheCommandLineAreReportedAndTheNextFileOpens)
{
    cDesktop desktop;
    const QString pipe = desktop.WorkDir() + QStringLiteral("/pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString a = desktop.WriteFile(QStringLiteral("a.txt"), "a");
    cQuorvel program(desktop, {QStringLiteral("pipe"), QStringLiteral("/dev/zero"), QStringLiteral("a.txt")});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    for (int box = 0; box < 2; ++box) {
        const QString id = desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), window);
        ASSERT_FALSE(id.isEmpty()) << "error box " << box;
        desktop.Focus(id);
        desktop.Keys({QStringLiteral("Return")});
        ASSERT_TRUE(WaitUntil([&] { return desktop.WindowName(id) != QStringLiteral("Zelmar"); }));
    }
    EXPECT_TRUE(desktop.TitleBecomes(window, a + QStringLiteral(" - Zelmar")));
    // The window still takes keys and saves.
    desktop.Focus(window);
    desktop.Type(QStringLiteral("b"));
    desktop.Keys({QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(a) == "ba"; }));
}

} // namespace
