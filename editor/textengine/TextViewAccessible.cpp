// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextViewAccessible.h"

#include "editor/textengine/TextBoundaries.h"
#include "editor/textengine/TextView.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace {

// A change larger than this goes out as an update without text: a reader
// would not read megabytes aloud, and the bus would carry them for nothing.
constexpr int EventTextLimit = 1 << 16;

const char *const ResetPendingProperty = "quorvelAccessibleResetPending";

// Set while the interface moves the caret only to scroll: no caret events.
int QuietCaret = 0;

QString Readable(QString text)
{
    text.replace(QChar(cTextBuffer::Mark), QChar(u'\n'));
    return text;
}

QAccessibleInterface *TextViewFactory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<cTextView *>(object))
        return new cTextViewAccessible(view);
    return nullptr;
}

// The visual row around Pos, the last row of a line with its mark; without
// wrapping, the line.
std::pair<int, int> RowAround(const cTextView &view, int pos)
{
    const cTextBuffer &buffer = view.buffer();
    const std::pair<int, int> line = LineAt(buffer, pos);
    // Shaping on demand is part of reading the view, as the view itself does.
    auto &layouts = const_cast<cLineLayouts &>(view.layouts());
    if (!layouts.Wraps())
        return line;
    const int index = buffer.LineFromPosition(pos);
    const int column = pos - line.first;
    const int segment = layouts.SegmentOf(index, column);
    const tLineSegment piece = layouts.Segment(index, segment);
    const bool lastSegment = segment == layouts.SegmentCount(index) - 1;
    const QTextLayout &layout = layouts.Layout(index, segment);
    const QTextLine row = layout.lineForTextPosition(column - piece.Start);
    if (!row.isValid())
        return line;
    const int start = line.first + piece.Start + row.textStart();
    if (lastSegment && row.lineNumber() == layout.lineCount() - 1)
        return {start, line.second};
    return {start, std::min(line.second, start + row.textLength())};
}

} // namespace

cTextViewAccessible::cTextViewAccessible(cTextView *view) : QAccessibleWidget(view, QAccessible::EditableText)
{}

cTextView &cTextViewAccessible::View() const
{
    return *static_cast<cTextView *>(widget());
}

void *cTextViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State cTextViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    const bool readOnly = View().isReadOnly();
    s.readOnly = readOnly;
    s.editable = !readOnly;
    s.multiLine = true;
    s.selectableText = true;
    s.focusable = true;
    return s;
}

// ---------------------------------------------------------------------------
// Selection and caret: one selection at most, the view's own.

void cTextViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    const cTextView &view = View();
    if (selectionIndex != 0 || !view.hasSelection())
        return;
    *startOffset = view.selectionStart();
    *endOffset = view.selectionEnd();
}

int cTextViewAccessible::selectionCount() const
{
    return View().hasSelection() ? 1 : 0;
}

void cTextViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void cTextViewAccessible::removeSelection(int selectionIndex)
{
    cTextView &view = View();
    if (selectionIndex == 0 && view.hasSelection())
        view.setCursorPosition(view.cursorPosition());
}

void cTextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    cTextView &view = View();
    view.setSelection(startOffset, endOffset);
    view.ensureCursorVisible();
}

int cTextViewAccessible::cursorPosition() const
{
    return View().cursorPosition();
}

void cTextViewAccessible::setCursorPosition(int position)
{
    cTextView &view = View();
    view.setCursorPosition(position);
    view.ensureCursorVisible();
}

// ---------------------------------------------------------------------------
// Text

int cTextViewAccessible::characterCount() const
{
    return View().buffer().Length();
}

QString cTextViewAccessible::text(int startOffset, int endOffset) const
{
    const cTextBuffer &buffer = View().buffer();
    const int length = buffer.Length();
    if (endOffset < 0)
        endOffset = length;
    startOffset = std::clamp(startOffset, 0, length);
    endOffset = std::clamp(endOffset, startOffset, length);
    return Readable(buffer.Text(startOffset, endOffset));
}

std::pair<int, int> cTextViewAccessible::Piece(int offset, QAccessible::TextBoundaryType boundaryType) const
{
    const cTextView &view = View();
    const cTextBuffer &buffer = view.buffer();
    const int length = buffer.Length();
    offset = std::clamp(offset, 0, length);
    switch (boundaryType) {
    case QAccessible::CharBoundary: {
        if (offset == length)
            return {length, length};
        const int end = NextGrapheme(buffer, offset);
        return {std::min(offset, PreviousGrapheme(buffer, end)), end};
    }
    case QAccessible::WordBoundary: {
        const int line = buffer.LineFromPosition(offset);
        const int lineEnd = buffer.LineEnd(line);
        // A paragraph mark is a piece of its own; the end of the text is
        // in the last word.
        if (offset == lineEnd && offset < length)
            return {offset, offset + 1};
        if (buffer.LineStart(line) == lineEnd)
            return {offset, offset};
        return WordAt(buffer, offset);
    }
    case QAccessible::LineBoundary:
        return RowAround(view, offset);
    case QAccessible::SentenceBoundary:
    case QAccessible::ParagraphBoundary:
        return LineAt(buffer, offset);
    case QAccessible::NoBoundary:
        return {0, length};
    }
    return {offset, offset};
}

QString cTextViewAccessible::Answer(std::pair<int, int> piece, int *startOffset, int *endOffset) const
{
    *startOffset = piece.first;
    *endOffset = piece.second;
    return Readable(View().buffer().Text(piece.first, piece.second));
}

