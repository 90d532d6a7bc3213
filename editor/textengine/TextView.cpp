// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextView.h"

#include "editor/textengine/CaretMoves.h"
#include "editor/textengine/KeyBindings.h"
#include "editor/textengine/LineNumberGutter.h"
#include "editor/textengine/TextBoundaries.h"
#include "editor/textengine/TextPrinting.h"
#include "editor/textengine/TextViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

// Text the input method sees around the caret: a long line is not copied whole.
constexpr int SurroundingReach = 1024;
// The caret blinks this long after the last input, then stays on.
constexpr qint64 BlinkForMs = 10000;
constexpr int AutoScrollMs = 50;

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
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &cTextView::OnVerticalAction);
    UpdateScrollBars();
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

void cTextView::setLineWrapMode(LineWrapMode mode)
{
    if (mode == FWrapMode)
        return;
    FWrapMode = mode;
    FGeometry->SetTop({FGeometry->Top().Line, 0});
    FGeometry->SetLeft(0);
    ApplyWrapWidth();
    UpdateScrollBars();
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
    const int length = FBuffer->Length();
    for (tColorMark &m : marks) {
        m.Start = std::clamp(m.Start, 0, length);
        m.End = std::clamp(m.End, m.Start, length);
    }
    std::erase_if(marks, [](const tColorMark &m) { return m.Start == m.End; });
    std::sort(marks.begin(), marks.end(),
              [](const tColorMark &a, const tColorMark &b) { return a.Start < b.Start; });
    FMarks = std::move(marks);
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
    auto *menu = new QMenu(this);
    const bool editable = !FReadOnly;
    auto add = [menu](const QString &text, bool enabled, auto handler) {
        QAction *action = menu->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, handler);
    };
    add(tr("&Undo"), editable && FUndoAvailable, [this] { undo(); });
    add(tr("&Redo"), editable && FRedoAvailable, [this] { redo(); });
    menu->addSeparator();
    add(tr("Cu&t"), editable && hasSelection(), [this] { cut(); });
    add(tr("&Copy"), hasSelection(), [this] { copy(); });
    add(tr("&Paste"), editable && canInsertFromMimeData(QGuiApplication::clipboard()->mimeData()),
        [this] { paste(); });
    menu->addSeparator();
    add(tr("Select All"), FBuffer->Length() > 0, [this] { selectAll(); });
    return menu;
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
    int start = selectionStart(), end = selectionEnd();
    if (FOverwrite && start == end &&
        FSelection.Caret() < FBuffer->LineEnd(FBuffer->LineFromPosition(FSelection.Caret())))
        end = NextGrapheme(*FBuffer, FSelection.Caret());
    replaceRange(start, end, text);
}

void cTextView::DeleteBackward(bool word)
{
    if (hasSelection())
        replaceRange(selectionStart(), selectionEnd(), {});
    else if (FSelection.Caret() > 0)
        replaceRange(word ? PreviousWordStart(*FBuffer, FSelection.Caret())
                          : PreviousCodePoint(*FBuffer, FSelection.Caret()),
                     FSelection.Caret(), {});
}

void cTextView::DeleteForward(bool word)
{
    if (hasSelection())
        replaceRange(selectionStart(), selectionEnd(), {});
    else if (FSelection.Caret() < FBuffer->Length())
        replaceRange(FSelection.Caret(),
                     word ? NextWordStart(*FBuffer, FSelection.Caret())
                          : NextGrapheme(*FBuffer, FSelection.Caret()),
                     {});
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
        DeleteBackward(true);
        return true;
    case tKeyCommand::DeleteWordForward:
        DeleteForward(true);
        return true;
    case tKeyCommand::DeleteBack:
        DeleteBackward(false);
        return true;
    case tKeyCommand::DeleteForward:
        DeleteForward(false);
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
    FGeometry->SetCaret(FSelection.Caret(), FPreeditCursor);
    return *FGeometry;
}

int cTextView::cursorForPosition(const QPoint &viewportPos) const
{
    return Geometry().PositionAt(viewportPos);
}

QRectF cTextView::CaretRectF() const
{
    return Geometry().CaretRect(FOverwrite && FPreedit.isEmpty());
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
    UpdateScrollBars();
    viewport()->update();
}

void cTextView::UpdateScrollBars()
{
    if (FSettingScroll)
        return;
    FSettingScroll = true;
    const cViewGeometry &geometry = Geometry();
    QScrollBar *vertical = verticalScrollBar();
    const int resolution = geometry.VerticalResolution();
    vertical->setRange(0, geometry.ValueOf(geometry.LastTop()));
    vertical->setSingleStep(resolution);
    vertical->setPageStep(std::max(1, geometry.VisibleRows() - 1) * resolution);
    vertical->setValue(geometry.ValueOf(geometry.Top()));
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, FLayouts->Wraps() ? 0 : geometry.MaxLeft());
    horizontal->setSingleStep(std::max(1, qRound(QFontMetricsF(font()).averageCharWidth() * 2)));
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setValue(geometry.Left());
    FSettingScroll = false;
}

