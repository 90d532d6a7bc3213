// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextView.h"

#include "editor/textengine/CaretMoves.h"
#include "editor/textengine/KeyBindings.h"
#include "editor/textengine/LineNumberGutter.h"
#include "editor/textengine/TextPrinting.h"
#include "editor/textengine/TextViewAccessible.h"
#include "editor/textengine/ViewContextMenu.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

QString MarksTo(QString text, QChar mark)
{
    text.replace(QChar(cTextBuffer::Mark), mark);
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation

cTextView::cTextView(QWidget *parent)
    : QAbstractScrollArea(parent), FOwnBuffer(std::make_unique<cTextBuffer>()), FBuffer(FOwnBuffer.get()),
      FOwnUndo(std::make_unique<cUndoRecord>(*FBuffer)), FUndo(FOwnUndo.get()),
      FSelection(*FBuffer, [this] { return SelectionMimeText(); })
{
    Init();
}

cTextView::cTextView(cTextBuffer &buffer, cUndoRecord *undo, QWidget *parent)
    : QAbstractScrollArea(parent), FBuffer(&buffer), FUndo(undo),
      FSelection(*FBuffer, [this] { return SelectionMimeText(); })
{
    Init();
}

cTextView::~cTextView()
{
    if (FSelection.Published())
        FSelection.FreezePublished();
    FBuffer->RemoveListener(this);
}

void cTextView::Init()
{
    FLayouts = std::make_unique<cLineLayouts>(*FBuffer);
    FGeometry = std::make_unique<cViewGeometry>(*FBuffer, *FLayouts);
    FollowFontTabs();
    FLayouts->SetFont(font());
    FBuffer->AddListener(this);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { FScrollBars.VerticalAction(action); });
    FScrollBars.Update();
    AttachAccessibility(*this);
}

// ---------------------------------------------------------------------------
// Text

void cTextView::insertPlainText(const QString &text)
{
    replaceRange(selectionStart(), selectionEnd(), text);
}

void cTextView::replaceRange(int start, int end, QStringView text)
{
    const int length = FBuffer->Length();
    start = std::clamp(start, 0, length);
    end = std::clamp(end, start, length);
    if (start == end && text.isEmpty())
        return;
    FSelection.FreezeIfEdited(start, end);
    FEditing = true;
    FBuffer->Replace(start, end - start, text);
    const int caret = end + FBuffer->Length() - length;
    SetCaret(caret, caret);
    FEditing = false;
    ensureCursorVisible();
}

QString cTextView::selectedText() const
{
    return FBuffer->Text(selectionStart(), selectionEnd());
}

void cTextView::setReadOnly(bool on)
{
    FReadOnly = on;
    setAttribute(Qt::WA_InputMethodEnabled, !on);
    viewport()->update();
}

void cTextView::setOverwriteMode(bool on)
{
    FOverwrite = on;
    UpdateCaret();
}

void cTextView::setWordWrap(bool on)
{
    if (on == FWordWrap)
        return;
    FWordWrap = on;
    FGeometry->SetTop({FGeometry->Top().Line, 0});
    FGeometry->SetLeft(0);
    ApplyWrapWidth();
    FScrollBars.Update();
    ensureCursorVisible();
    viewport()->update();
}

qreal cTextView::tabStopDistance() const
{
    return FTabStop;
}

void cTextView::setTabStopDistance(qreal distance)
{
    if (distance <= 0)
        return;
    FTabsFollowFont = false;
    FTabStop = distance;
    FLayouts->SetTabStopDistance(distance);
    viewport()->update();
}

// Tab stops are a number of average characters of the font (in the screen's
// pixels: the layouts scale them to a printer as they scale the font).
void cTextView::FollowFontTabs()
{
    if (!FTabsFollowFont)
        return;
    FTabStop = TabStopCharacters * std::max<qreal>(1, QFontMetricsF(font()).averageCharWidth());
    FLayouts->SetTabStopDistance(FTabStop);
}

void cTextView::setModified(bool on)
{
    if (on == FModified)
        return;
    FModified = on;
    emit modificationChanged(on);
}

