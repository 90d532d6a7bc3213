// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one table where a key becomes a command. The view runs the commands it
// knows; the extended edit and the document each add a layer of keys and
// run the commands of their layer (see cTextView::RunKeyCommand).
#include <QKeyCombination>
#include <QString>
#include <QtGlobal>

class QKeyEvent;

enum class tCaretMove : quint8
{
    Left,
    Right,
    WordLeft,
    WordRight,
    Up,
    Down,
    PageUp,
    PageDown,
    LineStart,
    LineEnd,
    Start,
    End
};

enum class tKeyCommand : quint8
{
    // Not a command: the key types its text, if it has any.
    None,
    Move,   // the caret moves (tKeyBinding::Move)
    Select, // the caret moves and the anchor stays
    DeleteBack,
    DeleteForward,
    DeleteWordBack,
    DeleteWordForward,
    NewLine,
    Cut,
    Copy,
    Paste,
    Undo,
    Redo,
    SelectAll,
    // Escape: the matches of a find lose their colours.
    ClearHighlight,
    // The document's layer.
    FindNext,
    ChangeCase,
    ToggleOverwrite,
    // Ctrl+Tab and Ctrl+Shift+Tab: the tabs around the document.
    SwitchTab,
    // Tab with another modifier: types nothing.
    ModifiedTab,
    // The paragraph formatting keys of a rich text control: plain text has none.
    ParagraphFormat,
};

// Who reads the table: each layer has its own keys and those below it, and
// its keys come first.
enum class tKeyLayer : quint8
{
    View,     // the bare text view
    Editor,   // the extended edit: more clipboard and undo keys
    Document, // a document: find, case, overwrite, tabs
};

struct tKeyBinding
{
    tKeyCommand Command = tKeyCommand::None;
    tCaretMove Move = tCaretMove::Left; // of Move and Select
};

// The first binding of Key among those Layer reads.
tKeyBinding KeyBindingOf(const QKeyEvent &key, tKeyLayer layer);

// The first key bound to Command without a rule of its own, for a command
// run from a menu that a macro records as its key; none for a move.
QKeyCombination KeyOfCommand(tKeyCommand command, tKeyLayer layer);

// Whether a control of Layer takes Key before the window's shortcuts: the
// view takes the keys it types and its own editing and word keys; the
// extended edit leaves its clipboard and undo keys to the window's menu.
bool ClaimsKey(const QKeyEvent &key, tKeyLayer layer);

// Text a key types: anything but a control character (a tab is text).
bool IsTypedText(const QString &text);
