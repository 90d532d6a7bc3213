// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/UnicodeControls.h"

#include "editor/editing/Progress.h"

#include "editor/editing/PlainFind.h"
#include "editor/platform/Exceptions.h"
#include "editor/text/UnicodeClipboard.h"

#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

namespace {

// A text position is an int: one unit of headroom for the final paragraph.
constexpr int MaxTextLength = INT_MAX - 1;

} // namespace

QString AdjustLineBreaksW(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype size = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < n && text[i + 1] == u'\n')
                ++i;
            size += 2;
        } else if (text[i] == u'\n') {
            size += 2;
        } else {
            ++size;
        }
    }
    QString out(size, Qt::Uninitialized);
    QChar *p = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            *p++ = u'\r';
            *p++ = u'\n';
        } else {
            *p++ = c;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// cWRichEdit: the primitives. They are the only code that touches the
// buffer and the selection; everything else is built on them.

cWRichEdit::cWRichEdit(QWidget *parent) : cTextView(parent), FTextLimit(MaxTextLength)
{
    // Made once every member is, since the list counts its reference on us.
    FLines = std::make_unique<cWRichEditStrings>(*this);
    connect(this, &cTextView::textChanged, this, [this] {
        if (FBatchDepth > 0)
            FBatchChanged = true;
        else if (FChangeNotification)
            emit Change();
    });
}

cWRichEdit::~cWRichEdit()
{
    FLines.reset();
}

int cWRichEdit::LineCount() const
{
    return buffer().LineCount();
}

int cWRichEdit::LineIndex(int line) const
{
    if (line < 0)
        return buffer().LineStart(buffer().LineFromPosition(GetSelStart()));
    return line < buffer().LineCount() ? buffer().LineStart(line) : -1;
}

int cWRichEdit::LineLength(int pos) const
{
    if (pos < 0)
        pos = GetSelStart();
    if (pos > GetTextLen())
        return 0;
    return buffer().LineLength(buffer().LineFromPosition(pos));
}

int cWRichEdit::LineFromChar(int pos) const
{
    if (pos < 0)
        pos = GetSelStart();
    return buffer().LineFromPosition(pos);
}

QString cWRichEdit::LineText(int line) const
{
    if (line < 0 || line >= buffer().LineCount())
        return {};
    return buffer().LineText(line);
}

// While a batch is open the selection lives here, so that the view neither
// repaints nor signals per step.
void cWRichEdit::BeginEditBatch()
{
    if (FBatchDepth++ == 0) {
        FBatchAnchor = anchorPosition();
        FBatchCaret = cursorPosition();
        FBatchChanged = false;
        viewport()->setUpdatesEnabled(false);
    }
}

void cWRichEdit::EndEditBatch()
{
    if (--FBatchDepth > 0)
        return;
    // Where the last step left the caret is where the user looks next (the
    // view shows a selection set); a batch that moved nothing leaves the view.
    if (FBatchChanged || FBatchAnchor != anchorPosition() || FBatchCaret != cursorPosition())
        setSelection(FBatchAnchor, FBatchCaret);
    viewport()->setUpdatesEnabled(FRedraw);
    if (FRedraw)
        viewport()->update();
    if (FBatchChanged && FChangeNotification)
        emit Change();
    FBatchChanged = false;
}

void cWRichEdit::GetSel(int &anchor, int &caret) const
{
    if (FBatchDepth > 0) {
        anchor = FBatchAnchor;
        caret = FBatchCaret;
    } else {
        anchor = anchorPosition();
        caret = cursorPosition();
    }
}

void cWRichEdit::SetSel(int start, int end)
{
    const int length = GetTextLen();
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::min(end, length);
    if (FBatchDepth > 0) {
        FBatchAnchor = start;
        FBatchCaret = end;
    } else {
        setSelection(start, end);
    }
}

// A program rewriting the selection (change of case, a plug-in) gives its
// lines back in place: they are still the user's lines with their breaks.
void cWRichEdit::ReplaceSel(const QString &text)
{
    ReplaceSelection(text, BreaksAtSamePlaces(text));
}

// Typed and pasted breaks take the document's dominant one.
void cWRichEdit::ReplaceSelAsTyped(const QString &text)
{
    ReplaceSelection(text, {});
}

void cWRichEdit::RestoreSel(const QString &text, const std::vector<tLineBreak> &breaks)
{
    ReplaceSelection(text, breaks);
}

std::vector<tLineBreak> cWRichEdit::SelBreaks() const
{
    int anchor, caret;
    GetSel(anchor, caret);
    const cTextBuffer &b = buffer();
    const int first = b.LineFromPosition(std::min(anchor, caret));
    const int last = b.LineFromPosition(std::max(anchor, caret));
    std::vector<tLineBreak> breaks;
    breaks.reserve(size_t(last - first));
    for (int line = first; line < last; ++line)
        breaks.push_back(b.LineBreak(line));
    return breaks;
}

// Empty when no break of Text meets a mark of the selection.
std::vector<tLineBreak> cWRichEdit::BreaksAtSamePlaces(QStringView text) const
{
    std::vector<tLineBreak> breaks;
    int anchor, caret;
    GetSel(anchor, caret);
    const int start = std::min(anchor, caret), end = std::max(anchor, caret);
    const cTextBuffer &b = buffer();
    bool kept = false;
    int at = start; // where the unit lands in the new text
    for (qsizetype i = 0; i < text.size() && at < end; ++i, ++at) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        if (b.At(at) == cTextBuffer::Mark) {
            breaks.push_back(b.LineBreak(b.LineFromPosition(at)));
            kept = true;
        } else {
            breaks.push_back(tLineBreak::None);
        }
    }
    if (!kept)
        breaks.clear();
    return breaks;
}

