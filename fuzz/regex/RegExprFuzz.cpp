// SPDX-License-Identifier: GPL-3.0-or-later
// Any pattern, template and subject: compiling fails with a position inside
// the pattern or succeeds; every match lies inside the subject, moves on, and
// never splits a surrogate pair; Replace replaces exactly the matches that
// ExecNext walks through. Input: a flags byte, then pattern, template and
// subject separated by NUL bytes, each UTF-8 (undecodable bytes become the
// lone surrogates the editor keeps them as).
#include "FuzzSupport.h"

#include "editor/editing/RegExpr.h"
#include "editor/platform/AnsiCodePage.h"

#include <QList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

struct tMatch
{
    int Pos;
    int Len;
};

void SetSeparators(TRegExpr &regex, uint8_t choice)
{
    // The five sets the engine knows, and one it does not.
    static const QString sets[][2] = {
        {QStringLiteral("\r\n\v\f\u0085\u2028\u2029"), QStringLiteral("\r\n")},
        {QStringLiteral("\r"), QString()},
        {QStringLiteral("\n"), QString()},
        {QString(), QStringLiteral("\r\n")},
        {QStringLiteral("\n\r"), QStringLiteral("\r\n")},
        {QStringLiteral(";"), QString()},
    };
    const auto &set = sets[choice % std::size(sets)];
    regex.SetLineSeparators(set[0]);
    regex.SetLinePairedSeparator(set[1]);
}

void CheckMatch(const TRegExpr &regex, const QString &subject, const QString &templ)
{
    const int pos = regex.MatchPos(0), len = regex.MatchLen(0);
    if (pos < 1 || len < 0 || pos - 1 + len > subject.size())
        fuzz::Finding("a match lies outside the subject");
    if (len == 0 && pos > 1 && pos <= subject.size() && subject[pos - 2].isHighSurrogate() &&
        subject[pos - 1].isLowSurrogate())
        fuzz::Finding("an empty match splits a surrogate pair");
    for (int i = 1; i <= regex.SubExprMatchCount(); ++i) {
        const int groupPos = regex.MatchPos(i), groupLen = regex.MatchLen(i);
        if (groupPos == -1 ? groupLen != -1 || !regex.Match(i).isEmpty()
                           : groupPos < 1 || groupLen < 0 || groupPos - 1 + groupLen > subject.size() ||
                                 regex.Match(i).size() != groupLen)
            fuzz::Finding("a group lies outside the subject");
    }
    // The template language takes any text, whatever group it names.
    (void)regex.Substitute(templ);
}

std::vector<tMatch> AllMatches(TRegExpr &regex, const QString &subject, const QString &templ)
{
    std::vector<tMatch> matches;
    regex.SetInputString(subject);
    for (bool found = regex.Exec(); found; found = regex.ExecNext()) {
        CheckMatch(regex, subject, templ);
        const tMatch match{regex.MatchPos(0), regex.MatchLen(0)};
        if (!matches.empty()) {
            const tMatch &last = matches.back();
            if (match.Pos < last.Pos + last.Len || (last.Len == 0 && match.Pos == last.Pos))
                fuzz::Finding("ExecNext did not move on");
        }
        matches.push_back(match);
        if (matches.size() > size_t(subject.size()) + 1)
            fuzz::Finding("more matches than positions in the subject");
    }
    return matches;
}

void CheckReplace(TRegExpr &regex, const QString &subject, const QString &templ,
                  const std::vector<tMatch> &matches)
{
    int count = -1;
    const QString literal = regex.Replace(subject, templ, false, &count);
    qsizetype removed = 0;
    for (const tMatch &match : matches)
        removed += match.Len;
    if (count != int(matches.size()) || literal.size() != subject.size() - removed + count * templ.size())
        fuzz::Finding("Replace did not replace exactly the matches ExecNext found",
                      QByteArray::number(count) + " replaced, " + QByteArray::number(matches.size()) +
                          " found");
    (void)regex.Replace(subject, templ, true, &count);
    if (count != int(matches.size()))
        fuzz::Finding("Replace with substitution found other matches");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)).split('\0');
    parts.resize(3);
    const QString pattern = Utf8DecodeLossless(parts[0]);
    const QString templ = Utf8DecodeLossless(parts[1]);
    const QString subject = Utf8DecodeLossless(parts[2]);

    TRegExpr regex(pattern);
    regex.SetModifierI(flags & 1);
    regex.SetModifierM(flags & 2);
    SetSeparators(regex, uint8_t(flags >> 2));
    try {
        regex.Compile();
    } catch (const ERegExpr &error) {
        if (error.ErrorOffset() < 0 || error.ErrorOffset() > pattern.size())
            fuzz::Finding("a compile error lies outside the pattern",
                          QByteArray::number(error.ErrorOffset()) + " in " + fuzz::Hex(pattern));
        return 0;
    }
    try {
        const std::vector<tMatch> matches = AllMatches(regex, subject, templ);
        CheckReplace(regex, subject, templ, matches);
    } catch (const ERegExpr &) {
        // The engine's own limits (match or depth) end a search as an error.
    }
    return 0;
}
