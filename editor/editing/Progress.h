// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A progress bar in the status bar for work that turns out to be long.
#include <QString>
#include <QtGlobal>

#include <functional>

class cEditorStatusBar;

// Lives for the length of one long piece of work. The bar shows only once
// the work has taken longer than a moment, is painted at once (no events are
// handled meanwhile, so nothing can re-enter the work) and goes with the scope.
class cProgress
{
public:
    // Total is what Step counts up to; Stride is how many Step calls go by
    // between looks at the clock, for work that steps very often.
    cProgress(const QString &caption, qint64 total, int stride = 1);
    ~cProgress();
    cProgress(const cProgress &) = delete;
    cProgress &operator=(const cProgress &) = delete;

    void Step(qint64 done)
    {
        if (++FCalls >= FStride) {
            FCalls = 0;
            Look(done);
        }
    }
    void SetTotal(qint64 total) noexcept { FTotal = total; }
    bool Shown() const noexcept { return FShown; }

    // The innermost living progress, for the layers that do the work without
    // knowing who asked for it.
    static cProgress *Current() noexcept;

    // Where bars show; the main window sets it (none: nothing is shown).
    static void SetStatusBar(cEditorStatusBar *statusBar);
    // Milliseconds from any fixed point; tests give their own clock.
    using tClock = std::function<qint64()>;
    static void SetClock(tClock clock);

    static constexpr qint64 DelayMs = 300;
    static constexpr qint64 RepaintMs = 200;

private:
    void Look(qint64 done);

    QString FCaption;
    qint64 FTotal;
    int FStride;
    int FCalls = 0;
    qint64 FStarted;
    qint64 FPainted = 0;
    int FPercent = -1;
    bool FShown = false;
    cProgress *FOuter;
};

// Steps the innermost living progress, for a layer below that reports
// positions and knows nothing of progress bars; empty when none lives.
std::function<void(int)> CurrentProgressSteps();
