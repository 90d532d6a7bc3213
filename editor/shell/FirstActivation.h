// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window opens when it first comes up: text kept from a
// crash, the last session, then the files of the command line.
class QWidget;
class cCommandLine;
class cEditorController;
class cExtraCommands;

// Extras may be null (no session to restore). Errors in the command line
// are shown in boxes owned by Window.
void OpenStartDocuments(QWidget &window, cEditorController &tabs, cExtraCommands *extras,
                        const cCommandLine &arguments);
