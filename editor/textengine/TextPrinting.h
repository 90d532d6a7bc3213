// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Printing a text through the same line layouts as the view.
#include "editor/textengine/TextBuffer.h"

#include <QFont>

class QPagedPaintDevice;

// Every line of Buffer, page by page at the device's resolution, each wrapped
// to the page width (nothing is cut at the page edge). TabStopDistance is
// the screen's: Qt scales it to the device as it scales the font. False when
// the device cannot be painted on.
bool PrintText(const cTextBuffer &buffer, const QFont &font, qreal tabStopDistance,
               QPagedPaintDevice *device);