void cTextView::setUndoAvailable(bool on)
{
    if (on == FUndoAvailable)
        return;
    FUndoAvailable = on;
    emit undoAvailable(on);
}

void cTextView::setRedoAvailable(bool on)
{
    if (on == FRedoAvailable)
        return;
    FRedoAvailable = on;
    emit redoAvailable(on);
}

void cTextView::setColorMarks(std::vector<tColorMark> marks)
{
    FMarks = ClampedMarks(std::move(marks), FBuffer->Length());
    viewport()->update();
}

void cTextView::setViewOptions(const tViewOptions &options)
{
    if (options == FOptions)
        return;
    FOptions = options;
    if (FOptions.LineNumbers && !FGutter) {
        FGutter = new cLineNumberGutter(this);
        FGutter->show();
    } else if (!FOptions.LineNumbers && FGutter) {
        delete FGutter;
        FGutter = nullptr;
    }
    PlaceGutter();
    viewport()->update();
}

// The gutter takes the viewport's left margin, sized for the last line's number.
void cTextView::PlaceGutter()
{
    const int width = FGutter ? FGutter->WidthFor(FBuffer->LineCount()) : 0;
    if (viewportMargins().left() != width)
        setViewportMargins(width, 0, 0, 0);
    if (FGutter)
        FGutter->setGeometry(contentsRect().left(), viewport()->y(), width, viewport()->height());
}

void cTextView::setMatchHighlight(tMatchPattern pattern, const QColor &text, const QColor &back)
{
    FMatchAll = std::move(pattern);
    FMatchText = text;
    FMatchBack = back;
    viewport()->update();
}

void cTextView::clearMatchHighlight()
{
    if (FMatchAll.IsEmpty())
        return;
    FMatchAll = {};
    viewport()->update();
}

void cTextView::print(QPagedPaintDevice *device) const
{
    PrintText(*FBuffer, font(), FTabStop, device);
}

// ---------------------------------------------------------------------------
// Clipboard and undo: the default handlers

void cTextView::cut()
{
    if (FReadOnly || !hasSelection())
        return;
    copy();
    if (FUndo)
        FUndo->BreakTyping();
    replaceRange(selectionStart(), selectionEnd(), {});
}

void cTextView::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void cTextView::paste()
{
    if (!FReadOnly)
        insertFromMimeData(QGuiApplication::clipboard()->mimeData());
}

void cTextView::undo()
{
    if (FUndo && !FReadOnly)
        ApplyUndoSelection(FUndo->Undo());
}

void cTextView::redo()
{
    if (FUndo && !FReadOnly)
        ApplyUndoSelection(FUndo->Redo());
}

void cTextView::ApplyUndoSelection(const std::optional<tUndoSelection> &selection)
{
    if (!selection)
        return;
    SetCaret(selection->Start + selection->Length, selection->Start);
    ensureCursorVisible();
}

void cTextView::UpdateUndoState()
{
    if (!FUndo)
        return;
    setUndoAvailable(FUndo->CanUndo());
    setRedoAvailable(FUndo->CanRedo());
}

void cTextView::selectAll()
{
    SetCaret(FBuffer->Length(), 0);
    FSelection.Publish();
}

QMimeData *cTextView::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(MarksTo(selectedText(), QChar(u'\n')));
    return data;
}

bool cTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && source->hasText();
}

void cTextView::insertFromMimeData(const QMimeData *source)
{
    if (FReadOnly || !canInsertFromMimeData(source))
        return;
    const QString text = source->text();
    if (text.isEmpty())
        return;
    // A paste is a step of its own, however short.
    if (FUndo)
        FUndo->BreakTyping();
    insertPlainText(text);
    if (FUndo)
        FUndo->BreakTyping();
}

QMenu *cTextView::createStandardContextMenu()
{
    return StandardContextMenu(*this);
}

void cTextView::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (menu)
        menu->exec(event->globalPos());
}

// ---------------------------------------------------------------------------
// Caret and selection

// A selection the program makes (found text, a line gone to, a plug-in's,
// an undo's) is where the user looks next.
void cTextView::setCursorPosition(int pos)
{
    SetCaret(pos, pos);
    ensureCursorVisible();
}

