// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/KbdMacros.h"

#include "editor/editing/Editors.h"

#include "editor/platform/VirtualKeys.h"

#include <QAction>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

namespace {

// The program's own document, feeding the recorder as a document in a tab does.
class cRecordingEdit : public cEditor
{
public:
    explicit cRecordingEdit(cKeyMacro &macro) { KeyMacro = &macro; }
    QString Text() const { return GetTextW(); }
};

void Type(QWidget *w, const QString &keys, Qt::KeyboardModifiers modifiers = {})
{
    for (const QChar c : keys)
        QTest::keyClick(w, Qt::Key(c.toUpper().unicode()), modifiers);
}

// A key-down and key-up as the platform delivers them: key code and text.
void Click(QWidget *w, int key, const QString &text, Qt::KeyboardModifiers modifiers = {})
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key(key), text, modifiers);
}

TEST(KeyMacro, TypedKeysReplayIntoAnotherEmptyDocument)
{
    cKeyMacro macro;
    cRecordingEdit typed(macro);
    macro.Start();
    Type(&typed, QStringLiteral("ab"));
    QTest::keyClick(&typed, Qt::Key_Return);
    macro.Stop();
    EXPECT_EQ(macro.Count(), 6); // a key-down and a key-up each
    EXPECT_TRUE(macro.HasMacro());

    cRecordingEdit replayed(macro);
    macro.Play(&replayed);
    EXPECT_EQ(replayed.Text(), QStringLiteral("ab\r"));
    EXPECT_EQ(replayed.LineCount(), 2);
}

TEST(KeyMacro, ShiftOfTheRecordingMakesCapitalsWithoutShiftHeldAtPlayback)
{
    cKeyMacro macro;
    cRecordingEdit typed(macro);
    macro.Start();
    Click(&typed, Qt::Key_A, QStringLiteral("A"), Qt::ShiftModifier);
    Click(&typed, Qt::Key_B, QStringLiteral("B"), Qt::ShiftModifier);
    Click(&typed, Qt::Key_Exclam, QStringLiteral("!"), Qt::ShiftModifier);
    Type(&typed, QStringLiteral("c"));
    macro.Stop();
    EXPECT_TRUE(std::ranges::all_of(macro.Keys(), [](const tMacroKey &key) { return key.Flags != 0; }))
        << "the US layout's keys need nothing but their key entries";

    ASSERT_EQ(QGuiApplication::queryKeyboardModifiers(), Qt::NoModifier);
    cRecordingEdit replayed(macro);
    macro.Play(&replayed);
    EXPECT_EQ(replayed.Text(), QStringLiteral("AB!c"));
}

TEST(KeyMacro, AfterPlaybackOnlyTheShiftHeldByTheUserIsDown)
{
    cKeyMacro macro;
    macro.Start();
    // Shift goes down in the macro and never comes up again.
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier));
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::ShiftModifier, QStringLiteral("X")));
    macro.Stop();
    cEditor edit;
    macro.Play(&edit);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("X"));
    EXPECT_FALSE(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));

    cKeyMacro plain;
    plain.Start();
    plain.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y")));
    plain.Stop();
    QTest::keyPress(&edit, Qt::Key_Shift, Qt::ShiftModifier); // and held
    plain.Play(&edit);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("Xy"));
    EXPECT_TRUE(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
}

TEST(KeyMacro, StartDiscardsThePreviousMacroButNotTheRunningOne)
{
    cKeyMacro macro;
    cRecordingEdit edit(macro);
    macro.Start();
    Type(&edit, QStringLiteral("x"));
    macro.Start(); // while recording: keeps what it has
    EXPECT_EQ(macro.Count(), 2);
    macro.Stop();

    macro.Start();
    macro.Stop();
    EXPECT_FALSE(macro.HasMacro());
    EXPECT_EQ(macro.Count(), 0);
    EXPECT_TRUE(macro.Keys().isEmpty());
}

TEST(KeyMacro, NothingIsRecordedOutsideARecordingOrFromOtherEvents)
{
    cKeyMacro macro;
    cRecordingEdit edit(macro);
    Type(&edit, QStringLiteral("q"));
    EXPECT_FALSE(macro.HasMacro());
    macro.Start();
    macro.Record(QKeyEvent(QEvent::ShortcutOverride, Qt::Key_Q, Qt::NoModifier));
    EXPECT_FALSE(macro.HasMacro());
}

