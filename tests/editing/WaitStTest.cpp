// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/WaitSt.h"

#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

bool ShowsHourglass()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

TEST(BusyTokens, NestedTokensKeepTheHourglassUntilTheOuterEnds)
{
    ASSERT_EQ(WaitStateSingleton().BusyCount(), 0);
    ASSERT_FALSE(ShowsHourglass());
    {
        const tBusyToken outer = cWaitStateSingleton::NewBusyToken();
        EXPECT_TRUE(ShowsHourglass());
        {
            const tBusyToken inner = cWaitStateSingleton::NewBusyToken();
            EXPECT_EQ(WaitStateSingleton().BusyCount(), 2);
        }
        EXPECT_EQ(WaitStateSingleton().BusyCount(), 1);
        EXPECT_TRUE(ShowsHourglass());
    }
    EXPECT_EQ(WaitStateSingleton().BusyCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(BusyTokens, ACopiedTokenEndsWithTheLastCopy)
{
    tBusyToken first = cWaitStateSingleton::NewBusyToken();
    tBusyToken second = first;
    EXPECT_EQ(WaitStateSingleton().BusyCount(), 1);
    first.reset();
    EXPECT_TRUE(ShowsHourglass());
    second.reset();
    EXPECT_EQ(WaitStateSingleton().BusyCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(BusyTokens, ATokenHeldByAFailingOperationIsReleased)
{
    auto operation = [] {
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        const tBusyToken nested = cWaitStateSingleton::NewBusyToken();
        throw std::runtime_error("failed");
    };
    EXPECT_THROW(operation(), std::runtime_error);
    EXPECT_EQ(WaitStateSingleton().BusyCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
