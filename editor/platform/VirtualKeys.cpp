// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/VirtualKeys.h"

#include <QKeyEvent>
#include <QObject>

#include <algorithm>
#include <span>

// Qt's test library and its Quick module send synthetic key presses through
// this exported hook; it records the modifiers as the held ones.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text, bool autorep, ushort count);

namespace {

struct tKeyPair
{
    int Qt;
    int Vk;
};

// The one mapping table: each pair maps both ways.
constexpr tKeyPair KeyTable[] = {
    {Qt::Key_Cancel, VK_CANCEL},
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Select, VK_SELECT},
    {Qt::Key_Printer, VK_PRINT},
    {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},
    {Qt::Key_Super_L, VK_LWIN},
    {Qt::Key_Super_R, VK_RWIN},
    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_Sleep, VK_SLEEP},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Back, 0xA6},
    {Qt::Key_Forward, 0xA7},
    {Qt::Key_Refresh, 0xA8},
    {Qt::Key_Stop, 0xA9},
    {Qt::Key_Search, 0xAA},
    {Qt::Key_Favorites, 0xAB},
    {Qt::Key_HomePage, 0xAC},
    {Qt::Key_VolumeMute, 0xAD},
    {Qt::Key_VolumeDown, 0xAE},
    {Qt::Key_VolumeUp, 0xAF},
    {Qt::Key_MediaNext, 0xB0},
    {Qt::Key_MediaPrevious, 0xB1},
    {Qt::Key_MediaStop, 0xB2},
    {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_LaunchMail, 0xB4},
    {Qt::Key_LaunchMedia, 0xB5},
    {Qt::Key_Launch0, 0xB6},
    {Qt::Key_Launch1, 0xB7},
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
};

// Qt keys that map one way only: the virtual key maps back to another key.
constexpr tKeyPair KeyAliases[] = {
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Meta, VK_LWIN},
};

// What Shift makes of a key on the US layout, as Qt names the result.
constexpr tKeyPair ShiftedKeys[] = {
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_QuoteDbl, VK_OEM_7},
};

// The keypad's operators; its digits are VK_NUMPAD0..9.
constexpr tKeyPair KeypadKeys[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},       {Qt::Key_Comma, VK_SEPARATOR},
    {Qt::Key_Minus, VK_SUBTRACT},    {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
};

struct tKeyChars
{
    int Vk;
    char16_t Plain;
    char16_t Shifted;
};

// Characters of the US layout's punctuation keys.
constexpr tKeyChars PunctuationChars[] = {
    {VK_OEM_1, u';', u':'},     {VK_OEM_PLUS, u'=', u'+'},   {VK_OEM_COMMA, u',', u'<'},
    {VK_OEM_MINUS, u'-', u'_'}, {VK_OEM_PERIOD, u'.', u'>'}, {VK_OEM_2, u'/', u'?'},
    {VK_OEM_3, u'`', u'~'},     {VK_OEM_4, u'[', u'{'},      {VK_OEM_5, u'\\', u'|'},
    {VK_OEM_6, u']', u'}'},     {VK_OEM_7, u'\'', u'"'},
};

constexpr char16_t ShiftedDigits[] = u")!@#$%^&*(";
constexpr char16_t KeypadOperators[] = u"*+,-./"; // VK_MULTIPLY..VK_DIVIDE

// X keysyms of the right Ctrl and Alt keys, which Windows marks extended.
constexpr quint32 XK_Control_R = 0xFFE4;
constexpr quint32 XK_Alt_R = 0xFFEA;

int VkOf(std::span<const tKeyPair> table, int qtKey)
{
    const auto it = std::ranges::find(table, qtKey, &tKeyPair::Qt);
    return it != table.end() ? it->Vk : 0;
}

int QtOf(std::span<const tKeyPair> table, int vk)
{
    const auto it = std::ranges::find(table, vk, &tKeyPair::Vk);
    return it != table.end() ? it->Qt : 0;
}

