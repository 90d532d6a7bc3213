// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One program change of many steps (a replace-all, a macro played, a change
// of case) as one bracket: one undo step for the whole, and as little of the
// steps on screen as the change allows. Every way out of the scope closes
// what was opened, in reverse order.
#include "editor/editing/RichEditEx.h"
#include "editor/textengine/UndoRecord.h"

#include <optional>

enum class tEditSteps : quint8
{
    // Each step shows: prompts come between them.
    Shown,
    // Not repainted until the end; keys may still be played into the control.
    Unpainted,
    // Only the control's primitives edit, nothing is asked on the way: the
    // selection stays off the view, Change is emitted once at the end, and
    // the control's own undo record is not fed meanwhile.
    Batched
};

class cEditTransaction
{
public:
    cEditTransaction(cWRichEditEx &editor, tEditSteps steps);
    cEditTransaction(const cEditTransaction &) = delete;
    cEditTransaction &operator=(const cEditTransaction &) = delete;

private:
    // Opened in this order; members close in reverse.
    std::optional<cUpdateBracket> FNoRedraw;
    cSnapshotBracket FSnapshot;
    std::optional<cEditBatch> FBatch;
    std::optional<cNotUndoable> FNotUndoable;
};
