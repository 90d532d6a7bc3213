// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the caret stops in a buffer's text: grapheme clusters, code points,
// words and lines. Each looks at a window around the position, so a line of
// any length costs the same; a paragraph mark is one step of its own.
#include "editor/textengine/TextBuffer.h"

#include <utility>

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