void cWRichEdit::ReplaceSelection(const QString &text, const std::vector<tLineBreak> &breaks)
{
    int anchor, caret;
    GetSel(anchor, caret);
    const int start = std::min(anchor, caret), end = std::max(anchor, caret);
    if (start == end && text.isEmpty())
        return;
    const int before = GetTextLen();
    {
        std::optional<cNotUndoable> notUndoable;
        if (undoRecord())
            notUndoable.emplace(*undoRecord());
        buffer().Restore(start, end - start, text, breaks);
    }
    const int after = end + GetTextLen() - before;
    if (FBatchDepth > 0) {
        FBatchAnchor = FBatchCaret = after;
    } else {
        setSelection(after, after);
        ensureCursorVisible();
    }
    UpdateUndoFlags();
}

// The program's text is mostly the old one changed (a plug-in's result, a
// line list), so the lines it keeps keep their breaks.
bool cWRichEdit::SetText(const QString &text)
{
    if (text.size() > FTextLimit)
        return false;
    // Replacing the whole text empties the undo record and the colour marks.
    buffer().SetTextKeepingBreaks(text);
    AfterWholeText();
    return true;
}

bool cWRichEdit::SetTextWithBreaks(const QString &text, const std::vector<tLineBreak> &breaks)
{
    if (text.size() > FTextLimit)
        return false;
    buffer().SetText(text, breaks);
    AfterWholeText();
    return true;
}

void cWRichEdit::AfterWholeText()
{
    if (FBatchDepth > 0)
        FBatchAnchor = FBatchCaret = 0;
    UpdateUndoFlags();
}

std::vector<tLineBreak> cWRichEdit::LineBreaks() const
{
    return buffer().Breaks();
}

// As ReplaceSel does for each; the selection is left to the caller.
void cWRichEdit::ReplaceMany(const std::vector<tReplacement> &replacements)
{
    {
        std::optional<cNotUndoable> notUndoable;
        if (undoRecord())
            notUndoable.emplace(*undoRecord());
        buffer().ReplaceMany(replacements);
    }
    UpdateUndoFlags();
}

