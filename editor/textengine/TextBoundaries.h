// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the caret stops in a buffer's text: grapheme clusters, code points,
// words and lines. Each looks at a window around the position, so a line of
// any length costs the same; a paragraph mark is one step of its own.
#include "editor/textengine/TextBuffer.h"

#include <utility>

// The one rule of what words are made of: a letter, a combining mark, a digit
// or other number, or the underscore. Word moves stop at the boundaries of
// Unicode's word segmentation where a word character begins; whole-word
// search and its marks want no word character beside a match. (The
// regular expressions have no whole-word option; their \w is the dialect's.)
[[nodiscard]] bool IsWordChar(char32_t c) noexcept;
// The character that ends (starts) at Pos: a surrogate pair is its code
// point, a lone surrogate stands for itself; 0 outside the text.
[[nodiscard]] char32_t CharBefore(const cTextBuffer &buffer, int pos);
[[nodiscard]] char32_t CharAt(const cTextBuffer &buffer, int pos);

// The next and previous cluster boundary (never inside a surrogate pair).
int NextGrapheme(const cTextBuffer &buffer, int pos);
int PreviousGrapheme(const cTextBuffer &buffer, int pos);
// Backspace takes one code point, so that a combining mark goes alone.
int PreviousCodePoint(const cTextBuffer &buffer, int pos);
// The start of the next (previous) word on the line, else the line's end
// (start); from a line's end (start), the next line's start (previous line's end).
int NextWordStart(const cTextBuffer &buffer, int pos);
int PreviousWordStart(const cTextBuffer &buffer, int pos);
// The word (or run of blanks) around Pos.
std::pair<int, int> WordAt(const cTextBuffer &buffer, int pos);
// The line around Pos with its paragraph mark.
std::pair<int, int> LineAt(const cTextBuffer &buffer, int pos);
