// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the main window goes: stored bounds may come from another screen
// layout (or be damaged), so they are fitted to the screens that exist now.
#include "editor/shell/PersistentSettings.h"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>

// Bounds as move() and resize() take them: the frame's top-left corner and
// the client size. Frame: the window manager's decoration around the client.

// About two thirds of the screen's available area, centred on it.
QRect DefaultWindowBounds(const QRect &available, const QMargins &frame);

// Stored fitted to the screens' available areas: never larger than the screen
// it ends up on, and wholly on the screens; a window that is not is moved
// onto the screen it overlaps most (or lies nearest to). A size that is not
// positive gives way to Fallback. Any stored values are safe: nothing
// overflows.
QRect FitWindowBounds(const tRectangle &stored, const QMargins &frame, const QList<QRect> &available,
                      const QSize &fallback);