void cWRichEdit::LoadText(const std::function<void(cTextBuffer &)> &load)
{
    struct tAfter
    {
        cWRichEdit &Edit;
        ~tAfter()
        {
            if (Edit.FBatchDepth > 0)
                Edit.FBatchAnchor = Edit.FBatchCaret = 0;
            Edit.UpdateUndoFlags();
        }
    } after{*this};
    load(buffer());
}

void cWRichEdit::UpdateUndoFlags()
{
    setUndoAvailable(ControlCanUndo());
    setRedoAvailable(ControlCanRedo());
}

int cWRichEdit::GetTextLen() const
{
    return buffer().Length();
}

int cWRichEdit::GetSelStart() const
{
    int anchor, caret;
    GetSel(anchor, caret);
    return std::min(anchor, caret);
}

QString cWRichEdit::TextRange(int start, int end) const
{
    const int length = GetTextLen();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    return start == end ? QString() : buffer().Text(start, end);
}

// Every paragraph mark as CR LF, whatever break it has in the file.
QString cWRichEdit::GetTextViaWindowText() const
{
    const cTextBuffer &b = buffer();
    const int length = b.Length();
    QString out(qsizetype(length) + b.LineCount() - 1, Qt::Uninitialized);
    QChar *p = out.data();
    const QString raw = b.Text(0, length);
    for (const QChar c : raw) {
        *p++ = c;
        if (c == cTextBuffer::Mark)
            *p++ = u'\n';
    }
    return out;
}

QString cWRichEdit::TextForFile() const
{
    return buffer().TextWithBreaks();
}

