// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextBuffer.h"

#include "editor/platform/Exceptions.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t LF = u'\n';

// The first CR or LF at or after From, or Count.
qsizetype FindBreak(const char16_t *units, qsizetype from, qsizetype count) noexcept
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi16(u'\r'), lf = _mm_set1_epi16(LF);
    for (; from + 8 <= count; from += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + from));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (found != 0)
            return from + (__builtin_ctz(unsigned(found)) >> 1);
    }
#endif
    for (; from < count; ++from)
        if (units[from] == u'\r' || units[from] == LF)
            return from;
    return count;
}

// The first mark at or after P, or End.
const char16_t *FindMark(const char16_t *p, const char16_t *end) noexcept
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi16(u'\r');
    for (; end - p >= 8; p += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(v, cr));
        if (found != 0)
            return p + (__builtin_ctz(unsigned(found)) >> 1);
    }
#endif
    for (; p < end; ++p)
        if (*p == u'\r')
            return p;
    return end;
}

// The marks Text makes when inserted: CR LF, a lone CR and a lone LF each one.
qsizetype MarksMadeFrom(QStringView text) noexcept
{
    const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype count = text.size();
    qsizetype marks = 0;
    for (qsizetype i = FindBreak(units, 0, count); i < count; i = FindBreak(units, i + 1, count)) {
        if (units[i] == u'\r' && i + 1 < count && units[i + 1] == LF)
            ++i;
        ++marks;
    }
    return marks;
}

int CountMarksIn(const char16_t *p, std::ptrdiff_t n) noexcept
{
    int marks = 0;
    const char16_t *end = p + n;
    while ((p = FindMark(p, end)) != end) {
        ++marks;
        ++p;
    }
    return marks;
}

// How many units A and B have in common at their start, and at their end
// (A and B point past it), up to Limit: a block compare first, then unit by unit.
qsizetype SharedHead(const char16_t *a, const char16_t *b, qsizetype limit) noexcept
{
    constexpr qsizetype Block = 256;
    qsizetype n = 0;
    while (n + Block <= limit && std::memcmp(a + n, b + n, Block * sizeof(char16_t)) == 0)
        n += Block;
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

qsizetype SharedTail(const char16_t *aEnd, const char16_t *bEnd, qsizetype limit) noexcept
{
    constexpr qsizetype Block = 256;
    qsizetype n = 0;
    while (n + Block <= limit &&
           std::memcmp(aEnd - n - Block, bEnd - n - Block, Block * sizeof(char16_t)) == 0)
        n += Block;
    while (n < limit && aEnd[-n - 1] == bEnd[-n - 1])
        ++n;
    return n;
}

// Source may be Target itself (a load in place), or lie behind it.
void CopyRun(const char16_t *source, qsizetype count, char16_t *target) noexcept
{
    if (source != target && count > 0)
        std::memmove(target, source, size_t(count) * sizeof(char16_t));
}

// Copies Count units from Source to Target with CR LF, a lone CR and a lone
// LF each written as one mark, calling OnMark(units written so far) after
// each; the units written.
template <typename Fn>
qsizetype CopyWithMarks(const char16_t *source, qsizetype count, char16_t *target, Fn &&onMark)
{
    qsizetype written = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype next = FindBreak(source, i, count);
        CopyRun(source + i, next - i, target + written);
        written += next - i;
        if ((i = next) == count)
            break;
        if (source[i] == u'\r' && i + 1 < count && source[i + 1] == LF)
            ++i;
        target[written++] = u'\r';
        onMark(written);
    }
    return written;
}

// Text itself, or a copy of it when it lies in Units (which an edit moves).
QStringView OutsideOf(const cGapArray<char16_t> &units, QStringView text, QString &copy)
{
    if (!units.Holds(reinterpret_cast<const char16_t *>(text.utf16())))
        return text;
    copy = text.toString();
    return copy;
}

// Positions are ints: a text that would not fit is refused whole rather than
// cut or wrapped around.
void CheckRoom(qsizetype length, qsizetype more)
{
    if (more > qsizetype(INT_MAX) - length)
        throw EOutOfResources(
            QStringLiteral("The text is too large to be edited (more than %1 characters).").arg(INT_MAX));
}

int Index(tLineBreak lineBreak) noexcept
{
    return int(lineBreak);
}

} // namespace

