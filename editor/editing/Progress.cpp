// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Progress.h"

#include "editor/editing/EditorStatus.h"

#include <QElapsedTimer>
#include <QPointer>

namespace {

QPointer<cEditorStatusBar> &StatusBar()
{
    static QPointer<cEditorStatusBar> statusBar;
    return statusBar;
}

cProgress::tClock &Clock()
{
    static cProgress::tClock clock;
    return clock;
}

qint64 Now()
{
    if (Clock())
        return Clock()();
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

cProgress *Innermost = nullptr;

} // namespace

cProgress::cProgress(const QString &caption, qint64 total, int stride)
    : FCaption(caption), FTotal(total), FStride(std::max(stride, 1)), FStarted(Now()), FOuter(Innermost)
{
    Innermost = this;
}

cProgress::~cProgress()
{
    Innermost = FOuter;
    if (FShown && StatusBar())
        StatusBar()->HideProgress();
}

cProgress *cProgress::Current() noexcept
{
    return Innermost;
}

void cProgress::SetStatusBar(cEditorStatusBar *statusBar)
{
    StatusBar() = statusBar;
}

void cProgress::SetClock(tClock clock)
{
    Clock() = std::move(clock);
}

void cProgress::Look(qint64 done)
{
    const qint64 now = Now();
    if (now - FStarted < DelayMs || !StatusBar())
        return;
    // An outer bar gives way to the inner one while it lives.
    if (!FShown && FOuter)
        FOuter->FShown = false;
    const int percent = FTotal > 0 ? int(std::clamp<qint64>(done * 100 / FTotal, 0, 100)) : 0;
    if (FShown && (percent == FPercent || now - FPainted < RepaintMs))
        return;
    FShown = true;
    FPercent = percent;
    FPainted = now;
    StatusBar()->ShowProgress(FCaption, percent);
}

std::function<void(int)> CurrentProgressSteps()
{
    cProgress *const progress = cProgress::Current();
    if (!progress)
        return {};
    return [progress](int position) { progress->Step(position); };
}
