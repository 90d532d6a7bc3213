// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/KeyBindings.h"

#include <QKeyEvent>
#include <QKeySequence>

#include <algorithm>
#include <iterator>

namespace {

constexpr Qt::KeyboardModifiers CommandModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

enum class tMatch : quint8
{
    Standard, // the platform's keys of a standard key
    Exact,    // Key with exactly Modifiers (of Shift, Ctrl, Alt, Meta)
    Special,  // a rule of its own (Special)
};

enum class tSpecial : quint8
{
    Escape,           // with no modifier but the keypad's
    Backspace,        // alone or with Shift
    Enter,            // Return or Enter, with no Ctrl, Alt or Meta
    CtrlTab,          // Tab or Backtab with Ctrl
    OtherModifiedTab, // Backtab, or Tab with a modifier, without Ctrl
};

struct tEntry
{
    tKeyLayer Layer;
    tMatch Match;
    tKeyBinding Binding;
    QKeySequence::StandardKey Standard = QKeySequence::UnknownKey;
    int Key = 0;
    Qt::KeyboardModifiers Modifiers = {};
    tSpecial Special = tSpecial::Escape;
    // The view takes this key before the window's shortcuts.
    bool Claimed = false;
};

using enum tKeyCommand;
using enum tCaretMove;
using L = tKeyLayer;

constexpr auto Ctrl = Qt::ControlModifier, Shift = Qt::ShiftModifier;

tEntry Std(L layer, QKeySequence::StandardKey key, tKeyCommand command, bool claimed = false)
{
    return {layer, tMatch::Standard, {command}, key, 0, {}, {}, claimed};
}

tEntry MoveStd(QKeySequence::StandardKey key, tKeyCommand command, tCaretMove move, bool claimed = false)
{
    return {L::View, tMatch::Standard, {command, move}, key, 0, {}, {}, claimed};
}

tEntry Exact(L layer, int key, Qt::KeyboardModifiers modifiers, tKeyCommand command)
{
    return {layer, tMatch::Exact, {command}, QKeySequence::UnknownKey, key, modifiers};
}

tEntry Rule(L layer, tSpecial special, tKeyCommand command)
{
    return {layer, tMatch::Special, {command}, QKeySequence::UnknownKey, 0, {}, special};
}

// In order: a layer's keys before those of the layers below it, and within
// a layer the first binding of a key wins.
const std::vector<tEntry> &Table()
{
    static const std::vector<tEntry> table = {
        // The document
        Rule(L::Document, tSpecial::CtrlTab, SwitchTab),
        Rule(L::Document, tSpecial::OtherModifiedTab, ModifiedTab),
        Exact(L::Document, Qt::Key_L, Ctrl | Shift, ParagraphFormat),
        Exact(L::Document, Qt::Key_R, Ctrl, ParagraphFormat),
        Exact(L::Document, Qt::Key_L, Ctrl, ParagraphFormat),
        Exact(L::Document, Qt::Key_E, Ctrl, ParagraphFormat),
        Exact(L::Document, Qt::Key_Insert, Ctrl | Shift, Copy),
        Exact(L::Document, Qt::Key_V, Ctrl | Shift, Paste),
        Exact(L::Document, Qt::Key_F3, {}, FindNext),
        Exact(L::Document, Qt::Key_F4, {}, ChangeCase),
        Exact(L::Document, Qt::Key_Insert, {}, ToggleOverwrite),
        // The extended edit: the standard clipboard and undo keys and the
        // ones every Linux user also expects, whatever the desktop says.
        Std(L::Editor, QKeySequence::Cut, Cut),
        Exact(L::Editor, Qt::Key_X, Ctrl, Cut),
        Exact(L::Editor, Qt::Key_Delete, Shift, Cut),
        Std(L::Editor, QKeySequence::Copy, Copy),
        Exact(L::Editor, Qt::Key_C, Ctrl, Copy),
        Exact(L::Editor, Qt::Key_Insert, Ctrl, Copy),
        Std(L::Editor, QKeySequence::Paste, Paste),
        Exact(L::Editor, Qt::Key_V, Ctrl, Paste),
        Exact(L::Editor, Qt::Key_Insert, Shift, Paste),
        Std(L::Editor, QKeySequence::Redo, Redo),
        Exact(L::Editor, Qt::Key_Y, Ctrl, Redo),
        Exact(L::Editor, Qt::Key_Z, Ctrl | Shift, Redo),
        Std(L::Editor, QKeySequence::Undo, Undo),
        Exact(L::Editor, Qt::Key_Z, Ctrl, Undo),
        // The view
        Rule(L::View, tSpecial::Escape, ClearHighlight),
        MoveStd(QKeySequence::MoveToPreviousChar, Move, Left),
        MoveStd(QKeySequence::MoveToNextChar, Move, Right),
        MoveStd(QKeySequence::MoveToPreviousWord, Move, WordLeft, true),
        MoveStd(QKeySequence::MoveToNextWord, Move, WordRight, true),
        MoveStd(QKeySequence::MoveToPreviousLine, Move, Up),
        MoveStd(QKeySequence::MoveToNextLine, Move, Down),
        MoveStd(QKeySequence::MoveToPreviousPage, Move, PageUp),
        MoveStd(QKeySequence::MoveToNextPage, Move, PageDown),
        MoveStd(QKeySequence::MoveToStartOfLine, Move, LineStart),
        MoveStd(QKeySequence::MoveToEndOfLine, Move, LineEnd),
        MoveStd(QKeySequence::MoveToStartOfBlock, Move, LineStart),
        MoveStd(QKeySequence::MoveToEndOfBlock, Move, LineEnd),
        MoveStd(QKeySequence::MoveToStartOfDocument, Move, Start, true),
        MoveStd(QKeySequence::MoveToEndOfDocument, Move, End, true),
        MoveStd(QKeySequence::SelectPreviousChar, Select, Left),
        MoveStd(QKeySequence::SelectNextChar, Select, Right),
        MoveStd(QKeySequence::SelectPreviousWord, Select, WordLeft, true),
        MoveStd(QKeySequence::SelectNextWord, Select, WordRight, true),
        MoveStd(QKeySequence::SelectPreviousLine, Select, Up),
        MoveStd(QKeySequence::SelectNextLine, Select, Down),
        MoveStd(QKeySequence::SelectPreviousPage, Select, PageUp),
        MoveStd(QKeySequence::SelectNextPage, Select, PageDown),
        MoveStd(QKeySequence::SelectStartOfLine, Select, LineStart),
        MoveStd(QKeySequence::SelectEndOfLine, Select, LineEnd),
        MoveStd(QKeySequence::SelectStartOfBlock, Select, LineStart),
        MoveStd(QKeySequence::SelectEndOfBlock, Select, LineEnd),
        MoveStd(QKeySequence::SelectStartOfDocument, Select, Start, true),
        MoveStd(QKeySequence::SelectEndOfDocument, Select, End, true),
        Std(L::View, QKeySequence::Cut, Cut, true),
        Std(L::View, QKeySequence::Copy, Copy, true),
        Std(L::View, QKeySequence::Paste, Paste, true),
        Std(L::View, QKeySequence::Undo, Undo, true),
        Std(L::View, QKeySequence::Redo, Redo, true),
        Std(L::View, QKeySequence::SelectAll, SelectAll, true),
        Std(L::View, QKeySequence::DeleteStartOfWord, DeleteWordBack, true),
        Std(L::View, QKeySequence::DeleteEndOfWord, DeleteWordForward, true),
        Rule(L::View, tSpecial::Backspace, DeleteBack),
        Std(L::View, QKeySequence::Delete, DeleteForward),
        Rule(L::View, tSpecial::Enter, NewLine),
    };
    return table;
}

bool IsTab(int key)
{
    return key == Qt::Key_Tab || key == Qt::Key_Backtab;
}

bool SpecialMatches(tSpecial special, const QKeyEvent &key)
{
    const Qt::KeyboardModifiers mods = key.modifiers();
    switch (special) {
    case tSpecial::Escape:
        return key.key() == Qt::Key_Escape && !(mods & ~Qt::KeypadModifier);
    case tSpecial::Backspace:
        return key.key() == Qt::Key_Backspace && !(mods & ~Qt::ShiftModifier);
    case tSpecial::Enter:
        return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
               !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    case tSpecial::CtrlTab:
        return IsTab(key.key()) && (mods & Qt::ControlModifier);
    case tSpecial::OtherModifiedTab:
        return (key.key() == Qt::Key_Backtab || (key.key() == Qt::Key_Tab && (mods & CommandModifiers))) &&
               !(mods & Qt::ControlModifier);
    }
    return false;
}

bool Matches(const tEntry &entry, const QKeyEvent &key)
{
    switch (entry.Match) {
    case tMatch::Standard:
        return key.matches(entry.Standard);
    case tMatch::Exact:
        return key.key() == entry.Key && (key.modifiers() & CommandModifiers) == entry.Modifiers;
    case tMatch::Special:
        return SpecialMatches(entry.Special, key);
    }
    return false;
}

bool Reads(tKeyLayer reader, tKeyLayer entry)
{
    return int(entry) <= int(reader);
}

} // namespace

