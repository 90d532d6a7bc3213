// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small text helpers of the search engine and the Find dialog.
#include <QChar>
#include <QString>

#include <array>

struct tSpecialChar
{
    char16_t Escape; // the character after the caret
    char16_t Result;
};

// Caret escapes of the "Special characters" search mode, in lookup order.
inline constexpr std::array<tSpecialChar, 6> SpecialCharTable = {{
    {u'^', u'^'},
    {u'p', u'\r'}, // the control's paragraph mark
    {u't', u'\t'},
    {u'n', u'\u2013'},
    {u'm', u'\u2014'},
    {u'w', u' '},
}};

// Expands ^^ ^p ^t ^n ^m ^w; an unknown escape vanishes, a trailing caret is
// dropped, and the character after a caret never starts another escape.
QString ExpandSpecialChars(const QString &text);
