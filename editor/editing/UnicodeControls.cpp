// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/UnicodeControls.h"

#include "editor/editing/ControlStrings.h"
#include "editor/editing/Progress.h"
#include "editor/text/UnicodeClipboard.h"
#include "editor/textengine/TextSearch.h"

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

int cWRichEdit::FindTextW(const QString &text, int startPos, int length, int options) const
{
    const bool backward = options & ftBackward;
    const tPlainPattern pattern{text, bool(options & ftMatchCase), bool(options & ftWholeWord)};
    return FindPlain(buffer(), pattern, FindRange(GetTextLen(), startPos, length, backward), backward,
                     CurrentProgressSteps());
}

// ---------------------------------------------------------------------------
// Combo box

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
