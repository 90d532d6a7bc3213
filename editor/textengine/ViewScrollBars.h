// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A view's scroll bars and wheel, kept in step with its geometry: the bars
// show where the geometry is scrolled to, and moving them (or the wheel)
// scrolls it by rows, which a bar's value cannot express inside a long
// wrapped line.
#include "editor/textengine/ViewGeometry.h"

#include <optional>

class cTextView;
class QWheelEvent;

class cViewScrollBars
{
public:
    explicit cViewScrollBars(cTextView &view) noexcept : FView(view) {}
    cViewScrollBars(const cViewScrollBars &) = delete;
    cViewScrollBars &operator=(const cViewScrollBars &) = delete;

    // Ranges, steps and values from the geometry as it is now.
    void Update();
    // A bar was moved: the geometry follows.
    void Scrolled();
    // An arrow or page click on the vertical bar.
    void VerticalAction(int action);
    // False for a wheel event the view leaves to its base class.
    bool Wheel(QWheelEvent &event);

private:
    cTextView &FView;
    // A top set by a bar's step, exact where the bar's value is not.
    std::optional<tViewRow> FPendingTop;
    int FWheelDelta = 0;
    // Set while the bars are being set, whose moves scroll nothing.
    bool FSetting = false;
};
