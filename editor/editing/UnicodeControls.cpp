#include "editor/editing/UnicodeControls.h"

#include "editor/platform/Exceptions.h"
#include "editor/text/UnicodeClipboard.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QStringMatcher>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// The document's own separator between paragraphs, as the raw text holds it.
constexpr char16_t ParagraphMark = QChar::ParagraphSeparator;

// A text position is an int: one unit of headroom for the final paragraph.
constexpr int MaxTextLength = INT_MAX - 1;

// Switches the document's undo off for a program change, which also clears
// its stack: text the program sets is never the control's to undo.
class cUndoOff
{
public:
    explicit cUndoOff(QTextDocument *doc) : FDoc(doc), FWasOn(doc->isUndoRedoEnabled())
    {
        FDoc->setUndoRedoEnabled(false);
    }
    ~cUndoOff() { FDoc->setUndoRedoEnabled(FWasOn); }
    cUndoOff(const cUndoOff &) = delete;
    cUndoOff &operator=(const cUndoOff &) = delete;

private:
    QTextDocument *FDoc;
    bool FWasOn;
};

// Longer runs without a blank make word wrapping quadratic (see AdaptWrapping).
constexpr qsizetype LongRun = 2048;

bool HasLongRun(QStringView text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > LongRun)
            return true;
    }
    return false;
}

QString MarksToCR(QString raw)
{
    raw.replace(QChar(ParagraphMark), QChar(u'\r'));
    return raw;
}

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
// document and its cursors; everything else is built on them.

cWRichEdit::cWRichEdit(QWidget *parent) : QPlainTextEdit(parent), FTextLimit(MaxTextLength)
{
    // Made once every member is, since the list counts its reference on us.
    FLines = std::make_unique<cWRichEditStrings>(*this);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (FChangeNotification)
            emit Change();
    });
}

cWRichEdit::~cWRichEdit()
{
    FLines.reset();
}

int cWRichEdit::LineCount() const
{
    return document()->blockCount();
}

int cWRichEdit::LineIndex(int line) const
{
    if (line < 0)
        return document()->findBlock(GetSelStart()).position();
    const QTextBlock block = document()->findBlockByNumber(line);
    return block.isValid() ? block.position() : -1;
}

int cWRichEdit::LineLength(int pos) const
{
    if (pos < 0)
        pos = GetSelStart();
    if (pos > GetTextLen())
        return 0;
    return document()->findBlock(pos).length() - 1;
}

int cWRichEdit::LineFromChar(int pos) const
{
    if (pos < 0)
        pos = GetSelStart();
    return document()->findBlock(std::min(pos, GetTextLen())).blockNumber();
}

QString cWRichEdit::LineText(int line) const
{
    return document()->findBlockByNumber(line).text();
}

QTextCursor cWRichEdit::Cursor() const
{
    return FBatchDepth > 0 ? FBatchCursor : textCursor();
}

void cWRichEdit::SetCursor(const QTextCursor &c)
{
    if (FBatchDepth > 0)
        FBatchCursor = c;
    else
        setTextCursor(c);
}

// The document's edit block defers layout and change signals to its end;
// the widget's cursor would lay out every block it visits.
void cWRichEdit::BeginEditBatch()
{
    if (FBatchDepth == 0) {
        FBatchCursor = textCursor();
        FBatchCursor.beginEditBlock();
    }
    ++FBatchDepth;
}

void cWRichEdit::EndEditBatch()
{
    if (--FBatchDepth > 0)
        return;
    QTextCursor c = FBatchCursor;
    FBatchCursor = QTextCursor();
    setTextCursor(c);
    c.endEditBlock();
}

void cWRichEdit::GetSel(int &anchor, int &caret) const
{
    const QTextCursor c = Cursor();
    anchor = c.anchor();
    caret = c.position();
}

void cWRichEdit::SetSel(int start, int end)
{
    const int length = GetTextLen();
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::min(end, length);
    QTextCursor c = Cursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    SetCursor(c);
}

