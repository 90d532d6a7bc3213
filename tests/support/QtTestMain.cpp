// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for widget tests: a real application object on the offscreen
// platform, so that tests create real widgets without a display.
#include "editor/platform/Application.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Documents keep recovery records; a test's never reach the user's.
    const QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    cApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
