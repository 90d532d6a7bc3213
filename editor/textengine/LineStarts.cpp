// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/LineStarts.h"

cLineStarts::cLineStarts()
{
    FStarts.PushBack(0);
}

int cLineStarts::LineOf(int pos) const noexcept
{
    if (pos <= 0)
        return 0;
    int low = 0, high = Count() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (Start(middle) <= pos)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

void cLineStarts::ShiftAfter(int line, int delta)
{
    MoveStep(line);
    if (line < Count() - 1)
        FStep += delta;
}

void cLineStarts::InsertAfter(int line, const int *starts, int count)
{
    if (count <= 0)
        return;
    MoveStep(line);
    FStarts.Insert(line + 1, starts, count);
    // The new starts are exact; the ones after them are still FStep short.
    SetStepLine(line + count);
}

// Only the stored starts after the step are short, and removing lines does
// not change which of the remaining ones those are: nothing is applied here.
void cLineStarts::RemoveAfter(int line, int count) noexcept
{
    if (count <= 0)
        return;
    FStarts.Erase(line + 1, count);
    if (FStepLine > line + count)
        SetStepLine(FStepLine - count);
    else if (FStepLine > line)
        SetStepLine(line);
    else
        SetStepLine(FStepLine);
}

void cLineStarts::Reserve(std::ptrdiff_t count)
{
    FStarts.MakeRoom(count);
}

void cLineStarts::Reset(std::ptrdiff_t lines)
{
    FStarts.Release();
    FStarts.Reserve(lines);
    FStarts.PushBack(0);
    FStepLine = 0;
    FStep = 0;
}

void cLineStarts::Swap(cLineStarts &other) noexcept
{
    FStarts.Swap(other.FStarts);
    std::swap(FStepLine, other.FStepLine);
    std::swap(FStep, other.FStep);
}

// Afterwards exactly the stored starts after Line are FStep short. Walks
// whichever way touches fewer starts.
void cLineStarts::MoveStep(int line)
{
    const int count = Count();
    if (FStep != 0 && line != FStepLine) {
        auto add = [this](int from, int to, int delta) {
            FStarts.ForEachRunMutable(from, to, [delta](int *p, std::ptrdiff_t n) {
                for (std::ptrdiff_t i = 0; i < n; ++i)
                    p[i] += delta;
            });
        };
        if (line > FStepLine) {
            add(FStepLine + 1, line + 1, FStep);
        } else if (FStepLine - line <= count - 1 - FStepLine) {
            add(line + 1, FStepLine + 1, -FStep);
        } else {
            add(FStepLine + 1, count, FStep);
            FStep = 0;
        }
    }
    SetStepLine(line);
}

void cLineStarts::SetStepLine(int line) noexcept
{
    FStepLine = line;
    if (FStepLine >= Count() - 1)
        FStep = 0;
}