void cTextView::scrollContentsBy(int, int)
{
    if (FSettingScroll)
        return;
    cViewGeometry &geometry = Geometry();
    geometry.SetTop(FPendingTop ? *FPendingTop : geometry.TopOf(verticalScrollBar()->value()));
    FPendingTop.reset();
    geometry.SetLeft(horizontalScrollBar()->value());
    viewport()->update();
}

// Arrow and page clicks on the bar move by rows, which its value cannot
// express inside a long wrapped line.
void cTextView::OnVerticalAction(int action)
{
    if (!FLayouts->Wraps())
        return;
    const cViewGeometry &geometry = Geometry();
    const int page = std::max(1, geometry.VisibleRows() - 1);
    int rows = 0;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        rows = 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        rows = -1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        rows = page;
        break;
    case QAbstractSlider::SliderPageStepSub:
        rows = -page;
        break;
    default:
        return;
    }
    tRow top = geometry.MoveRows(geometry.Top(), rows);
    const tRow last = geometry.LastTop();
    if (last < top)
        top = last;
    FPendingTop = top;
    verticalScrollBar()->setSliderPosition(geometry.ValueOf(top));
    if (FPendingTop) {
        FPendingTop.reset();
        ScrollTo(top, geometry.Left());
    }
}

void cTextView::ApplyWrapWidth()
{
    FLayouts->SetWrapWidth(FWrapMode == WidgetWidth ? Geometry().WrapWidth() : 0);
}

void cTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (FWrapMode == WidgetWidth)
        ApplyWrapWidth();
    Geometry().KeepTopInRange();
    UpdateScrollBars();
    PlaceGutter();
}

void cTextView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier) || event->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    FWheelDelta += event->angleDelta().y();
    const int steps = FWheelDelta / QWheelEvent::DefaultDeltasPerStep;
    FWheelDelta -= steps * QWheelEvent::DefaultDeltasPerStep;
    const cViewGeometry &geometry = Geometry();
    if (steps != 0)
        ScrollTo(geometry.MoveRows(geometry.Top(), -steps * QApplication::wheelScrollLines()),
                 geometry.Left());
    event->accept();
}

void cTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FollowFontTabs();
        FLayouts->SetFont(font());
        const tRow top = FGeometry->Top();
        const int left = FGeometry->Left();
        FGeometry->Reset();
        FGeometry->SetTop({top.Line, 0});
        FGeometry->SetLeft(left);
        UpdateScrollBars();
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
    content.CaretShown = FCaretShown && !FReadOnly;
    content.CaretBlock = FOverwrite && FPreedit.isEmpty();
    content.PreeditCursor = FPreeditCursor;
    content.DropCaret = FDropCaret;
    cTextPainter textPainter(painter, *FBuffer, *FLayouts, content);
    std::vector<tNumberedRow> numbered = textPainter.PaintView(geometry, event->rect());
    if (FGutter)
        FGutter->SetRows(std::move(numbered), qRound(FLayouts->RowHeight()),
                         FBuffer->LineFromPosition(FSelection.Caret()));
    if (geometry.Widest() > widest)
        UpdateScrollBars();
}

// ---------------------------------------------------------------------------
// Caret blink: a timer only while focused and only for a while.

void cTextView::RestartBlink()
{
    FCaretShown = hasFocus();
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0) {
        FBlink.start(flash / 2, this);
        FBlinkSince.start();
    } else {
        FBlink.stop();
    }
    UpdateCaret();
}

void cTextView::StopBlink()
{
    FBlink.stop();
    FCaretShown = false;
    UpdateCaret();
}

void cTextView::UpdateCaret()
{
    viewport()->update(CaretRectF().toAlignedRect().adjusted(-2, -1, 2, 1));
}

void cTextView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == FBlink.timerId()) {
        if (FBlinkSince.elapsed() > BlinkForMs) {
            FBlink.stop();
            FCaretShown = true;
        } else {
            FCaretShown = !FCaretShown;
        }
        UpdateCaret();
    } else if (event->timerId() == FAutoScroll.timerId()) {
        AutoScroll(FAutoScrollPos);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
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
// Mouse

void cTextView::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        event->setAccepted(event->button() == Qt::MiddleButton);
        return;
    }
    const int pos = cursorForPosition(p);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (FLastDoubleClick.isValid() && FLastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (p - FDoubleClickPos).manhattanLength() < QApplication::startDragDistance()) {
        FLastDoubleClick.invalidate();
        const auto [start, end] = LineAt(*FBuffer, pos);
        SetCaret(end, start);
        FSelecting = true;
        return;
    }
    FPressPos = p;
    FSelection.SetWordAnchor({-1, -1});
    if (!shift && hasSelection() && pos >= selectionStart() && pos < selectionEnd()) {
        FDragPending = true;
        return;
    }
    SetCaret(pos, shift ? FSelection.Anchor() : pos);
    FSelecting = true;
}

