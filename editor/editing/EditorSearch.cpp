// SPDX-License-Identifier: GPL-3.0-or-later
// The search commands of a document: plain and special-character search
// through the control's own find, regular expressions through the regex layer.
#include "editor/editing/Editors.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/Progress.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <optional>

namespace {

void Report(const QString &text)
{
    MessageBox(ApplicationMainWindow(), text, LoadResString(res::ProductName), MB_OK | MB_ICONINFORMATION);
}

QString NotFoundText(const tSearchRequest &request)
{
    return FormatRes(res::TextNotFound, {request.FindText});
}

QString DoneText(const tSearchRequest &request, int count)
{
    return FormatRes(count == 1 ? res::ReplacementDone : res::ReplacementsDone,
                     {count, request.FindText, request.ReplaceText});
}

// A find that starts or ends inside a surrogate pair is replaced step by
// step: each step widens its selection to whole characters.
bool SplitsPairs(const QString &text)
{
    return !text.isEmpty() && (text.front().isLowSurrogate() || text.back().isHighSurrogate());
}

} // namespace

void cEditor::PrepareFindRange(const tSearchRequest &request, int &flags, int &start, int &length) const
{
    const bool backward = request.Has(soBackward);
    flags = 0;
    if (backward)
        flags |= ftBackward;
    if (request.Has(soWholeWord))
        flags |= ftWholeWord;
    if (request.Has(soMatchCase))
        flags |= ftMatchCase;
    start = 0;
    length = GetTextLen();
    if (request.Has(soSelectedText)) {
        start = GetSelStart();
        length = GetSelLength();
    } else if (request.Has(soFromCursor)) {
        start = GetSelStart();
        if (backward)
            length = start;
    }
    // A backward search begins at the end of its range.
    if ((request.Has(soSelectedText) || !request.Has(soFromCursor)) && backward)
        start += length;
}

void cEditor::FindNext(bool fromDialog)
{
    tSearchRequest request = FormFind()->CurrentRequest();
    if (request.FindText.isEmpty())
        return;
    HighlightFound(false);
    if (request.Has(soRegex)) {
        RegexFindNext(request);
        if (Highlighted())
            HighlightAllFound(request);
        return;
    }
    if (!fromDialog)
        request.SearchOptions = tSearchOptions((request.SearchOptions & ~soSelectedText) | soFromCursor);
    int flags, start, length;
    PrepareFindRange(request, flags, start, length);
    cProgress progress(QStringLiteral("Find"), length < 1 ? buffer().Length() - start : length, 1);
    progress.SetOrigin(start);
    const int found = FindTextW(request.FindText, start, length, flags);
    if (found < 0) {
        Report(NotFoundText(request));
        return;
    }
    const int matchLength = int(request.FindText.size());
    SetSelStart(found);
    SetSelLength(matchLength);
    HighlightFound(true);
    HighlightAllFound(request);
    if (!request.Has(soBackward))
        SetSelStart(found + matchLength);
    SetSelLength(0);
    UpdateCaretPosition();
}

void cEditor::Find()
{
    tSearchRequest request;
    FormFind()->RunDialog(GetSelLength() >= 1, false, request);
    if (request.Action != saFind)
        return;
    if (request.Has(soRegex)) {
        HighlightFound(false);
        RegexFind(request);
        if (Highlighted())
            HighlightAllFound(request);
    } else {
        FindNext(true);
    }
}

