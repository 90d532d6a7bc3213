// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where each line starts, with a pending step: the starts after one line are
// all short by the same amount until an edit elsewhere makes it worth
// applying, so runs of edits in one place cost nothing per line.
#include "editor/textengine/GapArray.h"

#include <cstddef>

class cLineStarts
{
public:
    // One line, starting at 0.
    cLineStarts();
    cLineStarts(const cLineStarts &) = delete;
    cLineStarts &operator=(const cLineStarts &) = delete;

    // At least 1.
    [[nodiscard]] int Count() const noexcept { return int(FStarts.Size()); }
    // 0 <= Line < Count().
    [[nodiscard]] int Start(int line) const noexcept
    {
        return line > FStepLine ? FStarts[line] + FStep : FStarts[line];
    }
    // The last line starting at or before Pos (0 for a Pos before the first).
    [[nodiscard]] int LineOf(int pos) const noexcept;

    // Every line after Line starts Delta later.
    void ShiftAfter(int line, int delta);
    // Count lines starting at Starts (ascending, absolute) come after Line.
    void InsertAfter(int line, const int *starts, int count);
    // Lines Line+1 .. Line+Count go; the others keep their starts.
    void RemoveAfter(int line, int count) noexcept;

    // Room for Count more lines, so that the next insertions of that many
    // cannot fail for want of memory.
    void Reserve(std::ptrdiff_t count);
    // Back to one line at 0, with room for Lines lines and no more.
    void Reset(std::ptrdiff_t lines);
    // A line starting at Start after the last one (a load; the step is 0).
    void Append(int start) { FStarts.PushBack(start); }
    void Swap(cLineStarts &other) noexcept;

private:
    void MoveStep(int line);
    void SetStepLine(int line) noexcept;

    // Stored starts after FStepLine are FStep short.
    cGapArray<int> FStarts;
    int FStepLine = 0, FStep = 0;
};