void cWRichEdit::SetRedraw(bool on)
{
    FRedraw = on;
    if (FBatchDepth > 0)
        return;
    viewport()->setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void cWRichEdit::Clear()
{
    SetText(QString());
    setModified(false);
}

bool cWRichEdit::IsNormal(const QColor &c, bool back) const
{
    return !c.isValid() || c == palette().color(back ? QPalette::Base : QPalette::Text);
}

void cWRichEdit::SetCharColors(int start, int end, const QColor *textColor, const QColor *backColor)
{
    const int length = GetTextLen();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    if (start == end)
        return;
    auto recolour = [&](tColorMark m) {
        if (textColor)
            m.Text = IsNormal(*textColor, false) ? QColor() : *textColor;
        if (backColor)
            m.Back = IsNormal(*backColor, true) ? QColor() : *backColor;
        return m;
    };
    // Marks are kept disjoint: the range cuts the ones it overlaps.
    std::vector<tColorMark> out;
    std::vector<std::pair<int, int>> covered;
    for (const tColorMark &m : colorMarks()) {
        const int a = m.Start, b = m.End;
        if (a == b)
            continue;
        if (b <= start || a >= end) {
            out.push_back(m);
            continue;
        }
        if (a < start)
            out.push_back(tColorMark{a, start, m.Text, m.Back});
        if (b > end)
            out.push_back(tColorMark{end, b, m.Text, m.Back});
        const int ia = std::max(a, start), ib = std::min(b, end);
        out.push_back(recolour(tColorMark{ia, ib, m.Text, m.Back}));
        covered.emplace_back(ia, ib);
    }
    std::sort(covered.begin(), covered.end());
    int gap = start;
    covered.emplace_back(end, end);
    for (const auto &[a, b] : covered) {
        if (a > gap)
            out.push_back(recolour(tColorMark{gap, a, QColor(), QColor()}));
        gap = std::max(gap, b);
    }
    std::erase_if(out, [](const tColorMark &m) { return !m.Text.isValid() && !m.Back.isValid(); });
    setColorMarks(std::move(out));
}

bool cWRichEdit::ControlCanUndo() const
{
    return undoRecord() && undoRecord()->CanUndo();
}

bool cWRichEdit::ControlCanRedo() const
{
    return undoRecord() && undoRecord()->CanRedo();
}

void cWRichEdit::ControlUndo()
{
    cTextView::undo();
}

void cWRichEdit::ControlRedo()
{
    cTextView::redo();
}

void cWRichEdit::EmptyUndoBuffer()
{
    if (undoRecord())
        undoRecord()->Clear();
    UpdateUndoFlags();
}

// ---------------------------------------------------------------------------
// cWRichEdit: everything else, built on the primitives.

cWStrings &cWRichEdit::WLines()
{
    return *FLines;
}

const cWStrings &cWRichEdit::WLines() const
{
    return *FLines;
}

int cWRichEdit::AddRef()
{
    return ++FRefCount;
}

int cWRichEdit::Release()
{
    return --FRefCount;
}

WId cWRichEdit::GetWindowHandle() const
{
    // An alien child shares its window's handle; asking for its own would
    // turn it into a native window.
    if (!testAttribute(Qt::WA_WState_Created))
        return 0;
    return internalWinId() ? internalWinId() : effectiveWinId();
}

QString cWRichEdit::GetTextW() const
{
    return TextRange(0, GetTextLen());
}

void cWRichEdit::Refresh()
{
    viewport()->update();
}

void cWRichEdit::SetTextW(const QString &s)
{
    SetText(s);
}

void cWRichEdit::SetSelTextW(const QString &s)
{
    ReplaceSel(s);
}

QString cWRichEdit::GetSelTextW() const
{
    int anchor, caret;
    GetSel(anchor, caret);
    return TextRange(std::min(anchor, caret), std::max(anchor, caret));
}

int cWRichEdit::GetSelLength() const
{
    int anchor, caret;
    GetSel(anchor, caret);
    return std::abs(anchor - caret);
}

int cWRichEdit::CharacterBoundary(int pos, bool forward) const
{
    if (pos <= 0 || pos >= GetTextLen())
        return pos;
    const QString around = TextRange(pos - 1, pos + 1);
    if (around.size() == 2 && around[0].isHighSurrogate() && around[1].isLowSurrogate())
        return forward ? pos + 1 : pos - 1;
    return pos;
}

// Typing at a caret between the halves of a pair, or replacing a selection
// that ends there, would leave two lone surrogates.
void cWRichEdit::SetSelStart(int pos)
{
    pos = CharacterBoundary(std::clamp(pos, 0, GetTextLen()), false);
    SetSel(pos, pos);
}

void cWRichEdit::SetSelLength(int length)
{
    const int start = GetSelStart();
    const int end = int(std::clamp<qint64>(qint64(start) + std::max(length, 0), 0, GetTextLen()));
    SetSel(start, CharacterBoundary(end, true));
}

void cWRichEdit::LimitTextW(int limit)
{
    FTextLimit = std::clamp(limit, 0, MaxTextLength);
}

void cWRichEdit::CopyToClipboardW()
{
    const QString text = GetSelTextW();
    if (!text.isEmpty())
        WClipboard().FSetClipboardString(AdjustLineBreaksW(text));
}

void cWRichEdit::CutToClipboardW()
{
    CopyToClipboardW();
    SetSelTextW(QString());
}

// An empty clipboard pastes nothing: it must not delete the selection.
void cWRichEdit::PasteFromClipboardW()
{
    const QString text = WClipboard().FGetClipboardString();
    if (!text.isEmpty())
        ReplaceSelAsTyped(text);
}

namespace {

// Whole words: letters, digits and the underscore are word characters, and
// a whole-word match touches no word character on either side. One UTF-16
// unit at a time, so a lone surrogate is no word character.
bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool IsWordUnit(std::optional<QChar> c)
{
    return c && IsWordChar(*c);
}

// The range a find searches, in one piece, and the units of the text around it.
struct tFindWindow
{
    int Lo = 0, Hi = 0, Total = 0;
    QStringView Units; // Lo..Hi
    const cTextBuffer *Buffer = nullptr;

    std::optional<QChar> At(int pos) const
    {
        if (pos < 0 || pos >= Total)
            return std::nullopt;
        return pos >= Lo && pos < Hi ? Units[pos - Lo] : QChar(Buffer->At(pos));
    }
};

// Forward, the range is StartPos..StartPos+Length; backward
// StartPos-Length..StartPos. A Length below 1 runs to the end of the text in
// the search's direction. False when the range cannot hold N units.
bool OpenFindWindow(cTextBuffer &buffer, int n, int startPos, int length, bool backward, tFindWindow &w)
{
    w.Total = buffer.Length();
    startPos = std::clamp(startPos, 0, w.Total);
    if (backward) {
        w.Hi = startPos;
        w.Lo = length < 1 ? 0 : std::max(0, startPos - length);
    } else {
        w.Lo = startPos;
        w.Hi = length < 1 ? w.Total : int(std::min<qint64>(w.Total, qint64(startPos) + length));
    }
    if (n == 0 || w.Hi - w.Lo < n)
        return false;
    // After an edit the gap sits where the next search starts, so a
    // replace step copies nothing.
    w.Units = buffer.Contiguous(w.Lo, w.Hi);
    w.Buffer = &buffer;
    return true;
}

// Offers Take each place Text stands in the window, in the search's
// direction; Take gives back where to go on (forward: the next find starts
// there or later; backward: there or earlier), or -1 to stop.
template <typename Fn> void ForEachPlace(const tFindWindow &w, const QString &text, int options, Fn &&take)
{
    const Qt::CaseSensitivity cs = (options & ftMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const cPlainFind finder(text, cs);
    if (!(options & ftBackward)) {
        // Searched a stretch at a time, so a long search can show how far it got.
        constexpr qsizetype Stretch = qsizetype(1) << 22;
        cProgress *const progress = cProgress::Current();
        const qsizetype size = w.Units.size(), n = text.size();
        for (qsizetype i = 0; i <= size - n;) {
            const qsizetype limit = std::min(size, i + Stretch + n - 1);
            const qsizetype at = finder.IndexIn(w.Units.first(limit), i);
            if (progress)
                progress->Step(w.Lo + (at < 0 ? limit : at));
            if (at < 0) {
                if (limit == size)
                    return;
                i = limit - n + 1;
                continue;
            }
            const int next = take(w.Lo + int(at));
            if (next < 0)
                return;
            i = next - w.Lo;
        }
    } else {
        // Likewise; backward it counts on from where it starts, the range's
        // end, how far it has come.
        constexpr qsizetype Stretch = qsizetype(1) << 22;
        cProgress *const progress = cProgress::Current();
        for (qsizetype i = w.Units.size() - text.size(); i >= 0;) {
            const qsizetype from = std::max<qsizetype>(0, i - Stretch);
            const qsizetype at = finder.LastIndexIn(w.Units.sliced(from), i - from);
            if (progress)
                progress->Step(w.Hi + w.Units.size() - (at < 0 ? from : from + at));
            if (at < 0) {
                i = from - 1;
                continue;
            }
            const int next = take(w.Lo + int(from + at));
            if (next < 0)
                return;
            i = next - w.Lo;
        }
    }
}

} // namespace

// A match lies within the range, the last one before StartPos when backward.
// The buffer holds a paragraph mark as CR, which the needle's CR matches.
int cWRichEdit::FindTextW(const QString &text, int startPos, int length, int options) const
{
    const int n = int(std::min<qsizetype>(text.size(), INT_MAX));
    tFindWindow w;
    if (!OpenFindWindow(const_cast<cTextBuffer &>(buffer()), n, startPos, length, options & ftBackward, w))
        return -1;
    const bool wholeWord = options & ftWholeWord;
    int found = -1;
    ForEachPlace(w, text, options, [&](int pos) {
        if (!wholeWord || (!IsWordUnit(w.At(pos - 1)) && !IsWordUnit(w.At(pos + n)))) {
            found = pos;
            return -1;
        }
        return options & ftBackward ? pos - 1 : pos + 1;
    });
    return found;
}

// One pass over the text as it was: a replaced find changes only what the
// next find sees next to it, the unit the replacement leaves there.
std::vector<int> cWRichEdit::FindEachForReplacement(const QString &text, const QString &replacement,
                                                    int startPos, int length, int options) const
{
    std::vector<int> found;
    const int n = int(std::min<qsizetype>(text.size(), INT_MAX));
    tFindWindow w;
    const bool backward = options & ftBackward;
    if (!OpenFindWindow(const_cast<cTextBuffer &>(buffer()), n, startPos, length, backward, w))
        return found;
    // Where the last replacement ended (forward) or began (backward), and the
    // unit next to that place now.
    int joint = -1;
    std::optional<QChar> jointUnit;
    auto unitBefore = [&](int pos) { return pos == joint ? jointUnit : w.At(pos - 1); };
    auto unitAt = [&](int pos) { return pos == joint ? jointUnit : w.At(pos); };
    const bool wholeWord = options & ftWholeWord;
    ForEachPlace(w, text, options, [&](int pos) {
        if (wholeWord && (IsWordUnit(unitBefore(pos)) || IsWordUnit(unitAt(pos + n))))
            return backward ? pos - 1 : pos + 1;
        found.push_back(pos);
        if (backward) {
            jointUnit = replacement.isEmpty() ? unitAt(pos + n) : std::optional<QChar>(replacement.front());
            joint = pos;
            return pos - n;
        }
        jointUnit = replacement.isEmpty() ? unitBefore(pos) : std::optional<QChar>(replacement.back());
        joint = pos + n;
        return pos + n;
    });
    if (backward)
        std::reverse(found.begin(), found.end());
    return found;
}

// ---------------------------------------------------------------------------
// Lines

cWEditorStrings::cWEditorStrings(IWEditor &editor) : FEditor(&editor)
{
    FEditor->AddRef();
}

cWEditorStrings::~cWEditorStrings()
{
    FEditor->Release();
}

int cWEditorStrings::GetCount() const
{
    const int count = Editor().LineCount();
    const int lastStart = Editor().LineIndex(count - 1);
    return Editor().LineLength(lastStart) == 0 ? count - 1 : count;
}

QString cWEditorStrings::Get(int index) const
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0 || Editor().LineLength(pos) < 1)
        return {};
    return Editor().LineText(index);
}

