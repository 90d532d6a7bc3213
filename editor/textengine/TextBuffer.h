// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of one control: UTF-16 units in a gap buffer, a paragraph mark as
// one unit (stored as CR), a line-start index and each line's own break as it
// came in, so text read from a file goes back out byte for byte.
#include "editor/textengine/GapArray.h"
#include "editor/textengine/LineStarts.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <vector>

// How a paragraph mark is written out. The last line has none.
enum class tLineBreak : std::uint8_t
{
    None,
    LF,
    CR,
    CRLF
};

// One change, as the buffer's choke point reports it after applying it.
struct tTextChange
{
    int Position = 0;      // where units were removed, then inserted
    int RemovedLength = 0; // units (marks count one)
    int InsertedLength = 0;
    int FirstLine = 0;     // line holding Position before the change
    int LinesRemoved = 0;  // paragraph marks among the removed units
    int LinesInserted = 0; // paragraph marks among the inserted units
};

// Where a position stands after Change: one inside the removed units goes to
// where they were.
inline int PositionAfter(const tTextChange &change, int pos) noexcept
{
    if (pos <= change.Position)
        return pos;
    if (pos <= change.Position + change.RemovedLength)
        return change.Position;
    return pos - change.RemovedLength + change.InsertedLength;
}

// One of many replacements made as one change: Length units at Position
// give way to Text.
struct tReplacement
{
    int Position = 0;
    int Length = 0;
    QStringView Text;
};

// Told of every change after it happened; never changes the buffer itself
// (a change made while being told is dropped).
class ITextBufferListener
{
public:
    // Removed: the removed units with marks as CR; RemovedBreaks their breaks
    // in order, so an undo can put back exactly what was there.
    virtual void TextChanged(const tTextChange &change, QStringView removed,
                             const std::vector<tLineBreak> &removedBreaks) = 0;
    // The whole text was replaced (load, SetText): nothing before it is valid.
    virtual void TextReset() = 0;
    // Whether the next change must come with the removed units; when no
    // listener wants them, a large change copies nothing.
    [[nodiscard]] virtual bool WantsRemoved() const noexcept { return true; }

protected:
    ~ITextBufferListener() = default;
};

class cTextBuffer
{
public:
    static constexpr char16_t Mark = u'\r';

    cTextBuffer();
    cTextBuffer(const cTextBuffer &) = delete;
    cTextBuffer &operator=(const cTextBuffer &) = delete;

    // Units, a paragraph mark counting one.
    [[nodiscard]] int Length() const noexcept;
    // At least 1: an empty text is one empty line; a text ending in a mark
    // has an empty last line.
    [[nodiscard]] int LineCount() const noexcept;
    [[nodiscard]] int LineStart(int line) const;
    // Position of the line's mark, or Length() for the last line.
    [[nodiscard]] int LineEnd(int line) const;
    [[nodiscard]] int LineLength(int line) const;
    // Clamped to the text: a position past the end is on the last line.
    [[nodiscard]] int LineFromPosition(int pos) const;
    [[nodiscard]] tLineBreak LineBreak(int line) const;
    // The break most lines have (CR LF wins a tie, then LF); LF for a text
    // without marks. Typed and pasted marks take it.
    [[nodiscard]] tLineBreak DominantBreak() const noexcept;

    [[nodiscard]] char16_t At(int pos) const;
    // Units Start..End, marks as CR.
    [[nodiscard]] QString Text(int start, int end) const;
    [[nodiscard]] QString LineText(int line) const;
    // The whole text, marks as CR, contiguous until the next change (moves the
    // gap to the end; no copy).
    [[nodiscard]] QStringView Contiguous();
    // Units Start..End the same way, moving the gap only when it lies inside
    // them (a search from the place of the last edit moves nothing).
    [[nodiscard]] QStringView Contiguous(int start, int end);

    // Every change goes through one choke point behind these, which tells the
    // listeners. In inserted text CR LF, a lone CR and a lone LF each become
    // one mark, written out with Break (None: the dominant break). A change
    // that would make the text longer than the largest int is refused with an
    // exception, the text unchanged; so is one that runs out of memory, and
    // no listener is told of it.
    void Insert(int pos, QStringView text, tLineBreak newBreak = tLineBreak::None);
    void Delete(int pos, int length);
    // Delete then Insert, reported as one change.
    void Replace(int pos, int length, QStringView text, tLineBreak newBreak = tLineBreak::None);
    // Puts removed text back with the breaks it had (undo, redo); marks past
    // the end of Breaks take the dominant break.
    void Restore(int pos, QStringView text, const std::vector<tLineBreak> &breaks);
    // Replaces Length units at Pos that way, as one change.
    void Restore(int pos, int length, QStringView text, const std::vector<tLineBreak> &breaks);

