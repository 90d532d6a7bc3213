// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Character services on one UTF-16 unit, as the platform's case functions.
#include <QChar>

inline QChar CharLowerW(QChar c) noexcept
{
    return c.toLower();
}
inline QChar CharUpperW(QChar c) noexcept
{
    return c.toUpper();
}
inline bool IsCharAlphaW(QChar c) noexcept
{
    return c.isLetter();
}
inline bool IsCharUpperW(QChar c) noexcept
{
    return c.isUpper();
}