void cWRichEdit::ReplaceSel(const QString &text)
{
    QTextCursor c = Cursor();
    if (!c.hasSelection() && text.isEmpty())
        return;
    {
        cUndoOff undoOff(document());
        c.insertText(text);
    }
    SetCursor(c);
    if (HasLongRun(text))
        AdaptWrapping(true);
}

bool cWRichEdit::SetText(const QString &text)
{
    if (text.size() > FTextLimit)
        return false;
    FMarks.clear();
    setExtraSelections({});
    AdaptWrapping(HasLongRun(text));
    setPlainText(text); // the bulk path; leaves undo off-stack and the caret at 0
    return true;
}

// Wrapping at word boundaries, or anywhere for a word too long for a line,
// costs Qt time quadratic in the length of such a word: a line of megabytes
// without a blank would take hours. Text holding such a run wraps anywhere.
void cWRichEdit::AdaptWrapping(bool anywhere)
{
    const auto mode = anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (wordWrapMode() != mode)
        setWordWrapMode(mode);
}

int cWRichEdit::GetTextLen() const
{
    return document()->characterCount() - 1;
}

int cWRichEdit::GetSelStart() const
{
    return Cursor().selectionStart();
}

QString cWRichEdit::RawRange(int start, int end) const
{
    const int length = GetTextLen();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    if (start == end)
        return {};
    if (start == 0 && end == length)
        return document()->toRawText();
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    return c.selectedText();
}

QString cWRichEdit::TextRange(int start, int end) const
{
    return MarksToCR(RawRange(start, end));
}

QString cWRichEdit::GetTextViaWindowText() const
{
    const QString raw = document()->toRawText();
    const qsizetype marks = raw.count(QChar(ParagraphMark));
    QString out(raw.size() + marks, Qt::Uninitialized);
    QChar *p = out.data();
    for (const QChar c : raw) {
        if (c == ParagraphMark) {
            *p++ = u'\r';
            *p++ = u'\n';
        } else {
            *p++ = c;
        }
    }
    return out;
}

