// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/VirtualKeys.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

TEST(VirtualKeys, EveryMappedVirtualKeyComesBackFromItsQtKey)
{
    int mapped = 0;
    for (int vk = 1; vk < 256; ++vk) {
        const int qtKey = QtKeyOfVirtualKey(vk);
        if (qtKey == Qt::Key_unknown)
            continue;
        ++mapped;
        EXPECT_EQ(VirtualKeyOfQtKey(qtKey, KeypadModifierOf(vk, 0)), vk) << "virtual key " << vk;
    }
    EXPECT_GT(mapped, 130); // digits, letters, F1-F24, keypad, navigation, punctuation, ...
}

TEST(VirtualKeys, CodesAreTheWindowsOnes)
{
    const struct
    {
        int Qt;
        int Vk;
    } pairs[] = {
        {Qt::Key_Backspace, 8},
        {Qt::Key_Tab, 9},
        {Qt::Key_Return, 13},
        {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},
        {Qt::Key_Escape, 27},
        {Qt::Key_Space, 32},
        {Qt::Key_PageUp, 33},
        {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},
        {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},
        {Qt::Key_0, 48},
        {Qt::Key_9, 57},
        {Qt::Key_A, 65},
        {Qt::Key_Z, 90},
        {Qt::Key_F1, 112},
        {Qt::Key_F24, 135},
        {Qt::Key_Semicolon, 186},
        {Qt::Key_Equal, 187},
        {Qt::Key_Slash, 191},
        {Qt::Key_QuoteLeft, 192},
        {Qt::Key_BracketLeft, 219},
        {Qt::Key_Backslash, 220},
        {Qt::Key_Apostrophe, 222},
    };
    for (const auto &p : pairs) {
        EXPECT_EQ(VirtualKeyOfQtKey(p.Qt), p.Vk) << "Qt key " << p.Qt;
        EXPECT_EQ(QtKeyOfVirtualKey(p.Vk), p.Qt) << "virtual key " << p.Vk;
    }
    // Qt names a shifted key by its symbol; the virtual key stays the key's.
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Exclam), '1');
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_QuoteDbl), VK_OEM_7);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Backtab), VK_TAB);
    EXPECT_EQ(QtKeyOfVirtualKey('1', Qt::ShiftModifier), Qt::Key_Exclam);
    EXPECT_EQ(QtKeyOfVirtualKey(VK_TAB, Qt::ShiftModifier), Qt::Key_Backtab);
    EXPECT_EQ(QtKeyOfVirtualKey('A', Qt::ShiftModifier), Qt::Key_A);
    // The keypad's keys are told apart by Qt's keypad modifier.
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_7, Qt::KeypadModifier), VK_NUMPAD0 + 7);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Slash, Qt::KeypadModifier), VK_DIVIDE);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Enter, Qt::KeypadModifier), VK_RETURN);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Home, Qt::KeypadModifier), VK_HOME);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_unknown), 0);
}

