// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the keys that move the caret take it: by characters and words
// through the text, by rows as the view shows them, to the ends of a row;
// and what the keys that type or delete at the caret replace.
#include "editor/textengine/KeyBindings.h"

#include <utility>

class cLineLayouts;
class cSelection;
class cTextBuffer;
class cViewGeometry;

// The arrows move the way they point: in a right-to-left line Left goes on
// through the text.
tCaretMove VisualMove(tCaretMove move, bool rightToLeft);

// Up, Down and the page moves keep the x where the caret was put last.
bool KeepsDesiredX(tCaretMove move);

// Where Move takes the caret from From; Up, Down and the page moves go to
// the selection's desired x, which they set when it has none.
int MovedPosition(tCaretMove move, int from, const cTextBuffer &buffer, cLineLayouts &layouts,
                  const cViewGeometry &geometry, cSelection &selection);

// Home and End: the ends of the visual row around From, as wrapped text
// shows it.
int RowEdge(int from, bool end, const cTextBuffer &buffer, cLineLayouts &layouts);

// What typing replaces: the selection; with none in overwrite mode, the
// cluster after the caret, unless the caret is at its line's end.
std::pair<int, int> TypedRange(const cTextBuffer &buffer, const cSelection &selection, bool overwrite);
// What Backspace (Back) or Delete takes: the selection, else one code point
// back or one cluster on (Word: to the word's start); empty at the text's ends.
std::pair<int, int> DeletedRange(const cTextBuffer &buffer, const cSelection &selection, bool back,
                                 bool word);
