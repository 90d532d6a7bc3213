// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorRegex.h"

#include "editor/editing/Progress.h"

#include "editor/editing/EditTransaction.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

namespace {

void Report(const QString &text)
{
    MessageBox(ApplicationMainWindow(), text, LoadResString(res::ProductName), MB_OK | MB_ICONINFORMATION);
}

// The prompt before one replacement: IDYES, IDNO or IDCANCEL.
int AskReplace(const tSearchRequest &request)
{
    return MessageBox(ApplicationMainWindow(), FormatRes(res::ReplacePrompt, {request.FindText}),
                      LoadResString(res::ProductName), MB_YESNOCANCEL | MB_ICONQUESTION);
}

// A cancel at the prompt ends the whole replace command without a report.
class eReplaceCancelled : public eCancel
{
public:
    eReplaceCancelled() = default;
};

} // namespace

cEditRegex::cEditRegex(QWidget *parent) : cWRichEditEx(parent)
{
    FRegex.SetModifierM(true);
    FRegex.SetLinePairedSeparator(QString());
    FRegex.SetLineSeparators(QStringLiteral("\r"));
}

bool cEditRegex::RegexNotApplicable(const tSearchRequest &request) const
{
    return !request.Has(soRegex) || request.Action == saNone || request.FindText.isEmpty() ||
           (request.Has(soSelectedText) && GetSelLength() == 0);
}

void cEditRegex::PrepareRegex(const tSearchRequest &request, bool borrow)
{
    FRegex.SetModifierI(!request.Has(soMatchCase));
    int end = GetTextLen();
    if (request.Has(soSelectedText)) {
        SearchBase = GetSelStart();
        end = SearchBase + GetSelLength();
    } else if (request.Has(soFromCursor)) {
        SearchBase = GetSelStart();
    } else {
        SearchBase = 0;
    }
    if (borrow) {
        const QStringView scope = buffer().Contiguous(SearchBase, end);
        FRegex.SetInputString(QString::fromRawData(scope.data(), scope.size()));
    } else {
        FRegex.SetInputString(GetTextRange(SearchBase, end));
    }
    FRegex.SetExpression(request.FindText);
}

bool cEditRegex::RegexFindReplace(const tSearchRequest &request, int *delta)
{
    FLastReplaced = false;
    if (RegexNotApplicable(request))
        return false;
    // Unprompted, nothing runs while the text is borrowed: it is searched in
    // place, and let go of before the caller goes on.
    const bool borrow = !request.Has(soPrompt);
    struct tLetGo
    {
        TRegExpr &Regex;
        bool Borrowed;
        ~tLetGo()
        {
            if (Borrowed)
                Regex.SetInputString(QString());
        }
    } letGo{FRegex, borrow};
    PrepareRegex(request, borrow);
    {
        cProgress progress(QStringLiteral("Find"), FRegex.InputString().size());
        if (!FRegex.Exec())
            return false;
    }
    ActOnMatch(request, delta);
    return true;
}

void cEditRegex::ActOnMatch(const tSearchRequest &request, int *delta)
{
    const int matchStart = FRegex.MatchPos(0) + SearchBase - 1;
    const int matchLength = FRegex.MatchLen(0);
    FLastMatchLength = matchLength;
    FLastReplaced = false;
    SetSelStart(matchStart);
    SetSelLength(matchLength);
    if (request.Action == saFind || request.Action == saNone) {
        HighlightFound(true);
        SetSelStart(matchStart + matchLength);
        return;
    }
    if (delta)
        *delta = 0;
    if (request.Has(soPrompt)) {
        const int answer = AskReplace(request);
        if (answer != IDYES) {
            SetSelStart(matchStart + matchLength);
            if (answer == IDNO)
                return;
            throw eReplaceCancelled();
        }
    }
    const QString matched = GetTextRange(matchStart, matchStart + matchLength);
    // Expanded for the match as found in its context: applying the pattern
    // again to the matched text alone loses lookarounds and anchors.
    const QString replacement = FRegex.Substitute(request.ReplaceText);
    if (delta)
        *delta = int(replacement.size() - matched.size());
    SetSelTextW(replacement);
    FLastReplaced = true;
}

void cEditRegex::RegexFind(const tSearchRequest &request)
{
    if (!RegexFindReplace(request))
        Report(FormatRes(res::PatternNotFound, {request.FindText}));
}

void cEditRegex::RegexFindNext(const tSearchRequest &request)
{
    tSearchRequest next = request;
    next.SearchOptions = tSearchOptions((next.SearchOptions & ~soSelectedText) | soFromCursor);
    next.Action = saFind;
    if (!RegexFindReplace(next))
        Report(FormatRes(res::PatternNotFound, {request.FindText}));
}

