// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextPrinting.h"

#include "editor/textengine/LineLayout.h"
#include "editor/textengine/TextPainter.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <climits>

bool PrintText(const cTextBuffer &buffer, const QFont &font, qreal tabStopDistance, QPagedPaintDevice *device)
{
    if (!device)
        return false;
    QPainter painter;
    if (!painter.begin(device))
        return false;
    // A handful of layouts: each is drawn once, in order.
    cLineLayouts layouts(buffer, 8);
    layouts.SetPaintDevice(device);
    layouts.SetFont(QFont(font, device));
    layouts.SetTabStopDistance(tabStopDistance);
    layouts.SetWrapWidth(std::max(1, device->width()));
    const tPaintContent plain;
    cTextPainter textPainter(painter, buffer, layouts, plain);
    const qreal rowHeight = layouts.RowHeight();
    const qreal pageHeight = device->height();
    // Pages outside the asked range are laid out, to know where the others
    // begin, but not drawn.
    const QPageRanges ranges = device->pageRanges();
    const int lastPage = ranges.isEmpty() ? INT_MAX : ranges.lastPage();
    int page = 1;
    bool drawnOnPage = false, pageDone = false;
    qreal y = 0;
    for (int line = 0; line < buffer.LineCount() && page <= lastPage; ++line) {
        const int segments = layouts.SegmentCount(line);
        for (int segment = 0; segment < segments && page <= lastPage; ++segment) {
            const int shaped = layouts.Layout(line, segment).lineCount();
            // A segment's last row may be carried over into the next one.
            const int rows = layouts.SegmentRows(line, segment);
            for (int row = 0; row < rows && page <= lastPage; ++row) {
                if (y > 0 && y + rowHeight > pageHeight) {
                    pageDone = pageDone || drawnOnPage;
                    drawnOnPage = false;
                    ++page;
                    y = 0;
                }
                if (row < shaped && (ranges.isEmpty() || ranges.contains(page))) {
                    if (pageDone && !drawnOnPage)
                        device->newPage();
                    drawnOnPage = true;
                    textPainter.PaintRow(line, segment, row, QPointF(0, y));
                }
                y += rowHeight;
            }
        }
    }
    return painter.end();
}
