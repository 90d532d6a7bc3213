// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/LineNumberGutter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace {

constexpr int Padding = 4;

int Digits(int n)
{
    int digits = 1;
    for (; n >= 10; n /= 10)
        ++digits;
    return digits;
}

} // namespace

cLineNumberGutter::cLineNumberGutter(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);
}

void cLineNumberGutter::SetRows(std::vector<tNumberedRow> rows, int rowHeight, int currentLine)
{
    if (rows == FRows && rowHeight == FRowHeight && currentLine == FCurrentLine)
        return;
    FRows = std::move(rows);
    FRowHeight = rowHeight;
    FCurrentLine = currentLine;
    update();
}

int cLineNumberGutter::WidthFor(int lineCount) const
{
    // At least three digits, so the strip does not jump while a short text grows.
    const int digits = std::max(3, Digits(lineCount));
    return fontMetrics().horizontalAdvance(QString(digits, u'9')) + 3 * Padding;
}

void cLineNumberGutter::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect clip = event->rect();
    QFont bold = font();
    bold.setBold(true);
    const QColor dim = palette().color(QPalette::PlaceholderText);
    for (const tNumberedRow &row : FRows) {
        const QRect box(0, row.Y, width() - 2 * Padding, FRowHeight);
        if (!box.intersects(clip))
            continue;
        const bool current = row.Line == FCurrentLine;
        painter.setFont(current ? bold : font());
        painter.setPen(current ? palette().color(QPalette::WindowText) : dim);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(row.Line + 1));
    }
}
