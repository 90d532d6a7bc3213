// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor control of every document: clipboard through the Unicode
// clipboard, one extra undo level for the program's own changes, caret
// lines and columns.
#include "editor/editing/UnicodeControls.h"

#include <QColor>
#include <QString>

class QMenu;

enum tUndoState : quint8
{
    usNothing = 0, // nothing recorded
    usCanUndo = 1, // the recorded change can be undone
    usCanRedo = 2  // the recorded change is undone and can be redone
};

enum tUndoKind : quint8
{
    ukRemoved = 0,  // cut, delete
    ukInserted = 1, // paste
    ukSnapshot = 2  // whole text, around a command of many steps
};

// The extra undo level, copied whole.
struct tExtraUndoInfo
{
    tUndoState State = usNothing;
    tUndoKind Kind = ukRemoved;
    // ukRemoved: the removed text; ukSnapshot: the whole other text;
    // ukInserted: empty until undone, then the pasted text.
    QString Text;
    qint32 SelStart = 0;
    // ukInserted: the length of the pasted text.
    qint32 SelLength = 0;
    // ukInserted: the selection the paste replaced, so that undo gives it back.
    QString ReplacedText;
    // The break of each paragraph mark in Text, and in ReplacedText: what
    // comes back comes back as it was.
    std::vector<tLineBreak> Breaks;
    std::vector<tLineBreak> ReplacedBreaks;
};

// Every path by which the control would cut, copy, paste, undo or redo on its
// own comes here: keys, the context menu, middle-click paste, text dropped
// from elsewhere (a paste where it falls). Text dragged within the control
// moves as one step of the control's own undo; drags of files pass to the
// window, which opens them.
//
// The control reads the editor layer of the key table: more clipboard and
// undo keys, which it leaves to the window's shortcuts first, so the main
// window's actions see them; without such an action the key reaches the
// control and these handlers.
class cWRichEditEx : public cWRichEdit
{
    Q_OBJECT
public:
    explicit cWRichEditEx(QWidget *parent = nullptr);

    // Records the selection (or, for a snapshot, the whole text) as the one
    // extra undo level. False while a snapshot group is open: the snapshot
    // already covers the change.
    bool RecordUndo(tUndoKind kind);
    // Brackets a command of many steps so that one undo reverts it. Groups
    // nest; only the outermost records and compares.
    void BeginSnapshot();
    void EndSnapshot();
    int GroupDepth() const noexcept { return FGroupDepth; }

    void DeleteSelection();
    // View-only colours of the selection: the text stays plain, undo is untouched.
    void SetSelBackColor(const QColor &color);
    void SetSelTextColor(const QColor &color);

    // The caret is the selection start; lines and columns are 0-based.
    int GetCaretLine() const;
    int GetCaretColumn() const;
    void SetCaretPos(int column, int line);
    // Clamped to the counted lines and to the line's length.
    void GoToLine(int line);
    void GoToColumn(int column);

    // What the main window calls.
    bool CanUndo() { return EMCanUndo(); }
    bool CanRedo() { return EMCanRedo(); }
    void Undo() { WMUndo(); }
    void Redo() { EMRedo(); }

    // Message handlers. A read-only control copies but changes nothing.
    void WMCut();
    void WMCopy();
    void WMPaste();
    void WMUndo();
    void EMRedo();
    bool EMCanUndo();
    bool EMCanRedo();

    // Focus when the control can take it; the text limit is lifted in any case.
    void SetFocus();

    // The context menu; its actions call the handlers above. Caller owns it.
    QMenu *CreateContextMenu(QWidget *parent);

    // The view's own clipboard and undo paths lead to the handlers above.
    void cut() override { WMCut(); }
    void copy() override { WMCopy(); }
    void paste() override { WMPaste(); }
    void undo() override { WMUndo(); }
    void redo() override { EMRedo(); }

protected:
    tKeyLayer KeyLayer() const override { return tKeyLayer::Editor; }
    void contextMenuEvent(QContextMenuEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    QMenu *createStandardContextMenu() override { return CreateContextMenu(this); }

private:
    void Record(tUndoKind kind);
    void InsertRecorded(const QString &text);
    void Restore();
    void RemoveAgain();
    void Swap();

    tExtraUndoInfo FUndo;
    tExtraUndoInfo FUndoBeforeGroup; // given back by a group that changed nothing
    int FGroupDepth = 0;
};

// Keeps a snapshot group open for a scope, so that every way out closes it.
class cSnapshotBracket
{
public:
    explicit cSnapshotBracket(cWRichEditEx &editor) : FEditor(editor) { FEditor.BeginSnapshot(); }
    ~cSnapshotBracket()
    {
        try {
            FEditor.EndSnapshot();
        } catch (...) {
            // The group is closed before anything can fail; a failed comparison only keeps the undo.
        }
    }
    cSnapshotBracket(const cSnapshotBracket &) = delete;
    cSnapshotBracket &operator=(const cSnapshotBracket &) = delete;

private:
    cWRichEditEx &FEditor;
};