bool IsLetter(int vk)
{
    return vk >= 'A' && vk <= 'Z';
}

bool IsDigit(int vk)
{
    return vk >= '0' && vk <= '9';
}

bool IsNumpadDigit(int vk)
{
    return vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9;
}

bool IsNavigationKey(int vk)
{
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
}

int KeypadVirtualKey(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return VK_NUMPAD0 + (qtKey - Qt::Key_0);
    if (qtKey == Qt::Key_Enter)
        return VK_RETURN;
    return VkOf(KeypadKeys, qtKey);
}

// The keys whose lParam carries the extended bit on a PC keyboard.
bool IsExtendedKey(const QKeyEvent &event)
{
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
    case Qt::Key_Enter:
    case Qt::Key_NumLock:
    case Qt::Key_Print:
    case Qt::Key_Menu:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_AltGr:
        return true;
    case Qt::Key_Slash:
        return keypad;
    case Qt::Key_Control:
    case Qt::Key_Alt:
        return event.nativeVirtualKey() == XK_Control_R || event.nativeVirtualKey() == XK_Alt_R;
    default:
        return IsNavigationKey(VirtualKeyOfQtKey(event.key())) && !keypad;
    }
}

QString ControlCharOf(int vk, bool shift)
{
    if (IsLetter(vk))
        return QString(QChar(vk - 'A' + 1));
    switch (vk) {
    case VK_OEM_4:
        return QStringLiteral("\x1b");
    case VK_OEM_5:
        return QStringLiteral("\x1c");
    case VK_OEM_6:
        return QStringLiteral("\x1d");
    case '6':
        return shift ? QStringLiteral("\x1e") : QString();
    case VK_OEM_MINUS:
        return shift ? QStringLiteral("\x1f") : QString();
    case VK_BACK:
        return QStringLiteral("\x7f");
    case VK_RETURN:
        return QStringLiteral("\n");
    case VK_SPACE:
        return QStringLiteral(" ");
    default:
        return {};
    }
}

} // namespace

int VirtualKeyOfQtKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers.testFlag(Qt::KeypadModifier))
        if (const int vk = KeypadVirtualKey(qtKey))
            return vk;
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey; // Qt's codes of these are their characters, as the virtual keys
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return VK_F1 + (qtKey - Qt::Key_F1);
    if (const int vk = VkOf(KeyTable, qtKey))
        return vk;
    if (const int vk = VkOf(KeyAliases, qtKey))
        return vk;
    return VkOf(ShiftedKeys, qtKey);
}

int QtKeyOfVirtualKey(int virtualKey, Qt::KeyboardModifiers modifiers)
{
    if (virtualKey <= 0)
        return Qt::Key_unknown;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        if (virtualKey == VK_TAB)
            return Qt::Key_Backtab;
        if (const int shifted = QtOf(ShiftedKeys, virtualKey))
            return shifted;
    }
    if (IsDigit(virtualKey) || IsLetter(virtualKey))
        return virtualKey;
    if (IsNumpadDigit(virtualKey))
        return Qt::Key_0 + (virtualKey - VK_NUMPAD0);
    if (virtualKey >= VK_F1 && virtualKey <= VK_F24)
        return Qt::Key_F1 + (virtualKey - VK_F1);
    if (const int qt = QtOf(KeypadKeys, virtualKey))
        return qt;
    if (const int qt = QtOf(KeyTable, virtualKey))
        return qt;
    return Qt::Key_unknown;
}

Qt::KeyboardModifiers KeypadModifierOf(int virtualKey, std::uint32_t keyData)
{
    const bool extended = keyData & KeyDataExtended;
    const bool keypad = IsNumpadDigit(virtualKey) || (virtualKey >= VK_MULTIPLY && virtualKey <= VK_DIVIDE) ||
                        (virtualKey == VK_RETURN && extended) || (IsNavigationKey(virtualKey) && !extended) ||
                        virtualKey == VK_CLEAR;
    return keypad ? Qt::KeypadModifier : Qt::NoModifier;
}

