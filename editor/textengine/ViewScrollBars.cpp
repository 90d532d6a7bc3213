// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewScrollBars.h"

#include "editor/textengine/TextView.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

void cViewScrollBars::Update()
{
    if (FSetting)
        return;
    FSetting = true;
    const cViewGeometry &geometry = FView.Geometry();
    QScrollBar *vertical = FView.verticalScrollBar();
    const int resolution = geometry.VerticalResolution();
    vertical->setRange(0, geometry.ValueOf(geometry.LastTop()));
    vertical->setSingleStep(resolution);
    vertical->setPageStep(std::max(1, geometry.VisibleRows() - 1) * resolution);
    vertical->setValue(geometry.ValueOf(geometry.Top()));
    QScrollBar *horizontal = FView.horizontalScrollBar();
    horizontal->setRange(0, FView.layouts().Wraps() ? 0 : geometry.MaxLeft());
    horizontal->setSingleStep(std::max(1, qRound(QFontMetricsF(FView.font()).averageCharWidth() * 2)));
    horizontal->setPageStep(std::max(1, FView.viewport()->width()));
    horizontal->setValue(geometry.Left());
    FSetting = false;
}

void cViewScrollBars::Scrolled()
{
    if (FSetting)
        return;
    cViewGeometry &geometry = FView.Geometry();
    geometry.SetTop(FPendingTop ? *FPendingTop : geometry.TopOf(FView.verticalScrollBar()->value()));
    FPendingTop.reset();
    geometry.SetLeft(FView.horizontalScrollBar()->value());
    FView.viewport()->update();
}

void cViewScrollBars::VerticalAction(int action)
{
    if (!FView.layouts().Wraps())
        return;
    const cViewGeometry &geometry = FView.Geometry();
    const int page = std::max(1, geometry.VisibleRows() - 1);
    int rows = 0;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        rows = 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        rows = -1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        rows = page;
        break;
    case QAbstractSlider::SliderPageStepSub:
        rows = -page;
        break;
    default:
        return;
    }
    tViewRow top = geometry.MoveRows(geometry.Top(), rows);
    const tViewRow last = geometry.LastTop();
    if (last < top)
        top = last;
    FPendingTop = top;
    FView.verticalScrollBar()->setSliderPosition(geometry.ValueOf(top));
    if (FPendingTop) {
        FPendingTop.reset();
        FView.ScrollTo(top, geometry.Left());
    }
}

bool cViewScrollBars::Wheel(QWheelEvent &event)
{
    if (event.modifiers() & (Qt::ShiftModifier | Qt::AltModifier) || event.angleDelta().y() == 0)
        return false;
    FWheelDelta += event.angleDelta().y();
    const int steps = FWheelDelta / QWheelEvent::DefaultDeltasPerStep;
    FWheelDelta -= steps * QWheelEvent::DefaultDeltasPerStep;
    const cViewGeometry &geometry = FView.Geometry();
    if (steps != 0)
        FView.ScrollTo(geometry.MoveRows(geometry.Top(), -steps * QApplication::wheelScrollLines()),
                       geometry.Left());
    event.accept();
    return true;
}