// The marks an insertion makes, in room reserved before the change starts.
struct cTextBuffer::tNewMarks
{
    explicit tNewMarks(qsizetype most)
    {
        Offsets.reserve(size_t(most));
        Breaks.reserve(size_t(most));
    }
    std::vector<int> Offsets; // after the units at them, from the insertion's start
    std::vector<tLineBreak> Breaks;
};

cTextBuffer::cTextBuffer()
{
    FBreaks.PushBack(tLineBreak::None);
}

// ---------------------------------------------------------------------------
// Lines

int cTextBuffer::Length() const noexcept
{
    return int(FUnits.Size());
}

int cTextBuffer::LineCount() const noexcept
{
    return FLineStarts.Count();
}

int cTextBuffer::LineStart(int line) const
{
    if (line <= 0)
        return 0;
    if (line >= LineCount())
        return Length();
    return FLineStarts.Start(line);
}

int cTextBuffer::LineEnd(int line) const
{
    if (line < 0)
        return LineEnd(0);
    if (line >= LineCount() - 1)
        return Length();
    return FLineStarts.Start(line + 1) - 1;
}

int cTextBuffer::LineLength(int line) const
{
    return LineEnd(line) - LineStart(line);
}

int cTextBuffer::LineFromPosition(int pos) const
{
    return FLineStarts.LineOf(pos);
}

tLineBreak cTextBuffer::LineBreak(int line) const
{
    if (line < 0 || line >= LineCount())
        return tLineBreak::None;
    return FBreaks[line];
}

tLineBreak cTextBuffer::DominantBreak() const noexcept
{
    const int crlf = FBreakCount[Index(tLineBreak::CRLF)];
    const int lf = FBreakCount[Index(tLineBreak::LF)];
    const int cr = FBreakCount[Index(tLineBreak::CR)];
    if (crlf + lf + cr == 0)
        return NewDocumentBreak;
    if (crlf >= lf && crlf >= cr)
        return tLineBreak::CRLF;
    return lf >= cr ? tLineBreak::LF : tLineBreak::CR;
}

void cTextBuffer::CountBreak(tLineBreak lineBreak, int delta) noexcept
{
    FBreakCount[Index(lineBreak)] += delta;
}

void cTextBuffer::SetBreak(int line, tLineBreak lineBreak) noexcept
{
    CountBreak(FBreaks[line], -1);
    FBreaks.Ref(line) = lineBreak;
    CountBreak(lineBreak, 1);
}

int cTextBuffer::CountMarks(int start, int end) const
{
    int marks = 0;
    FUnits.ForEachRun(start, end,
                      [&marks](const char16_t *p, std::ptrdiff_t n) { marks += CountMarksIn(p, n); });
    return marks;
}

std::vector<tLineBreak> cTextBuffer::Breaks() const
{
    std::vector<tLineBreak> breaks(size_t(LineCount() - 1));
    FBreaks.CopyOut(0, std::ptrdiff_t(breaks.size()), breaks.data());
    return breaks;
}

// ---------------------------------------------------------------------------
// Reading

char16_t cTextBuffer::At(int pos) const
{
    if (pos < 0 || pos >= Length())
        return 0;
    return FUnits[pos];
}

QString cTextBuffer::Text(int start, int end) const
{
    start = std::clamp(start, 0, Length());
    end = std::clamp(end, start, Length());
    QString result(end - start, Qt::Uninitialized);
    FUnits.CopyOut(start, end, reinterpret_cast<char16_t *>(result.data()));
    return result;
}

QString cTextBuffer::LineText(int line) const
{
    return Text(LineStart(line), LineEnd(line));
}

QStringView cTextBuffer::Contiguous()
{
    if (FUnits.Size() == 0)
        return QStringView(u"", 0);
    return QStringView(FUnits.Contiguous(), FUnits.Size());
}

QStringView cTextBuffer::Contiguous(int start, int end)
{
    start = std::clamp(start, 0, Length());
    end = std::clamp(end, start, Length());
    if (start == end)
        return QStringView(u"", 0);
    return QStringView(FUnits.ContiguousRange(start, end), end - start);
}

