// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/e2e/E2eTools.h"

#include <QElapsedTimer>

#include <algorithm>
#include <stdexcept>

QRect WindowGeometry(const cDesktop &desktop, const QString &window)
{
    int x = -1, y = -1, width = 0, height = 0;
    const QStringList lines =
        desktop.Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString key = line.section(u'=', 0, 0);
        const int value = line.section(u'=', 1).toInt();
        if (key == QStringLiteral("X"))
            x = value;
        else if (key == QStringLiteral("Y"))
            y = value;
        else if (key == QStringLiteral("WIDTH"))
            width = value;
        else if (key == QStringLiteral("HEIGHT"))
            height = value;
    }
    return x < 0 || y < 0 ? QRect() : QRect(x, y, width, height);
}

QString WaitForMessageBox(const cDesktop &desktop, const QString &mainWindow, int timeoutMs)
{
    return desktop.WaitForOtherWindow(QStringLiteral("^Zelmar$"), mainWindow, timeoutMs);
}

bool AnswerMessageBox(const cDesktop &desktop, const QString &box, const QString &key)
{
    desktop.Focus(box);
    desktop.Keys({key});
    return WaitUntil([&] {
        return !desktop
                    .Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("^Zelmar$")})
                    .split(u'\n', Qt::SkipEmptyParts)
                    .contains(box);
    });
}

bool FindDialogCameAndWent(const cDesktop &desktop, const QString &mainWindow)
{
    desktop.Keys({QStringLiteral("ctrl+f")});
    const QString find = desktop.WaitForWindow(QStringLiteral("^Find Text$"));
    if (find.isEmpty())
        return false;
    desktop.Focus(find);
    desktop.Keys({QStringLiteral("Escape")});
    const bool closed = WaitUntil([&] {
        return desktop
            .Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                      QStringLiteral("^Find Text$")})
            .isEmpty();
    });
    desktop.Focus(mainWindow);
    return closed;
}

cDragSource::cDragSource(const cDesktop &desktop, const QStringList &args) : FDesktop(desktop)
{
    FProcess.setProcessEnvironment(desktop.Environment());
    FProcess.setWorkingDirectory(desktop.WorkDir());
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(QStringLiteral(DRAG_SOURCE_EXECUTABLE), args);
    if (!FProcess.waitForStarted(10000))
        throw std::runtime_error("the drag source did not start");
    FWindow = desktop.WaitForWindow(QStringLiteral("^Drag source$"));
    if (FWindow.isEmpty())
        throw std::runtime_error("the drag source shows no window");
}

cDragSource::~cDragSource()
{
    FProcess.kill();
    FProcess.waitForFinished(5000);
}

QByteArray cDragSource::WaitForLine(const QByteArray &prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        FPending += FProcess.readAllStandardOutput();
        while (FPending.contains('\n')) {
            const int end = int(FPending.indexOf('\n'));
            const QByteArray line = FPending.left(end);
            FPending.remove(0, end + 1);
            if (line.startsWith(prefix))
                return line;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || FProcess.state() == QProcess::NotRunning)
            return {};
        FProcess.waitForReadyRead(int(std::min<qint64>(left, 100)));
    }
}

cDragSource::tResult cDragSource::DropAt(const QPoint &target)
{
    tResult result;
    const QRect source = WindowGeometry(FDesktop, FWindow);
    if (source.isEmpty())
        return result;
    const QPoint start = source.center();
    auto moveTo = [&](const QPoint &point) {
        FDesktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(point.x()),
                          QString::number(point.y())});
    };
    moveTo(start);
    FDesktop.Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    // A drag reaches the windows it passes in motion events, several of them.
    const int steps = 12;
    for (int i = 1; i < steps; ++i)
        moveTo(start + (target - start) * i / steps);
    // The answers to earlier positions are dropped. One may still be on its
    // way; the program answers alike all over its window, so it does no harm.
    FProcess.readAllStandardOutput();
    FPending.clear();
    moveTo(target);
    const QByteArray status = WaitForLine("status ");
    result.Answered = !status.isEmpty();
    result.Accepted = status == "status 1";
    FDesktop.Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    const QByteArray done = WaitForLine("done ");
    if (!done.isEmpty())
        result.Action = done.mid(5).toInt();
    return result;
}
