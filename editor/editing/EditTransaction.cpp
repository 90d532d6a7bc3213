// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditTransaction.h"

namespace {

std::optional<cUpdateBracket> NoRedraw(cWRichEditEx &editor, tEditSteps steps)
{
    if (steps == tEditSteps::Shown)
        return std::nullopt;
    return std::optional<cUpdateBracket>(std::in_place, editor.WLines());
}

} // namespace

cEditTransaction::cEditTransaction(cWRichEditEx &editor, tEditSteps steps)
    : FNoRedraw(NoRedraw(editor, steps)), FSnapshot(editor)
{
    if (steps != tEditSteps::Batched)
        return;
    FBatch.emplace(editor);
    if (editor.undoRecord())
        FNotUndoable.emplace(*editor.undoRecord());
}
