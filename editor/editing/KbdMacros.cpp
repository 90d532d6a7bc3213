// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/KbdMacros.h"

#include "editor/platform/Application.h"
#include "editor/platform/VirtualKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <optional>

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

Qt::KeyboardModifiers ModifiersOf(const tMacroKey &key)
{
    Qt::KeyboardModifiers modifiers;
    for (const tModifierFlag &m : ModifierFlags)
        if (HasMacroKeyFlag(key.Flags, m.Flag))
            modifiers |= m.Modifier;
    return modifiers;
}

bool IsMessage(const tMacroKey &key)
{
    return HasMacroKeyFlag(key.Flags, mkKeyDown) || HasMacroKeyFlag(key.Flags, mkKeyUp);
}

// The key event an entry stands for, by its virtual key alone; none for an
// entry that is neither a key-down nor a key-up. Mouse buttons are not
// replayed: a key event cannot carry them, and pressing them for real would
// move the caret.
std::unique_ptr<QKeyEvent> DecodeMacroKey(const tMacroKey &key)
{
    if (!IsMessage(key))
        return nullptr;
    const QEvent::Type type = HasMacroKeyFlag(key.Flags, mkKeyDown) ? QEvent::KeyPress : QEvent::KeyRelease;
    return MakeKeyEvent(type, key.VirtualKey, key.KeyData, ModifiersOf(key));
}

// The entry at Index with the detail entries after it; Index moves past them.
std::unique_ptr<QKeyEvent> DecodeMacroKey(const QList<tMacroKey> &keys, qsizetype &index)
{
    std::unique_ptr<QKeyEvent> event = DecodeMacroKey(keys[index++]);
    std::optional<QString> text;
    std::optional<int> qtKey;
    for (; index < keys.size() && !IsMessage(keys[index]); ++index) {
        const tMacroKey &detail = keys[index];
        if (detail.VirtualKey == MacroTextUnit) {
            text = text.value_or(QString());
            if (detail.KeyData & MacroTextUnitBit)
                *text += QChar(char16_t(detail.KeyData & 0xFFFF));
        } else if (detail.VirtualKey == MacroQtKey) {
            qtKey = int(detail.KeyData);
        }
    }
    if (!event || (!text && !qtKey))
        return event;
    return std::make_unique<QKeyEvent>(event->type(), qtKey.value_or(event->key()), event->modifiers(),
                                       event->nativeScanCode(), event->nativeVirtualKey(),
                                       event->nativeModifiers(), text.value_or(event->text()),
                                       event->isAutoRepeat(), quint16(event->count()));
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

// A key's press and release carry the same scan code, while the key code may
// differ (Shift let go before "!" comes up as "1").
quint64 KeyIdentity(const QKeyEvent &message)
{
    return message.nativeScanCode() != 0 ? (quint64(1) << 32) | message.nativeScanCode()
                                         : quint64(quint32(message.key()));
}

bool IsModifierKey(std::uint8_t virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LWIN:
    case VK_RWIN:
        return true;
    default:
        return false;
    }
}

bool IsModifierKeyDown(const tMacroKey &key)
{
    return HasMacroKeyFlag(key.Flags, mkKeyDown) && IsModifierKey(key.VirtualKey);
}

} // namespace

void cKeyMacro::Start()
{
    if (FIsRecording)
        return;
    Clear();
    FIsRecording = true;
}

void cKeyMacro::Stop()
{
    if (!FIsRecording)
        return;
    FIsRecording = false;
    FPressed.clear();
    for (qsizetype last = FKeys.size() - 1; last >= 0; --last) {
        if (!IsMessage(FKeys[last]))
            continue;
        if (!IsModifierKeyDown(FKeys[last]))
            break;
        FKeys.resize(last);
    }
    FCount = int(FKeys.size());
    if (std::ranges::none_of(FKeys, [](const tMacroKey &key) {
            return HasMacroKeyFlag(key.Flags, mkKeyDown) && !IsModifierKey(key.VirtualKey);
        }))
        Clear();
}

void cKeyMacro::Clear()
{
    FKeys.clear();
    FCount = 0;
    FPressed.clear();
}

void cKeyMacro::Record(const QEvent &message)
{
    if (!FIsRecording)
        return;
    if (message.type() == QEvent::KeyPress || message.type() == QEvent::KeyRelease) {
        const auto &key = static_cast<const QKeyEvent &>(message);
        const quint64 identity = KeyIdentity(key);
        if (message.type() == QEvent::KeyPress) {
            if (!FPressed.contains(identity))
                FPressed.append(identity);
        } else if (!FPressed.contains(identity)) {
            return;
        } else if (!key.isAutoRepeat()) {
            FPressed.removeOne(identity);
        }
        const tMacroKey entry = EncodeMacroKey(key);
        Append(entry);
        // What a key-down typed is what counts; a key-up types nothing.
        if (message.type() == QEvent::KeyPress)
            AppendDetails(key, entry);
    } else if (message.type() == QEvent::InputMethod) {
        // Committed text arrives without a key: a key-down of no virtual key
        // that types it. Text still being composed is not input yet.
        const QString text = static_cast<const QInputMethodEvent &>(message).commitString();
        if (text.isEmpty())
            return;
        Append({1, MacroKeyFlag(mkKeyDown), 0});
        AppendText(text);
    }
}

void cKeyMacro::Append(const tMacroKey &key)
{
    FKeys.append(key);
    FCount = int(FKeys.size());
}

// Playback translates a virtual key by one fixed table; a key of another
// layout, or one that came with text but no key code, is told in full.
void cKeyMacro::AppendDetails(const QKeyEvent &message, const tMacroKey &key)
{
    const std::unique_ptr<QKeyEvent> replayed = DecodeMacroKey(key);
    if (replayed->text() != message.text()) {
        if (message.text().isEmpty())
            Append({0, 0, MacroTextUnit});
        else
            AppendText(message.text());
    }
    if (replayed->key() != message.key())
        Append({std::uint32_t(message.key()), 0, MacroQtKey});
}

void cKeyMacro::AppendText(const QString &text)
{
    for (const QChar unit : text)
        Append({MacroTextUnitBit | unit.unicode(), 0, MacroTextUnit});
}

void cKeyMacro::Play(QWidget *window) const
{
    ProcessMessages();
    const Qt::KeyboardModifiers before = QGuiApplication::keyboardModifiers();
    const QPointer<QWidget> target(window);
    const QList<tMacroKey> keys = FKeys; // a replayed key may start a new recording
    for (qsizetype i = 0; i < keys.size();) {
        if (!target)
            break;
        std::unique_ptr<QKeyEvent> event = DecodeMacroKey(keys, i);
        if (!event)
            continue;
        QCoreApplication::postEvent(target, event.release());
        ProcessMessages();
    }
    RestoreKeyboardModifiers(before);
}
