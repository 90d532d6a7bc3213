// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The caret and the selection of a view: caret and anchor kept in step with
// edits, the x that Up and Down keep, the word a double-click drag grows
// from, and the X11 primary selection the view publishes.
#include "editor/textengine/TextBuffer.h"

#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

class QMimeData;

class cSelection
{
public:
    // Text gives the selection as the primary selection hands it out (the
    // view's mime data); it is asked only when some program wants it.
    cSelection(const cTextBuffer &buffer, std::function<QString()> text);
    ~cSelection();
    cSelection(const cSelection &) = delete;
    cSelection &operator=(const cSelection &) = delete;

    int Caret() const noexcept { return FCaret; }
    int Anchor() const noexcept { return FAnchor; }
    bool HasSelection() const noexcept { return FCaret != FAnchor; }
    int Start() const noexcept { return std::min(FCaret, FAnchor); }
    int End() const noexcept { return std::max(FCaret, FAnchor); }

    struct tMoved
    {
        bool Caret = false;
        // The selected range changed (an empty one moving is no change).
        bool Range = false;
        bool Any() const noexcept { return Caret || Range; }
    };
    // Clamped to the text. Extending the selection publishes it again;
    // anything else that moves it ends the published one.
    tMoved Set(int caret, int anchor);
    // Caret and anchor where an edit left them; the published text stays.
    void AdjustPositions(const tTextChange &change);
    // Whole text replaced: everything back to the start.
    void Reset();

    // Up and Down keep the x where the caret was put last; negative: none.
    qreal DesiredX() const noexcept { return FDesiredX; }
    void SetDesiredX(qreal x) noexcept { FDesiredX = x; }

    // The word a double-click selected, while a drag extends it by words;
    // (-1, -1) when there is none.
    std::pair<int, int> WordAnchor() const noexcept { return FWordAnchor; }
    void SetWordAnchor(std::pair<int, int> word) noexcept { FWordAnchor = word; }

    // The primary selection: made only when some program asks for it, so
    // that selecting megabytes with Shift+arrows copies nothing.
    void Publish();
    bool Published() const noexcept { return !FPublished.isNull(); }
    // The published selection keeps the text it has now, and this one no
    // longer follows it.
    void FreezePublished();
    // Freezes the published selection when an edit of Start..End touches it.
    void FreezeIfEdited(int start, int end);

private:
    const cTextBuffer &FBuffer;
    // Shared with the published data, which outlives this when a program
    // still holds it.
    std::shared_ptr<std::function<QString()>> FText;
    int FCaret = 0, FAnchor = 0;
    qreal FDesiredX = -1;
    std::pair<int, int> FWordAnchor{-1, -1};
    QPointer<QMimeData> FPublished;
};
