// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a screen reader sees of a text view: its text, caret, selection and
// geometry, editing as typing edits, and each change as it happens. Offsets
// are the buffer's positions (UTF-16 units, a paragraph mark one unit, read
// as '\n'). No call copies more than it answers with, and nothing runs while
// no assistive technology listens.
#include "editor/textengine/TextBuffer.h"

#include <QAccessibleWidget>
#include <QString>

#include <utility>

class cTextView;

class cTextViewAccessible : public QAccessibleWidget,
                            public QAccessibleTextInterface,
                            public QAccessibleEditableTextInterface
{
public:
    explicit cTextViewAccessible(cTextView *view);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    using QAccessibleWidget::text; // the name and description, beside the range below
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                             int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                            int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // QAccessibleEditableTextInterface: the edit is one undo step, refused
    // when the view is read-only.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    cTextView &View() const;
    // The piece of the given kind that holds Offset.
    std::pair<int, int> Piece(int offset, QAccessible::TextBoundaryType boundaryType) const;
    QString Answer(std::pair<int, int> piece, int *startOffset, int *endOffset) const;
    void Edit(int start, int end, const QString &text);
};

// The view's hooks. Attach installs the interface factory (once) and follows
// the view's caret and selection; the other two come from the view's buffer
// listener, only while QAccessible::isActive().
void AttachAccessibility(cTextView &view);
void AccessibleTextChanged(cTextView &view, const tTextChange &change, QStringView removed);
// A new text (load, tab shown, the program's whole-text change): one update
// without text, however often it is called before control returns to the
// event loop.
void AccessibleTextReset(cTextView &view);