void cTextView::setSelection(int anchor, int position)
{
    SetCaret(position, anchor);
    ensureCursorVisible();
}

void cTextView::SetCaret(int caret, int anchor, bool keepX)
{
    if (!keepX)
        FSelection.SetDesiredX(-1);
    RestartBlink();
    const int oldCaret = FSelection.Caret(), oldAnchor = FSelection.Anchor();
    const int length = FBuffer->Length();
    if (std::clamp(caret, 0, length) == oldCaret && std::clamp(anchor, 0, length) == oldAnchor)
        return;
    if (FUndo && !FEditing)
        FUndo->BreakTyping();
    const cSelection::tMoved moved = FSelection.Set(caret, anchor);
    viewport()->update();
    if (moved.Caret)
        emit cursorPositionChanged();
    if (moved.Range)
        emit selectionChanged();
    if (hasSelection() != FHadSelection) {
        FHadSelection = hasSelection();
        emit copyAvailable(FHadSelection);
    }
}

QString cTextView::SelectionMimeText() const
{
    const std::unique_ptr<QMimeData> data(createMimeDataFromSelection());
    return data ? data->text() : QString();
}

void cTextView::MoveCaret(tMove move, bool select)
{
    const tMove way = VisualMove(move, FLayouts->RightToLeft(FBuffer->LineFromPosition(FSelection.Caret())));
    int pos;
    if (!select && hasSelection() && (way == tMove::Left || way == tMove::Right)) {
        pos = way == tMove::Left ? selectionStart() : selectionEnd();
    } else {
        cViewGeometry &geometry = Geometry();
        // A page move scrolls by a page, and the caret follows.
        if (way == tMove::PageUp || way == tMove::PageDown) {
            const int page = std::max(1, geometry.VisibleRows() - 1);
            ScrollTo(geometry.MoveRows(geometry.Top(), way == tMove::PageUp ? -page : page), geometry.Left());
        }
        pos = MovedPosition(way, FSelection.Caret(), *FBuffer, *FLayouts, Geometry(), FSelection);
    }
    SetCaret(pos, select ? FSelection.Anchor() : pos, KeepsDesiredX(move));
    ensureCursorVisible();
    if (select)
        FSelection.Publish();
}

void cTextView::TypeText(const QString &text)
{
    const auto [start, end] = TypedRange(*FBuffer, FSelection, FOverwrite);
    replaceRange(start, end, text);
}

void cTextView::DeleteText(bool back, bool word)
{
    const auto [start, end] = DeletedRange(*FBuffer, FSelection, back, word);
    replaceRange(start, end, {});
}

// Keys become commands in the key table (KeyBindings); the view runs the
// commands it knows, a subclass also those of its layer of the table.
void cTextView::keyPressEvent(QKeyEvent *event)
{
    if (RunKeyCommand(KeyBindingOf(*event, KeyLayer()), *event))
        event->accept();
    else
        event->ignore();
}

