// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Perl-style regular expressions over UTF-16 text in the dialect of TRegExpr,
// matched by PCRE2's 16-bit library.
//
// Dialect: modifiers i off, m off, s on (the dot matches line separators too),
// g on (greedy), x off; inline (?imsxg-imsxg) switch them. \d, \w, \s and \b
// are ASCII: \w is [0-9A-Za-z_], \s is space, tab, LF, CR and form feed.
// They are the dialect's, not the editor's word rule (IsWordChar): whole-word
// search is a plain search's option only.
// Case-insensitive matching folds case by Unicode. Positions count UTF-16
// code units; any unit, a lone surrogate included, is a character.
#include "editor/platform/Exceptions.h"

#include <QString>

#include <memory>
#include <vector>

// A compile or execution error, with the engine's own message.
class ERegExpr : public eException
{
public:
    ERegExpr(QString message, int errorCode, int errorOffset = -1);

    // The engine's error number.
    int ErrorCode() const noexcept { return FErrorCode; }
    // Where compilation stopped (in a replacement template: where the
    // faulty reference starts), 1-based; 0 for an execution error.
    int CompilerErrorPos() const noexcept { return FErrorOffset + 1; }
    // The same position 0-based, as a selection start takes it; -1 for an
    // execution error. It may equal the expression's length (error at its end).
    int ErrorOffset() const noexcept { return FErrorOffset; }

private:
    int FErrorCode;
    int FErrorOffset;
};

// Where Replace put one expansion: the match of Length units at Start
// (0-based) became OutLength units at OutStart of the result.
struct tReplacedMatch
{
    qsizetype Start = 0;
    qsizetype Length = 0;
    qsizetype OutStart = 0;
    qsizetype OutLength = 0;
};

class TRegExpr
{
public:
    TRegExpr();
    explicit TRegExpr(const QString &expression);
    ~TRegExpr();
    TRegExpr(const TRegExpr &) = delete;
    TRegExpr &operator=(const TRegExpr &) = delete;
    TRegExpr(TRegExpr &&) noexcept;
    TRegExpr &operator=(TRegExpr &&) noexcept;

    // Changing the expression, a modifier or the separators drops the
    // compiled program; the next Exec compiles again.
    const QString &Expression() const noexcept { return FExpression; }
    void SetExpression(const QString &expression);
    bool ModifierI() const noexcept { return FModifierI; }
    void SetModifierI(bool on);
    bool ModifierM() const noexcept { return FModifierM; }
    void SetModifierM(bool on);

    // The characters that end a line for ^, $ and a dot under (?-s), and a
    // two-character separator that counts as one. The engine knows these
    // sets: CR alone, LF alone, CR LF paired alone, CR and LF with CR LF
    // paired, and (the default) every Unicode line break with CR LF paired.
    // Compile raises ERegExpr for any other.
    const QString &LineSeparators() const noexcept { return FLineSeparators; }
    void SetLineSeparators(const QString &separators);
    const QString &LinePairedSeparator() const noexcept { return FLinePairedSeparator; }
    void SetLinePairedSeparator(const QString &separator);

    // What \n in a substitution template gives: the control's paragraph mark.
    const QString &ReplaceLineEnd() const noexcept { return FReplaceLineEnd; }
    void SetReplaceLineEnd(const QString &lineEnd) { FReplaceLineEnd = lineEnd; }

    // Setting the input forgets the current match.
    const QString &InputString() const noexcept { return FInputString; }
    void SetInputString(const QString &input);

    // Raises ERegExpr when the expression is invalid.
    void Compile();

    // The first match from the start of InputString. Compiles when needed;
    // raises ERegExpr on a compile or execution error.
    bool Exec();
    // The first match at or after the 1-based Offset; false when Offset lies
    // outside 1 .. length + 1.
    bool ExecPos(int offset = 1);
    // The next match after the current one (after an empty match, one
    // character further); false when there is no current match.
    bool ExecNext();

    // The highest group number that took part in the current match: 0 when
    // only the whole match exists, -1 when there is no match.
    int SubExprMatchCount() const noexcept;
    // 1-based start of group I (0: the whole match); -1 when that group did
    // not take part or there is no match.
    int MatchPos(int i) const noexcept;
    // Length of group I; -1 when it did not take part.
    int MatchLen(int i) const noexcept;
    // Text of group I; empty when it did not take part.
    QString Match(int i) const;

    // The template expanded for the current match: $& and $0 the whole match,
    // $1..$9 a group, ${nn} group nn, \n ReplaceLineEnd, \l \u the case of the
    // next character, \L \U of the rest; \ before any other character gives that
    // character, and a $ that names no group is itself. A group that did not
    // take part gives nothing; a reference to a group the expression does not
    // have raises ERegExpr with its template position.
    QString Substitute(const QString &templ) const;
    // Raises, as Substitute and Replace would, when the template refers to a
    // group the expression does not have; compiles when needed.
    void CheckTemplate(const QString &templ);

    // Input with every match replaced by the template (expanded by Substitute's
    // rules when useSubstitution, else taken literally), in one pass. Count gets
    // the number of matches replaced, Matches (when given) where each went.
    // Leaves InputString = input, no match.
    QString Replace(const QString &input, const QString &templ, bool useSubstitution, int *count = nullptr,
                    std::vector<tReplacedMatch> *matches = nullptr);
    // The same without the text between the matches: only the replacements,
    // one after another, OutStart counting within them, so a large text can
    // be changed where it is without a second whole copy of it.
    QString Replacements(const QString &input, const QString &templ, bool useSubstitution,
                         std::vector<tReplacedMatch> &matches);

private:
    class cProgram;

    void Invalidate() noexcept;
    QString ReplaceIn(const QString &input, const QString &templ, bool useSubstitution, int *count,
                      std::vector<tReplacedMatch> *matches, bool keepText);
    void EnsureCompiled();
    bool Search(qsizetype from);
    qsizetype NextSearchStart() const noexcept;

    QString FExpression;
    bool FModifierI = false;
    bool FModifierM = false;
    QString FLineSeparators;
    QString FLinePairedSeparator;
    QString FReplaceLineEnd;
    QString FInputString;
    std::unique_ptr<cProgram> FProgram; // null until compiled
    int FMatchCount = 0;                // groups set by the last match, 0 for none
};
