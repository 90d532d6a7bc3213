// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/CaretBlink.h"

#include <QGuiApplication>
#include <QStyleHints>

namespace {

// The caret blinks this long after the last input, then stays on.
constexpr qint64 BlinkForMs = 10000;

} // namespace

void cCaretBlink::Restart(bool focused)
{
    FShown = focused;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (focused && flash > 0) {
        FTimer.start(flash / 2, &FReceiver);
        FSince.start();
    } else {
        FTimer.stop();
    }
}

void cCaretBlink::Stop()
{
    FTimer.stop();
    FShown = false;
}

bool cCaretBlink::Tick(int timerId)
{
    if (timerId != FTimer.timerId())
        return false;
    if (FSince.elapsed() > BlinkForMs) {
        FTimer.stop();
        FShown = true;
    } else {
        FShown = !FShown;
    }
    return true;
}