bool cTextView::RunKeyCommand(const tKeyBinding &binding, const QKeyEvent &key)
{
    switch (binding.Command) {
    case tKeyCommand::Move:
    case tKeyCommand::Select:
        MoveCaret(binding.Move, binding.Command == tKeyCommand::Select);
        return true;
    case tKeyCommand::Cut:
        cut();
        return true;
    case tKeyCommand::Copy:
        copy();
        return true;
    case tKeyCommand::Paste:
        paste();
        return true;
    case tKeyCommand::Undo:
        undo();
        return true;
    case tKeyCommand::Redo:
        redo();
        return true;
    case tKeyCommand::SelectAll:
        selectAll();
        return true;
    case tKeyCommand::ClearHighlight:
        if (FMatchAll.IsEmpty())
            return false;
        clearMatchHighlight();
        return true;
    default:
        break;
    }
    if (FReadOnly || (FTabChangesFocus && (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab)))
        return false;
    switch (binding.Command) {
    case tKeyCommand::DeleteWordBack:
        DeleteText(true, true);
        return true;
    case tKeyCommand::DeleteWordForward:
        DeleteText(false, true);
        return true;
    case tKeyCommand::DeleteBack:
        DeleteText(true, false);
        return true;
    case tKeyCommand::DeleteForward:
        DeleteText(false, false);
        return true;
    case tKeyCommand::NewLine:
        TypeText(QString(QChar(cTextBuffer::Mark)));
        return true;
    case tKeyCommand::None:
        if (!IsTypedText(key.text()) ||
            (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        TypeText(key.text());
        return true;
    default:
        // Another layer's command.
        return false;
    }
}

// Keys the view handles itself are not taken by the window's shortcuts.
bool cTextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        ClaimsKey(*static_cast<QKeyEvent *>(event), KeyLayer())) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

// ---------------------------------------------------------------------------
// Rows and positions

// The viewport's size as it is now: a hidden widget hears of its resizes
// only once shown.
cViewGeometry &cTextView::Geometry() const
{
    FGeometry->SetViewportSize(viewport()->size());
    FGeometry->SetCaret(FSelection.Caret(), FInputMethod.Cursor());
    return *FGeometry;
}

int cTextView::cursorForPosition(const QPoint &viewportPos) const
{
    return Geometry().PositionAt(viewportPos);
}

QRectF cTextView::CaretRectF() const
{
    return Geometry().CaretRect(FOverwrite && !FInputMethod.Composing());
}

QRect cTextView::cursorRect() const
{
    return CaretRectF().toAlignedRect();
}

QRect cTextView::characterRect(int pos) const
{
    return Geometry().CharacterRect(pos).toAlignedRect();
}

void cTextView::ensureCursorVisible()
{
    const auto [top, left] = Geometry().ScrollToShow(FSelection.Caret());
    ScrollTo(top, left);
}

// ---------------------------------------------------------------------------
// Scrolling

void cTextView::ScrollTo(tRow top, int left)
{
    if (!Geometry().ScrollTo(top, left))
        return;
    FScrollBars.Update();
    viewport()->update();
}

void cTextView::scrollContentsBy(int, int)
{
    FScrollBars.Scrolled();
}

void cTextView::ApplyWrapWidth()
{
    FLayouts->SetWrapWidth(FWordWrap ? Geometry().WrapWidth() : 0);
}

void cTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (FWordWrap)
        ApplyWrapWidth();
    Geometry().KeepTopInRange();
    FScrollBars.Update();
    PlaceGutter();
}

void cTextView::wheelEvent(QWheelEvent *event)
{
    if (!FScrollBars.Wheel(*event))
        QAbstractScrollArea::wheelEvent(event);
}

void cTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FollowFontTabs();
        FLayouts->SetFont(font());
        FGeometry->Reshaped();
        FScrollBars.Update();
        PlaceGutter();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

// ---------------------------------------------------------------------------
// Painting

void cTextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    cViewGeometry &geometry = Geometry();
    const qreal widest = geometry.Widest();
    tPaintContent content;
    content.Palette = palette();
    content.Marks = &FMarks;
    content.Match = &FMatchAll;
    content.MatchText = FMatchText;
    content.MatchBack = FMatchBack;
    content.SelectionStart = selectionStart();
    content.SelectionEnd = selectionEnd();
    content.Whitespace = FOptions.Whitespace;
    content.CurrentLine = FOptions.CurrentLine;
    content.Caret = FSelection.Caret();
    content.CaretShown = FBlink.Shown() && !FReadOnly;
    content.CaretBlock = FOverwrite && !FInputMethod.Composing();
    content.PreeditCursor = FInputMethod.Cursor();
    content.DropCaret = FDragDrop.DropCaret();
    cTextPainter textPainter(painter, *FBuffer, *FLayouts, content);
    std::vector<tNumberedRow> numbered = textPainter.PaintView(geometry, event->rect());
    if (FGutter)
        FGutter->SetRows(std::move(numbered), qRound(FLayouts->RowHeight()),
                         FBuffer->LineFromPosition(FSelection.Caret()));
    if (geometry.Widest() > widest)
        FScrollBars.Update();
}

// ---------------------------------------------------------------------------
// Focus and timers