QString KeyTextOf(int virtualKey, Qt::KeyboardModifiers modifiers)
{
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    // Ctrl+Alt is AltGr, which has no characters on the US layout.
    if (control && modifiers.testFlag(Qt::AltModifier))
        return {};
    if (control)
        return ControlCharOf(virtualKey, shift);
    if (IsLetter(virtualKey))
        return QString(QChar(shift ? virtualKey : virtualKey - 'A' + 'a'));
    if (IsDigit(virtualKey))
        return QString(QChar(shift ? ShiftedDigits[virtualKey - '0'] : char16_t(virtualKey)));
    if (IsNumpadDigit(virtualKey))
        return QString(QChar(u'0' + (virtualKey - VK_NUMPAD0)));
    if (virtualKey >= VK_MULTIPLY && virtualKey <= VK_DIVIDE)
        return QString(QChar(KeypadOperators[virtualKey - VK_MULTIPLY]));
    for (const tKeyChars &k : PunctuationChars)
        if (k.Vk == virtualKey)
            return QString(QChar(shift ? k.Shifted : k.Plain));
    switch (virtualKey) {
    case VK_SPACE:
        return QStringLiteral(" ");
    case VK_RETURN:
        return QStringLiteral("\r");
    case VK_TAB:
        return QStringLiteral("\t");
    case VK_BACK:
        return QStringLiteral("\b");
    case VK_ESCAPE:
        return QStringLiteral("\x1b");
    case VK_DELETE:
        return QStringLiteral("\x7f"); // as X11 reports the Delete key
    default:
        return {};
    }
}

std::uint32_t KeyDataOf(const QKeyEvent &event)
{
    std::uint32_t data = std::uint32_t(std::clamp(event.count(), 1, 0xFFFF));
    // xkb key codes are the evdev codes plus 8, and the evdev codes of a PC
    // keyboard are its set-1 scan codes.
    if (event.nativeScanCode() > 8)
        data |= ((event.nativeScanCode() - 8) & 0xFF) << KeyDataScanCodeShift;
    if (IsExtendedKey(event))
        data |= KeyDataExtended;
    if (event.type() == QEvent::KeyRelease)
        data |= KeyDataPreviousDown | KeyDataTransitionUp;
    else if (event.isAutoRepeat())
        data |= KeyDataPreviousDown;
    return data;
}

std::unique_ptr<QKeyEvent> MakeKeyEvent(QEvent::Type type, int virtualKey, std::uint32_t keyData,
                                        Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers keyModifiers = modifiers | KeypadModifierOf(virtualKey, keyData);
    int key = QtKeyOfVirtualKey(virtualKey, keyModifiers);
    if (key == Qt::Key_Return && keyModifiers.testFlag(Qt::KeypadModifier))
        key = Qt::Key_Enter;
    const std::uint32_t scanCode = (keyData >> KeyDataScanCodeShift) & 0xFF;
    const bool autoRepeat = type == QEvent::KeyPress && (keyData & KeyDataPreviousDown);
    const auto count = quint16(std::max<std::uint32_t>(keyData & KeyDataRepeatMask, 1));
    return std::make_unique<QKeyEvent>(type, key, keyModifiers, scanCode ? scanCode + 8 : 0, 0, 0,
                                       KeyTextOf(virtualKey, modifiers), autoRepeat, count);
}

void SetApplicationKeyboardModifiers(Qt::KeyboardModifiers modifiers)
{
    // An unknown key never matches a shortcut, and the override query goes to
    // an object nobody else sees, so only the modifier state changes.
    QObject nobody;
    qt_sendShortcutOverrideEvent(&nobody, 0, Qt::Key_unknown, modifiers, QString(), false, 1);
}