TEST(VirtualKeys, TranslationFollowsShiftCtrlAndAltOnTheUsLayout)
{
    EXPECT_EQ(KeyTextOf('A', Qt::NoModifier), QStringLiteral("a"));
    EXPECT_EQ(KeyTextOf('A', Qt::ShiftModifier), QStringLiteral("A"));
    EXPECT_EQ(KeyTextOf('1', Qt::NoModifier), QStringLiteral("1"));
    EXPECT_EQ(KeyTextOf('1', Qt::ShiftModifier), QStringLiteral("!"));
    EXPECT_EQ(KeyTextOf('0', Qt::ShiftModifier), QStringLiteral(")"));
    EXPECT_EQ(KeyTextOf(VK_OEM_7, Qt::NoModifier), QStringLiteral("'"));
    EXPECT_EQ(KeyTextOf(VK_OEM_7, Qt::ShiftModifier), QStringLiteral("\""));
    EXPECT_EQ(KeyTextOf(VK_OEM_5, Qt::ShiftModifier), QStringLiteral("|"));
    EXPECT_EQ(KeyTextOf(VK_SPACE, Qt::ShiftModifier), QStringLiteral(" "));
    EXPECT_EQ(KeyTextOf(VK_RETURN, Qt::NoModifier), QStringLiteral("\r"));
    EXPECT_EQ(KeyTextOf(VK_TAB, Qt::NoModifier), QStringLiteral("\t"));
    EXPECT_EQ(KeyTextOf(VK_BACK, Qt::NoModifier), QStringLiteral("\b"));
    EXPECT_EQ(KeyTextOf(VK_NUMPAD0 + 5, Qt::ShiftModifier), QStringLiteral("5"));
    EXPECT_EQ(KeyTextOf(VK_MULTIPLY, Qt::NoModifier), QStringLiteral("*"));
    EXPECT_EQ(KeyTextOf('A', Qt::AltModifier), QStringLiteral("a"));
    // Ctrl gives control characters or nothing; Ctrl+Alt (AltGr) nothing.
    EXPECT_EQ(KeyTextOf('A', Qt::ControlModifier), QString(QChar(1)));
    EXPECT_EQ(KeyTextOf('Z', Qt::ControlModifier | Qt::ShiftModifier), QString(QChar(26)));
    EXPECT_TRUE(KeyTextOf('1', Qt::ControlModifier).isEmpty());
    EXPECT_TRUE(KeyTextOf('E', Qt::ControlModifier | Qt::AltModifier).isEmpty());
    for (const int vk : {VK_F1, VK_LEFT, VK_HOME, VK_SHIFT, VK_CONTROL, VK_MENU, VK_INSERT})
        EXPECT_TRUE(KeyTextOf(vk, Qt::NoModifier).isEmpty()) << "virtual key " << vk;
}

TEST(VirtualKeys, KeyDataPacksRepeatScanCodeAndTransitionBits)
{
    const QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 30 + 8, 0, 0, QStringLiteral("a"));
    EXPECT_EQ(KeyDataOf(press), 1u | (30u << KeyDataScanCodeShift));

    const QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0, 0, 0, QStringLiteral("a"), true,
                           3);
    EXPECT_EQ(KeyDataOf(repeat), 3u | KeyDataPreviousDown);

    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(KeyDataOf(release), 1u | KeyDataPreviousDown | KeyDataTransitionUp);

    // Navigation keys are extended unless they are the keypad's.
    EXPECT_TRUE(KeyDataOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier)) & KeyDataExtended);
    EXPECT_FALSE(KeyDataOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::KeypadModifier)) & KeyDataExtended);
    EXPECT_TRUE(KeyDataOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier)) & KeyDataExtended);
    EXPECT_FALSE(KeyDataOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier)) & KeyDataExtended);
}

TEST(VirtualKeys, MadeKeyEventIsTheOneTheKeyDataDescribes)
{
    const QKeyEvent typed(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, 96 + 8, 0, 0,
                          QStringLiteral("\r"), true, 2);
    const std::uint32_t data = KeyDataOf(typed);
    const auto made =
        MakeKeyEvent(QEvent::KeyPress, VirtualKeyOfQtKey(typed.key(), typed.modifiers()), data, {});
    EXPECT_EQ(made->key(), Qt::Key_Enter);
    EXPECT_EQ(made->modifiers(), Qt::KeypadModifier);
    EXPECT_EQ(made->text(), QStringLiteral("\r"));
    EXPECT_EQ(made->nativeScanCode(), 96u + 8);
    EXPECT_TRUE(made->isAutoRepeat());
    EXPECT_EQ(made->count(), 2);
    EXPECT_EQ(KeyDataOf(*made), data);

    const auto release = MakeKeyEvent(QEvent::KeyRelease, '7', 1u | KeyDataTransitionUp, Qt::ShiftModifier);
    EXPECT_EQ(release->type(), QEvent::KeyRelease);
    EXPECT_EQ(release->key(), Qt::Key_Ampersand);
    EXPECT_EQ(release->text(), QStringLiteral("&"));
    EXPECT_FALSE(release->isAutoRepeat());
}

} // namespace