void cTextView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (FDragPending) {
        if ((p - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
            FDragPending = false;
            StartDrag();
        }
        return;
    }
    if (!FSelecting || !(event->buttons() & Qt::LeftButton))
        return;
    const int pos = cursorForPosition(p);
    if (const auto [wordStart, wordEnd] = FSelection.WordAnchor(); wordStart >= 0) {
        // After a double-click the selection grows by whole words.
        const auto [start, end] = WordAt(*FBuffer, pos);
        if (pos < wordStart)
            SetCaret(start, wordEnd);
        else
            SetCaret(std::max(end, wordEnd), wordStart);
    } else {
        SetCaret(pos, FSelection.Anchor());
    }
    if (viewport()->rect().contains(p)) {
        FAutoScroll.stop();
    } else {
        FAutoScrollPos = p;
        if (!FAutoScroll.isActive())
            FAutoScroll.start(AutoScrollMs, this);
    }
}

void cTextView::AutoScroll(const QPoint &viewportPos)
{
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        FAutoScroll.stop();
        return;
    }
    const QRect area = viewport()->rect();
    int rows = 0;
    if (viewportPos.y() < area.top())
        rows = -1;
    else if (viewportPos.y() > area.bottom())
        rows = 1;
    const cViewGeometry &geometry = Geometry();
    int left = geometry.Left();
    if (viewportPos.x() < area.left())
        left -= horizontalScrollBar()->singleStep();
    else if (viewportPos.x() > area.right())
        left += horizontalScrollBar()->singleStep();
    ScrollTo(geometry.MoveRows(geometry.Top(), rows), left);
    const QPoint inside(std::clamp(viewportPos.x(), area.left(), area.right()),
                        std::clamp(viewportPos.y(), area.top(), area.bottom()));
    SetCaret(cursorForPosition(inside), FSelection.Anchor());
}

void cTextView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    FAutoScroll.stop();
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!FReadOnly && clipboard->supportsSelection()) {
            const int pos = cursorForPosition(p);
            SetCaret(pos, pos);
            insertFromMimeData(clipboard->mimeData(QClipboard::Selection));
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (FDragPending) {
        FDragPending = false;
        const int pos = cursorForPosition(p);
        SetCaret(pos, pos);
    }
    if (FSelecting)
        FSelection.Publish();
    FSelecting = false;
}

void cTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    const auto [start, end] = WordAt(*FBuffer, cursorForPosition(p));
    SetCaret(end, start);
    FSelection.Publish();
    FLastDoubleClick.start();
    FDoubleClickPos = p;
    FDragPending = false;
    FSelecting = true;
    FSelection.SetWordAnchor({start, end});
}

// ---------------------------------------------------------------------------
// Drag and drop. Selected text moves (Ctrl: is copied) to where it is
// dropped, here or in another view or program; a move here is one undo
// step, and a move elsewhere takes the text out here once the drop is done.
// Files are not text to insert: their drags go on to the window.

namespace {

bool CarriesFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

void cTextView::StartDrag()
{
    const int start = selectionStart(), end = selectionEnd();
    const QString text = selectedText();
    auto *drag = new QDrag(this);
    drag->setMimeData(createMimeDataFromSelection());
    FDroppedOnSelf = false;
    const Qt::DropActions actions = FReadOnly ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    const Qt::DropAction action = drag->exec(actions, FReadOnly ? Qt::CopyAction : Qt::MoveAction);
    if (action != Qt::MoveAction || FDroppedOnSelf || FReadOnly)
        return;
    // Moved out: the text goes here, unless it changed meanwhile.
    if (end <= FBuffer->Length() && FBuffer->Text(start, end) == text) {
        if (FUndo)
            FUndo->BreakTyping();
        replaceRange(start, end, {});
    }
}

bool cTextView::AcceptsDrop(const QMimeData *data) const
{
    return !FReadOnly && !CarriesFiles(data) && canInsertFromMimeData(data);
}

void cTextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void cTextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    FDropCaret = cursorForPosition(event->position().toPoint());
    viewport()->update();
    event->acceptProposedAction();
}

void cTextView::dragLeaveEvent(QDragLeaveEvent *)
{
    FDropCaret = -1;
    viewport()->update();
}

