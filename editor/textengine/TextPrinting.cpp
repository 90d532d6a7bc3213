#include "editor/textengine/TextPrinting.h"

#include "editor/textengine/LineLayout.h"

#include <QPagedPaintDevice>
#include <QPainter>

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
    const qreal rowHeight = layouts.RowHeight();
    const qreal pageHeight = device->height();
    qreal y = 0;
    for (int line = 0; line < buffer.LineCount(); ++line) {
        const int segments = layouts.SegmentCount(line);
        for (int segment = 0; segment < segments; ++segment) {
            const QTextLayout &layout = layouts.Layout(line, segment);
            for (int row = 0; row < std::max(1, layout.lineCount()); ++row) {
                if (y > 0 && y + rowHeight > pageHeight) {
                    device->newPage();
                    y = 0;
                }
                if (row < layout.lineCount()) {
                    const QTextLine textLine = layout.lineAt(row);
                    textLine.draw(&painter, QPointF(0, y - textLine.y()));
                }
                y += rowHeight;
            }
        }
    }
    return painter.end();
}
