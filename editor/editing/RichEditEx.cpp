// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RichEditEx.h"

#include "editor/editing/WaitSt.h"
#include "editor/text/UnicodeClipboard.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

cWRichEditEx::cWRichEditEx(QWidget *parent) : cWRichEdit(parent) {}

// ---------------------------------------------------------------------------
// The extra undo level

// Made aside, so that a copy that fails leaves the last undo as it was.
void cWRichEditEx::Record(tUndoKind kind)
{
    tExtraUndoInfo undo;
    undo.Kind = kind;
    undo.State = usCanUndo;
    undo.SelStart = GetSelStart();
    undo.SelLength = GetSelLength();
    if (kind == ukSnapshot) {
        undo.Text = GetTextW();
        undo.Breaks = LineBreaks();
    } else if (kind == ukRemoved) {
        undo.Text = GetSelTextW();
        undo.Breaks = SelBreaks();
    } else {
        undo.ReplacedText = GetSelTextW();
        undo.ReplacedBreaks = SelBreaks();
    }
    FUndo = std::move(undo);
}

bool cWRichEditEx::RecordUndo(tUndoKind kind)
{
    if (FGroupDepth > 0)
        return false;
    Record(kind);
    return true;
}

// The group opens only once its snapshot is taken.
void cWRichEditEx::BeginSnapshot()
{
    if (FGroupDepth == 0) {
        tExtraUndoInfo before = FUndo;
        Record(ukSnapshot);
        FUndoBeforeGroup = std::move(before);
    }
    ++FGroupDepth;
}

// A group that changed nothing leaves the undo as it found it. One that
// changed the text leaves exactly one undo: keys typed inside it (a macro) are
// covered by the snapshot and must not also stay on the control's own record.
void cWRichEditEx::EndSnapshot()
{
    if (FGroupDepth == 0 || --FGroupDepth > 0)
        return;
    tExtraUndoInfo before = std::exchange(FUndoBeforeGroup, {});
    if (FUndo.State != usCanUndo || FUndo.Kind != ukSnapshot)
        return;
    if (TextEquals(FUndo.Text) && LineBreaks() == FUndo.Breaks)
        FUndo = std::move(before);
    else
        EmptyUndoBuffer();
}

void cWRichEditEx::InsertRecorded(const QString &text)
{
    const int start = GetSelStart();
    const bool recorded = RecordUndo(ukInserted);
    ReplaceSelAsTyped(text);
    if (recorded)
        FUndo.SelLength = GetSelStart() - start;
}

// Puts the recorded text back at its place and selects it.
void cWRichEditEx::Restore()
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cUpdateBracket update(WLines());
    SetSelStart(FUndo.SelStart);
    SetSelLength(int(FUndo.ReplacedText.size()));
    RestoreSel(FUndo.Text, FUndo.Breaks);
    SetSelStart(FUndo.SelStart);
    SetSelLength(FUndo.SelLength);
}

// Takes the recorded range out again, keeping it for the opposite step.
void cWRichEditEx::RemoveAgain()
{
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    const cUpdateBracket update(WLines());
    SetSelStart(FUndo.SelStart);
    SetSelLength(FUndo.SelLength);
    FUndo.Text = GetSelTextW();
    FUndo.Breaks = SelBreaks();
    RestoreSel(FUndo.ReplacedText, FUndo.ReplacedBreaks);
    SetSelStart(FUndo.SelStart);
    SetSelLength(int(FUndo.ReplacedText.size()));
}

// Exchanges the document with the snapshot, selection included.
void cWRichEditEx::Swap()
{
    const int start = GetSelStart();
    const int length = GetSelLength();
    QString current = GetTextW();
    std::vector<tLineBreak> currentBreaks = LineBreaks();
    {
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        const cUpdateBracket update(WLines());
        SetTextWithBreaks(FUndo.Text, FUndo.Breaks);
        SetSelStart(FUndo.SelStart);
        SetSelLength(FUndo.SelLength);
    }
    FUndo.Text = std::move(current);
    FUndo.Breaks = std::move(currentBreaks);
    FUndo.SelStart = start;
    FUndo.SelLength = length;
}

// The control's own record holds only edits made after the program's last
// change (a program change empties it), so when it has something, that is
// the most recent change: it is undone alone and the extra level is dropped.
void cWRichEditEx::WMUndo()
{
    if (isReadOnly())
        return;
    if (ControlCanUndo()) {
        if (FGroupDepth == 0)
            FUndo.State = usNothing;
        ControlUndo();
        return;
    }
    if (FUndo.State != usCanUndo)
        return;
    switch (FUndo.Kind) {
    case ukRemoved:
        Restore();
        break;
    case ukInserted:
        RemoveAgain();
        break;
    case ukSnapshot:
        Swap();
        break;
    }
    FUndo.State = usCanRedo;
}