// Each mark is written as its line's break, in chunks of bounded size so that
// a file of short lines does not become millions of writes; the text between
// marks is copied whole.
void cTextBuffer::ForEachPiece(const std::function<void(QStringView)> &write, qsizetype pieceUnits) const
{
    const std::ptrdiff_t chunkSize = std::max<qsizetype>(pieceUnits, 2);
    // Two more for a break written at the end of a full chunk.
    const std::unique_ptr<char16_t[]> chunk(new char16_t[size_t(chunkSize) + 2]);
    std::ptrdiff_t used = 0;
    int line = 0;
    auto flush = [&] {
        if (used > 0)
            write(QStringView(chunk.get(), used));
        used = 0;
    };
    FUnits.ForEachRun(0, FUnits.Size(), [&](const char16_t *p, std::ptrdiff_t n) {
        const char16_t *const end = p + n;
        while (p < end) {
            if (used >= chunkSize)
                flush();
            // Up to the next mark in one copy: copying past it would have to be
            // done again behind a CR LF, which takes one unit more.
            const char16_t *const stop = p + std::min(end - p, chunkSize - used);
            const char16_t *const mark = FindMark(p, stop);
            std::memcpy(chunk.get() + used, p, size_t(mark - p) * sizeof(char16_t));
            used += mark - p;
            p = mark;
            if (mark == stop)
                continue;
            const tLineBreak lineBreak = FBreaks[line++];
            if (lineBreak == tLineBreak::CRLF) {
                chunk[used++] = u'\r';
                chunk[used++] = LF;
            } else {
                chunk[used++] = lineBreak == tLineBreak::LF ? LF : u'\r';
            }
            ++p;
        }
    });
    flush();
}

void cTextBuffer::ForEachRun(const std::function<void(QStringView)> &read) const
{
    FUnits.ForEachRun(0, FUnits.Size(),
                      [&read](const char16_t *p, std::ptrdiff_t n) { read(QStringView(p, n)); });
}

QString cTextBuffer::TextWithBreaks() const
{
    QString result;
    result.reserve(Length() + FBreakCount[Index(tLineBreak::CRLF)]);
    ForEachPiece([&result](QStringView piece) { result.append(piece); });
    return result;
}

bool cTextBuffer::Equals(QStringView text) const
{
    if (text.size() != Length())
        return false;
    bool same = true;
    const QChar *next = text.begin();
    FUnits.ForEachRun(0, FUnits.Size(), [&](const char16_t *p, std::ptrdiff_t n) {
        same = same && std::memcmp(p, next, size_t(n) * sizeof(char16_t)) == 0;
        next += n;
    });
    return same;
}

// ---------------------------------------------------------------------------
// The choke point

void cTextBuffer::Insert(int pos, QStringView text, tLineBreak newBreak)
{
    Change(pos, 0, text, nullptr, 0, newBreak);
}

void cTextBuffer::Delete(int pos, int length)
{
    Change(pos, length, QStringView(), nullptr, 0, tLineBreak::None);
}

void cTextBuffer::Replace(int pos, int length, QStringView text, tLineBreak newBreak)
{
    Change(pos, length, text, nullptr, 0, newBreak);
}

void cTextBuffer::Restore(int pos, QStringView text, const std::vector<tLineBreak> &breaks)
{
    Change(pos, 0, text, breaks.data(), qsizetype(breaks.size()), tLineBreak::None);
}

void cTextBuffer::Restore(int pos, int length, QStringView text, const std::vector<tLineBreak> &breaks)
{
    Change(pos, length, text, breaks.data(), qsizetype(breaks.size()), tLineBreak::None);
}

void cTextBuffer::Change(int pos, int length, QStringView text, const tLineBreak *breaks,
                         qsizetype breakCount, tLineBreak newBreak)
{
    pos = std::clamp(pos, 0, Length());
    length = std::clamp(length, 0, Length() - pos);
    if ((length == 0 && text.isEmpty()) || Refused())
        return;
    if (newBreak == tLineBreak::None)
        newBreak = DominantBreak();
    CheckRoom(Length() - length, text.size());
    // Text taken from this buffer moves with the gap.
    QString ownCopy;
    text = OutsideOf(FUnits, text, ownCopy);

    tTextChange change;
    change.Position = pos;
    change.RemovedLength = length;
    change.FirstLine = LineFromPosition(pos);
    change.LinesRemoved = length > 0 ? LineFromPosition(pos + length) - change.FirstLine : 0;
    QString removed;
    std::vector<tLineBreak> removedBreaks;
    if (length > 0 && RemovedWanted()) {
        removed = Text(pos, pos + length);
        removedBreaks.resize(size_t(change.LinesRemoved));
        FBreaks.CopyOut(change.FirstLine, change.FirstLine + change.LinesRemoved, removedBreaks.data());
    }
    // Whatever can fail is done first: from here on nothing allocates, so a
    // change that runs out of memory leaves the text and the listeners as
    // they were.
    const qsizetype marks = MarksMadeFrom(text);
    tNewMarks newMarks(marks);
    Reserve(text.size() - length, marks - change.LinesRemoved);

    if (length > 0)
        RemoveUnits(pos, length, change.FirstLine, change.LinesRemoved);
    if (!text.isEmpty()) {
        change.InsertedLength =
            InsertUnits(pos, change.FirstLine, text, breaks, breakCount, newBreak, newMarks);
        change.LinesInserted = int(newMarks.Breaks.size());
    }
    Notify(change, removed, removedBreaks);
}

