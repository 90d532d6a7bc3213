// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keyboard-macro recorder: key-downs and key-ups as the documents' edit
// windows received them, played back into one window by posting them again.
#include <QList>
#include <QtGlobal>

#include <cstdint>

class QEvent;
class QKeyEvent;
class QWidget;

enum tMacroKeyFlag : std::uint8_t
{
    mkKeyUp = 0,
    mkKeyDown = 1,
    mkShift = 2,
    mkControl = 3,
    mkAlt = 4,
    mkLeftButton = 5,
    mkRightButton = 6,
    mkMiddleButton = 7,
};

// A set of tMacroKeyFlag, one bit per flag.
using tMacroKeyFlags = std::uint8_t;

[[nodiscard]] constexpr tMacroKeyFlags MacroKeyFlag(tMacroKeyFlag flag) noexcept
{
    return tMacroKeyFlags(1u << flag);
}

[[nodiscard]] constexpr bool HasMacroKeyFlag(tMacroKeyFlags flags, tMacroKeyFlag flag) noexcept
{
    return flags & MacroKeyFlag(flag);
}

// One recorded key message, six bytes as the design fixes them.
#pragma pack(push, 1)
struct tMacroKey
{
    std::uint32_t KeyData;   // the message's lParam
    tMacroKeyFlags Flags;    // which message, and the modifiers down at the time
    std::uint8_t VirtualKey; // low byte of the virtual-key code
};
#pragma pack(pop)
static_assert(sizeof(tMacroKey) == 6);

// What a key's virtual key cannot say (a character of another layout, text
// that came without a key, the exact Qt key) follows its key-down entry in
// entries that are neither key-down nor key-up, so on their own they stand
// for no message and post nothing:
// - VirtualKey MacroTextUnit (VK_PACKET, the code that carries characters
//   as keystrokes): KeyData is one UTF-16 unit of the key's text with
//   MacroTextUnitBit set, or 0 alone for a key whose text is empty;
// - VirtualKey MacroQtKey: KeyData is the key's Qt key code.
// A key that its virtual key and modifiers reproduce has none of them.
inline constexpr std::uint8_t MacroTextUnit = 0xE7;
inline constexpr std::uint8_t MacroQtKey = 0xE8;
inline constexpr std::uint32_t MacroTextUnitBit = 0x10000;

class cKeyMacro
{
public:
    const QList<tMacroKey> &Keys() const noexcept { return FKeys; }
    int Count() const noexcept { return FCount; }
    bool IsRecording() const noexcept { return FIsRecording; }
    bool HasMacro() const noexcept { return FCount > 0; }

    // Begins a new macro; while recording it keeps the keys already taken.
    void Start();
    // Ends the recording. Modifier keys pressed last type nothing (they are
    // those of the command that stops it), and a recording of nothing but
    // modifier keys is no macro: both go.
    void Stop();
    void Clear();

    // Takes a KeyPress or KeyRelease as the edit window received it, before
    // the window handles it, and the text an input method commits (as a key
    // without a key code); other events and anything outside a recording are
    // ignored. The modifiers are the event's, the mouse buttons the ones held.
    // A release of a key pressed before the recording began (the keys of the
    // command that started it) is not taken.
    void Record(const QEvent &message);

    // Posts every key to Window, each handled before the next one is posted,
    // with its recorded Shift, Ctrl and Alt state and the text it typed.
    // Stops early when Window is destroyed by one of the keys.
    void Play(QWidget *window) const;

private:
    void Append(const tMacroKey &key);
    // The entries that make playback give the key's own text and key code.
    void AppendDetails(const QKeyEvent &message, const tMacroKey &key);
    void AppendText(const QString &text);

    QList<tMacroKey> FKeys;
    int FCount = 0;
    bool FIsRecording = false;
    QList<quint64> FPressed; // keys whose press was recorded and not yet released
};