tReplaceOutcome cEditor::ReplaceOccurrence(const tSearchRequest &request, int flags, int start, int length,
                                           int &nextStart, int &nextLength)
{
    const int found = FindTextW(request.FindText, start, length, flags);
    if (found < 0)
        return tReplaceOutcome::NotFound;
    const int findLength = int(request.FindText.size());
    const int replaceLength = int(request.ReplaceText.size());
    SetSelStart(found);
    SetSelLength(findLength);
    bool replace = true;
    if (request.Has(soPrompt)) {
        const int answer =
            MessageBox(ApplicationMainWindow(), FormatRes(res::ReplacePrompt, {request.FindText}),
                       LoadResString(res::ProductName), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return tReplaceOutcome::Cancelled;
        replace = answer == IDYES;
    }
    if (replace)
        SetSelTextW(request.ReplaceText);
    SetSelLength(0);
    if (flags & ftBackward) {
        // The range keeps its lower end: a selection's start bounds it, not
        // the start of the text.
        SetSelStart(found);
        nextStart = found;
        nextLength = found - (start - length);
    } else {
        const int end = start + length + (replace ? replaceLength - findLength : 0);
        nextStart = found + (replace ? replaceLength : findLength);
        nextLength = end - nextStart;
        SetSelStart(nextStart);
    }
    FLastOccurrenceReplaced = replace;
    return tReplaceOutcome::Done;
}

QString cEditor::ReplaceLoop(const tSearchRequest &request, int flags, int start, int length)
{
    int nextStart = start, nextLength = length;
    if (request.Action == saReplace) {
        if (ReplaceOccurrence(request, flags, start, length, nextStart, nextLength) ==
            tReplaceOutcome::NotFound)
            return NotFoundText(request);
        return {};
    }
    int count = 0;
    bool foundAny = false;
    while (nextLength > 0) {
        const tReplaceOutcome outcome =
            ReplaceOccurrence(request, flags, nextStart, nextLength, nextStart, nextLength);
        if (outcome != tReplaceOutcome::Done) {
            foundAny = foundAny || outcome == tReplaceOutcome::Cancelled;
            break;
        }
        foundAny = true;
        if (FLastOccurrenceReplaced)
            ++count;
    }
    if (!foundAny)
        return NotFoundText(request);
    return DoneText(request, count);
}

QString cEditor::ReplaceAllAtOnce(const tSearchRequest &request, int flags, int start, int length)
{
    if (length <= 0)
        return NotFoundText(request);
    cProgress progress(QStringLiteral("Replace All"), length);
    progress.SetOrigin(start);
    const std::vector<int> found =
        FindEachForReplacement(request.FindText, request.ReplaceText, start, length, flags);
    if (found.empty())
        return NotFoundText(request);
    const int findLength = int(request.FindText.size());
    const int replaceLength = int(request.ReplaceText.size());
    std::vector<tReplacement> replacements;
    replacements.reserve(found.size());
    for (const int position : found)
        replacements.push_back({position, findLength, request.ReplaceText});
    ReplaceMany(replacements);
    const int count = int(found.size());
    // The caret where the last step of the loop leaves it.
    if (flags & ftBackward)
        SetSelStart(found.front());
    else
        SetSelStart(found.back() + (count - 1) * (replaceLength - findLength) + replaceLength);
    SetSelLength(0);
    FLastOccurrenceReplaced = true;
    return DoneText(request, count);
}

void cEditor::Replace()
{
    tSearchRequest request;
    FormFind()->RunDialog(GetSelLength() >= 1, true, request);
    if (request.FindText.isEmpty() || (request.Action != saReplace && request.Action != saReplaceAll))
        return;
    if (request.Has(soRegex)) {
        RegexReplace(request);
        return;
    }
    if (request.FindText == request.ReplaceText) {
        Report(FormatRes(res::FindEqualsReplace, {request.FindText}));
        return;
    }
    int flags, start, length;
    PrepareFindRange(request, flags, start, length);
    Refresh();
    QString report;
    {
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        std::optional<cUpdateBracket> noRedraw;
        if (!request.Has(soPrompt))
            noRedraw.emplace(WLines());
        cSnapshotBracket snapshot(*this);
        // Unprompted, nobody sees the steps: the control catches up once.
        std::optional<cEditBatch> batch;
        if (!request.Has(soPrompt))
            batch.emplace(*this);
        if (request.Action == saReplaceAll && !request.Has(soPrompt) && !SplitsPairs(request.FindText))
            report = ReplaceAllAtOnce(request, flags, start, length);
        else
            report = ReplaceLoop(request, flags, start, length);
    }
    if (!report.isEmpty())
        Report(report);
}
