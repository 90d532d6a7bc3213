// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A plain-text view over a cTextBuffer: paints the visible rows only, each
// line shaped by QTextLayout in segments (cLineLayouts), and turns keys,
// mouse, input method and drops into buffer changes. Caret and selection
// live in a cSelection; keys become commands in the key table (KeyBindings).
//
// Every path by which the view changes the text, undoes or touches the
// clipboard runs through a virtual function a subclass can take over:
// RunKeyCommand (with KeyLayer, its layer of the key table),
// cut/copy/paste/undo/redo, createStandardContextMenu, insertFromMimeData
// (paste, middle click, drops), createMimeDataFromSelection (copy, primary
// selection, drags), dropEvent.
#include "editor/textengine/CaretBlink.h"
#include "editor/textengine/KeyBindings.h"
#include "editor/textengine/LineLayout.h"
#include "editor/textengine/Selection.h"
#include "editor/textengine/TextBuffer.h"
#include "editor/textengine/TextPainter.h"
#include "editor/textengine/UndoRecord.h"
#include "editor/textengine/ViewDecorations.h"
#include "editor/textengine/ViewDragDrop.h"
#include "editor/textengine/ViewGeometry.h"
#include "editor/textengine/ViewInputMethod.h"
#include "editor/textengine/ViewMouse.h"
#include "editor/textengine/ViewScrollBars.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class cLineNumberGutter;
class QMenu;
class QMimeData;
class QPagedPaintDevice;

class cTextView : public QAbstractScrollArea, protected ITextBufferListener
{
    Q_OBJECT
public:
    // With a buffer and an undo record of its own.
    explicit cTextView(QWidget *parent = nullptr);
    // Over Buffer and, when given, Undo (listening to Buffer already); both
    // must outlive the view.
    explicit cTextView(cTextBuffer &buffer, cUndoRecord *undo = nullptr, QWidget *parent = nullptr);
    ~cTextView() override;
    cTextView(const cTextView &) = delete;
    cTextView &operator=(const cTextView &) = delete;

    cTextBuffer &buffer() noexcept { return *FBuffer; }
    const cTextBuffer &buffer() const noexcept { return *FBuffer; }
    const cLineLayouts &layouts() const noexcept { return *FLayouts; }
    // Null for a view over a buffer without one.
    cUndoRecord *undoRecord() const noexcept { return FUndo; }

    // Replaces the selection as typing would (breaks take the dominant one);
    // the caret ends after the text.
    void insertPlainText(const QString &text);

    // Positions count a paragraph mark as one unit.
    int cursorPosition() const noexcept { return FSelection.Caret(); }
    int anchorPosition() const noexcept { return FSelection.Anchor(); }
    void setCursorPosition(int pos);
    void setSelection(int anchor, int position);
    bool hasSelection() const noexcept { return FSelection.HasSelection(); }
    int selectionStart() const noexcept { return FSelection.Start(); }
    int selectionEnd() const noexcept { return FSelection.End(); }
    // Marks as CR.
    QString selectedText() const;
    void ensureCursorVisible();
    // In viewport coordinates.
    QRect cursorRect() const;
    // The cell of the character at Pos in viewport coordinates; null when
    // its row is not on screen.
    QRect characterRect(int pos) const;
    int cursorForPosition(const QPoint &viewportPos) const;

    bool isReadOnly() const noexcept { return FReadOnly; }
    void setReadOnly(bool on);
    bool overwriteMode() const noexcept { return FOverwrite; }
    void setOverwriteMode(bool on);
    // Wrapping at the viewport's width; off by default.
    bool wordWrap() const noexcept { return FWordWrap; }
    void setWordWrap(bool on);
    // Whether Tab moves the focus instead of typing a tab (it types one by default).
    void setTabChangesFocus(bool on) noexcept { FTabChangesFocus = on; }
    // Eight average characters of the font, following font changes, until
    // a distance is set.
    static constexpr int TabStopCharacters = 8;
    qreal tabStopDistance() const;
    void setTabStopDistance(qreal distance);

    bool isModified() const noexcept { return FModified; }
    void setModified(bool on);
    // Follow the undo record; a subclass keeping more history of its own
    // may set them too, for the standard menu and the signals.
    void setUndoAvailable(bool on);
    void setRedoAvailable(bool on);

    // Disjoint ranges, kept sorted and in step with edits; an edit inside a
    // mark keeps it, a mark whose text goes goes too.
    void setColorMarks(std::vector<tColorMark> marks);
    const std::vector<tColorMark> &colorMarks() const noexcept { return FMarks; }

