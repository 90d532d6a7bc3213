// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sizes for the small laid-out dialogs: their design size at the default
// font, larger wherever the font needs it (desktop fonts of 16 or 24 pt), and
// wide enough for the title bar to show the whole caption.
#include <QSize>

class QDialog;

// Fixes Dialog's size from its layout, at least Design; done again by
// itself when the dialog's font or style changes. Call once its layout is set.
void FitDialogToFont(QDialog &dialog, QSize design);