void cWEditorStrings::Put(int index, const QString &s)
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0)
        return;
    Editor().SetSel(pos, pos + Editor().LineLength(pos));
    Editor().ReplaceSel(s);
}

void cWEditorStrings::Delete(int index)
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0)
        return;
    int end = Editor().LineIndex(index + 1);
    if (end < 0)
        end = pos + Editor().LineLength(pos);
    Editor().SetSel(pos, end);
    Editor().ReplaceSel(QString());
}

void cWEditorStrings::Insert(int index, const QString &s)
{
    if (index < 0)
        return;
    int pos = Editor().LineIndex(index);
    QString text;
    if (pos >= 0) {
        text = s + QStringLiteral("\r\n");
    } else {
        pos = Editor().LineIndex(index - 1);
        if (pos < 0)
            return;
        const int length = Editor().LineLength(pos);
        if (length == 0)
            return;
        pos += length;
        text = QStringLiteral("\r\n") + s;
    }
    Editor().SetSel(pos, pos);
    Editor().ReplaceSel(text);
}

void cWEditorStrings::Clear()
{
    Editor().Clear();
}

void cWEditorStrings::SetTextStr(const QString &value)
{
    if (Editor().GetTextLen() == value.size() && Editor().GetTextW() == value)
        return;
    if (!Editor().SetText(value))
        throw EInvalidOperation(QStringLiteral("Text exceeds memo capacity"));
}

