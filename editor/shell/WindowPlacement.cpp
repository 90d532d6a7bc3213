// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/WindowPlacement.h"

#include <QWidget>

#include <cstdint>

namespace {

// A rectangle in 64-bit arithmetic, so stored extremes cannot overflow.
struct tSpan
{
    qint64 Left, Top, Width, Height;
    qint64 Right() const { return Left + Width; } // exclusive
    qint64 Bottom() const { return Top + Height; }
};

tSpan SpanOf(const QRect &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

qint64 OverlapArea(const tSpan &a, const tSpan &b)
{
    const qint64 width = qMin(a.Right(), b.Right()) - qMax(a.Left, b.Left);
    const qint64 height = qMin(a.Bottom(), b.Bottom()) - qMax(a.Top, b.Top);
    return width > 0 && height > 0 ? width * height : 0;
}

double CentreDistance(const tSpan &a, const tSpan &b)
{
    const double dx = (double(a.Left) + double(a.Width) / 2) - (double(b.Left) + double(b.Width) / 2);
    const double dy = (double(a.Top) + double(a.Height) / 2) - (double(b.Top) + double(b.Height) / 2);
    return dx * dx + dy * dy;
}

bool OnSomeScreen(qint64 x, qint64 y, const QList<QRect> &available)
{
    for (const QRect &screen : available) {
        const tSpan s = SpanOf(screen);
        if (x >= s.Left && x < s.Right() && y >= s.Top && y < s.Bottom())
            return true;
    }
    return false;
}

bool WhollyOnScreens(const tSpan &frame, const QList<QRect> &available)
{
    const qint64 right = frame.Right() - 1;
    const qint64 bottom = frame.Bottom() - 1;
    return OnSomeScreen(frame.Left, frame.Top, available) && OnSomeScreen(right, frame.Top, available) &&
           OnSomeScreen(frame.Left, bottom, available) && OnSomeScreen(right, bottom, available);
}

// The screen the window overlaps most, or the nearest one.
QRect ChooseScreen(const tSpan &frame, const QList<QRect> &available)
{
    QRect best = available.first();
    qint64 bestArea = -1;
    double bestDistance = 0;
    for (const QRect &screen : available) {
        const tSpan s = SpanOf(screen);
        const qint64 area = OverlapArea(frame, s);
        const double distance = CentreDistance(frame, s);
        if (area > bestArea || (area == 0 && bestArea == 0 && distance < bestDistance)) {
            best = screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return best;
}

qint64 Clamp(qint64 value, qint64 low, qint64 high)
{
    return value < low ? low : value > high ? high : value;
}

} // namespace

QRect DefaultWindowBounds(const QRect &available, const QMargins &frame)
{
    const int width = qMax(1, available.width() * 2 / 3 - frame.left() - frame.right());
    const int height = qMax(1, available.height() * 2 / 3 - frame.top() - frame.bottom());
    const int x = available.x() + (available.width() - (width + frame.left() + frame.right())) / 2;
    const int y = available.y() + (available.height() - (height + frame.top() + frame.bottom())) / 2;
    return QRect(x, y, width, height);
}

QRect FitWindowBounds(const tRectangle &stored, const QMargins &frame, const QList<QRect> &available,
                      const QSize &fallback)
{
    const qint64 frameWidth = qint64(frame.left()) + frame.right();
    const qint64 frameHeight = qint64(frame.top()) + frame.bottom();
    qint64 width = stored.Width > 0 && stored.Height > 0 ? stored.Width : fallback.width();
    qint64 height = stored.Width > 0 && stored.Height > 0 ? stored.Height : fallback.height();
    if (available.isEmpty())
        return QRect(stored.Left, stored.Top, int(Clamp(width, 1, QWIDGETSIZE_MAX)),
                     int(Clamp(height, 1, QWIDGETSIZE_MAX)));
    tSpan outer{stored.Left, stored.Top, width + frameWidth, height + frameHeight};
    const tSpan screen = SpanOf(ChooseScreen(outer, available));
    width = Clamp(width, 1, qMax<qint64>(1, screen.Width - frameWidth));
    height = Clamp(height, 1, qMax<qint64>(1, screen.Height - frameHeight));
    outer.Width = width + frameWidth;
    outer.Height = height + frameHeight;
    if (!WhollyOnScreens(outer, available)) {
        outer.Left = Clamp(outer.Left, screen.Left, qMax(screen.Left, screen.Right() - outer.Width));
        outer.Top = Clamp(outer.Top, screen.Top, qMax(screen.Top, screen.Bottom() - outer.Height));
    }
    return QRect(int(outer.Left), int(outer.Top), int(width), int(height));
}