void cTextView::RestartBlink()
{
    FBlink.Restart(hasFocus());
    UpdateCaret();
}

void cTextView::StopBlink()
{
    FBlink.Stop();
    UpdateCaret();
}

void cTextView::UpdateCaret()
{
    viewport()->update(CaretRectF().toAlignedRect().adjusted(-2, -1, 2, 1));
}

void cTextView::timerEvent(QTimerEvent *event)
{
    if (FBlink.Tick(event->timerId()))
        UpdateCaret();
    else if (!FMouse.Timer(event->timerId()))
        QAbstractScrollArea::timerEvent(event);
}

// Qt would move the focus on Tab before the key reaches keyPressEvent.
bool cTextView::focusNextPrevChild(bool next)
{
    if (!FTabChangesFocus && !FReadOnly)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void cTextView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
}

void cTextView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (FUndo)
        FUndo->BreakTyping();
    StopBlink();
}

// ---------------------------------------------------------------------------
// Mouse, drag and drop, input method: see their units

void cTextView::mousePressEvent(QMouseEvent *event)
{
    FMouse.Press(*event);
}

void cTextView::mouseMoveEvent(QMouseEvent *event)
{
    FMouse.Move(*event);
}

void cTextView::mouseReleaseEvent(QMouseEvent *event)
{
    FMouse.Release(*event);
}

void cTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    FMouse.DoubleClick(*event);
}

void cTextView::dragEnterEvent(QDragEnterEvent *event)
{
    FDragDrop.Enter(*event);
}

void cTextView::dragMoveEvent(QDragMoveEvent *event)
{
    FDragDrop.Move(*event);
}

void cTextView::dragLeaveEvent(QDragLeaveEvent *)
{
    FDragDrop.Leave();
}

void cTextView::dropEvent(QDropEvent *event)
{
    FDragDrop.Drop(*event);
}

void cTextView::inputMethodEvent(QInputMethodEvent *event)
{
    FInputMethod.Event(*event);
}

QVariant cTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QVariant answer = FInputMethod.Query(query);
    return answer.isValid() ? answer : QAbstractScrollArea::inputMethodQuery(query);
}

// ---------------------------------------------------------------------------
// Keeping step with the buffer

void cTextView::AdjustPositions(const tTextChange &change)
{
    FSelection.AdjustPositions(change);
    AdjustMarks(FMarks, change);
    FDragDrop.ForgetDropCaret();
    FGeometry->TextChanged(change);
}

bool cTextView::WantsRemoved() const noexcept
{
    return QAccessible::isActive();
}

void cTextView::TextChanged(const tTextChange &change, QStringView removed, const std::vector<tLineBreak> &)
{
    const int caret = FSelection.Caret(), anchor = FSelection.Anchor();
    AdjustPositions(change);
    FLayouts->TextChanged(change);
    FInputMethod.TextChanged();
    // Text removed at the end does not leave the view scrolled past it.
    Geometry().KeepTopInRange();
    FMatchAll = {};
    UpdateUndoState();
    FScrollBars.Update();
    PlaceGutter();
    viewport()->update();
    if (QAccessible::isActive())
        AccessibleTextChanged(*this, change, removed);
    emit textChanged();
    // After the text's own signal, so that those who follow it (a document)
    // hear of the change before the flag changes.
    setModified(true);
    if (FSelection.Caret() != caret)
        emit cursorPositionChanged();
    if (FSelection.Caret() != caret || FSelection.Anchor() != anchor)
        emit selectionChanged();
}

void cTextView::TextReset()
{
    const bool hadSelection = hasSelection();
    FSelection.Reset();
    FMarks.clear();
    FMatchAll = {};
    FLayouts->Reset();
    FInputMethod.TextReset();
    FGeometry->Reset();
    FDragDrop.ForgetDropCaret();
    UpdateUndoState();
    FScrollBars.Update();
    PlaceGutter();
    viewport()->update();
    if (QAccessible::isActive())
        AccessibleTextReset(*this);
    emit textChanged();
    emit cursorPositionChanged();
    if (hadSelection) {
        emit selectionChanged();
        FHadSelection = false;
        emit copyAvailable(false);
    }
}