void cWRichEdit::SetRedraw(bool on)
{
    viewport()->setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void cWRichEdit::Clear()
{
    SetText(QString());
    document()->setModified(false);
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
    auto makeMark = [this](int a, int b, const QColor &text, const QColor &back) {
        QTextCursor c(document());
        c.setPosition(a);
        c.setPosition(b, QTextCursor::KeepAnchor);
        return tMark{c, text, back};
    };
    auto recolour = [&](tMark m) {
        if (textColor)
            m.Text = IsNormal(*textColor, false) ? QColor() : *textColor;
        if (backColor)
            m.Back = IsNormal(*backColor, true) ? QColor() : *backColor;
        return m;
    };
    // Marks are kept disjoint: the range cuts the ones it overlaps.
    std::vector<tMark> out;
    std::vector<std::pair<int, int>> covered;
    for (const tMark &m : FMarks) {
        const int a = m.Range.selectionStart(), b = m.Range.selectionEnd();
        if (a == b)
            continue;
        if (b <= start || a >= end) {
            out.push_back(m);
            continue;
        }
        if (a < start)
            out.push_back(makeMark(a, start, m.Text, m.Back));
        if (b > end)
            out.push_back(makeMark(end, b, m.Text, m.Back));
        const int ia = std::max(a, start), ib = std::min(b, end);
        out.push_back(recolour(makeMark(ia, ib, m.Text, m.Back)));
        covered.emplace_back(ia, ib);
    }
    std::sort(covered.begin(), covered.end());
    int gap = start;
    covered.emplace_back(end, end);
    for (const auto &[a, b] : covered) {
        if (a > gap)
            out.push_back(recolour(makeMark(gap, a, QColor(), QColor())));
        gap = std::max(gap, b);
    }
    std::erase_if(out, [](const tMark &m) { return !m.Text.isValid() && !m.Back.isValid(); });
    FMarks = std::move(out);
    ApplyMarks();
}

bool cWRichEdit::ControlCanUndo() const
{
    return document()->isUndoAvailable();
}

bool cWRichEdit::ControlCanRedo() const
{
    return document()->isRedoAvailable();
}

void cWRichEdit::ControlUndo()
{
    undo();
}

void cWRichEdit::ControlRedo()
{
    redo();
}

void cWRichEdit::EmptyUndoBuffer()
{
    document()->clearUndoRedoStacks();
}

void cWRichEdit::ApplyMarks()
{
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(qsizetype(FMarks.size()));
    for (const tMark &m : FMarks) {
        QTextEdit::ExtraSelection s;
        s.cursor = m.Range;
        if (m.Text.isValid())
            s.format.setForeground(m.Text);
        if (m.Back.isValid())
            s.format.setBackground(m.Back);
        selections.append(s);
    }
    setExtraSelections(selections);
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
        SetSelTextW(text);
}

namespace {

// Whole words: letters, digits and the underscore are word characters, and
// a whole-word match touches no word character on either side. One UTF-16
// unit at a time, so a lone surrogate is no word character.
bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Seg holds the text from SegStart on, with one character of margin around
// every candidate where the text has one.
bool IsWholeWordAt(const QString &seg, qsizetype i, qsizetype n, int segStart, int total)
{
    if (segStart + i > 0 && IsWordChar(seg[i - 1]))
        return false;
    return segStart + i + n >= total || !IsWordChar(seg[i + n]);
}

// Chunks grow so that a near match costs little and a far one is linear.
constexpr int FirstChunk = 1 << 10;
constexpr int LastChunk = 1 << 22;

} // namespace

// Forward, a match lies within StartPos..StartPos+Length; backward within
// StartPos-Length..StartPos, and the last one before StartPos is taken. A
// Length below 1 runs to the end of the text in the search's direction.
int cWRichEdit::FindTextW(const QString &text, int startPos, int length, int options) const
{
    const int n = int(std::min<qsizetype>(text.size(), INT_MAX));
    const int total = GetTextLen();
    if (n == 0)
        return -1;
    startPos = std::clamp(startPos, 0, total);
    const bool backward = options & ftBackward;
    int lo, hi;
    if (backward) {
        hi = startPos;
        lo = length < 1 ? 0 : std::max(0, startPos - length);
    } else {
        lo = startPos;
        hi = length < 1 ? total : int(std::min<qint64>(total, qint64(startPos) + length));
    }
    // The text is read as the document holds it, with its own paragraph
    // marks, where the needle's CR must match; a U+2029 of the needle never
    // reads back from the text, so it can match nothing.
    if (text.contains(QChar(ParagraphMark)))
        return -1;
    QString needle = text;
    needle.replace(QChar(u'\r'), QChar(ParagraphMark));
    const Qt::CaseSensitivity cs = (options & ftMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool wholeWord = options & ftWholeWord;
    int chunk = FirstChunk;
    if (!backward) {
        const QStringMatcher matcher(needle, cs);
        for (int from = lo; from <= hi - n;) {
            const int lastStart = int(std::min<qint64>(hi - n, qint64(from) + chunk - 1));
            const int segStart = std::max(0, from - 1);
            const QString seg = RawRange(segStart, std::min(total, lastStart + n + 1));
            for (qsizetype i = from - segStart; (i = matcher.indexIn(QStringView(seg), i)) >= 0; ++i) {
                if (segStart + i > lastStart)
                    break;
                if (!wholeWord || IsWholeWordAt(seg, i, n, segStart, total))
                    return segStart + int(i);
            }
            from = lastStart + 1;
            chunk = std::min(chunk * 2, LastChunk);
        }
    } else {
        for (int last = hi - n; last >= lo;) {
            const int firstStart = int(std::max<qint64>(lo, qint64(last) - chunk + 1));
            const int segStart = std::max(0, firstStart - 1);
            const QString seg = RawRange(segStart, std::min(total, last + n + 1));
            for (qsizetype i = last - segStart;
                 i >= 0 && (i = QStringView(seg).lastIndexOf(needle, i, cs)) >= 0; --i) {
                if (segStart + i < firstStart)
                    break;
                if (!wholeWord || IsWholeWordAt(seg, i, n, segStart, total))
                    return segStart + int(i);
            }
            last = firstStart - 1;
            chunk = std::min(chunk * 2, LastChunk);
        }
    }
    return -1;
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
