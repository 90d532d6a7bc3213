#include "editor/textengine/TextBuffer.h"

#include "editor/platform/Exceptions.h"

#include <algorithm>
#include <climits>
#include <cstring>

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

// Source may be Target itself (a load in place), or lie behind it.
void CopyRun(const char16_t *source, qsizetype count, char16_t *target) noexcept
{
    if (source != target && count > 0)
        std::memmove(target, source, size_t(count) * sizeof(char16_t));
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

struct cTextBuffer::tInsertion
{
    int Length = 0;
    int Marks = 0;
};

cTextBuffer::cTextBuffer()
{
    FLineStarts.PushBack(0);
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
    return int(FLineStarts.Size());
}

int cTextBuffer::StoredStart(int line) const noexcept
{
    return line > FStepLine ? FLineStarts[line] + FStep : FLineStarts[line];
}

int cTextBuffer::LineStart(int line) const
{
    if (line <= 0)
        return 0;
    if (line >= LineCount())
        return Length();
    return StoredStart(line);
}

int cTextBuffer::LineEnd(int line) const
{
    if (line < 0)
        return LineEnd(0);
    if (line >= LineCount() - 1)
        return Length();
    return StoredStart(line + 1) - 1;
}

int cTextBuffer::LineLength(int line) const
{
    return LineEnd(line) - LineStart(line);
}

int cTextBuffer::LineFromPosition(int pos) const
{
    if (pos <= 0)
        return 0;
    // The last line whose start is at or before Pos.
    int low = 0, high = LineCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (StoredStart(middle) <= pos)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
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

// Puts the step at Line: afterwards exactly the stored starts after Line are
// FStep short. Walks whichever way touches fewer starts.
void cTextBuffer::MoveStep(int line)
{
    const int count = LineCount();
    if (FStep != 0 && line != FStepLine) {
        auto add = [this](int from, int to, int delta) {
            FLineStarts.ForEachRunMutable(from, to, [delta](int *p, std::ptrdiff_t n) {
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
    FStepLine = line;
    if (FStepLine >= count - 1)
        FStep = 0;
}

void cTextBuffer::ShiftAfterStep(int delta) noexcept
{
    if (FStepLine < LineCount() - 1)
        FStep += delta;
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
// a file of short lines does not become millions of writes.
void cTextBuffer::ForEachPiece(const std::function<void(QStringView)> &write) const
{
    constexpr std::ptrdiff_t ChunkSize = 1 << 15;
    char16_t chunk[ChunkSize + 2];
    std::ptrdiff_t used = 0;
    int line = 0;
    auto flush = [&] {
        if (used > 0)
            write(QStringView(chunk, used));
        used = 0;
    };
    FUnits.ForEachRun(0, FUnits.Size(), [&](const char16_t *p, std::ptrdiff_t n) {
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            if (used >= ChunkSize)
                flush();
            const char16_t c = p[i];
            if (c != Mark) {
                chunk[used++] = c;
                continue;
            }
            switch (FBreaks[line++]) {
            case tLineBreak::CRLF:
                chunk[used++] = u'\r';
                chunk[used++] = LF;
                break;
            case tLineBreak::LF:
                chunk[used++] = LF;
                break;
            default:
                chunk[used++] = u'\r';
                break;
            }
        }
    });
    flush();
}

QString cTextBuffer::TextWithBreaks() const
{
    QString result;
    result.reserve(Length() + FBreakCount[Index(tLineBreak::CRLF)]);
    ForEachPiece([&result](QStringView piece) { result.append(piece); });
    return result;
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
    if (length == 0 && text.isEmpty())
        return;
    if (newBreak == tLineBreak::None)
        newBreak = DominantBreak();
    CheckRoom(Length() - length, text.size());
    // Text taken from this buffer moves with the gap.
    QString ownCopy;
    if (FUnits.Holds(reinterpret_cast<const char16_t *>(text.utf16()))) {
        ownCopy = text.toString();
        text = ownCopy;
    }

    tTextChange change;
    change.Position = pos;
    change.RemovedLength = length;
    change.FirstLine = LineFromPosition(pos);
    QString removed;
    std::vector<tLineBreak> removedBreaks;
    if (length > 0) {
        change.LinesRemoved = LineFromPosition(pos + length) - change.FirstLine;
        if (!FListeners.empty()) {
            removed = Text(pos, pos + length);
            removedBreaks.reserve(size_t(change.LinesRemoved));
            for (int i = 0; i < change.LinesRemoved; ++i)
                removedBreaks.push_back(FBreaks[change.FirstLine + i]);
        }
        RemoveUnits(pos, length, change.FirstLine, change.LinesRemoved);
    }
    if (!text.isEmpty()) {
        const tInsertion inserted = InsertUnits(pos, change.FirstLine, text, breaks, breakCount, newBreak);
        change.InsertedLength = inserted.Length;
        change.LinesInserted = inserted.Marks;
    }
    Notify(change, removed, removedBreaks);
}

// Lines FirstLine+1 .. FirstLine+Marks go; the break of the last of them
// stays as FirstLine's.
void cTextBuffer::RemoveUnits(int pos, int length, int firstLine, int marks)
{
    for (int i = 0; i < marks; ++i)
        CountBreak(FBreaks[firstLine + i], -1);
    FBreaks.Erase(firstLine, marks);
    MoveStep(firstLine + marks);
    ShiftAfterStep(-length);
    FLineStarts.Erase(firstLine + 1, marks);
    FStepLine = firstLine;
    if (FStepLine >= LineCount() - 1)
        FStep = 0;
    FUnits.Erase(pos, length);
}

// CR LF, a lone CR and a lone LF each become one mark; the marks take Breaks
// in order, or NewBreak past their end.
cTextBuffer::tInsertion cTextBuffer::InsertUnits(int pos, int line, QStringView text,
                                                 const tLineBreak *breaks, qsizetype breakCount,
                                                 tLineBreak newBreak)
{
    const char16_t *source = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype count = text.size();
    char16_t *target = FUnits.Open(pos, count);
    std::vector<int> markOffsets;
    std::vector<tLineBreak> markBreaks;
    qsizetype written = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype next = FindBreak(source, i, count);
        CopyRun(source + i, next - i, target + written);
        written += next - i;
        if ((i = next) == count)
            break;
        const char16_t c = source[i];
        if (c == Mark && i + 1 < count && source[i + 1] == LF)
            ++i;
        const qsizetype index = qsizetype(markBreaks.size());
        markBreaks.push_back(index < breakCount && breaks[index] != tLineBreak::None ? breaks[index]
                                                                                     : newBreak);
        target[written++] = Mark;
        markOffsets.push_back(int(written));
    }
    FUnits.Commit(written);

    const int marks = int(markBreaks.size());
    if (marks > 0) {
        FBreaks.Insert(line, markBreaks.data(), marks);
        for (const tLineBreak b : markBreaks)
            CountBreak(b, 1);
    }
    MoveStep(line);
    ShiftAfterStep(int(written));
    if (marks > 0) {
        for (int &offset : markOffsets)
            offset += pos;
        FLineStarts.Insert(line + 1, markOffsets.data(), marks);
        FStepLine = line + marks;
        if (FStepLine >= LineCount() - 1)
            FStep = 0;
    }
    return {int(written), marks};
}

void cTextBuffer::Notify(const tTextChange &change, QStringView removed,
                         const std::vector<tLineBreak> &removedBreaks)
{
    for (size_t i = 0; i < FListeners.size(); ++i)
        FListeners[i]->TextChanged(change, removed, removedBreaks);
}

// ---------------------------------------------------------------------------
// Whole text

void cTextBuffer::SetText(QStringView text)
{
    StartLoad(text.size());
    AppendLoad(text);
    EndLoad();
}

// The text is empty and whole at every step of a load: a mark's break is known
// when the mark is read (a CR at a piece's end is taken for CR until the next
// piece starts with LF), so a listener told of the reset may read it at any time.
void cTextBuffer::BeginLoad(qsizetype expectedUnits)
{
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
    FLineStarts.Release();
    FLineStarts.Reserve(lines);
    FLineStarts.PushBack(0);
    FBreaks.Release();
    FBreaks.Reserve(lines);
    FBreaks.PushBack(tLineBreak::None);
    std::fill(std::begin(FBreakCount), std::end(FBreakCount), 0);
    FStepLine = 0;
    FStep = 0;
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
        FLineStarts.PushBack(int(base + written));
        FBreaks.Ref(FBreaks.Size() - 1) = lineBreak;
        FBreaks.PushBack(tLineBreak::None);
        CountBreak(lineBreak, 1);
    }
    FUnits.Commit(written);
}

void cTextBuffer::EndLoad()
{
    FLoadPendingCR = false;
    NotifyReset();
}

void cTextBuffer::NotifyReset()
{
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