void cTextBuffer::Reserve(qsizetype units, qsizetype lines)
{
    FUnits.MakeRoom(units);
    FBreaks.MakeRoom(lines);
    FLineStarts.Reserve(lines);
}

// Rewritten in place inside the gap, in one pass: no copy of the range is
// made (a fresh block of the text's size costs more in page faults than the
// pass itself). Old pieces keep their marks' breaks; new texts are normalised
// as they are written, so a CR ending an old piece never pairs with an LF
// starting a new one.
void cTextBuffer::ReplaceMany(const std::vector<tReplacement> &replacements, tLineBreak newBreak)
{
    if (replacements.empty() || Refused())
        return;
    int previousEnd = 0;
    qsizetype growth = 0, mostGrowth = 0;
    bool ownText = false;
    for (const tReplacement &r : replacements) {
        if (r.Position < previousEnd || r.Length < 0 || r.Position > Length() - r.Length)
            throw EInvalidOperation(QStringLiteral("Replacements out of order or outside the text"));
        previousEnd = r.Position + r.Length;
        growth += r.Text.size() - r.Length;
        mostGrowth = std::max(mostGrowth, growth);
        ownText = ownText || FUnits.Holds(reinterpret_cast<const char16_t *>(r.Text.utf16()));
    }
    if (ownText) {
        // Texts taken from this buffer would be overwritten while they are read.
        std::vector<QString> copies;
        std::vector<tReplacement> copied = replacements;
        copies.reserve(copied.size());
        for (tReplacement &r : copied)
            r.Text = copies.emplace_back(r.Text.toString());
        ReplaceMany(copied, newBreak);
        return;
    }
    CheckRoom(Length(), mostGrowth);
    if (newBreak == tLineBreak::None)
        newBreak = DominantBreak();
    const int from = replacements.front().Position;
    const int to = previousEnd;

    tTextChange change;
    change.Position = from;
    change.RemovedLength = to - from;
    change.FirstLine = LineFromPosition(from);
    change.LinesRemoved = CountMarks(from, to);
    std::vector<tLineBreak> oldBreaks(size_t(change.LinesRemoved));
    FBreaks.CopyOut(change.FirstLine, change.FirstLine + change.LinesRemoved, oldBreaks.data());
    QString removed;
    if (RemovedWanted())
        removed = Text(from, to);
    // As in Change, all room is made before the first unit is touched: the
    // old marks the range keeps and the new ones are at most these.
    qsizetype marksAdded = 0;
    for (const tReplacement &r : replacements)
        marksAdded += MarksMadeFrom(r.Text);
    tNewMarks newMarks(change.LinesRemoved + marksAdded);
    Reserve(mostGrowth, marksAdded);
    std::vector<int> &markOffsets = newMarks.Offsets;
    std::vector<tLineBreak> &markBreaks = newMarks.Breaks;

    auto rewrite = [&](const char16_t *old, std::ptrdiff_t, char16_t *out) {
        std::ptrdiff_t read = 0, written = 0;
        size_t oldMark = 0;
        auto copy = [&](const char16_t *source, qsizetype count, auto breakOfNextMark) {
            const std::ptrdiff_t base = written;
            written += CopyWithMarks(source, count, out + base, [&](qsizetype at) {
                markOffsets.push_back(int(base + at));
                markBreaks.push_back(breakOfNextMark());
            });
        };
        for (const tReplacement &r : replacements) {
            copy(old + read, r.Position - from - read, [&] { return oldBreaks[oldMark++]; });
            read = r.Position - from;
            oldMark += size_t(CountMarksIn(old + read, r.Length));
            read += r.Length;
            copy(reinterpret_cast<const char16_t *>(r.Text.utf16()), r.Text.size(), [&] { return newBreak; });
        }
        return written;
    };

    RemoveLines(change.FirstLine, change.LinesRemoved, to - from);
    change.InsertedLength = int(FUnits.Rewrite(from, to, mostGrowth, rewrite));
    change.LinesInserted = int(markBreaks.size());
    InsertLines(from, change.FirstLine, markOffsets, markBreaks, change.InsertedLength);
    Notify(change, removed, oldBreaks);
}

