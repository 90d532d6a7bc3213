#include "editor/editing/KbdMacros.h"

#include "editor/platform/Application.h"
#include "editor/platform/VirtualKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace {

struct tModifierFlag
{
    tMacroKeyFlag Flag;
    Qt::KeyboardModifier Modifier;
};

// The recorded keyboard modifiers, in flag order.
constexpr tModifierFlag ModifierFlags[] = {
    {mkShift, Qt::ShiftModifier},
    {mkControl, Qt::ControlModifier},
    {mkAlt, Qt::AltModifier},
};

struct tButtonFlag
{
    tMacroKeyFlag Flag;
    Qt::MouseButton Button;
};

constexpr tButtonFlag ButtonFlags[] = {
    {mkLeftButton, Qt::LeftButton},
    {mkRightButton, Qt::RightButton},
    {mkMiddleButton, Qt::MiddleButton},
};

tMacroKey EncodeMacroKey(const QKeyEvent &message)
{
    tMacroKeyFlags flags = 0;
    flags |= message.type() == QEvent::KeyRelease ? MacroKeyFlag(mkKeyUp) : MacroKeyFlag(mkKeyDown);
    for (const tModifierFlag &m : ModifierFlags)
        if (message.modifiers().testFlag(m.Modifier))
            flags |= MacroKeyFlag(m.Flag);
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    for (const tButtonFlag &b : ButtonFlags)
        if (buttons.testFlag(b.Button))
            flags |= MacroKeyFlag(b.Flag);
    const int virtualKey = VirtualKeyOfQtKey(message.key(), message.modifiers());
    return {KeyDataOf(message), flags, std::uint8_t(virtualKey & 0xFF)};
}

// The key event an entry stands for; none for an entry that is neither a
// key-down nor a key-up. Mouse buttons are not replayed: a key event cannot
// carry them, and pressing them for real would move the caret.
std::unique_ptr<QKeyEvent> DecodeMacroKey(const tMacroKey &key)
{
    QEvent::Type type;
    if (HasMacroKeyFlag(key.Flags, mkKeyDown))
        type = QEvent::KeyPress;
    else if (HasMacroKeyFlag(key.Flags, mkKeyUp))
        type = QEvent::KeyRelease;
    else
        return nullptr;
    Qt::KeyboardModifiers modifiers;
    for (const tModifierFlag &m : ModifierFlags)
        if (HasMacroKeyFlag(key.Flags, m.Flag))
            modifiers |= m.Modifier;
    return MakeKeyEvent(type, key.VirtualKey, key.KeyData, modifiers);
}

// Each replayed key press leaves its modifiers as the ones Qt believes held.
// Undo that, then follow the keyboard where the platform can ask it (on the
// others the query only echoes the state just restored): a Shift the user
// holds stays down, a Shift that was only part of the macro is up.
void RestoreKeyboardModifiers(Qt::KeyboardModifiers before)
{
    SetApplicationKeyboardModifiers(before);
    SetApplicationKeyboardModifiers(QGuiApplication::queryKeyboardModifiers());
}

} // namespace

void cKeyMacro::Start()
{
    if (FIsRecording)
        return;
    Clear();
    FIsRecording = true;
}

void cKeyMacro::Clear()
{
    FKeys.clear();
    FCount = 0;
}

void cKeyMacro::Record(const QKeyEvent &message)
{
    if (!FIsRecording)
        return;
    if (message.type() != QEvent::KeyPress && message.type() != QEvent::KeyRelease)
        return;
    FKeys.append(EncodeMacroKey(message));
    FCount = int(FKeys.size());
}

void cKeyMacro::Play(QWidget *window) const
{
    ProcessMessages();
    const Qt::KeyboardModifiers before = QGuiApplication::keyboardModifiers();
    const QPointer<QWidget> target(window);
    const QList<tMacroKey> keys = FKeys; // a replayed key may start a new recording
    for (const tMacroKey &key : keys) {
        if (!target)
            break;
        std::unique_ptr<QKeyEvent> event = DecodeMacroKey(key);
        if (!event)
            continue;
        QCoreApplication::postEvent(target, event.release());
        ProcessMessages();
    }
    RestoreKeyboardModifiers(before);
}
