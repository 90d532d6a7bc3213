// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextSearch.h"

#include "editor/textengine/PlainFind.h"
#include "editor/textengine/TextBoundaries.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace {

// The text of a range as it is stored: up to two runs, split where the
// buffer's gap is (the seam). A place whose needle crosses the seam is looked
// for in a copy of the units around it.
class cStoredRange
{
public:
    cStoredRange(const cTextBuffer &buffer, const QString &needle, Qt::CaseSensitivity cs, tSearchRange range,
                 const tSearchProgress &progress)
        : FFinder(needle, cs), FN(int(std::min<qsizetype>(needle.size(), INT_MAX))), FLo(range.Lo),
          FHi(range.Hi), FProgress(progress)
    {
        QStringView runs[2];
        int count = 0;
        buffer.ForEachRun([&](QStringView run) {
            if (!run.isEmpty() && count < 2)
                runs[count++] = run;
        });
        FSeam = count == 2 ? int(runs[0].size()) : FHi;
        // Each side of the seam as a view of the range alone, as the engine
        // would be given the range in one piece.
        const QStringView before = count > 0 ? runs[0] : QStringView();
        const QStringView after = count == 2 ? runs[1] : QStringView();
        if (FLo < FSeam)
            FBefore = before.sliced(FLo, std::min(FSeam, FHi) - FLo);
        if (FHi > FSeam) {
            const int start = std::max(FLo, FSeam);
            FAfter = after.sliced(start - FSeam, FHi - start);
        }
        FBeforeStart = FLo;
        FAfterStart = std::max(FLo, FSeam);
    }

    int NeedleLength() const noexcept { return FN; }
    bool Holds() const noexcept { return FN > 0 && FHi - FLo >= FN; }

    // The first place at or after From, or -1.
    int Next(int from) const
    {
        from = std::max(from, FLo);
        if (from + FN <= FBeforeStart + int(FBefore.size())) {
            const int at = Forward(FBefore, FBeforeStart, from);
            if (at >= 0)
                return at;
        }
        const auto [first, last] = Crossing(from, INT_MAX);
        if (first <= last) {
            const QString units = Units(first, last + FN);
            const qsizetype at = FFinder.IndexIn(units, 0);
            if (at >= 0)
                return first + int(at);
        }
        if (std::max(from, FAfterStart) + FN <= FHi)
            return Forward(FAfter, FAfterStart, std::max(from, FAfterStart));
        return -1;
    }

    // The last place at or before From, or -1.
    int Previous(int from) const
    {
        from = std::min(from, FHi - FN);
        if (from >= FAfterStart && !FAfter.isEmpty()) {
            const int at = Backward(FAfter, FAfterStart, from);
            if (at >= 0)
                return at;
        }
        const auto [first, last] = Crossing(FLo, from);
        if (first <= last) {
            const QString units = Units(first, last + FN);
            const qsizetype at = FFinder.LastIndexIn(units, last - first);
            if (at >= 0)
                return first + int(at);
        }
        const int lastBefore = std::min(from, FBeforeStart + int(FBefore.size()) - FN);
        if (lastBefore >= FBeforeStart) {
            const int at = Backward(FBefore, FBeforeStart, lastBefore);
            if (at >= 0)
                return at;
        }
        return -1;
    }

private:
    // Places from From up to To whose needle would cross the seam.
    std::pair<int, int> Crossing(int from, int to) const
    {
        if (FSeam <= FLo || FSeam >= FHi)
            return {0, -1};
        return {std::max({from, FLo, FSeam - FN + 1}), std::min({to, FSeam - 1, FHi - FN})};
    }

    QString Units(int start, int end) const
    {
        QString out;
        out.reserve(end - start);
        if (start < FSeam)
            out += FBefore.sliced(start - FBeforeStart, std::min(end, FSeam) - start);
        if (end > FSeam)
            out += FAfter.first(end - FAfterStart);
        return out;
    }

    // Searched a stretch at a time, so that a long search can show how far it got.
    int Forward(QStringView units, int base, int from) const
    {
        constexpr qsizetype Stretch = qsizetype(1) << 22;
        const qsizetype size = units.size();
        for (qsizetype i = from - base; i <= size - FN;) {
            const qsizetype limit = std::min(size, i + Stretch + FN - 1);
            const qsizetype at = FFinder.IndexIn(units.first(limit), i);
            Report(base + int(at < 0 ? limit : at) - FLo, at < 0);
            if (at >= 0)
                return base + int(at);
            if (limit == size)
                break;
            i = limit - FN + 1;
        }
        return -1;
    }

    // Likewise backward, from the last place a needle may start at.
    int Backward(QStringView units, int base, int from) const
    {
        constexpr qsizetype Stretch = qsizetype(1) << 22;
        for (qsizetype i = from - base; i >= 0;) {
            const qsizetype lo = std::max<qsizetype>(0, i - Stretch);
            const qsizetype at = FFinder.LastIndexIn(units.sliced(lo), i - lo);
            Report(FHi - (base + int(lo + std::max<qsizetype>(at, 0))), at < 0);
            if (at >= 0)
                return base + int(lo + at);
            i = lo - 1;
        }
        return -1;
    }