bool IsTypedText(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    return c == u'\t' || c.category() != QChar::Other_Control;
}

tKeyBinding KeyBindingOf(const QKeyEvent &key, tKeyLayer layer)
{
    for (const tEntry &entry : Table())
        if (Reads(layer, entry.Layer) && Matches(entry, key))
            return entry.Binding;
    return {};
}

QKeyCombination KeyOfCommand(tKeyCommand command, tKeyLayer layer)
{
    for (const tEntry &entry : Table())
        if (Reads(layer, entry.Layer) && entry.Match == tMatch::Exact && entry.Binding.Command == command)
            return QKeyCombination(entry.Modifiers, Qt::Key(entry.Key));
    return QKeyCombination(Qt::Key_unknown);
}

bool ClaimsKey(const QKeyEvent &key, tKeyLayer layer)
{
    const std::vector<tEntry> &table = Table();
    auto matching = [&](tKeyLayer of) {
        return [&key, of](const tEntry &entry) { return entry.Layer == of && Matches(entry, key); };
    };
    // The extended edit's keys go to the window's menu first.
    if (Reads(layer, tKeyLayer::Editor) &&
        std::any_of(table.begin(), table.end(), matching(tKeyLayer::Editor)))
        return false;
    const bool plain = !(key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    if (plain && IsTypedText(key.text()))
        return true;
    return std::any_of(table.begin(), table.end(), [&key](const tEntry &entry) {
        return entry.Layer == tKeyLayer::View && entry.Claimed && Matches(entry, key);
    });
}
