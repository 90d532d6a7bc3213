// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eHarness.h"

#include <gtest/gtest.h>

namespace {

TEST(Startup, ShowsAMainWindowCaptionedWithTheProductName)
{
    cDesktop desktop;
    cQuorvel program(desktop, {});
    const QString window = desktop.WaitForWindow(QStringLiteral("^Zelmar$"));
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(desktop.WindowName(window), QStringLiteral("Zelmar"));
}

// On a bare X server nothing activates the new window: the file named on the
// command line must open all the same, and the window take keys once focused.
TEST(Startup, AFileOpensThoughNoWindowManagerActivatesTheWindow)
{
    cDesktop desktop;
    const QString file = desktop.WriteFile(QStringLiteral("notes.txt"), "line\n");
    cQuorvel program(desktop, {file});
    const QString window = desktop.WaitForWindow(QStringLiteral("notes\\.txt - Zelmar$"));
    ASSERT_FALSE(window.isEmpty()) << "the window never showed the file";
    desktop.Focus(window);
    desktop.Keys({QStringLiteral("ctrl+End"), QStringLiteral("x"), QStringLiteral("ctrl+s")});
    EXPECT_TRUE(WaitUntil([&] { return desktop.ReadFile(QStringLiteral("notes.txt")) == "line\nx"; }));
}

} // namespace
