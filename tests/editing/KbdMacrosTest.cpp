#include "editor/editing/KbdMacros.h"

#include "editor/platform/VirtualKeys.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cstddef>

namespace {

// Feeds the recorder from its event handler before handling the key, as the
// documents do; F3 is handled by the edit itself, like the document's Find Next.
class cRecordingEdit : public QPlainTextEdit
{
public:
    explicit cRecordingEdit(cKeyMacro &macro) : FMacro(macro) {}
    int FindNextCount = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
            FMacro.Record(*static_cast<QKeyEvent *>(e));
        return QPlainTextEdit::event(e);
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_F3 && e->modifiers() == Qt::NoModifier) {
            ++FindNextCount;
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }

private:
    cKeyMacro &FMacro;
};

void Type(QWidget *w, const QString &keys, Qt::KeyboardModifiers modifiers = {})
{
    for (const QChar c : keys)
        QTest::keyClick(w, Qt::Key(c.toUpper().unicode()), modifiers);
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
    EXPECT_EQ(replayed.toPlainText(), QStringLiteral("ab\n"));
    EXPECT_EQ(replayed.document()->blockCount(), 2);
}

TEST(KeyMacro, ShiftOfTheRecordingMakesCapitalsWithoutShiftHeldAtPlayback)
{
    cKeyMacro macro;
    cRecordingEdit typed(macro);
    macro.Start();
    Type(&typed, QStringLiteral("ab"), Qt::ShiftModifier);
    QTest::keyClick(&typed, Qt::Key_1, Qt::ShiftModifier);
    Type(&typed, QStringLiteral("c"));
    macro.Stop();

    ASSERT_EQ(QGuiApplication::queryKeyboardModifiers(), Qt::NoModifier);
    cRecordingEdit replayed(macro);
    macro.Play(&replayed);
    EXPECT_EQ(replayed.toPlainText(), QStringLiteral("AB!c"));
}

TEST(KeyMacro, AfterPlaybackOnlyTheShiftHeldByTheUserIsDown)
{
    cKeyMacro macro;
    macro.Start();
    // Shift goes down in the macro and never comes up again.
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier));
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::ShiftModifier, QStringLiteral("X")));
    macro.Stop();
    QPlainTextEdit edit;
    macro.Play(&edit);
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("X"));
    EXPECT_FALSE(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));

    cKeyMacro plain;
    plain.Start();
    plain.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y")));
    plain.Stop();
    QTest::keyPress(&edit, Qt::Key_Shift, Qt::ShiftModifier); // and held
    plain.Play(&edit);
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("Xy"));
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
    macro.Record(
        QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, 30 + 8, 0, 0));
    macro.Record(QKeyEvent(QEvent::KeyRelease, Qt::Key_Left, Qt::AltModifier));
    ASSERT_EQ(macro.Count(), 2);

    const tMacroKey down = macro.Keys()[0];
    EXPECT_EQ(down.Flags, 0b0000'1110); // key-down, Shift, Ctrl
    EXPECT_EQ(down.VirtualKey, 'A');
    EXPECT_EQ(down.KeyData, 1u | (30u << 16)); // repeat count 1, scan code 30

    const tMacroKey up = macro.Keys()[1];
    EXPECT_EQ(up.Flags, 0b0001'0001); // key-up, Alt
    EXPECT_EQ(up.VirtualKey, VK_LEFT);
    EXPECT_EQ(up.KeyData, 1u | KeyDataExtended | KeyDataPreviousDown | KeyDataTransitionUp);
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
    EXPECT_EQ(hidden.toPlainText(), QStringLiteral("hi"));

    QMainWindow window;
    auto *active = new QPlainTextEdit;
    auto *other = new QPlainTextEdit;
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(active);
    layout->addWidget(other);
    window.setCentralWidget(box);
    window.show();
    active->setFocus();
    macro.Play(other);
    EXPECT_EQ(other->toPlainText(), QStringLiteral("hi"));
    EXPECT_TRUE(active->toPlainText().isEmpty());
}

// Replayed keys reach the edit window's own key handling, and a window
// shortcut claims a replayed key as it claims a typed one.
TEST(KeyMacro, ReplayedKeysTakeTheWayOfTypedKeys)
{
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

    macro.Start();
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier));
    macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
    macro.Stop();
    macro.Play(edit);
    EXPECT_EQ(edit->FindNextCount, 1);
    EXPECT_EQ(shortcutCount, 1);
}

TEST(KeyMacro, PlaybackStopsWhenAKeyDestroysTheWindow)
{
    cKeyMacro macro;
    macro.Start();
    for (int i = 0; i < 3; ++i)
        macro.Record(QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z")));
    macro.Stop();

    class cClosingEdit : public QPlainTextEdit
    {
    public:
        int *Counter = nullptr;
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
