// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/KeyBindings.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

QKeyEvent Press(QKeyCombination key, const QString &text = {})
{
    return QKeyEvent(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
}

tKeyCommand CommandOf(QKeyCombination key, tKeyLayer layer, const QString &text = {})
{
    return KeyBindingOf(Press(key, text), layer).Command;
}

constexpr tKeyLayer Layers[] = {tKeyLayer::View, tKeyLayer::Editor, tKeyLayer::Document};

// Each layer adds keys of its own and takes over some of the view's; what it
// does not bind means what it means one layer down.
TEST(KeyBindings, EachLayerReadsItsOwnKeysFirstAndTheLowerLayersAfter)
{
    const QKeyCombination ctrlE(Qt::ControlModifier, Qt::Key_E), ctrlY(Qt::ControlModifier, Qt::Key_Y);
    const QKeyCombination ctrlShiftInsert(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Insert);
    EXPECT_EQ(CommandOf(ctrlShiftInsert, tKeyLayer::View), tKeyCommand::None);
    EXPECT_EQ(CommandOf(ctrlShiftInsert, tKeyLayer::Editor), tKeyCommand::None);
    EXPECT_EQ(CommandOf(ctrlShiftInsert, tKeyLayer::Document), tKeyCommand::Copy);
    EXPECT_EQ(CommandOf(ctrlY, tKeyLayer::Editor), tKeyCommand::Redo);
    EXPECT_EQ(CommandOf(ctrlY, tKeyLayer::Document), tKeyCommand::Redo);
    EXPECT_EQ(CommandOf(ctrlE, tKeyLayer::Editor), CommandOf(ctrlE, tKeyLayer::View));
    EXPECT_EQ(CommandOf(ctrlE, tKeyLayer::Document), tKeyCommand::ParagraphFormat);
    EXPECT_EQ(CommandOf(QKeyCombination(Qt::Key_F3), tKeyLayer::Editor), tKeyCommand::None);
    EXPECT_EQ(CommandOf(QKeyCombination(Qt::Key_F3), tKeyLayer::Document), tKeyCommand::FindNext);
    EXPECT_EQ(CommandOf(QKeyCombination(Qt::ControlModifier, Qt::Key_Tab), tKeyLayer::Document),
              tKeyCommand::SwitchTab);
    EXPECT_EQ(CommandOf(QKeyCombination(Qt::ShiftModifier, Qt::Key_Backtab), tKeyLayer::Document),
              tKeyCommand::ModifiedTab);
    for (const tKeyLayer layer : Layers) {
        EXPECT_EQ(CommandOf(QKeyCombination(Qt::Key_A), layer, QStringLiteral("a")), tKeyCommand::None);
        EXPECT_EQ(CommandOf(QKeyCombination(Qt::ShiftModifier, Qt::Key_Return), layer), tKeyCommand::NewLine);
        const tKeyBinding home = KeyBindingOf(Press(QKeyCombination(Qt::ShiftModifier, Qt::Key_Home)), layer);
        EXPECT_EQ(home.Command, tKeyCommand::Select);
        EXPECT_EQ(home.Move, tCaretMove::LineStart);
    }

    // Clipboard keys stay with the bare view, go to the window's menu first
    // from the extended edit; typed text stays everywhere.
    const QKeyEvent copy = Press(QKeyCombination(Qt::ControlModifier, Qt::Key_C));
    EXPECT_TRUE(ClaimsKey(copy, tKeyLayer::View));
    EXPECT_FALSE(ClaimsKey(copy, tKeyLayer::Editor));
    EXPECT_FALSE(ClaimsKey(copy, tKeyLayer::Document));
    for (const tKeyLayer layer : Layers) {
        EXPECT_TRUE(ClaimsKey(Press(QKeyCombination(Qt::Key_A), QStringLiteral("a")), layer));
        EXPECT_FALSE(ClaimsKey(Press(QKeyCombination(Qt::Key_F3)), layer));
    }
}

// A command run from a menu is recorded into a macro as its key: that key
// must come back as the same command, or a replay would do something else.
TEST(KeyBindings, TheKeyOfACommandMeansThatCommand)
{
    int keyed = 0;
    for (int c = 0; c <= int(tKeyCommand::ParagraphFormat); ++c) {
        const auto command = tKeyCommand(c);
        for (const tKeyLayer layer : Layers) {
            const QKeyCombination key = KeyOfCommand(command, layer);
            if (key.key() == Qt::Key_unknown)
                continue;
            ++keyed;
            EXPECT_EQ(CommandOf(key, layer), command)
                << "command " << c << " layer " << int(layer) << " key " << key.toCombined();
        }
    }
    EXPECT_GE(keyed, 10);
    EXPECT_EQ(KeyOfCommand(tKeyCommand::FindNext, tKeyLayer::Document), QKeyCombination(Qt::Key_F3));
    EXPECT_EQ(KeyOfCommand(tKeyCommand::ChangeCase, tKeyLayer::Document), QKeyCombination(Qt::Key_F4));
}

} // namespace
