#pragma once
// The keyboard-macro recorder: key-downs and key-ups as the documents' edit
// windows received them, played back into one window by posting them again.
#include <QList>

#include <cstdint>

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

class cKeyMacro
{
public:
    const QList<tMacroKey> &Keys() const noexcept { return FKeys; }
    int Count() const noexcept { return FCount; }
    bool IsRecording() const noexcept { return FIsRecording; }
    bool HasMacro() const noexcept { return FCount > 0; }

    // Begins a new macro; while recording it keeps the keys already taken.
    void Start();
    void Stop() noexcept { FIsRecording = false; }
    void Clear();

    // Takes a KeyPress or KeyRelease as the edit window received it, before
    // the window handles it; other events and keys outside a recording are
    // ignored. The modifiers are the event's, the mouse buttons the ones held.
    void Record(const QKeyEvent &message);

    // Posts every key to Window, each handled before the next one is posted,
    // with its recorded Shift, Ctrl and Alt state. Stops early when Window is
    // destroyed by one of the keys.
    void Play(QWidget *window) const;

private:
    QList<tMacroKey> FKeys;
    int FCount = 0;
    bool FIsRecording = false;
};