QString cTextViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                          int *startOffset, int *endOffset) const
{
    return Answer(Piece(offset, boundaryType), startOffset, endOffset);
}

QString cTextViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                              int *startOffset, int *endOffset) const
{
    const int start = Piece(offset, boundaryType).first;
    if (start <= 0 || boundaryType == QAccessible::NoBoundary)
        return Answer({0, 0}, startOffset, endOffset);
    std::pair<int, int> before = Piece(start - 1, boundaryType);
    before.second = std::min(before.second, start);
    return Answer(before, startOffset, endOffset);
}

QString cTextViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    const int length = characterCount();
    const int end = Piece(offset, boundaryType).second;
    if (end >= length || boundaryType == QAccessible::NoBoundary)
        return Answer({length, length}, startOffset, endOffset);
    std::pair<int, int> after = Piece(end, boundaryType);
    after.first = std::max(after.first, end);
    return Answer(after, startOffset, endOffset);
}

QString cTextViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // Plain text: one run without attributes.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

// ---------------------------------------------------------------------------
// Geometry, in screen coordinates

QRect cTextViewAccessible::characterRect(int offset) const
{
    const cTextView &view = View();
    const QRect cell = view.characterRect(offset);
    if (cell.isNull())
        return {};
    return QRect(view.viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

int cTextViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const cTextView &view = View();
    const QPoint inside = view.viewport()->mapFromGlobal(point);
    if (!view.viewport()->rect().contains(inside))
        return -1;
    // The view gives the nearest caret place; the character is the one
    // whose cell holds the point.
    const int pos = view.cursorForPosition(inside);
    const int before = PreviousGrapheme(view.buffer(), pos);
    if (pos > 0 && view.characterRect(before).contains(inside))
        return before;
    return pos;
}

void cTextViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    cTextView &view = View();
    const int anchor = view.anchorPosition(), caret = view.cursorPosition();
    ++QuietCaret;
    view.setCursorPosition(endIndex);
    view.ensureCursorVisible();
    view.setCursorPosition(startIndex);
    view.ensureCursorVisible();
    view.setSelection(anchor, caret);
    --QuietCaret;
}

// ---------------------------------------------------------------------------
// Editing, as typing edits

void cTextViewAccessible::Edit(int start, int end, const QString &text)
{
    cTextView &view = View();
    if (view.isReadOnly())
        return;
    const int length = view.buffer().Length();
    start = std::clamp(start, 0, length);
    end = std::clamp(end < 0 ? length : end, start, length);
    cUndoRecord *undo = view.undoRecord();
    // One step of its own, neither joined to the typing before nor after.
    if (undo)
        undo->BreakTyping();
    view.setSelection(start, end);
    view.insertPlainText(text);
    if (undo)
        undo->BreakTyping();
}

void cTextViewAccessible::deleteText(int startOffset, int endOffset)
{
    Edit(startOffset, endOffset, {});
}

void cTextViewAccessible::insertText(int offset, const QString &text)
{
    Edit(offset, offset, text);
}

void cTextViewAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    Edit(startOffset, endOffset, text);
}

// ---------------------------------------------------------------------------
// Events

void AttachAccessibility(cTextView &view)
{
    static const bool installed = [] {
        QAccessible::installFactory(TextViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
    QObject::connect(&view, &cTextView::cursorPositionChanged, &view, [v = &view] {
        if (!QAccessible::isActive() || QuietCaret > 0)
            return;
        QAccessibleTextCursorEvent event(v, v->cursorPosition());
        QAccessible::updateAccessibility(&event);
    });
    QObject::connect(&view, &cTextView::selectionChanged, &view, [v = &view] {
        if (!QAccessible::isActive() || QuietCaret > 0)
            return;
        QAccessibleTextSelectionEvent event(v, v->selectionStart(), v->selectionEnd());
        event.setCursorPosition(v->cursorPosition());
        QAccessible::updateAccessibility(&event);
    });
}

void AccessibleTextChanged(cTextView &view, const tTextChange &change, QStringView removed)
{
    if (!QAccessible::isActive())
        return;
    // Without the removed units (nobody kept them) or beyond the limit, the
    // reader is told that the text changed and reads what it needs.
    const bool removedKnown = change.RemovedLength == 0 || removed.size() == change.RemovedLength;
    if (!removedKnown || change.RemovedLength > EventTextLimit || change.InsertedLength > EventTextLimit) {
        QAccessibleTextUpdateEvent event(&view, change.Position, QString(), QString());
        QAccessible::updateAccessibility(&event);
        return;
    }
    const QString inserted =
        Readable(view.buffer().Text(change.Position, change.Position + change.InsertedLength));
    const QString gone = Readable(removed.toString());
    if (gone.isEmpty() && inserted.isEmpty())
        return;
    if (gone.isEmpty()) {
        QAccessibleTextInsertEvent event(&view, change.Position, inserted);
        QAccessible::updateAccessibility(&event);
    } else if (inserted.isEmpty()) {
        QAccessibleTextRemoveEvent event(&view, change.Position, gone);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(&view, change.Position, gone, inserted);
        QAccessible::updateAccessibility(&event);
    }
}

void AccessibleTextReset(cTextView &view)
{
    if (!QAccessible::isActive() || view.property(ResetPendingProperty).toBool())
        return;
    view.setProperty(ResetPendingProperty, true);
    QTimer::singleShot(0, &view, [v = &view] {
        v->setProperty(ResetPendingProperty, false);
        if (!QAccessible::isActive())
            return;
        QAccessibleTextUpdateEvent event(v, 0, QString(), QString());
        QAccessible::updateAccessibility(&event);
    });
}
