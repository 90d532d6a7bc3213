// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/PlainFind.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using tUnits = cPlainFind::tUnits;

// Every unit the engine's own comparison takes for Unit, both ways it
// compares (forward and backward): asking it rather than a case table keeps
// the pick from ever skipping a place it would match.
tUnits FoldedUnits(char16_t unit)
{
    tUnits result;
    const QString needle(QChar{unit});
    const QStringMatcher matcher(needle, Qt::CaseInsensitive);
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        if (QChar::isSurrogate(u))
            continue;
        const char16_t c = char16_t(u);
        const QStringView one(&c, 1);
        if (matcher.indexIn(one, 0) != 0 && one.lastIndexOf(needle, 0, Qt::CaseInsensitive) != 0)
            continue;
        if (result.Count == cPlainFind::Max)
            return {};
        result.Unit[result.Count++] = c;
    }
    return result;
}

#ifdef __SSE2__
struct tLanes
{
    __m128i V[cPlainFind::Max];
    int Count;
    explicit tLanes(const tUnits &units) : Count(units.Count)
    {
        for (int i = 0; i < cPlainFind::Max; ++i)
            V[i] = _mm_set1_epi16(short(units.Unit[i < units.Count ? i : 0]));
    }
    __m128i Match(__m128i v) const noexcept
    {
        __m128i m = _mm_cmpeq_epi16(v, V[0]);
        for (int i = 1; i < Count; ++i)
            m = _mm_or_si128(m, _mm_cmpeq_epi16(v, V[i]));
        return m;
    }
};
#endif

bool Among(char16_t unit, const tUnits &units) noexcept
{
    for (int i = 0; i < units.Count; ++i)
        if (units.Unit[i] == unit)
            return true;
    return false;
}

// The first place P in From..Last whose unit is among First and whose unit at
// P + Span is among Final, or -1.
qsizetype NextPick(const char16_t *u, qsizetype from, qsizetype last, qsizetype span, const tUnits &first,
                   const tUnits &final) noexcept
{
#ifdef __SSE2__
    const tLanes a(first), b(final);
    for (; from + 8 <= last + 1; from += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(u + from));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(u + from + span));
        const unsigned m = unsigned(_mm_movemask_epi8(_mm_and_si128(a.Match(x), b.Match(y))));
        if (m != 0)
            return from + (__builtin_ctz(m) >> 1);
    }
#endif
    for (; from <= last; ++from)
        if (Among(u[from], first) && Among(u[from + span], final))
            return from;
    return -1;
}

// The same, the last such place at or before From.
qsizetype PreviousPick(const char16_t *u, qsizetype from, qsizetype span, const tUnits &first,
                       const tUnits &final) noexcept
{
#ifdef __SSE2__
    const tLanes a(first), b(final);
    for (; from >= 7; from -= 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(u + from - 7));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(u + from - 7 + span));
        const unsigned m = unsigned(_mm_movemask_epi8(_mm_and_si128(a.Match(x), b.Match(y))));
        if (m != 0)
            return from - 7 + ((31 - __builtin_clz(m)) >> 1);
    }
#endif
    for (; from >= 0; --from)
        if (Among(u[from], first) && Among(u[from + span], final))
            return from;
    return -1;
}

} // namespace

cPlainFind::tUnits cPlainFind::UnitsMatching(char16_t unit, Qt::CaseSensitivity cs)
{
    if (cs == Qt::CaseSensitive) {
        tUnits result;
        result.Unit[0] = unit;
        result.Count = 1;
        return result;
    }
    // A surrogate folds with its partner, which the pick cannot see.
    if (QChar::isSurrogate(unit))
        return {};
    static std::mutex lock;
    static std::unordered_map<char16_t, tUnits> known;
    const std::lock_guard<std::mutex> guard(lock);
    const auto found = known.find(unit);
    if (found != known.end())
        return found->second;
    return known[unit] = FoldedUnits(unit);
}

cPlainFind::cPlainFind(const QString &needle, Qt::CaseSensitivity cs)
    : FNeedle(needle), FCs(cs), FMatcher(needle, cs)
{
    if (needle.isEmpty())
        return;
    // Under case folding a needle with a surrogate anywhere can match across
    // a pair's halves; those are left to the plain search.
    if (cs == Qt::CaseInsensitive)
        for (const QChar c : needle)
            if (c.isSurrogate())
                return;
    FFirst = UnitsMatching(needle.front().unicode(), cs);
    FLast = UnitsMatching(needle.back().unicode(), cs);
    FScan = FFirst.Count > 0 && FLast.Count > 0;
}

// Asked of the engine itself, so that only the pick is new.
bool cPlainFind::At(QStringView text, qsizetype pos, bool forward) const
{
    if (forward)
        return FMatcher.indexIn(text.first(pos + FNeedle.size()), pos) == pos;
    return text.sliced(pos, FNeedle.size()).lastIndexOf(FNeedle, 0, FCs) == 0;
}

qsizetype cPlainFind::IndexIn(QStringView text, qsizetype from) const
{
    if (!FScan)
        return FMatcher.indexIn(text, from);
    const qsizetype n = FNeedle.size();
    const qsizetype last = text.size() - n;
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype pos = std::max<qsizetype>(from, 0); pos <= last; ++pos) {
        pos = NextPick(units, pos, last, n - 1, FFirst, FLast);
        if (pos < 0)
            break;
        if (At(text, pos, true))
            return pos;
    }
    return -1;
}

qsizetype cPlainFind::LastIndexIn(QStringView text, qsizetype from) const
{
    if (!FScan)
        return text.lastIndexOf(FNeedle, from, FCs);
    const qsizetype n = FNeedle.size();
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype pos = std::min(from, text.size() - n); pos >= 0; --pos) {
        pos = PreviousPick(units, pos, n - 1, FFirst, FLast);
        if (pos < 0)
            break;
        if (At(text, pos, false))
            return pos;
    }
    return -1;
}