// The replacement is built from the scope's text before the document is
// touched: when nothing matched, the text, caret and modified flag stay.
// Only the matches change, so the lines between them keep their breaks.
int cEditRegex::RegexReplaceAllAtOnce(const tSearchRequest &request)
{
    // The scope is read in place; the regex lets go of it before the text changes.
    struct tLetGo
    {
        TRegExpr &Regex;
        ~tLetGo() { Regex.SetInputString(QString()); }
    } letGo{FRegex};
    PrepareRegex(request, true);
    cProgress progress(QStringLiteral("Replace All"), FRegex.InputString().size(), 64);
    std::vector<tReplacedMatch> matches;
    // Only the replacements are made: the text between them stays where it is.
    const QString replaced = FRegex.Replacements(FRegex.InputString(), request.ReplaceText, true, matches);
    qsizetype replacedSize = FRegex.InputString().size();
    FRegex.SetInputString(QString());
    const int count = int(matches.size());
    if (count == 0)
        return 0;
    for (const tReplacedMatch &m : matches)
        replacedSize += m.OutLength - m.Length;
    const bool whole = !request.Has(soSelectedText) && !request.Has(soFromCursor);
    // A refused text must not be reported as replaced.
    if (whole && replacedSize > TextLimit())
        throw EInvalidOperation(QStringLiteral("Text exceeds memo capacity"));
    std::vector<tReplacement> replacements;
    replacements.reserve(matches.size());
    const QStringView out(replaced);
    for (const tReplacedMatch &m : matches)
        replacements.push_back(
            {SearchBase + int(m.Start), int(m.Length), out.sliced(m.OutStart, m.OutLength)});
    ReplaceMany(replacements);
    // The caret, and the view, where setting the scope's text would leave them.
    SetSelStart(whole ? 0 : SearchBase + int(replacedSize));
    ensureCursorVisible();
    return count;
}

// The scope is cut once, at its start, as for the replacement at once: each
// further search runs on from the caret in the scope's text, so anchors and
// lookbehinds still see what precedes it instead of taking the caret for a
// line start.
int cEditRegex::RegexReplaceAllPrompted(const tSearchRequest &request, bool &foundAny)
{
    PrepareRegex(request);
    const int scopeStart = SearchBase;
    int scopeEnd = scopeStart + int(FRegex.InputString().size());
    int position = scopeStart;
    int count = 0;
    while (position <= scopeEnd && FRegex.ExecPos(position - scopeStart + 1)) {
        foundAny = true;
        int delta = 0;
        ActOnMatch(request, &delta);
        if (FLastReplaced)
            ++count;
        scopeEnd += delta;
        position = GetSelStart();
        // After an empty match the same place would match again for ever.
        if (FLastMatchLength == 0)
            ++position;
        if (position <= scopeEnd)
            FRegex.SetInputString(GetTextRange(scopeStart, scopeEnd));
    }
    return count;
}

void cEditRegex::RegexReplace(const tSearchRequest &request)
{
    if (RegexNotApplicable(request))
        return;
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const bool prompt = request.Has(soPrompt);
    if (!prompt)
        Refresh();
    int count = 0;
    bool foundAny = false;
    bool report = true;
    {
        const cEditTransaction edit(*this, prompt ? tEditSteps::Shown : tEditSteps::Unpainted);
        try {
            if (request.Action == saReplaceAll && !prompt) {
                count = RegexReplaceAllAtOnce(request);
                foundAny = count > 0;
            } else if (request.Action == saReplaceAll) {
                count = RegexReplaceAllPrompted(request, foundAny);
            } else {
                foundAny = RegexFindReplace(request);
                count = FLastReplaced ? 1 : 0;
                // A declined single replacement is not reported.
                report = !foundAny || FLastReplaced;
            }
        } catch (const eReplaceCancelled &) {
            report = false;
        }
        // Nothing found: the selection the user made stays as it was.
        if (foundAny || !report)
            SetSelLength(0);
    }
    if (report)
        ReportReplacements(request, foundAny ? count : -1);
}

void cEditRegex::ReportReplacements(const tSearchRequest &request, int count)
{
    if (count < 0) {
        Report(FormatRes(res::PatternNotFound, {request.FindText}));
        return;
    }
    Report(FormatRes(count == 1 ? res::ReplacementDone : res::ReplacementsDone,
                     {count, request.FindText, request.ReplaceText}));
}
