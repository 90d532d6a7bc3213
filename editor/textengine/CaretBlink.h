// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The caret's blink: a timer runs only while the view has the focus and for
// a while after the last input, then the caret stays on, so that an idle
// editor takes no CPU.
#include <QBasicTimer>
#include <QElapsedTimer>

class QObject;

class cCaretBlink
{
public:
    // Receiver gets the timer's events and hands them to Tick.
    explicit cCaretBlink(QObject &receiver) noexcept : FReceiver(receiver) {}
    cCaretBlink(const cCaretBlink &) = delete;
    cCaretBlink &operator=(const cCaretBlink &) = delete;

    bool Shown() const noexcept { return FShown; }
    // After input: shown, and blinking again while Focused.
    void Restart(bool focused);
    void Stop();
    // False when TimerId is not the blink's; else the caret wants painting.
    bool Tick(int timerId);

private:
    QObject &FReceiver;
    QBasicTimer FTimer;
    QElapsedTimer FSince;
    bool FShown = false;
};
