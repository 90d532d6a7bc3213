// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows virtual-key codes for Qt keys, and the key translation that turns a
// recorded key back into the key event Qt would have delivered.
//
// Translation assumes the US keyboard layout with Caps Lock and Num Lock off:
// from a virtual key, its key data and the Shift, Ctrl and Alt state it gives
// what was typed on that layout. Whoever keeps keys of any other layout keeps
// their text beside them.
#include <QEvent>
#include <QString>
#include <Qt>

#include <cstdint>
#include <memory>

class QKeyEvent;

inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_CANCEL = 0x03;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_CLEAR = 0x0C;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_PAUSE = 0x13;
inline constexpr int VK_CAPITAL = 0x14;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_SELECT = 0x29;
inline constexpr int VK_PRINT = 0x2A;
inline constexpr int VK_EXECUTE = 0x2B;
inline constexpr int VK_SNAPSHOT = 0x2C;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A, as their characters.
inline constexpr int VK_LWIN = 0x5B;
inline constexpr int VK_RWIN = 0x5C;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_SLEEP = 0x5F;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_NUMPAD9 = 0x69;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SEPARATOR = 0x6C;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_DECIMAL = 0x6E;
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F24 = 0x87;
inline constexpr int VK_NUMLOCK = 0x90;
inline constexpr int VK_SCROLL = 0x91;
inline constexpr int VK_OEM_1 = 0xBA;      // ;:
inline constexpr int VK_OEM_PLUS = 0xBB;   // =+
inline constexpr int VK_OEM_COMMA = 0xBC;  // ,<
inline constexpr int VK_OEM_MINUS = 0xBD;  // -_
inline constexpr int VK_OEM_PERIOD = 0xBE; // .>
inline constexpr int VK_OEM_2 = 0xBF;      // /?
inline constexpr int VK_OEM_3 = 0xC0;      // `~
inline constexpr int VK_OEM_4 = 0xDB;      // [{
inline constexpr int VK_OEM_5 = 0xDC;      // \|
inline constexpr int VK_OEM_6 = 0xDD;      // ]}
inline constexpr int VK_OEM_7 = 0xDE;      // '"

// Bits of a key message's lParam.
inline constexpr std::uint32_t KeyDataRepeatMask = 0x0000FFFF;
inline constexpr int KeyDataScanCodeShift = 16;
inline constexpr std::uint32_t KeyDataExtended = 1u << 24;
inline constexpr std::uint32_t KeyDataPreviousDown = 1u << 30;
inline constexpr std::uint32_t KeyDataTransitionUp = 1u << 31;

// The virtual key of a Qt key; 0 when it has none. Qt::KeypadModifier selects
// the numeric keypad's codes for digits and operators. Shifted symbols of the
// US layout (Qt::Key_Exclam, Qt::Key_Colon, ...) give their key's code.
[[nodiscard]] int VirtualKeyOfQtKey(int qtKey, Qt::KeyboardModifiers modifiers = {});

// The Qt key of a virtual key; Qt::Key_unknown when it has none. With Shift,
// digits and punctuation give the US layout's shifted symbol and Tab gives
// Qt::Key_Backtab, as Qt reports those keys when typed.
[[nodiscard]] int QtKeyOfVirtualKey(int virtualKey, Qt::KeyboardModifiers modifiers = {});

// Qt::KeypadModifier when the key is on the numeric keypad: its digits and
// operators, Enter with the extended bit, and the navigation keys without it.
[[nodiscard]] Qt::KeyboardModifiers KeypadModifierOf(int virtualKey, std::uint32_t keyData);

// The one key translation: the text a key event of this virtual key carries
// with the given Shift, Ctrl and Alt state. Ctrl with a letter or bracket gives
// its control character; keys without a character give an empty text.
[[nodiscard]] QString KeyTextOf(int virtualKey, Qt::KeyboardModifiers modifiers);

// The key message's lParam for a Qt key event: repeat count, scan code,
// extended bit, previous-state and transition bits.
[[nodiscard]] std::uint32_t KeyDataOf(const QKeyEvent &event);

// The key event a key message stands for, with its text from KeyTextOf;
// the inverse of VirtualKeyOfQtKey and KeyDataOf. Caller owns the event.
[[nodiscard]] std::unique_ptr<QKeyEvent> MakeKeyEvent(QEvent::Type type, int virtualKey,
                                                      std::uint32_t keyData, Qt::KeyboardModifiers modifiers);

// Makes Qt's notion of the held modifiers (QGuiApplication::keyboardModifiers)
// the given one. Replayed key presses leave theirs behind, as typed ones do.
void SetApplicationKeyboardModifiers(Qt::KeyboardModifiers modifiers);