    // Replacements at ascending places that do not overlap, made as one
    // change from the first to the end of the last: the text between them
    // keeps its marks and their breaks; marks in the new texts are made as
    // Insert makes them. Refuses misplaced replacements, the text unchanged.
    void ReplaceMany(const std::vector<tReplacement> &replacements, tLineBreak newBreak = tLineBreak::None);

    // Replaces everything; each line keeps the break it has in Text
    // (a text with no break gets NewDocumentBreak).
    void SetText(QStringView text);
    // Replaces everything with Text, marks as CR, whose marks take Breaks in
    // order (an exact copy of an earlier state).
    void SetText(QStringView text, const std::vector<tLineBreak> &breaks);
    // Replaces everything with a text the program made from this one: the
    // lines it shares with the old text at the start and at the end keep
    // their breaks; elsewhere CR LF and LF stay as given, and a lone CR, the
    // mark as Text() gives it, takes the dominant break.
    void SetTextKeepingBreaks(QStringView text);
    // Each mark's break, in order.
    [[nodiscard]] std::vector<tLineBreak> Breaks() const;
    // Loading in pieces without an extra copy: a CR at the end of one piece
    // pairs with an LF at the start of the next. The text is whole and
    // readable throughout; listeners are told of a reset at the begin and at
    // the end, not of each piece.
    void BeginLoad(qsizetype expectedUnits = 0);
    void AppendLoad(QStringView piece);
    // Room for up to MaxUnits units at the end of a load, for a decoder to
    // write into directly; CommitLoad takes the first Written of them as
    // AppendLoad would.
    [[nodiscard]] char16_t *LoadRoom(qsizetype maxUnits);
    void CommitLoad(qsizetype written);
    void EndLoad();
    // Takes the text of Loaded, a buffer loaded meanwhile, in place of its
    // own, as one reset (so a load that fails half-way leaves the old text);
    // Loaded gets the old text. Loaded's listeners are not told.
    void Adopt(cTextBuffer &loaded);

    // The text as it goes to a file: each line followed by its own break.
    [[nodiscard]] QString TextWithBreaks() const;
    // Whether the units are Text's, marks as CR (no copy, the gap stays).
    [[nodiscard]] bool Equals(QStringView text) const;
    // The same in pieces of at most PieceUnits units (a break may add one),
    // for writing without a copy of the whole text. A piece may end between
    // the two halves of a surrogate pair.
    void ForEachPiece(const std::function<void(QStringView)> &write, qsizetype pieceUnits = 1 << 15) const;
    // The units as they are stored, marks as CR, in at most two runs (no copy).
    void ForEachRun(const std::function<void(QStringView)> &read) const;

    // Listeners are told in the order they were added (the undo record
    // before the view); the buffer does not own them.
    void AddListener(ITextBufferListener *listener);
    void RemoveListener(ITextBufferListener *listener);

    static constexpr tLineBreak NewDocumentBreak = tLineBreak::LF;

private:
    struct tNewMarks;
    // Room for this many more units and lines, made before a change removes anything.
    void Reserve(qsizetype units, qsizetype lines);
    void Change(int pos, int length, QStringView text, const tLineBreak *breaks, qsizetype breakCount,
                tLineBreak newBreak);
    void RemoveUnits(int pos, int length, int firstLine, int marks);
    void RemoveLines(int firstLine, int marks, int length);
    void InsertLines(int pos, int line, std::vector<int> &offsets, const std::vector<tLineBreak> &breaks,
                     int length);
    int InsertUnits(int pos, int line, QStringView text, const tLineBreak *breaks, qsizetype breakCount,
                    tLineBreak newBreak, tNewMarks &marks);
    void CountBreak(tLineBreak lineBreak, int delta) noexcept;
    void SetBreak(int line, tLineBreak lineBreak) noexcept;
    template <typename Fn> void LoadWithBreaks(QStringView text, Fn &&breakOf);
    [[nodiscard]] int CountMarks(int start, int end) const;
    void LoadUnits(const char16_t *source, qsizetype count, char16_t *target);
    qsizetype MarkLineFeeds(char16_t *units, qsizetype count, qsizetype position);
    void StartLoad(qsizetype expectedUnits);
    // Whether a change must be dropped: a listener is being told of the last one.
    [[nodiscard]] bool Refused() const;
    void NotifyReset();
    [[nodiscard]] bool RemovedWanted() const;
    void Notify(const tTextChange &change, QStringView removed, const std::vector<tLineBreak> &removedBreaks);

    // Units, marks as CR.
    cGapArray<char16_t> FUnits;
    cLineStarts FLineStarts;
    cGapArray<tLineBreak> FBreaks; // one per line; the last is None
    int FBreakCount[4] = {};
    bool FLoadPendingCR = false;
    bool FNotifying = false;
    std::vector<ITextBufferListener *> FListeners;
};
