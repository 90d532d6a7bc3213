// SPDX-License-Identifier: GPL-3.0-or-later
// The search commands of a document: plain and special-character search
// through the control's own find, regular expressions through the regex layer.
#include "editor/editing/Editors.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/EditTransaction.h"
#include "editor/editing/Progress.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

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

tPlainPattern PatternOf(const tSearchRequest &request)
{
    return {request.FindText, request.Has(soMatchCase), request.Has(soWholeWord)};
}

} // namespace

tSearchRange cEditor::PrepareFindRange(const tSearchRequest &request) const
{
    const tSearchScope scope = request.Has(soSelectedText) ? tSearchScope::Selection
                               : request.Has(soFromCursor) ? tSearchScope::FromCaret
                                                           : tSearchScope::WholeText;
    const int start = GetSelStart();
    return ScopeRange(scope, request.Has(soBackward), start, start + GetSelLength(), GetTextLen());
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
    const tSearchRange range = PrepareFindRange(request);
    cProgress progress(QStringLiteral("Find"), range.Hi - range.Lo, 1);
    const int found =
        FindPlain(buffer(), PatternOf(request), range, request.Has(soBackward), CurrentProgressSteps());
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

// Range is where the next step searches.
tReplaceOutcome cEditor::ReplaceOccurrence(const tSearchRequest &request, tSearchRange &range)
{
    const bool backward = request.Has(soBackward);
    const int found = FindPlain(buffer(), PatternOf(request), range, backward);
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
    if (backward) {
        // The range keeps its lower end: a selection's start bounds it, not
        // the start of the text.
        SetSelStart(found);
        range.Hi = found;
    } else {
        range.Lo = found + (replace ? replaceLength : findLength);
        range.Hi += replace ? replaceLength - findLength : 0;
        SetSelStart(range.Lo);
    }
    FLastOccurrenceReplaced = replace;
    return tReplaceOutcome::Done;
}

QString cEditor::ReplaceLoop(const tSearchRequest &request, tSearchRange range)
{
    if (request.Action == saReplace) {
        if (ReplaceOccurrence(request, range) == tReplaceOutcome::NotFound)
            return NotFoundText(request);
        return {};
    }
    int count = 0;
    bool foundAny = false;
    while (range.Hi > range.Lo) {
        const tReplaceOutcome outcome = ReplaceOccurrence(request, range);
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

QString cEditor::ReplaceAllAtOnce(const tSearchRequest &request, tSearchRange range)
{
    if (range.Hi <= range.Lo)
        return NotFoundText(request);
    const bool backward = request.Has(soBackward);
    cProgress progress(QStringLiteral("Replace All"), range.Hi - range.Lo);
    const std::vector<int> found = FindEachForReplacement(buffer(), PatternOf(request), request.ReplaceText,
                                                          range, backward, CurrentProgressSteps());
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
    if (backward)
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
    tSearchRange range = PrepareFindRange(request);
    // A single replace in an empty selection searches on from it, as a find
    // does; Replace All has nothing there to replace.
    if (request.Action == saReplaceAll && request.Has(soSelectedText) && GetSelLength() == 0)
        range.Hi = range.Lo;
    Refresh();
    QString report;
    {
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        const bool prompt = request.Has(soPrompt);
        // Unprompted, nobody sees the steps: the control catches up once.
        const cEditTransaction edit(*this, prompt ? tEditSteps::Shown : tEditSteps::Batched);
        if (request.Action == saReplaceAll && !prompt && !SplitsPairs(request.FindText))
            report = ReplaceAllAtOnce(request, range);
        else
            report = ReplaceLoop(request, range);
    }
    if (!report.isEmpty())
        Report(report);
}
