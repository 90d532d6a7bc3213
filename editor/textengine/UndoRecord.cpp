// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/UndoRecord.h"

namespace {

// A character typed (over a selection or in overwrite mode too) or erased,
// one unit or a surrogate pair; anything with a paragraph mark is neither.
bool IsCharacter(int units) noexcept
{
    return units >= 1 && units <= 2;
}

} // namespace

cUndoRecord::cUndoRecord(cTextBuffer &buffer) : FBuffer(buffer)
{
    FBuffer.AddListener(this);
}

cUndoRecord::~cUndoRecord()
{
    FBuffer.RemoveListener(this);
}

void cUndoRecord::Clear() noexcept
{
    FUndo.clear();
    FRedo.clear();
    FRun = tRun::None;
    FGroupStarted = false;
}

void cUndoRecord::BreakTyping() noexcept
{
    FRun = tRun::None;
}

void cUndoRecord::BeginGroup() noexcept
{
    if (FGroupDepth++ == 0) {
        FRun = tRun::None;
        FGroupStarted = false;
    }
}

void cUndoRecord::EndGroup() noexcept
{
    if (FGroupDepth == 0 || --FGroupDepth > 0)
        return;
    FRun = tRun::None;
    FGroupStarted = false;
}

void cUndoRecord::Resume() noexcept
{
    if (FSuspended > 0)
        --FSuspended;
}

// ---------------------------------------------------------------------------
// Recording

void cUndoRecord::TextChanged(const tTextChange &change, QStringView removed,
                              const std::vector<tLineBreak> &removedBreaks)
{
    if (FSwapping) {
        FSwapping->Present = change.InsertedLength;
        FSwapping->Absent = removed.toString();
        FSwapping->AbsentBreaks = removedBreaks;
        return;
    }
    if (FSuspended > 0) {
        Clear();
        return;
    }
    FRedo.clear();
    tRun kind = tRun::None;
    if (change.LinesInserted == 0 && change.LinesRemoved == 0) {
        if (IsCharacter(change.InsertedLength))
            kind = tRun::Typing;
        else if (change.InsertedLength == 0 && IsCharacter(change.RemovedLength))
            kind = tRun::Erasing;
    }
    if (kind != tRun::None && kind == FRun && JoinRun(change, removed))
        return;
    if (FGroupDepth == 0 || !FGroupStarted) {
        FUndo.emplace_back();
        FGroupStarted = FGroupDepth > 0;
    }
    FUndo.back().push_back({change.Position, change.InsertedLength, removed.toString(), removedBreaks});
    FRun = kind;
}

// Typing joins where the last typed character ended (overwriting one
// character at most); erasing joins just before (Backspace) or at (Delete)
// the place of the last erased one.
bool cUndoRecord::JoinRun(const tTextChange &change, QStringView removed)
{
    if (FUndo.empty() || FUndo.back().empty())
        return false;
    tAction &last = FUndo.back().back();
    if (FRun == tRun::Typing) {
        if (last.Present == 0 || change.Position != last.Position + last.Present || change.RemovedLength > 2)
            return false;
        last.Present += change.InsertedLength;
        last.Absent += removed;
        return true;
    }
    if (last.Present != 0)
        return false;
    if (change.Position + change.RemovedLength == last.Position) {
        last.Absent.prepend(removed);
        last.Position = change.Position;
        return true;
    }
    if (change.Position == last.Position) {
        last.Absent += removed;
        return true;
    }
    return false;
}

void cUndoRecord::TextReset()
{
    Clear();
}

// ---------------------------------------------------------------------------
// Undo and redo

// The buffer reports the swap back to TextChanged, which stores what it took
// out as the action's new absent text.
void cUndoRecord::Swap(tAction &action)
{
    const QString text = std::move(action.Absent);
    const std::vector<tLineBreak> breaks = std::move(action.AbsentBreaks);
    const int present = action.Present;
    action.Absent.clear();
    action.AbsentBreaks.clear();
    action.Present = 0;
    struct tReset
    {
        tAction *&Swapping;
        ~tReset() { Swapping = nullptr; }
    } reset{FSwapping};
    FSwapping = &action;
    FBuffer.Restore(action.Position, present, text, breaks);
}

std::optional<tUndoSelection> cUndoRecord::Undo()
{
    FRun = tRun::None;
    FGroupStarted = false;
    if (FUndo.empty())
        return std::nullopt;
    tStep step = std::move(FUndo.back());
    FUndo.pop_back();
    for (auto action = step.rbegin(); action != step.rend(); ++action)
        Swap(*action);
    const tUndoSelection selection{step.front().Position, step.front().Present};
    FRedo.push_back(std::move(step));
    return selection;
}

std::optional<tUndoSelection> cUndoRecord::Redo()
{
    FRun = tRun::None;
    FGroupStarted = false;
    if (FRedo.empty())
        return std::nullopt;
    tStep step = std::move(FRedo.back());
    FRedo.pop_back();
    for (tAction &action : step)
        Swap(action);
    const tUndoSelection selection{step.back().Position + step.back().Present, 0};
    FUndo.push_back(std::move(step));
    return selection;
}
