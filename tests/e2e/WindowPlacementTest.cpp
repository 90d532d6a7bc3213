// SPDX-License-Identifier: GPL-3.0-or-later
// Where the main window comes up: its first start, and stored bounds that no
// longer fit the screen (the test's server has one screen of 1280x1024).
#include "tests/e2e/E2eHarness.h"

#include <QDir>
#include <QRect>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

const QRect Screen(0, 0, 1280, 1024);

void AppendInt32(QByteArray &value, qint32 number)
{
    char bytes[4];
    qToLittleEndian(number, bytes);
    value.append(bytes, 4);
}

// A settings value as the program writes it, with the given bounds.
QByteArray SettingsWithBounds(qint32 left, qint32 top, qint32 width, qint32 height)
{
    QByteArray value;
    AppendInt32(value, 6);
    value += "Tahoma";
    value += '\0';                          // charset
    AppendInt32(value, qint32(0x80000008)); // colour: window text
    AppendInt32(value, -13);                // height
    value += '\0';                          // pitch
    AppendInt32(value, 10);                 // size
    value += '\0';                          // style
    value += "01";                          // word wrap off, status bar on
    for (qint32 number : {left, top, width, height})
        AppendInt32(value, number);
    return value;
}

QString SettingsFile(const cDesktop &desktop)
{
    return desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar/Settings");
}

// The window's geometry as the X server has it.
QRect Geometry(const cDesktop &desktop, const QString &window)
{
    QRect rect;
    for (const QString &line :
         desktop.Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
             .split(u'\n')) {
        const QString key = line.section(u'=', 0, 0);
        const int number = line.section(u'=', 1).toInt();
        if (key == QStringLiteral("X"))
            rect.moveLeft(number);
        else if (key == QStringLiteral("Y"))
            rect.moveTop(number);
        else if (key == QStringLiteral("WIDTH"))
            rect.setWidth(number);
        else if (key == QStringLiteral("HEIGHT"))
            rect.setHeight(number);
    }
    return rect;
}

qint32 Int32At(const QByteArray &value, qsizetype offset)
{
    return qFromLittleEndian<qint32>(value.constData() + offset);
}

TEST(WindowPlacement, TheFirstStartTakesAboutTwoThirdsOfTheScreenCentred)
{
    cDesktop desktop;
    cQuorvel program(desktop, {});
    const QString window = desktop.MainWindow();
    ASSERT_FALSE(window.isEmpty());
    desktop.Focus(window);
    QRect geometry;
    EXPECT_TRUE(WaitUntil([&] {
        geometry = Geometry(desktop, window);
        return qAbs(geometry.width() - 853) <= 2 && qAbs(geometry.height() - 682) <= 2 &&
               qAbs(geometry.center().x() - Screen.center().x()) <= 2 &&
               qAbs(geometry.center().y() - Screen.center().y()) <= 2;
    })) << geometry.x()
        << "," << geometry.y() << " " << geometry.width() << "x" << geometry.height();
}

TEST(WindowPlacement, DamagedBoundsAreFittedToTheScreenAndStoredSoAgain)
{
    struct
    {
        const char *What;
        qint32 Left, Top, Width, Height;
        QSize Size;
    } const cases[] = {
        {"larger than any screen", 0, 0, 100000, 100000, QSize(1280, 1024)},
        {"far off-screen", 50000, 50000, 400, 300, QSize(400, 300)},
        {"at the extremes", 2147483647, 2147483647, 2147483647, 2147483647, QSize(1280, 1024)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.What);
        cDesktop desktop;
        QDir().mkpath(desktop.ConfigHome() + QStringLiteral("/Varnholt/Zelmar"));
        QFile file(SettingsFile(desktop));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(SettingsWithBounds(c.Left, c.Top, c.Width, c.Height));
        file.close();
        {
            cQuorvel program(desktop, {});
            const QString window = desktop.MainWindow();
            ASSERT_FALSE(window.isEmpty());
            desktop.Focus(window);
            QRect geometry;
            EXPECT_TRUE(WaitUntil([&] {
                geometry = Geometry(desktop, window);
                return geometry.size() == c.Size && Screen.contains(geometry);
            })) << geometry.x()
                << "," << geometry.y() << " " << geometry.width() << "x" << geometry.height();
            desktop.Keys({QStringLiteral("alt+f"), QStringLiteral("x")}); // File, Exit
            ASSERT_TRUE(program.WaitForExit());
            EXPECT_EQ(program.Process().exitCode(), 0);
        }
        const QByteArray stored = desktop.ReadFile(SettingsFile(desktop));
        ASSERT_EQ(stored.size(), 43);
        const QRect bounds(Int32At(stored, 27), Int32At(stored, 31), Int32At(stored, 35),
                           Int32At(stored, 39));
        EXPECT_EQ(bounds.size(), c.Size);
        EXPECT_TRUE(Screen.contains(bounds));
    }
}

} // namespace
