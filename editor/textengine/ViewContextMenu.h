// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The menu a right click on a view opens: undo, clipboard and Select All,
// each running the view's own (virtual) handler, so that a subclass that
// takes one over is followed by its menu too.

class cTextView;
class QMenu;

// Caller owns it; a child of View.
QMenu *StandardContextMenu(cTextView &view);