void cWRichEditEx::EMRedo()
{
    if (isReadOnly())
        return;
    if (ControlCanRedo()) {
        if (FGroupDepth == 0)
            FUndo.State = usNothing;
        ControlRedo();
        return;
    }
    if (FUndo.State != usCanRedo)
        return;
    switch (FUndo.Kind) {
    case ukRemoved:
        RemoveAgain();
        break;
    case ukInserted:
        Restore();
        break;
    case ukSnapshot:
        Swap();
        break;
    }
    FUndo.State = usCanUndo;
}

bool cWRichEditEx::EMCanUndo()
{
    if (isReadOnly())
        return false;
    if (ControlCanUndo() && FGroupDepth == 0) {
        FUndo.State = usNothing;
        return true;
    }
    return FUndo.State == usCanUndo;
}

bool cWRichEditEx::EMCanRedo()
{
    if (isReadOnly())
        return false;
    if (ControlCanRedo() && FGroupDepth == 0) {
        FUndo.State = usNothing;
        return true;
    }
    return FUndo.State == usCanRedo;
}

// ---------------------------------------------------------------------------
// Clipboard

// An empty selection cuts nothing and keeps the record of the last change.
void cWRichEditEx::WMCut()
{
    if (isReadOnly() || GetSelLength() == 0)
        return;
    RecordUndo(ukRemoved);
    CutToClipboardW();
}

void cWRichEditEx::WMCopy()
{
    CopyToClipboardW();
}

void cWRichEditEx::WMPaste()
{
    if (isReadOnly())
        return;
    const QString text = WClipboard().FGetClipboardString();
    if (!text.isEmpty())
        InsertRecorded(text);
}

void cWRichEditEx::DeleteSelection()
{
    if (isReadOnly() || GetSelLength() == 0)
        return;
    RecordUndo(ukRemoved);
    SetSelTextW(QString());
}

// A middle-button paste of the primary selection, and text dropped from
// elsewhere, go on the extra level like any paste.
void cWRichEditEx::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source || !source->hasText())
        return;
    QString text = source->text();
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    if (!text.isEmpty())
        InsertRecorded(text);
}

// What the view hands out by itself (primary selection, drags) has the same
// line breaks as a copy.
QMimeData *cWRichEditEx::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(AdjustLineBreaksW(GetSelTextW()));
    return data;
}

// ---------------------------------------------------------------------------
// Colours, caret, focus

void cWRichEditEx::SetSelBackColor(const QColor &color)
{
    const int start = GetSelStart();
    SetCharColors(start, start + GetSelLength(), nullptr, &color);
}

void cWRichEditEx::SetSelTextColor(const QColor &color)
{
    const int start = GetSelStart();
    SetCharColors(start, start + GetSelLength(), &color, nullptr);
}

int cWRichEditEx::GetCaretLine() const
{
    return LineFromChar(-1);
}

int cWRichEditEx::GetCaretColumn() const
{
    return GetSelStart() - LineIndex(-1);
}

void cWRichEditEx::SetCaretPos(int column, int line)
{
    const int pos = LineIndex(line);
    if (pos >= 0)
        SetSelStart(pos + column);
}

void cWRichEditEx::GoToLine(int line)
{
    const int last = std::max(WLines().GetCount() - 1, 0);
    const int target = std::clamp(line, 0, last);
    SetCaretPos(std::min(GetCaretColumn(), LineLength(LineIndex(target))), target);
}

void cWRichEditEx::GoToColumn(int column)
{
    const int line = GetCaretLine();
    SetCaretPos(std::clamp(column, 0, LineLength(LineIndex(line))), line);
}

void cWRichEditEx::SetFocus()
{
    if (isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus)
        setFocus();
    LimitTextW(INT_MAX);
}

// ---------------------------------------------------------------------------
// Menu

QMenu *cWRichEditEx::CreateContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const bool editable = !isReadOnly();
    const bool selected = GetSelLength() > 0;
    auto add = [menu](const char *name, const QString &text, bool enabled, auto handler) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, handler);
    };
    add("miUndo", tr("&Undo\tCtrl+Z"), EMCanUndo(), [this] { WMUndo(); });
    add("miRedo", tr("&Redo\tShift+Ctrl+Z"), EMCanRedo(), [this] { EMRedo(); });
    menu->addSeparator();
    add("miCut", tr("Cu&t\tCtrl+X"), editable && selected, [this] { WMCut(); });
    add("miCopy", tr("&Copy\tCtrl+C"), selected, [this] { WMCopy(); });
    add("miPaste", tr("&Paste\tCtrl+V"), editable && !WClipboard().FGetClipboardString().isEmpty(),
        [this] { WMPaste(); });
    add("miDelete", tr("&Delete\tDel"), editable && selected, [this] { DeleteSelection(); });
    menu->addSeparator();
    add("miSelectAll", tr("Select &All\tCtrl+A"), GetTextLen() > 0, [this] { SetSel(0, -1); });
    return menu;
}

void cWRichEditEx::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(CreateContextMenu(this));
    menu->exec(event->globalPos());
}