TEST(KeyMacro, EntryLayoutAndEncodingOfAKeyMessage)
{
    EXPECT_EQ(sizeof(tMacroKey), 6u);
    EXPECT_EQ(offsetof(tMacroKey, KeyData), 0u);
    EXPECT_EQ(offsetof(tMacroKey, Flags), 4u);
    EXPECT_EQ(offsetof(tMacroKey, VirtualKey), 5u);

    cKeyMacro macro;
    macro.Start();
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, 30 + 8, 0, 0,
                           QStringLiteral("\x01")));
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::AltModifier));
    macro.Record(QKeyEvent(QEvent::KeyRelease, Qt::Key_Left, Qt::AltModifier));
    ASSERT_EQ(macro.Count(), 3);

    const tMacroKey down = macro.Keys()[0];
    EXPECT_EQ(down.Flags, 0b0000'1110); // key-down, Shift, Ctrl
    EXPECT_EQ(down.VirtualKey, 'A');
    EXPECT_EQ(down.KeyData, 1u | (30u << 16)); // repeat count 1, scan code 30

    const tMacroKey up = macro.Keys()[2];
    EXPECT_EQ(up.Flags, 0b0001'0001); // key-up, Alt
    EXPECT_EQ(up.VirtualKey, VK_LEFT);
    EXPECT_EQ(up.KeyData, 1u | KeyDataExtended | KeyDataPreviousDown | KeyDataTransitionUp);
}

// Whatever the layout made of a key, and text that came without one, plays
// back as it was typed: the replay does not depend on the one table of keys.
TEST(KeyMacro, KeysOfAnyLayoutAndTextWithoutAKeyReplayExactly)
{
    cKeyMacro macro;
    cRecordingEdit typed(macro);
    macro.Start();
    // Keys outside the US table.
    Click(&typed, Qt::Key_A, QStringLiteral("a"));
    Click(&typed, Qt::Key_Udiaeresis, QStringLiteral("\u00fc"));
    Click(&typed, Qt::Key_B, QStringLiteral("b"));
    Click(&typed, 0x20AC, QStringLiteral("\u20ac"));
    Click(&typed, Qt::Key_Ccedilla, QStringLiteral("\u00e7"));
    Click(&typed, Qt::Key_Semicolon, QStringLiteral(";"));
    Click(&typed, Qt::Key_Colon, QStringLiteral(":"), Qt::ShiftModifier);
    // A German layout: its own letters, and keys the US table reads otherwise.
    Click(&typed, Qt::Key_Odiaeresis, QStringLiteral("\u00f6"));
    Click(&typed, Qt::Key_Odiaeresis, QStringLiteral("\u00d6"), Qt::ShiftModifier);
    Click(&typed, Qt::Key_ssharp, QStringLiteral("\u00df"));
    Click(&typed, Qt::Key_Slash, QStringLiteral("/"), Qt::ShiftModifier);
    Click(&typed, Qt::Key_At, QStringLiteral("@"), Qt::GroupSwitchModifier);
    Click(&typed, Qt::Key_Z, QStringLiteral("z"));
    // Caps Lock on: the letter's text, not the table's.
    Click(&typed, Qt::Key_Q, QStringLiteral("Q"));
    // Text without a key code, a surrogate pair included.
    Click(&typed, 0, QStringLiteral("\u00e9"));
    Click(&typed, Qt::Key_unknown, QStringLiteral("\u2713\U0001D11E"));
    // An input method's commit; text still being composed is not input.
    QInputMethodEvent composing(QStringLiteral("ni"), {});
    QCoreApplication::sendEvent(&typed, &composing);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u65e5\u672c"));
    QCoreApplication::sendEvent(&typed, &commit);
    macro.Stop();

    const QString expected =
        QStringLiteral("a\u00fcb\u20ac\u00e7;:\u00f6\u00d6\u00df/@zQ\u00e9\u2713\U0001D11E\u65e5\u672c");
    ASSERT_EQ(typed.Text().toStdString(), expected.toStdString());
    cRecordingEdit replayed(macro);
    macro.Play(&replayed);
    EXPECT_EQ(replayed.Text().toStdString(), expected.toStdString());
    macro.Play(&replayed);
    EXPECT_EQ(replayed.Text().toStdString(), (expected + expected).toStdString());
}

// The key entries keep their layout and meaning; what else a key needs comes
// after it in entries that stand for no message.
TEST(KeyMacro, TextAndKeyCodeFollowTheirKeyInEntriesOfNoMessage)
{
    cKeyMacro macro;
    macro.Start();
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Udiaeresis, Qt::ShiftModifier, 34 + 8, 0, 0,
                           QStringLiteral("\u00dc")));
    macro.Record(QKeyEvent(QEvent::KeyRelease, Qt::Key_Udiaeresis, Qt::ShiftModifier, 34 + 8, 0, 0,
                           QStringLiteral("\u00dc")));
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    macro.Stop();
    ASSERT_EQ(macro.Count(), 6);
    const QList<tMacroKey> &keys = macro.Keys();
    EXPECT_EQ(keys[0].Flags, 0b0000'0110); // key-down, Shift
    EXPECT_EQ(keys[0].VirtualKey, 0);
    EXPECT_EQ(keys[0].KeyData, 1u | (34u << 16));
    EXPECT_EQ(keys[1].Flags, 0);
    EXPECT_EQ(keys[1].VirtualKey, MacroTextUnit);
    EXPECT_EQ(keys[1].KeyData, MacroTextUnitBit | 0xDC);
    EXPECT_EQ(keys[2].Flags, 0);
    EXPECT_EQ(keys[2].VirtualKey, MacroQtKey);
    EXPECT_EQ(keys[2].KeyData, std::uint32_t(Qt::Key_Udiaeresis));
    EXPECT_EQ(keys[3].Flags, 0b0000'0101); // key-up, Shift: nothing follows it
    EXPECT_EQ(keys[4].VirtualKey, 'A');
    // A key that came without its text replays without it.
    EXPECT_EQ(keys[5].Flags, 0);
    EXPECT_EQ(keys[5].VirtualKey, MacroTextUnit);
    EXPECT_EQ(keys[5].KeyData, 0u);

    cEditor edit;
    macro.Play(&edit);
    EXPECT_EQ(edit.GetTextW(), QStringLiteral("\u00dc"));
}

TEST(KeyMacro, PlaysIntoHiddenAndInactiveWindows)
{
    cKeyMacro macro;
    cRecordingEdit typed(macro);
    macro.Start();
    Type(&typed, QStringLiteral("hi"));
    macro.Stop();

    cRecordingEdit hidden(macro); // never shown, like a document on an inactive tab
    macro.Play(&hidden);
    EXPECT_EQ(hidden.Text(), QStringLiteral("hi"));

    QMainWindow window;
    auto *active = new cEditor;
    auto *other = new cEditor;
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(active);
    layout->addWidget(other);
    window.setCentralWidget(box);
    window.show();
    active->setFocus();
    macro.Play(other);
    EXPECT_EQ(other->GetTextW(), QStringLiteral("hi"));
    EXPECT_TRUE(active->GetTextW().isEmpty());
}

// Replayed keys reach the document's own keys (F4 applies the chosen case),
// and a window shortcut claims a replayed key as it claims a typed one.
TEST(KeyMacro, ReplayedKeysTakeTheWayOfTypedKeys)
{
    SetDocumentDialogs({{}, [](bool) { return 2; }}); // UPPER
    cKeyMacro macro;
    QMainWindow window;
    auto *edit = new cRecordingEdit(macro);
    window.setCentralWidget(edit);
    int shortcutCount = 0;
    QAction action(QStringLiteral("F5 command"), &window);
    action.setShortcut(Qt::Key_F5);
    window.addAction(&action);
    QObject::connect(&action, &QAction::triggered, [&] { ++shortcutCount; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    edit->SetTextW(QStringLiteral("one\rtwo"));
    edit->SetSel(0, 0);

    // Change Case To from the menu is recorded as its key.
    macro.Start();
    edit->RunMenuCommand(tKeyCommand::ChangeCase);
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
    macro.Stop();
    ASSERT_EQ(edit->Text(), QStringLiteral("ONE\rtwo"));
    edit->SetTextW(QStringLiteral("one\rtwo"));
    edit->SetSel(0, 0);
    macro.Play(edit);
    SetDocumentDialogs({});
    EXPECT_EQ(edit->Text(), QStringLiteral("ONE\rtwo"));
    EXPECT_EQ(shortcutCount, 1);
}

TEST(KeyMacro, PlaybackStopsWhenAKeyDestroysTheWindow)
{
    cKeyMacro macro;
    macro.Start();
    for (int i = 0; i < 3; ++i)
        macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z")));
    macro.Stop();

    class cClosingEdit : public cEditor
    {
    public:
        int *Counter = nullptr;

    protected:
        void keyPressEvent(QKeyEvent *) override
        {
            ++*Counter;
            deleteLater();
        }
    };
    int keys = 0;
    auto *edit = new cClosingEdit;
    edit->Counter = &keys;
    macro.Play(edit);
    EXPECT_EQ(keys, 1);
}

} // namespace
