// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control's own undo and redo, fed from the buffer's choke point. Typing
// is grouped the way users expect: characters typed one after another are one
// step, as are characters erased one after another with Backspace or Delete;
// a paragraph mark, a caret moved elsewhere, an erase after typing, a paste or
// an explicit break ends the step. Text the program sets is never the
// control's to undo: changing it while recording is suspended, or replacing
// the whole text, clears the record.
#include "editor/textengine/TextBuffer.h"

#include <QString>

#include <optional>
#include <vector>

// What to select after an undo or redo.
struct tUndoSelection
{
    int Start = 0;
    int Length = 0;

    friend bool operator==(const tUndoSelection &, const tUndoSelection &) = default;
};

class cUndoRecord final : public ITextBufferListener
{
public:
    // Listens to Buffer from now on; add it before any view, so that the view
    // sees an undo's changes after the record has taken them.
    explicit cUndoRecord(cTextBuffer &buffer);
    ~cUndoRecord();
    cUndoRecord(const cUndoRecord &) = delete;
    cUndoRecord &operator=(const cUndoRecord &) = delete;

    [[nodiscard]] bool CanUndo() const noexcept { return !FUndo.empty(); }
    [[nodiscard]] bool CanRedo() const noexcept { return !FRedo.empty(); }
    // Reverts the last step through the buffer (breaks as they were). Gives
    // the text put back, selected (the caret where typing began when only
    // typing is reverted); nothing when there was nothing to undo.
    std::optional<tUndoSelection> Undo();
    // Gives the caret after the last change of the step made again.
    std::optional<tUndoSelection> Redo();
    void Clear() noexcept;

    // The caret moved elsewhere, the window lost focus and the like: the next
    // character typed starts a step of its own.
    void BreakTyping() noexcept;
    // Every change until the outermost EndGroup is one step. Groups nest.
    void BeginGroup() noexcept;
    void EndGroup() noexcept;
    [[nodiscard]] int GroupDepth() const noexcept { return FGroupDepth; }

    // Changes made while suspended are the program's: each clears the record.
    // Suspensions nest.
    void Suspend() noexcept { ++FSuspended; }
    void Resume() noexcept;
    [[nodiscard]] bool Recording() const noexcept { return FSuspended == 0; }

    // How many steps can be undone.
    [[nodiscard]] int UndoSteps() const noexcept { return int(FUndo.size()); }

private:
    // One change, kept by what is missing from the text: the units now at
    // Position..Position+Present replaced Absent (with its breaks). Undo and
    // redo both swap the two, so the text present is never held twice.
    struct tAction
    {
        int Position = 0;
        int Present = 0;
        QString Absent;
        std::vector<tLineBreak> AbsentBreaks;
    };
    using tStep = std::vector<tAction>;
    enum class tRun : unsigned char
    {
        None,   // the next change starts a step (outside a group)
        Typing, // a character typed may join the last action
        Erasing // a character erased may join the last action
    };

    void TextChanged(const tTextChange &change, QStringView removed,
                     const std::vector<tLineBreak> &removedBreaks) override;
    void TextReset() override;
    bool WantsRemoved() const noexcept override { return FSwapping || FSuspended == 0; }
    bool JoinRun(const tTextChange &change, QStringView removed);
    void Swap(tAction &action);

    cTextBuffer &FBuffer;
    std::vector<tStep> FUndo, FRedo;
    tRun FRun = tRun::None;
    int FGroupDepth = 0;
    bool FGroupStarted = false; // the open group has its step on FUndo
    int FSuspended = 0;
    tAction *FSwapping = nullptr; // the action an undo or redo is applying
};

// Applies program changes for a scope: they are not undoable and clear the record.
class cNotUndoable
{
public:
    explicit cNotUndoable(cUndoRecord &record) : FRecord(record) { FRecord.Suspend(); }
    ~cNotUndoable() { FRecord.Resume(); }
    cNotUndoable(const cNotUndoable &) = delete;
    cNotUndoable &operator=(const cNotUndoable &) = delete;

private:
    cUndoRecord &FRecord;
};

// Keeps an undo group open for a scope.
class cUndoGroup
{
public:
    explicit cUndoGroup(cUndoRecord &record) : FRecord(record) { FRecord.BeginGroup(); }
    ~cUndoGroup() { FRecord.EndGroup(); }
    cUndoGroup(const cUndoGroup &) = delete;
    cUndoGroup &operator=(const cUndoGroup &) = delete;

private:
    cUndoRecord &FRecord;
};