void cWEditorStrings::SetUpdateState(bool updating)
{
    Editor().SetRedraw(!updating);
    if (!updating)
        Editor().Refresh();
}

cWRichEditStrings::cWRichEditStrings(cWRichEdit &owner) : cWEditorStrings(owner), FOwner(owner) {}

void cWRichEditStrings::SetTextStr(const QString &value)
{
    const bool was = FOwner.ChangeNotification();
    FOwner.SetChangeNotification(false);
    try {
        cWEditorStrings::SetTextStr(value);
    } catch (...) {
        FOwner.SetChangeNotification(was);
        throw;
    }
    FOwner.SetChangeNotification(was);
}

// Redraw is switched whether or not the control shows: a bracket opened
// while it shows may close after it was hidden, and must still end.
void cWRichEditStrings::SetUpdateState(bool updating)
{
    cWEditorStrings::SetUpdateState(updating);
}

// ---------------------------------------------------------------------------
// Combo box

namespace {

// The platform's combo keeps its edit text when items come and go; Qt's
// takes the current item's text.
class cKeepEditText
{
public:
    explicit cKeepEditText(QComboBox &combo) : FCombo(combo), FText(combo.currentText()) {}
    ~cKeepEditText()
    {
        if (FCombo.currentText() != FText)
            FCombo.setEditText(FText);
    }
    cKeepEditText(const cKeepEditText &) = delete;
    cKeepEditText &operator=(const cKeepEditText &) = delete;

private:
    QComboBox &FCombo;
    QString FText;
};

constexpr int ObjectRole = Qt::UserRole;

} // namespace