// Lines FirstLine+1 .. FirstLine+Marks go; the break of the last of them
// stays as FirstLine's.
void cTextBuffer::RemoveUnits(int pos, int length, int firstLine, int marks)
{
    RemoveLines(firstLine, marks, length);
    FUnits.Erase(pos, length);
}

void cTextBuffer::RemoveLines(int firstLine, int marks, int length)
{
    for (int i = 0; i < marks; ++i)
        CountBreak(FBreaks[firstLine + i], -1);
    FBreaks.Erase(firstLine, marks);
    FLineStarts.ShiftAfter(firstLine + marks, -length);
    FLineStarts.RemoveAfter(firstLine, marks);
}

// CR LF, a lone CR and a lone LF each become one mark; the marks take Breaks
// in order, or NewBreak past their end. The units written.
int cTextBuffer::InsertUnits(int pos, int line, QStringView text, const tLineBreak *breaks,
                             qsizetype breakCount, tLineBreak newBreak, tNewMarks &marks)
{
    const char16_t *source = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype count = text.size();
    char16_t *target = FUnits.Open(pos, count);
    const qsizetype written = CopyWithMarks(source, count, target, [&](qsizetype at) {
        const qsizetype index = qsizetype(marks.Breaks.size());
        marks.Breaks.push_back(index < breakCount && breaks[index] != tLineBreak::None ? breaks[index]
                                                                                       : newBreak);
        marks.Offsets.push_back(int(at));
    });
    FUnits.Commit(written);
    InsertLines(pos, line, marks.Offsets, marks.Breaks, int(written));
    return int(written);
}

// Lines for Length units inserted at Pos on Line, with marks after the
// units at Offsets (from Pos), taking Breaks.
void cTextBuffer::InsertLines(int pos, int line, std::vector<int> &offsets,
                              const std::vector<tLineBreak> &breaks, int length)
{
    const int marks = int(breaks.size());
    if (marks > 0) {
        FBreaks.Insert(line, breaks.data(), marks);
        for (const tLineBreak b : breaks)
            CountBreak(b, 1);
    }
    FLineStarts.ShiftAfter(line, length);
    for (int &offset : offsets)
        offset += pos;
    FLineStarts.InsertAfter(line, offsets.data(), marks);
}

bool cTextBuffer::RemovedWanted() const
{
    return std::any_of(FListeners.begin(), FListeners.end(),
                       [](const ITextBufferListener *l) { return l->WantsRemoved(); });
}

// A listener that changed the text while the others are still being told
// would leave the later ones a report that no longer matches the text (the
// undo record and the view would drift from it). Throwing would unwind past
// the listeners not yet told, and out of a Qt event handler it ends the
// program; so the nested change is dropped, the text and every listener stay
// in step, and a debug build stops here to show the faulty listener.
bool cTextBuffer::Refused() const
{
    if (!FNotifying)
        return false;
    Q_ASSERT_X(false, "cTextBuffer", "a listener changed the text while being told of a change");
    qWarning("cTextBuffer: a listener's change of the text while being told of a change was dropped");
    return true;
}

void cTextBuffer::Notify(const tTextChange &change, QStringView removed,
                         const std::vector<tLineBreak> &removedBreaks)
{
    const QScopedValueRollback notifying(FNotifying, true);
    for (size_t i = 0; i < FListeners.size(); ++i)
        FListeners[i]->TextChanged(change, removed, removedBreaks);
}

// ---------------------------------------------------------------------------
// Whole text

void cTextBuffer::SetText(QStringView text)
{
    if (Refused())
        return;
    StartLoad(text.size());
    AppendLoad(text);
    EndLoad();
}