    // Progress counts the units searched, in either direction; not at every
    // match, as a replace-all of many would pay for it.
    void Report(int searched, bool always) const
    {
        if (FProgress && (always || searched - FReported >= ProgressStep)) {
            FProgress(searched);
            FReported = searched;
        }
    }

    cPlainFind FFinder;
    int FN;
    int FLo, FHi, FSeam;
    QStringView FBefore, FAfter; // the range's units before the seam, and after it
    int FBeforeStart = 0, FAfterStart = 0;
    const tSearchProgress &FProgress;
    static constexpr int ProgressStep = 1 << 16;
    mutable int FReported = -ProgressStep; // the first find reports
};

Qt::CaseSensitivity CaseOf(const tPlainPattern &pattern)
{
    return pattern.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

tSearchRange Clamped(tSearchRange range, int length)
{
    range.Lo = std::clamp(range.Lo, 0, length);
    range.Hi = std::clamp(range.Hi, range.Lo, length);
    return range;
}

// The code point a string ends (begins) with.
char32_t LastChar(const QString &s)
{
    if (s.size() >= 2 && s.back().isLowSurrogate() && s[s.size() - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[s.size() - 2], s.back());
    return s.back().unicode();
}

char32_t FirstChar(const QString &s)
{
    if (s.size() >= 2 && s.front().isHighSurrogate() && s[1].isLowSurrogate())
        return QChar::surrogateToUcs4(s.front(), s[1]);
    return s.front().unicode();
}

} // namespace

tSearchRange FindRange(int textLength, int start, int length, bool backward) noexcept
{
    start = std::clamp(start, 0, textLength);
    if (backward)
        return {length < 1 ? 0 : std::max(0, start - length), start};
    return {start, length < 1 ? textLength : int(std::min<qint64>(textLength, qint64(start) + length))};
}

tSearchRange ScopeRange(tSearchScope scope, bool backward, int selStart, int selEnd, int textLength) noexcept
{
    selStart = std::clamp(selStart, 0, textLength);
    selEnd = std::clamp(selEnd, selStart, textLength);
    if (scope == tSearchScope::Selection && selStart < selEnd)
        return {selStart, selEnd};
    if (scope == tSearchScope::WholeText)
        return {0, textLength};
    return backward ? tSearchRange{0, selStart} : tSearchRange{selStart, textLength};
}

bool StandsAsWord(const cTextBuffer &buffer, int start, int end)
{
    return !IsWordChar(CharBefore(buffer, start)) && !IsWordChar(CharAt(buffer, end));
}

int FindPlain(const cTextBuffer &buffer, const tPlainPattern &pattern, tSearchRange range, bool backward,
              const tSearchProgress &progress)
{
    range = Clamped(range, buffer.Length());
    const cStoredRange text(buffer, pattern.Text, CaseOf(pattern), range, progress);
    if (!text.Holds())
        return -1;
    const int n = text.NeedleLength();
    if (backward) {
        for (int at = text.Previous(range.Hi); at >= 0; at = text.Previous(at - 1)) {
            if (!pattern.WholeWord || StandsAsWord(buffer, at, at + n))
                return at;
        }
    } else {
        for (int at = text.Next(range.Lo); at >= 0; at = text.Next(at + 1)) {
            if (!pattern.WholeWord || StandsAsWord(buffer, at, at + n))
                return at;
        }
    }
    return -1;
}

std::vector<int> FindEachForReplacement(const cTextBuffer &buffer, const tPlainPattern &pattern,
                                        const QString &replacement, tSearchRange range, bool backward,
                                        const tSearchProgress &progress)
{
    std::vector<int> found;
    range = Clamped(range, buffer.Length());
    const cStoredRange text(buffer, pattern.Text, CaseOf(pattern), range, progress);
    if (!text.Holds())
        return found;
    const int n = text.NeedleLength();
    // Where the last replacement ended (forward) or began (backward), and the
    // character next to that place now.
    int joint = -1;
    char32_t jointChar = 0;
    auto before = [&](int pos) { return pos == joint ? jointChar : CharBefore(buffer, pos); };
    auto after = [&](int pos) { return pos == joint ? jointChar : CharAt(buffer, pos); };
    auto standsAsWord = [&](int pos) { return !IsWordChar(before(pos)) && !IsWordChar(after(pos + n)); };
    if (backward) {
        for (int at = text.Previous(range.Hi); at >= 0;) {
            if (pattern.WholeWord && !standsAsWord(at)) {
                at = text.Previous(at - 1);
                continue;
            }
            found.push_back(at);
            jointChar = replacement.isEmpty() ? after(at + n) : FirstChar(replacement);
            joint = at;
            at = text.Previous(at - n);
        }
        std::reverse(found.begin(), found.end());
    } else {
        for (int at = text.Next(range.Lo); at >= 0;) {
            if (pattern.WholeWord && !standsAsWord(at)) {
                at = text.Next(at + 1);
                continue;
            }
            found.push_back(at);
            jointChar = replacement.isEmpty() ? before(at) : LastChar(replacement);
            joint = at + n;
            at = text.Next(at + n);
        }
    }
    return found;
}
