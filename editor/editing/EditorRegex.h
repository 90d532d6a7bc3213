// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Regular-expression search and replace of a document.
#include "editor/editing/RegExpr.h"
#include "editor/editing/RichEditEx.h"

#include <QString>

#include <cstdint>

enum tSearchAction : std::uint8_t
{
    saNone = 0, // the dialog was cancelled
    saFind = 1,
    saReplace = 2,
    saReplaceAll = 3,
};

// Bits of tSearchRequest::SearchOptions.
using tSearchOptions = std::uint8_t;
inline constexpr tSearchOptions soMatchCase = 1;
inline constexpr tSearchOptions soWholeWord = 2;    // plain search only
inline constexpr tSearchOptions soPrompt = 4;       // ask before each replacement
inline constexpr tSearchOptions soSelectedText = 8; // scope is the selection, else the whole text
inline constexpr tSearchOptions soFromCursor = 16;  // origin is the selection start, else the whole scope
inline constexpr tSearchOptions soBackward = 32;    // plain search only
inline constexpr tSearchOptions soRegex = 64;       // FindText is a pattern, ReplaceText a template

// What the Find dialog hands to the search commands; texts already expanded.
struct tSearchRequest
{
    tSearchAction Action = saNone;
    QString FindText;
    QString ReplaceText;
    tSearchOptions SearchOptions = 0;

    bool Has(tSearchOptions option) const noexcept { return (SearchOptions & option) != 0; }
};

class cEditRegex : public cWRichEditEx
{
    Q_OBJECT
public:
    explicit cEditRegex(QWidget *parent = nullptr);

    TRegExpr &Regex() noexcept { return FRegex; }
    // Document position of the first character of the regex's input.
    int SearchBase = 0;

    // With true marks the current selection as the found text (nothing when a
    // mark is shown already); with false removes the mark.
    virtual void HighlightFound(bool on) = 0;

    // True when the regex layer must not act on the request at all.
    bool RegexNotApplicable(const tSearchRequest &request) const;
    // Borrow: the regex reads the scope in place, valid until the text changes.
    void PrepareRegex(const tSearchRequest &request, bool borrow = false);
    // One find or one replacement; Delta (when given) receives the change of
    // length. Throws eCancel when the user cancels at the prompt.
    bool RegexFindReplace(const tSearchRequest &request, int *delta = nullptr);
    void RegexFind(const tSearchRequest &request);
    void RegexFindNext(const tSearchRequest &request);
    // Replace, replace all (at once or prompted), and the report.
    void RegexReplace(const tSearchRequest &request);
    // Count below 0: no occurrence was found at all.
    void ReportReplacements(const tSearchRequest &request, int count);

private:
    // Selects the current match of Regex (its input starting at SearchBase),
    // then marks it or, after the prompt, replaces it.
    void ActOnMatch(const tSearchRequest &request, int *delta);
    int RegexReplaceAllAtOnce(const tSearchRequest &request);
    int RegexReplaceAllPrompted(const tSearchRequest &request, bool &foundAny);

    TRegExpr FRegex;
    bool FLastReplaced = false; // the last match acted on was replaced (not declined)
    int FLastMatchLength = 0;   // of the last match acted on
};