// Loads Text whole, then gives mark I the break BreakOf(I, the break it was read with).
template <typename Fn> void cTextBuffer::LoadWithBreaks(QStringView text, Fn &&breakOf)
{
    if (Refused())
        return;
    QString ownCopy;
    text = OutsideOf(FUnits, text, ownCopy);
    StartLoad(text.size());
    AppendLoad(text);
    FLoadPendingCR = false;
    const int marks = LineCount() - 1;
    for (int i = 0; i < marks; ++i)
        SetBreak(i, breakOf(i, FBreaks[i]));
    NotifyReset();
}

void cTextBuffer::SetText(QStringView text, const std::vector<tLineBreak> &breaks)
{
    LoadWithBreaks(text, [&breaks](int i, tLineBreak read) {
        return size_t(i) < breaks.size() && breaks[size_t(i)] != tLineBreak::None ? breaks[size_t(i)] : read;
    });
}

void cTextBuffer::SetTextKeepingBreaks(QStringView text)
{
    QString ownCopy;
    text = OutsideOf(FUnits, text, ownCopy);
    const QStringView old = Contiguous();
    const qsizetype shared = std::min(old.size(), text.size());
    const char16_t *a = reinterpret_cast<const char16_t *>(old.utf16());
    const char16_t *b = reinterpret_cast<const char16_t *>(text.utf16());
    qsizetype head = SharedHead(a, b, shared);
    // A CR kept at the end of the shared start would pair with an LF after it.
    if (head > 0 && head < text.size() && b[head - 1] == Mark && b[head] == LF)
        --head;
    const qsizetype tail = SharedTail(a + old.size(), b + text.size(), shared - head);
    const int headMarks = CountMarksIn(b, head);
    const int tailMarks = CountMarksIn(b + text.size() - tail, tail);
    const std::vector<tLineBreak> breaks = Breaks();
    const tLineBreak dominant = DominantBreak();
    LoadWithBreaks(text, [&](int i, tLineBreak read) {
        const int marks = LineCount() - 1;
        if (i < headMarks)
            return breaks[size_t(i)];
        if (i >= marks - tailMarks)
            return breaks[breaks.size() - size_t(marks - i)];
        return read == tLineBreak::CR ? dominant : read;
    });
}

// The text is empty and whole at every step of a load: a mark's break is known
// when the mark is read (a CR at a piece's end is taken for CR until the next
// piece starts with LF), so a listener told of the reset may read it at any time.
void cTextBuffer::BeginLoad(qsizetype expectedUnits)
{
    if (Refused())
        return;
    StartLoad(expectedUnits);
    NotifyReset();
}

void cTextBuffer::StartLoad(qsizetype expectedUnits)
{
    expectedUnits = std::max<qsizetype>(expectedUnits, 0);
    // The old storage is kept only when it fits: growing it would copy the
    // old text, and a much larger one would hold memory for nothing.
    const qsizetype room = std::min<qsizetype>(expectedUnits, INT_MAX) + 1024;
    if (FUnits.Capacity() < room || FUnits.Capacity() > 2 * room + 65536)
        FUnits.Release();
    FUnits.Clear();
    FUnits.Reserve(room);
    const qsizetype lines = std::clamp<qsizetype>(expectedUnits / 64, 64, INT_MAX / 64);
    FLineStarts.Reset(lines);
    FBreaks.Release();
    FBreaks.Reserve(lines);
    FBreaks.PushBack(tLineBreak::None);
    std::fill(std::begin(FBreakCount), std::end(FBreakCount), 0);
    FLoadPendingCR = false;
}

void cTextBuffer::AppendLoad(QStringView piece)
{
    char16_t *room = LoadRoom(piece.size());
    LoadUnits(reinterpret_cast<const char16_t *>(piece.utf16()), piece.size(), room);
}

// A load that would not fit leaves an empty text rather than a cut one.
char16_t *cTextBuffer::LoadRoom(qsizetype maxUnits)
{
    try {
        CheckRoom(FUnits.Size(), maxUnits);
        return FUnits.Open(FUnits.Size(), maxUnits);
    } catch (...) {
        StartLoad(0);
        NotifyReset();
        throw;
    }
}

void cTextBuffer::CommitLoad(qsizetype written)
{
    char16_t *room = FUnits.Open(FUnits.Size(), written);
    LoadUnits(room, written, room);
}