cWComboBox::cWComboBox(QWidget *parent)
    : QComboBox(parent), FItems(std::make_unique<cWComboBoxStrings>(*this))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
}

cWComboBox::~cWComboBox() = default;

cWStrings &cWComboBox::WItems()
{
    return *FItems;
}

void cWComboBox::SetTextW(const QString &s)
{
    setEditText(s);
}

QString cWComboBox::GetTextW() const
{
    return currentText();
}

int cWComboBox::AddRef()
{
    return ++FRefCount;
}

int cWComboBox::Release()
{
    return --FRefCount;
}

WId cWComboBox::GetWindowHandle() const
{
    if (!testAttribute(Qt::WA_WState_Created))
        return 0;
    return internalWinId() ? internalWinId() : effectiveWinId();
}

QString cWComboBoxStrings::Get(int index) const
{
    return FCombo.itemText(index);
}

int cWComboBoxStrings::GetCount() const
{
    return FCombo.count();
}

void *cWComboBoxStrings::GetObject(int index) const
{
    if (index < 0 || index >= FCombo.count())
        Error(QStringLiteral("List index out of bounds (%d)"), index);
    return reinterpret_cast<void *>(FCombo.itemData(index, ObjectRole).value<quintptr>());
}

void cWComboBoxStrings::PutObject(int index, void *object)
{
    if (index >= 0 && index < FCombo.count())
        FCombo.setItemData(index, QVariant::fromValue(reinterpret_cast<quintptr>(object)), ObjectRole);
}

int cWComboBoxStrings::Add(const QString &s)
{
    cKeepEditText keep(FCombo);
    FCombo.addItem(s);
    return FCombo.count() - 1;
}

// Index -1 appends; any other index outside 0..count is refused.
void cWComboBoxStrings::Insert(int index, const QString &s)
{
    if (index < -1 || index > FCombo.count())
        throw EOutOfResources(QStringLiteral("Unable to insert a line"));
    cKeepEditText keep(FCombo);
    FCombo.insertItem(index < 0 ? FCombo.count() : index, s);
}

void cWComboBoxStrings::Delete(int index)
{
    cKeepEditText keep(FCombo);
    FCombo.removeItem(index);
}

void cWComboBoxStrings::Clear()
{
    cKeepEditText keep(FCombo);
    FCombo.clear();
    FCombo.update();
}

int cWComboBoxStrings::IndexOf(const QString &s) const
{
    return FCombo.findText(s, Qt::MatchFixedString);
}

void cWComboBoxStrings::SetUpdateState(bool updating)
{
    FCombo.setUpdatesEnabled(!updating);
    if (!updating)
        FCombo.update();
}
