// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/WindowPlacement.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const QList<QRect> OneScreen{QRect(0, 0, 1280, 1024)};
// A primary screen and, to its right, a smaller one.
const QList<QRect> TwoScreens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
const QSize Fallback(853, 682);

TEST(WindowPlacement, TheFirstStartTakesTwoThirdsOfTheScreenCentred)
{
    EXPECT_EQ(DefaultWindowBounds(QRect(0, 0, 1280, 1024), QMargins()), QRect(213, 171, 853, 682));
    // A panel at the top, and a frame whose decoration counts against the size.
    EXPECT_EQ(DefaultWindowBounds(QRect(0, 30, 1920, 1050), QMargins(1, 20, 1, 1)),
              QRect(320, 205, 1278, 679));
}

TEST(WindowPlacement, StoredBoundsAreFittedToTheScreensThatExist)
{
    struct
    {
        const char *What;
        tRectangle Stored;
        QMargins Frame;
        const QList<QRect> &Screens;
        QRect Expected;
    } const cases[] = {
        {"fits: kept", {100, 100, 640, 480}, {}, OneScreen, QRect(100, 100, 640, 480)},
        {"too large", {0, 0, 100000, 100000}, {}, OneScreen, QRect(0, 0, 1280, 1024)},
        {"too large with a frame", {0, 0, 100000, 100000}, {1, 20, 1, 1}, OneScreen, QRect(0, 0, 1278, 1003)},
        {"far off-screen", {50000, 50000, 400, 300}, {}, OneScreen, QRect(880, 724, 400, 300)},
        {"partly off the left", {-200, 100, 640, 480}, {}, OneScreen, QRect(0, 100, 640, 480)},
        {"title bar above the screen", {100, -50, 640, 480}, {}, OneScreen, QRect(100, 0, 640, 480)},
        {"across two screens: kept", {1800, 100, 300, 200}, {}, TwoScreens, QRect(1800, 100, 300, 200)},
        {"on the second screen, too tall", {2000, 0, 800, 5000}, {}, TwoScreens, QRect(2000, 0, 800, 1024)},
        {"below the smaller screen", {2000, 1050, 400, 300}, {}, TwoScreens, QRect(2000, 724, 400, 300)},
        {"on a screen that is gone", {2500, 200, 640, 480}, {}, OneScreen, QRect(640, 200, 640, 480)},
        {"no size", {10, 20, 0, 300}, {}, OneScreen, QRect(10, 20, 853, 682)},
        {"negative size", {10, 20, 400, -1}, {}, OneScreen, QRect(10, 20, 853, 682)},
        {"extremes", {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {}, OneScreen, QRect(0, 0, 1280, 1024)},
        {"extremes below", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {}, OneScreen, QRect(0, 0, 1280, 1024)},
        {"extremes with a size", {INT_MIN, INT_MAX, 640, 480}, {}, OneScreen, QRect(0, 544, 640, 480)},
        {"extreme frame", {INT_MAX, 0, INT_MAX, 10}, {INT_MAX, 0, INT_MAX, 0}, OneScreen, QRect(0, 0, 1, 10)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FitWindowBounds(c.Stored, c.Frame, c.Screens, Fallback), c.Expected) << c.What;
}

} // namespace
