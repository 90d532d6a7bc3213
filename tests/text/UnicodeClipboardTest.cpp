// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/text/UnicodeClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

TEST(UnicodeClipboard, TextRoundTripsInUtf16)
{
    const QString text = QString::fromUtf8("Zeile 1\r\nЖ 中文 😀");
    WClipboard().FSetClipboardString(text);
    EXPECT_EQ(WClipboard().FGetClipboardString(), text);
}

TEST(UnicodeClipboard, EmptyTextLeavesTheClipboardAsItWas)
{
    WClipboard().FSetClipboardString(QStringLiteral("keep"));
    WClipboard().FSetClipboardString(QString());
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("keep"));
}

TEST(UnicodeClipboard, NoTextReadsEmpty)
{
    auto *data = new QMimeData;
    data->setData(QStringLiteral("application/octet-stream"), QByteArray("\x01\x02"));
    QGuiApplication::clipboard()->setMimeData(data);
    EXPECT_EQ(WClipboard().FGetClipboardString(), QString());
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(WClipboard().FGetClipboardString(), QString());
}

TEST(UnicodeClipboard, ReadingStopsAtTheFirstNul)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("ab"));
}

} // namespace
