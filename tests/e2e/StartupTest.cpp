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

} // namespace