// Appends Count units from Source at Target (the buffer's end; Source may be
// Target itself, since the result is never longer), building the line index
// and the breaks in the same pass.
void cTextBuffer::LoadUnits(const char16_t *source, qsizetype count, char16_t *target)
{
    const qsizetype base = FUnits.Size();
    qsizetype written = 0;
    qsizetype i = 0;
    if (FLoadPendingCR && count > 0) {
        FLoadPendingCR = false;
        if (source[0] == LF) {
            FBreaks.Ref(FBreaks.Size() - 2) = tLineBreak::CRLF;
            CountBreak(tLineBreak::CR, -1);
            CountBreak(tLineBreak::CRLF, 1);
            i = 1;
        }
    }
    for (; i < count; ++i) {
        if (source + i == target + written) {
            const qsizetype plain = MarkLineFeeds(target + written, count - i, base + written);
            i += plain;
            written += plain;
            if (i == count)
                break;
        }
        const qsizetype next = FindBreak(source, i, count);
        CopyRun(source + i, next - i, target + written);
        written += next - i;
        if ((i = next) == count)
            break;
        tLineBreak lineBreak = tLineBreak::LF;
        if (source[i] == Mark) {
            lineBreak = tLineBreak::CR;
            if (i + 1 == count) {
                FLoadPendingCR = true;
            } else if (source[i + 1] == LF) {
                lineBreak = tLineBreak::CRLF;
                ++i;
            }
        }
        target[written++] = Mark;
        FLineStarts.Append(int(base + written));
        FBreaks.Ref(FBreaks.Size() - 1) = lineBreak;
        FBreaks.PushBack(tLineBreak::None);
        CountBreak(lineBreak, 1);
    }
    FUnits.Commit(written);
}

// Units that stay where they are, at Position in the text: each LF becomes a
// mark where it stands and starts a line, sixteen units looked at per step.
// Stops at the first CR, whose break depends on what follows; the units
// passed over.
qsizetype cTextBuffer::MarkLineFeeds(char16_t *units, qsizetype count, qsizetype position)
{
    qsizetype k = 0;
    auto markAt = [&](qsizetype at) {
        units[at] = Mark;
        FLineStarts.Append(int(position + at + 1));
        FBreaks.Ref(FBreaks.Size() - 1) = tLineBreak::LF;
        FBreaks.PushBack(tLineBreak::None);
        CountBreak(tLineBreak::LF, 1);
    };
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi16(Mark), lf = _mm_set1_epi16(LF);
    for (; k + 16 <= count; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + k + 8));
        unsigned feeds =
            unsigned(_mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, lf), _mm_cmpeq_epi16(b, lf))));
        const unsigned returns =
            unsigned(_mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, cr), _mm_cmpeq_epi16(b, cr))));
        const int stop = returns != 0 ? __builtin_ctz(returns) : 16;
        if (stop < 16)
            feeds &= (1u << stop) - 1;
        for (; feeds != 0; feeds &= feeds - 1)
            markAt(k + __builtin_ctz(feeds));
        if (stop < 16)
            return k + stop;
    }
#endif
    for (; k < count && units[k] != Mark; ++k)
        if (units[k] == LF)
            markAt(k);
    return k;
}

void cTextBuffer::EndLoad()
{
    FLoadPendingCR = false;
    NotifyReset();
}

void cTextBuffer::Adopt(cTextBuffer &loaded)
{
    if (&loaded == this || Refused())
        return;
    FUnits.Swap(loaded.FUnits);
    FLineStarts.Swap(loaded.FLineStarts);
    FBreaks.Swap(loaded.FBreaks);
    std::swap(FBreakCount, loaded.FBreakCount);
    FLoadPendingCR = loaded.FLoadPendingCR = false;
    NotifyReset();
}

void cTextBuffer::NotifyReset()
{
    const QScopedValueRollback notifying(FNotifying, true);
    for (size_t i = 0; i < FListeners.size(); ++i)
        FListeners[i]->TextReset();
}

// ---------------------------------------------------------------------------
// Listeners

void cTextBuffer::AddListener(ITextBufferListener *listener)
{
    if (listener && std::find(FListeners.begin(), FListeners.end(), listener) == FListeners.end())
        FListeners.push_back(listener);
}

void cTextBuffer::RemoveListener(ITextBufferListener *listener)
{
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), listener), FListeners.end());
}