    // Line numbers, current line and whitespace marks.
    void setViewOptions(const tViewOptions &options);
    const tViewOptions &viewOptions() const noexcept { return FOptions; }
    // Every match of Pattern on the rows shown takes these colours, until
    // Escape or an edit clears them.
    void setMatchHighlight(tMatchPattern pattern, const QColor &text, const QColor &back);
    void clearMatchHighlight();
    const tMatchPattern &matchHighlight() const noexcept { return FMatchAll; }

    // The whole text, page by page at the device's resolution, wrapped to
    // the page width whatever the view's own wrapping.
    void print(QPagedPaintDevice *device) const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    virtual void cut();
    virtual void copy();
    virtual void paste();
    virtual void undo();
    virtual void redo();
    void selectAll();

signals:
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    void modificationChanged(bool changed);
    void copyAvailable(bool yes);
    void undoAvailable(bool yes);
    void redoAvailable(bool yes);

protected:
    virtual QMimeData *createMimeDataFromSelection() const;
    virtual bool canInsertFromMimeData(const QMimeData *source) const;
    virtual void insertFromMimeData(const QMimeData *source);
    // Caller owns it.
    virtual QMenu *createStandardContextMenu();

    // The one way the view changes text: replaces Start..End and puts the
    // caret after the new text.
    void replaceRange(int start, int end, QStringView text);

    // Which layers of the key table this view reads.
    virtual tKeyLayer KeyLayer() const { return tKeyLayer::View; }
    // Runs the command a key is bound to; false when it is not this view's
    // (a key bound to nothing types its text). A subclass runs the commands
    // of its layer and leaves the others to this.
    virtual bool RunKeyCommand(const tKeyBinding &binding, const QKeyEvent &key);

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    // ITextBufferListener
    void TextChanged(const tTextChange &change, QStringView removed,
                     const std::vector<tLineBreak> &removedBreaks) override;
    void TextReset() override;
    // Only a screen reader wants the removed text (for its event).
    bool WantsRemoved() const noexcept override;

private:
    // The parts of the view's event plumbing that live in units of their own.
    friend class cViewDragDrop;
    friend QMenu *StandardContextMenu(cTextView &view);
    friend class cViewInputMethod;
    friend class cViewMouse;
    friend class cViewScrollBars;

    using tRow = tViewRow;
    using tMove = tCaretMove;

    void Init();
    void ApplyUndoSelection(const std::optional<tUndoSelection> &selection);
    void UpdateUndoState();
    // Caret and selection
    void SetCaret(int caret, int anchor, bool keepX = false);
    void MoveCaret(tMove move, bool select);
    void TypeText(const QString &text);
    // Backspace (Back) or Delete, by a character or a word.
    void DeleteText(bool back, bool word);
    // The selection as copy, the primary selection and drags hand it out.
    QString SelectionMimeText() const;
    // Rows and positions, as they are now.
    cViewGeometry &Geometry() const;
    QRectF CaretRectF() const;
    // Scrolling
    void ScrollTo(tRow top, int left);
    void ApplyWrapWidth();
    void FollowFontTabs();
    void PlaceGutter();
    void RestartBlink();
    void StopBlink();
    void UpdateCaret();
    // Edits
    void AdjustPositions(const tTextChange &change);

    std::unique_ptr<cTextBuffer> FOwnBuffer;
    cTextBuffer *FBuffer;
    std::unique_ptr<cUndoRecord> FOwnUndo;
    cUndoRecord *FUndo;
    // Set while the view applies an edit, whose caret moves do not end a
    // typing run of the undo record.
    bool FEditing = false;
    // Mutable: shaping on demand is part of reading the view.
    mutable std::unique_ptr<cLineLayouts> FLayouts;
    std::unique_ptr<cViewGeometry> FGeometry;
    cSelection FSelection;
    qreal FTabStop = 80;
    bool FTabsFollowFont = true;
    bool FReadOnly = false, FOverwrite = false, FModified = false;
    bool FUndoAvailable = false, FRedoAvailable = false;
    bool FHadSelection = false;
    bool FTabChangesFocus = false;
    bool FWordWrap = false;
    std::vector<tColorMark> FMarks;
    tViewOptions FOptions;
    tMatchPattern FMatchAll;
    QColor FMatchText, FMatchBack;
    cLineNumberGutter *FGutter = nullptr;
    cCaretBlink FBlink{*this};
    cViewMouse FMouse{*this};
    cViewDragDrop FDragDrop{*this};
    cViewInputMethod FInputMethod{*this};
    cViewScrollBars FScrollBars{*this};
};
