// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of Tolvar, looked up by number.
#include <string>

namespace res {
inline constexpr int CorrectName = 65436;
inline constexpr int CorrectDescription = 65437;
inline constexpr int SelectTextFirst = 65438;
} // namespace res

// The text in the ANSI code page; empty for an unknown number.
std::string LoadResString(int id);