void cTextView::dropEvent(QDropEvent *event)
{
    FDropCaret = -1;
    viewport()->update();
    if (!AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    int pos = cursorForPosition(event->position().toPoint());
    FDroppedOnSelf = event->source() == this;
    const bool move = FDroppedOnSelf && !(event->modifiers() & Qt::ControlModifier) &&
                      (event->possibleActions() & Qt::MoveAction);
    if (move) {
        if (pos >= selectionStart() && pos <= selectionEnd()) {
            event->acceptProposedAction();
            return;
        }
        const int start = selectionStart(), end = selectionEnd();
        const QString text = selectedText();
        std::optional<cUndoGroup> oneStep;
        if (FUndo)
            oneStep.emplace(*FUndo);
        replaceRange(start, end, {});
        if (pos > end)
            pos -= end - start;
        replaceRange(pos, pos, text);
        SetCaret(FSelection.Caret(), pos);
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    SetCaret(pos, pos);
    insertFromMimeData(event->mimeData());
    SetCaret(FSelection.Caret(), pos);
    event->acceptProposedAction();
}

// ---------------------------------------------------------------------------
// Input method

void cTextView::SetPreedit(const QString &text, const QList<QInputMethodEvent::Attribute> &attributes)
{
    QList<QTextLayout::FormatRange> formats;
    FPreeditCursor = int(text.size());
    for (const QInputMethodEvent::Attribute &a : attributes) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = a.value.value<QTextFormat>().toCharFormat();
            if (format.isValid())
                formats.append({a.start, a.length, format});
        } else if (a.type == QInputMethodEvent::Cursor) {
            FPreeditCursor = a.start;
        }
    }
    if (formats.isEmpty() && !text.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        formats.append({0, int(text.size()), underline});
    }
    FPreedit = text;
    FPreeditFormats = formats;
    FLayouts->SetPreedit(FSelection.Caret(), text, formats);
    viewport()->update();
}

void cTextView::inputMethodEvent(QInputMethodEvent *event)
{
    if (FReadOnly) {
        event->ignore();
        return;
    }
    SetPreedit({}, {});
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        int start = selectionStart(), end = selectionEnd();
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            start = std::clamp(FSelection.Caret() + event->replacementStart(), 0, FBuffer->Length());
            end = std::clamp(start + event->replacementLength(), start, FBuffer->Length());
        }
        replaceRange(start, end, commit);
    } else if (hasSelection() && !event->preeditString().isEmpty()) {
        replaceRange(selectionStart(), selectionEnd(), {});
    }
    SetPreedit(event->preeditString(), event->attributes());
    ensureCursorVisible();
    event->accept();
}

QVariant cTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const int line = FBuffer->LineFromPosition(FSelection.Caret());
    const int windowStart = std::max(FBuffer->LineStart(line), FSelection.Caret() - SurroundingReach);
    const int windowEnd = std::min(FBuffer->LineEnd(line), FSelection.Caret() + SurroundingReach);
    switch (query) {
    case Qt::ImEnabled:
        return !FReadOnly;
    case Qt::ImCursorRectangle:
        return cursorRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return FSelection.Caret() - windowStart;
    case Qt::ImAnchorPosition:
        return std::clamp(FSelection.Anchor(), windowStart, windowEnd) - windowStart;
    case Qt::ImSurroundingText:
        return FBuffer->Text(windowStart, windowEnd);
    case Qt::ImCurrentSelection:
        return FBuffer->Text(std::max(selectionStart(), windowStart), std::min(selectionEnd(), windowEnd));
    case Qt::ImReadOnly:
        return FReadOnly;
    case Qt::ImHints:
        return int(inputMethodHints());
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// ---------------------------------------------------------------------------
// Keeping step with the buffer

void cTextView::AdjustPositions(const tTextChange &change)
{
    const int removedEnd = change.Position + change.RemovedLength;
    auto adjust = [&](int p) {
        if (p <= change.Position)
            return p;
        if (p <= removedEnd)
            return change.Position;
        return p - change.RemovedLength + change.InsertedLength;
    };
    FSelection.AdjustPositions(change);
    for (tColorMark &m : FMarks) {
        m.Start = adjust(m.Start);
        m.End = adjust(m.End);
    }
    std::erase_if(FMarks, [](const tColorMark &m) { return m.Start >= m.End; });
    FDropCaret = -1;
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
    if (!FPreedit.isEmpty())
        FLayouts->SetPreedit(FSelection.Caret(), FPreedit, FPreeditFormats);
    // Text removed at the end does not leave the view scrolled past it.
    Geometry().KeepTopInRange();
    FMatchAll = {};
    UpdateUndoState();
    UpdateScrollBars();
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
    FPreedit.clear();
    FGeometry->Reset();
    FDropCaret = -1;
    UpdateUndoState();
    UpdateScrollBars();
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
